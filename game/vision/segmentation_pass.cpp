// Both passes give the same mask for the same planes: the fused one computes
// |a - b| directly, the plane one looks it up, and each threshold is turned
// into the same "difference above limit" test.
#include "segmentation_pass.h"

#include <algorithm>

#include "ipp/yuv_fixed_point.h"

namespace {

struct Limits {
    int y, u, v;  // foreground when a difference exceeds its limit
};

// dY >= yThresh is dY > yThresh - 1. Clamping to -1..255 keeps the meaning
// for any setting (-1: every pixel passes, 255: none) and lets the limits
// live in narrow vector lanes.
Limits ToLimits(SegmentationThresholds t)
{
    auto clampLimit = [](long v) { return static_cast<int>(std::clamp(v, -1L, 255L)); };
    return {clampLimit(static_cast<long>(t.y) - 1), clampLimit(t.u), clampLimit(t.v)};
}

}  // namespace

// Built for AVX2 and for the baseline; the loader picks what the processor has.
__attribute__((target_clones("avx2", "default"))) void ConvertAndSegment(
    const std::uint8_t* frame, int frameStep, int width, int height,
    const SegmentationPlanes& planes, SegmentationThresholds thresholds)
{
    using namespace yuv_fixed_point;
    const Limits lim = ToLimits(thresholds);
    for (int r = 0; r < height; ++r) {
        const std::ptrdiff_t po = static_cast<std::ptrdiff_t>(r) * planes.planeStep;
        const std::uint8_t* __restrict src = frame + static_cast<std::ptrdiff_t>(r) * frameStep;
        std::uint8_t* __restrict y = planes.yuv[0] + po;
        std::uint8_t* __restrict u = planes.yuv[1] + po;
        std::uint8_t* __restrict v = planes.yuv[2] + po;
        const std::uint8_t* __restrict yb = planes.background[0] + po;
        const std::uint8_t* __restrict ub = planes.background[1] + po;
        const std::uint8_t* __restrict vb = planes.background[2] + po;
        std::uint8_t* __restrict mask = planes.mask + po;
        for (int x = 0; x < width; ++x) {
            const int c0 = src[3 * x], c1 = src[3 * x + 1], c2 = src[3 * x + 2];
            const int yy = Luma(c0, c1, c2);
            const int uu = ChromaU(c0, c1, c2);
            const int vv = ChromaV(c0, c1, c2);
            y[x] = static_cast<std::uint8_t>(yy);
            u[x] = static_cast<std::uint8_t>(uu);
            v[x] = static_cast<std::uint8_t>(vv);
            const int dy = yy > yb[x] ? yy - yb[x] : yb[x] - yy;
            const int du = uu > ub[x] ? uu - ub[x] : ub[x] - uu;
            const int dv = vv > vb[x] ? vv - vb[x] : vb[x] - vv;
            mask[x] = (dy > lim.y) | (du > lim.u) | (dv > lim.v) ? 255 : 0;
        }
    }
}

void SegmentPlanes(int width, int height, const SegmentationPlanes& planes,
                   SegmentationThresholds thresholds, const unsigned char (*absDiff)[256])
{
    const Limits lim = ToLimits(thresholds);
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
