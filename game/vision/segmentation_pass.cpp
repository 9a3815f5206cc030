// Both passes give the same mask for the same planes: the fused one computes
// |a - b| directly, the plane one looks it up, and each threshold is turned
// into the same "difference above limit" test.
#include "segmentation_pass.h"

#include <algorithm>
#include <cstdlib>

#include "ipp/yuv_fixed_point.h"
#include "segmentation_kernels.h"

namespace {

// dY >= yThresh is dY > yThresh - 1. Clamping to -1..255 keeps the meaning
// for any setting (-1: every pixel passes, 255: none) and lets the limits
// live in byte lanes.
MaskLimits ToLimits(SegmentationThresholds t)
{
    auto clampLimit = [](long v) { return static_cast<int>(std::clamp(v, -1L, 255L)); };
    return {clampLimit(static_cast<long>(t.y) - 1), clampLimit(t.u), clampLimit(t.v)};
}

// Pixels `from` .. width - 1 of one row, one at a time.
void ConvertAndSegmentRowScalar(const SegmentationRow& row, int from, int width,
                                const MaskLimits& lim)
{
    using namespace yuv_fixed_point;
    for (int x = from; x < width; ++x) {
        const int c0 = row.src[3 * x], c1 = row.src[3 * x + 1], c2 = row.src[3 * x + 2];
        const int yy = Luma(c0, c1, c2);
        const int uu = ChromaU(c0, c1, c2);
        const int vv = ChromaV(c0, c1, c2);
        row.y[x] = static_cast<std::uint8_t>(yy);
        row.u[x] = static_cast<std::uint8_t>(uu);
        row.v[x] = static_cast<std::uint8_t>(vv);
        const int dy = std::abs(yy - row.yb[x]);
        const int du = std::abs(uu - row.ub[x]);
        const int dv = std::abs(vv - row.vb[x]);
        row.mask[x] = (dy > lim.y) | (du > lim.u) | (dv > lim.v) ? 255 : 0;
    }
}

const bool kHaveAvx2 = __builtin_cpu_supports("avx2");

}  // namespace

void ConvertAndSegment(const std::uint8_t* frame, int frameStep, int width, int height,
                       const SegmentationPlanes& planes, SegmentationThresholds thresholds)
{
    const MaskLimits lim = ToLimits(thresholds);
    for (int r = 0; r < height; ++r) {
        const std::ptrdiff_t po = static_cast<std::ptrdiff_t>(r) * planes.planeStep;
        const SegmentationRow row{frame + static_cast<std::ptrdiff_t>(r) * frameStep,
                                  planes.yuv[0] + po,
                                  planes.yuv[1] + po,
                                  planes.yuv[2] + po,
                                  planes.background[0] + po,
                                  planes.background[1] + po,
                                  planes.background[2] + po,
                                  planes.mask + po};
        const int done = kHaveAvx2 ? ConvertAndSegmentRowAvx2(row, width, lim) : 0;
        ConvertAndSegmentRowScalar(row, done, width, lim);
    }
}

void SegmentPlanes(int width, int height, const SegmentationPlanes& planes,
                   SegmentationThresholds thresholds, const unsigned char (*absDiff)[256])
{
    const MaskLimits lim = ToLimits(thresholds);
    for (int r = 0; r < height; ++r) {
        const std::ptrdiff_t po = static_cast<std::ptrdiff_t>(r) * planes.planeStep;
        for (int x = 0; x < width; ++x) {
            const std::ptrdiff_t p = po + x;
            // The chrominance differences are looked up only when needed.
            bool fg = absDiff[planes.yuv[0][p]][planes.background[0][p]] > lim.y ||
                      absDiff[planes.yuv[1][p]][planes.background[1][p]] > lim.u ||
                      absDiff[planes.yuv[2][p]][planes.background[2][p]] > lim.v;
            planes.mask[p] = fg ? 255 : 0;
        }
    }
}
