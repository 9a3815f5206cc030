// Colour conversions.
#include <cmath>
#include <cstddef>

#include "ipp.h"
#include "ipp_checks.h"
#include "kernels.h"
#include "yuv_fixed_point.h"

IppStatus ippiRGBToYUV_8u_C3P3R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst[3], int dstStep,
                                IppiSize roi)
{
    if (pSrc == nullptr || pDst == nullptr || !pDst[0] || !pDst[1] || !pDst[2])
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, srcStep, 3, dstStep, 1); s != ippStsNoErr)
        return s;
    using namespace yuv_fixed_point;
    for (int r = 0; r < roi.height; ++r) {
        const Ipp8u* src = pSrc + static_cast<std::ptrdiff_t>(r) * srcStep;
        Ipp8u* y = pDst[0] + static_cast<std::ptrdiff_t>(r) * dstStep;
        Ipp8u* u = pDst[1] + static_cast<std::ptrdiff_t>(r) * dstStep;
        Ipp8u* v = pDst[2] + static_cast<std::ptrdiff_t>(r) * dstStep;
        for (int x = 0; x < roi.width; ++x) {
            int c0 = src[3 * x], c1 = src[3 * x + 1], c2 = src[3 * x + 2];
            y[x] = static_cast<Ipp8u>(Luma(c0, c1, c2));
            u[x] = static_cast<Ipp8u>(ChromaU(c0, c1, c2));
            v[x] = ChromaV(c0, c1, c2);
        }
    }
    return ippStsNoErr;
}

namespace {

// Weight k as a 15-bit fixed-point value, lround(k * 2^15), when that fits a
// signed 16-bit lane; false for larger weights, infinities and NaN.
bool FixedWeight(Ipp32f k, int* w)
{
    const double scaled = static_cast<double>(k) * 32768.0;
    if (!(scaled > -32768.5 && scaled < 32767.5))
        return false;
    *w = static_cast<int>(std::lround(scaled));
    return true;
}

// Pixels `from` .. width - 1 of a row: (w0 c0 + w1 c1 + w2 c2 + 2^14) >> 15,
// saturated. The sum is exact in 32 bits (at most 3 * 2^15 * 255 + 2^14 in
// magnitude) and the shift rounds toward minus infinity, so adding 2^14
// first rounds to nearest with halves up.
void GreyRowFixed(const Ipp8u* src, Ipp8u* dst, int from, int width, const int w[3])
{
    for (int x = from; x < width; ++x) {
        const int grey = (w[0] * src[3 * x] + w[1] * src[3 * x + 1] + w[2] * src[3 * x + 2] +
                          (1 << 14)) >> 15;
        dst[x] = static_cast<Ipp8u>(grey < 0 ? 0 : grey > 255 ? 255 : grey);
    }
}

// Weights beyond the fixed-point range, summed in double: a float weight
// times a byte is exact there, and so is the sum of three such products for
// weights of similar size, so the rounding sees the true weighted sum.
// Halves round up; out-of-range sums saturate, a NaN sum gives 0.
void GreyRowExact(const Ipp8u* src, Ipp8u* dst, int width, const Ipp32f coeffs[3])
{
    const double w0 = coeffs[0], w1 = coeffs[1], w2 = coeffs[2];
    for (int x = 0; x < width; ++x) {
        double grey = w0 * src[3 * x] + w1 * src[3 * x + 1] + w2 * src[3 * x + 2] + 0.5;
        grey = grey > 0.0 ? grey : 0.0;
        grey = grey < 255.0 ? grey : 255.0;
        dst[x] = static_cast<Ipp8u>(static_cast<int>(grey));
    }
}

}  // namespace

IppStatus ippiColorToGray_8u_C3C1R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep,
                                   IppiSize roi, const Ipp32f coeffs[3])
{
    if (pSrc == nullptr || pDst == nullptr || coeffs == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, srcStep, 3, dstStep, 1); s != ippStsNoErr)
        return s;
    int w[3];
    const bool fixed = FixedWeight(coeffs[0], &w[0]) && FixedWeight(coeffs[1], &w[1]) &&
                       FixedWeight(coeffs[2], &w[2]);
    const bool vector = fixed && ipp_kernels::HaveAvx2();
    for (int r = 0; r < roi.height; ++r) {
        const Ipp8u* src = pSrc + static_cast<std::ptrdiff_t>(r) * srcStep;
        Ipp8u* dst = pDst + static_cast<std::ptrdiff_t>(r) * dstStep;
        if (!fixed) {
            GreyRowExact(src, dst, roi.width, coeffs);
            continue;
        }
        const int done = vector ? ipp_kernels::GreyRowAvx2(src, dst, roi.width, w) : 0;
        GreyRowFixed(src, dst, done, roi.width, w);
    }
    return ippStsNoErr;
}
