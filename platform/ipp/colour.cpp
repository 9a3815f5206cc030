// Colour conversions.
#include "ipp.h"
#include "ipp_checks.h"
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

// Summed in double: a float weight times a byte is exact there, and so is the
// sum of three such products for weights of similar size, so the rounding sees
// the true weighted sum. In float, 0.33f * 150 rounds to 49.5 and the grey of
// (150, 150, 150) becomes the tie 148.5 instead of 148.500006.
// Halves round up; out-of-range sums saturate, a NaN sum gives 0.
IppStatus ippiColorToGray_8u_C3C1R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep,
                                   IppiSize roi, const Ipp32f coeffs[3])
{
    if (pSrc == nullptr || pDst == nullptr || coeffs == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, srcStep, 3, dstStep, 1); s != ippStsNoErr)
        return s;
    const double w0 = coeffs[0], w1 = coeffs[1], w2 = coeffs[2];
    for (int r = 0; r < roi.height; ++r) {
        const Ipp8u* src = pSrc + static_cast<std::ptrdiff_t>(r) * srcStep;
        Ipp8u* dst = pDst + static_cast<std::ptrdiff_t>(r) * dstStep;
        for (int x = 0; x < roi.width; ++x) {
            double grey = w0 * src[3 * x] + w1 * src[3 * x + 1] + w2 * src[3 * x + 2] + 0.5;
            grey = grey > 0.0 ? grey : 0.0;
            grey = grey < 255.0 ? grey : 255.0;
            dst[x] = static_cast<Ipp8u>(static_cast<int>(grey));
        }
    }
    return ippStsNoErr;
}
