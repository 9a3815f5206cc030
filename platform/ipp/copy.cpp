// Copies and the mirror.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "ipp.h"
#include "ipp_checks.h"
#include "kernels.h"

IppStatus ippiCopy_8u_C1R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep, IppiSize roi)
{
    if (pSrc == nullptr || pDst == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, srcStep, 1, dstStep, 1); s != ippStsNoErr)
        return s;
    for (int r = 0; r < roi.height; ++r)
        std::memcpy(pDst + static_cast<std::ptrdiff_t>(r) * dstStep,
                    pSrc + static_cast<std::ptrdiff_t>(r) * srcStep, roi.width);
    return ippStsNoErr;
}

IppStatus ippiCopy_8u_P3C3R(const Ipp8u* const pSrc[3], int srcStep, Ipp8u* pDst, int dstStep,
                            IppiSize roi)
{
    if (pSrc == nullptr || !pSrc[0] || !pSrc[1] || !pSrc[2] || pDst == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, srcStep, 1, dstStep, 3); s != ippStsNoErr)
        return s;
    for (int r = 0; r < roi.height; ++r) {
        std::ptrdiff_t so = static_cast<std::ptrdiff_t>(r) * srcStep;
        const Ipp8u* a = pSrc[0] + so;
        const Ipp8u* b = pSrc[1] + so;
        const Ipp8u* c = pSrc[2] + so;
        Ipp8u* d = pDst + static_cast<std::ptrdiff_t>(r) * dstStep;
        for (int x = 0; x < roi.width; ++x) {
            d[3 * x] = a[x];
            d[3 * x + 1] = b[x];
            d[3 * x + 2] = c[x];
        }
    }
    return ippStsNoErr;
}

namespace {

// Exchanges pixels i and width - 1 - i for i from `from` until the middle.
void MirrorRowScalar(Ipp8u* row, int from, int width)
{
    for (int left = from, right = width - 1 - from; left < right; ++left, --right) {
        std::swap(row[3 * left], row[3 * right]);
        std::swap(row[3 * left + 1], row[3 * right + 1]);
        std::swap(row[3 * left + 2], row[3 * right + 2]);
    }
}

}  // namespace

IppStatus ippiMirror_8u_C3IR(Ipp8u* pSrcDst, int step, IppiSize roi, IppiAxis flip)
{
    if (pSrcDst == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, step, 3); s != ippStsNoErr)
        return s;
    if (flip != ippAxsHorizontal && flip != ippAxsVertical && flip != ippAxsBoth)
        return ippStsMirrorFlipErr;
    if (flip == ippAxsHorizontal || flip == ippAxsBoth) {
        for (int top = 0, bottom = roi.height - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(pSrcDst + static_cast<std::ptrdiff_t>(top) * step,
                             pSrcDst + static_cast<std::ptrdiff_t>(top) * step + 3 * roi.width,
                             pSrcDst + static_cast<std::ptrdiff_t>(bottom) * step);
    }
    if (flip == ippAxsVertical || flip == ippAxsBoth) {
        const bool vector = ipp_kernels::HaveAvx2();
        for (int r = 0; r < roi.height; ++r) {
            Ipp8u* row = pSrcDst + static_cast<std::ptrdiff_t>(r) * step;
            const int done = vector ? ipp_kernels::MirrorRowAvx2(row, roi.width) : 0;
            MirrorRowScalar(row, done, roi.width);
        }
    }
    return ippStsNoErr;
}
