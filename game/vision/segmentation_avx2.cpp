// The fused conversion-and-mask pass for processors with AVX2: 32 pixels a
// step, with the same integer arithmetic as yuv_fixed_point.h (exact 32-bit
// multiply-add sums, an arithmetic shift, saturation), so the planes equal
// the scalar conversion's bit for bit.
#include <immintrin.h>

#include "ipp/yuv_fixed_point.h"
#include "segmentation_kernels.h"

// Everything below is compiled for AVX2 and runs only where the processor
// has it (segmentation_pass.cpp checks); the headers above stay baseline.
#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

using namespace yuv_fixed_point;

// Two 16-bit weights packed as one 32-bit lane for _mm256_madd_epi16.
__m256i WeightPair(int low, int high)
{
    return _mm256_set1_epi32(static_cast<int>((static_cast<unsigned>(high) << 16) |
                                              (static_cast<unsigned>(low) & 0xFFFF)));
}

struct Weights {
    __m256i y01, y2, u01, u2, v01, v2, lumaRound, chromaRound;
};

Weights MakeWeights()
{
    return {WeightPair(kY0, kY1), WeightPair(kY2, 0),   WeightPair(kU0, kU1),
            WeightPair(kU2, 0),   WeightPair(kV0, kV1), WeightPair(kV2, 0),
            _mm256_set1_epi32(kHalf), _mm256_set1_epi32(kBias + kHalf)};
}

struct Planes8 {
    __m256i y, u, v;  // eight 32-bit results each
};

// Pixels 0..7 of `src`: the low lane holds bytes 0..15 (pixels 0..3 at 3i),
// the high lane bytes 8..23 (pixels 4..7 at 4 + 3j). Each pixel becomes a
// 32-bit lane of words (c0, c1) and one of (c2, 0). Reads exactly 24 bytes.
Planes8 Convert8(const std::uint8_t* src, const Weights& w)
{
    const __m256i bytes = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8)), 1);
    constexpr char Z = -128;  // pshufb: write zero
    const __m256i pickC0C1 = _mm256_setr_epi8(0, Z, 1, Z, 3, Z, 4, Z, 6, Z, 7, Z, 9, Z, 10, Z,  //
                                              4, Z, 5, Z, 7, Z, 8, Z, 10, Z, 11, Z, 13, Z, 14, Z);
    const __m256i pickC2 = _mm256_setr_epi8(2, Z, Z, Z, 5, Z, Z, Z, 8, Z, Z, Z, 11, Z, Z, Z,  //
                                            6, Z, Z, Z, 9, Z, Z, Z, 12, Z, Z, Z, 15, Z, Z, Z);
    const __m256i c01 = _mm256_shuffle_epi8(bytes, pickC0C1);
    const __m256i c2 = _mm256_shuffle_epi8(bytes, pickC2);
    auto weigh = [&](__m256i k01, __m256i k2, __m256i round) {
        __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(c01, k01), _mm256_madd_epi16(c2, k2));
        return _mm256_srai_epi32(_mm256_add_epi32(sum, round), kShift);
    };
    return {weigh(w.y01, w.y2, w.lumaRound), weigh(w.u01, w.u2, w.chromaRound),
            weigh(w.v01, w.v2, w.chromaRound)};
}

// 4 x 8 32-bit lanes to 32 saturated bytes in pixel order.
__m256i PackBytes(__m256i a, __m256i b, __m256i c, __m256i d)
{
    const __m256i ab = _mm256_packs_epi32(a, b);  // lanes: a0 b0 | a1 b1
    const __m256i cd = _mm256_packs_epi32(c, d);  // lanes: c0 d0 | c1 d1
    const __m256i bytes = _mm256_packus_epi16(ab, cd);  // a0 b0 c0 d0 | a1 b1 c1 d1
    return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

// |a - b| of unsigned bytes.
__m256i AbsDiff(__m256i a, __m256i b)
{
    return _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
}

__m256i Load(const std::uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

}  // namespace

int ConvertAndSegmentRowAvx2(const SegmentationRow& row, int width,
                                                             const MaskLimits& lim)
{
    const Weights w = MakeWeights();
    // A difference exceeds its limit when the saturated difference minus the
    // limit is non-zero; a limit of -1 (everything passes) forces 255.
    const __m256i limY = _mm256_set1_epi8(static_cast<char>(lim.y < 0 ? 0 : lim.y));
    const __m256i limU = _mm256_set1_epi8(static_cast<char>(lim.u < 0 ? 0 : lim.u));
    const __m256i limV = _mm256_set1_epi8(static_cast<char>(lim.v < 0 ? 0 : lim.v));
    const __m256i force = (lim.y < 0 || lim.u < 0 || lim.v < 0) ? _mm256_set1_epi8(-1)
                                                                  : _mm256_setzero_si256();
    const __m256i zero = _mm256_setzero_si256();
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        const std::uint8_t* src = row.src + 3 * x;
        const Planes8 p0 = Convert8(src, w), p1 = Convert8(src + 24, w),
                      p2 = Convert8(src + 48, w), p3 = Convert8(src + 72, w);
        const __m256i y = PackBytes(p0.y, p1.y, p2.y, p3.y);
        const __m256i u = PackBytes(p0.u, p1.u, p2.u, p3.u);
        const __m256i v = PackBytes(p0.v, p1.v, p2.v, p3.v);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.y + x), y);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.u + x), u);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.v + x), v);

        const __m256i over = _mm256_or_si256(
            _mm256_or_si256(_mm256_subs_epu8(AbsDiff(y, Load(row.yb + x)), limY),
                            _mm256_subs_epu8(AbsDiff(u, Load(row.ub + x)), limU)),
            _mm256_subs_epu8(AbsDiff(v, Load(row.vb + x)), limV));
        // over == 0: background (0); otherwise 255.
        const __m256i mask = _mm256_or_si256(
            _mm256_xor_si256(_mm256_cmpeq_epi8(over, zero), _mm256_set1_epi8(-1)), force);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.mask + x), mask);
    }
    return x;  // the caller finishes the row's remaining pixels
}

#pragma GCC pop_options
