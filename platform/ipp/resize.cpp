// Nearest-neighbour resize of 3-channel 8-bit pictures. The game stretches
// one-row strips with it (row steps of 1, which a single row never uses), so
// a step is only checked when the picture it belongs to has several rows.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "ipp.h"

namespace {

// Maps a destination index d to the source index floor(d / factor), never past
// the last source index. When the factor is the ratio of the two lengths (as
// close as a float can tell), the mapping is done in integers: the quotient
// taken in double can fall just short of a whole number, e.g. 14 source
// pixels to 18 gives 9 / (18.0 / 14) = 6.999999999999999 where 7 is meant.
class AxisMap {
  public:
    AxisMap(int srcLength, int dstLength, double factor)
        : src_(srcLength),
          dst_(dstLength),
          factor_(factor),
          ratio_(std::fabs(factor * srcLength - dstLength) <= 1e-6 * dstLength) {}

    int operator()(int d) const {
        if (ratio_)
            return static_cast<int>(d * src_ / dst_);
        const double s = std::floor(d / factor_);
        return s < static_cast<double>(src_ - 1) ? static_cast<int>(s) : static_cast<int>(src_ - 1);
    }

  private:
    std::int64_t src_, dst_;
    double factor_;
    bool ratio_;
};

bool Inside(int start, int length, int limit) {
    return start >= 0 && std::int64_t{start} + length <= limit;
}

IppStatus Step(int step, int width, int height) {
    return height > 1 && step < std::int64_t{3} * width ? ippStsStepErr : ippStsNoErr;
}

IppStatus Check(IppiSize srcSize, int srcStep, IppiRect srcRoi, int dstStep, IppiSize dstRoiSize,
                double xFactor, double yFactor, int interpolation) {
    if (srcSize.width < 1 || srcSize.height < 1 || srcRoi.width < 1 || srcRoi.height < 1 ||
        dstRoiSize.width < 1 || dstRoiSize.height < 1)
        return ippStsSizeErr;
    if (!Inside(srcRoi.x, srcRoi.width, srcSize.width) ||
        !Inside(srcRoi.y, srcRoi.height, srcSize.height))
        return ippStsSizeErr;
    if (IppStatus s = Step(srcStep, srcSize.width, srcSize.height); s != ippStsNoErr)
        return s;
    if (IppStatus s = Step(dstStep, dstRoiSize.width, dstRoiSize.height); s != ippStsNoErr)
        return s;
    if (!(xFactor > 0.0) || !(yFactor > 0.0) || !std::isfinite(xFactor) || !std::isfinite(yFactor))
        return ippStsResizeFactorErr;
    // No status names the interpolation, and nearest neighbour is the only
    // one implemented.
    if (interpolation != IPPI_INTER_NN)
        return ippStsResizeFactorErr;
    return ippStsNoErr;
}

}  // namespace

IppStatus ippiResize_8u_C3R(const Ipp8u* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi,
                            Ipp8u* pDst, int dstStep, IppiSize dstRoiSize, double xFactor,
                            double yFactor, int interpolation) {
    if (pSrc == nullptr || pDst == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s =
            Check(srcSize, srcStep, srcRoi, dstStep, dstRoiSize, xFactor, yFactor, interpolation);
        s != ippStsNoErr)
        return s;
    const AxisMap column(srcRoi.width, dstRoiSize.width, xFactor);
    const AxisMap row(srcRoi.height, dstRoiSize.height, yFactor);
    for (int dy = 0; dy < dstRoiSize.height; ++dy) {
        const Ipp8u* src = pSrc + static_cast<std::ptrdiff_t>(srcRoi.y + row(dy)) * srcStep +
                           std::ptrdiff_t{3} * srcRoi.x;
        Ipp8u* dst = pDst + static_cast<std::ptrdiff_t>(dy) * dstStep;
        // A single row is never step-checked, so its byte offsets may pass INT_MAX.
        for (int dx = 0; dx < dstRoiSize.width; ++dx) {
            const Ipp8u* p = src + std::ptrdiff_t{3} * column(dx);
            Ipp8u* q = dst + std::ptrdiff_t{3} * dx;
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
        }
    }
    return ippStsNoErr;
}
