// AVX2 row kernels of the primitives the game calls every frame. Each works
// the same integer or float arithmetic as the scalar loop that finishes its
// row, so results do not depend on where a row is split, and each reads and
// writes only inside the row it is given.
#include <immintrin.h>

#include "kernels.h"

namespace ipp_kernels {

bool HaveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

}  // namespace ipp_kernels

// Everything below is compiled for AVX2 and runs only where the processor
// has it (the callers check HaveAvx2()); the header above stays baseline.
#pragma GCC push_options
#pragma GCC target("avx2")

namespace ipp_kernels {

namespace {

constexpr char Z = -128;  // pshufb: write zero

__m128i Load16(const std::uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

void Store16(std::uint8_t* p, __m128i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// 4 x 8 32-bit lanes to 32 saturated bytes in order.
__m256i PackBytes(__m256i a, __m256i b, __m256i c, __m256i d)
{
    const __m256i ab = _mm256_packs_epi32(a, b);        // lanes: a0 b0 | a1 b1
    const __m256i cd = _mm256_packs_epi32(c, d);        // lanes: c0 d0 | c1 d1
    const __m256i bytes = _mm256_packus_epi16(ab, cd);  // a0 b0 c0 d0 | a1 b1 c1 d1
    return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

}  // namespace

// Five pixels (15 bytes) at a time from each end. The left window is the 16
// bytes at the left pixels, one byte past them; the right window the 16 bytes
// ending at the right end, one byte before the right pixels. Each store of
// 16 bytes puts the reversed 15 bytes of the other end in place and gives
// that extra byte back its value from its own window, so no byte outside the
// swapped pixels changes. The windows of the next step are read before this
// step's stores: they share only those extra bytes, which the stores leave as
// they were, and no load waits on a store it only partly overlaps. Both
// windows stay apart while at least 11 pixels remain between the ends.
int MirrorRowAvx2(std::uint8_t* row, int width)
{
    int l = 0, r = width;
    if (r - l < 11)
        return 0;
    // Left window: pixel q of the five at 3q. Right window: pixel q at 1 + 3q.
    const __m128i fromRight = _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3, Z);
    const __m128i fromLeft = _mm_setr_epi8(Z, 12, 13, 14, 9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2);
    const __m128i lastByte = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1);
    const __m128i firstByte = _mm_setr_epi8(-1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    __m128i left = Load16(row + 3 * l);
    __m128i right = Load16(row + 3 * r - 16);
    for (;;) {
        const __m128i toLeft = _mm_or_si128(_mm_shuffle_epi8(right, fromRight),
                                            _mm_and_si128(left, lastByte));
        const __m128i toRight = _mm_or_si128(_mm_shuffle_epi8(left, fromLeft),
                                             _mm_and_si128(right, firstByte));
        std::uint8_t* leftAt = row + 3 * l;
        std::uint8_t* rightAt = row + 3 * r - 16;
        l += 5;
        r -= 5;
        const bool more = r - l >= 11;
        if (more) {
            left = Load16(row + 3 * l);
            right = Load16(row + 3 * r - 16);
        }
        Store16(leftAt, toLeft);
        Store16(rightAt, toRight);
        if (!more)
            return l;
    }
}

namespace {

// Two 16-bit weights packed as one 32-bit lane for _mm256_madd_epi16.
__m256i WeightPair(int low, int high)
{
    return _mm256_set1_epi32(static_cast<int>((static_cast<unsigned>(high) << 16) |
                                              (static_cast<unsigned>(low) & 0xFFFF)));
}

struct GreyWeights {
    __m256i w02, w1;
};

// Eight pixels from 24 bytes: the low lane holds bytes 0..15 (pixels 0..3 at
// 3i), the high lane bytes 8..23 (pixels 4..7 at 4 + 3j). Each pixel becomes
// a 32-bit lane of bytes (c0, c1, c2, 0); masking gives the words (c0, c2),
// shifting the words (c1, 0), and two multiply-adds the exact sum. Reads
// exactly 24 bytes.
__m256i Grey8(const std::uint8_t* p, const GreyWeights& w)
{
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, Z, 3, 4, 5, Z, 6, 7, 8, Z, 9, 10, 11, Z,  //
                                            4, 5, 6, Z, 7, 8, 9, Z, 10, 11, 12, Z, 13, 14, 15, Z);
    const __m256i bytes =
        _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(p)), Load16(p + 8), 1);
    const __m256i px = _mm256_shuffle_epi8(bytes, spread);
    const __m256i c02 = _mm256_and_si256(px, _mm256_set1_epi32(0x00FF00FF));
    const __m256i c1 = _mm256_srli_epi16(px, 8);
    const __m256i sum =
        _mm256_add_epi32(_mm256_madd_epi16(c02, w.w02), _mm256_madd_epi16(c1, w.w1));
    return _mm256_srai_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(1 << 14)), 15);
}

// max(v, 0) gives its second operand, 0, when v is NaN; the clamped values
// then convert in the processor's rounding mode, to nearest with ties to
// even, as the scalar loop's rounding does.
__m256i Round8(const float* p)
{
    const __m256 v = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(p), _mm256_setzero_ps()),
                                   _mm256_set1_ps(255.0f));
    return _mm256_cvtps_epi32(v);
}

}  // namespace

int GreyRowAvx2(const std::uint8_t* src, std::uint8_t* dst, int width, const int weights[3])
{
    const GreyWeights w{WeightPair(weights[0], weights[2]), WeightPair(weights[1], 0)};
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        const std::uint8_t* p = src + 3 * x;
        const __m256i grey = PackBytes(Grey8(p, w), Grey8(p + 24, w), Grey8(p + 48, w),
                                       Grey8(p + 72, w));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), grey);
    }
    return x;
}

int ScaleRowPlainAvx2(const float* src, std::uint8_t* dst, int width)
{
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        const float* p = src + x;
        const __m256i bytes = PackBytes(Round8(p), Round8(p + 8), Round8(p + 16), Round8(p + 24));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), bytes);
    }
    return x;
}

namespace {

// Eight bytes as eight floats.
__m256 Floats8(const std::uint8_t* p)
{
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bytes));
}

}  // namespace

void ConvertAvx2(const std::uint8_t* src, std::ptrdiff_t srcStep, float* dst,
                 std::ptrdiff_t dstStep, int width, int height)
{
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* s = src + r * srcStep;
        float* d = reinterpret_cast<float*>(reinterpret_cast<char*>(dst) + r * dstStep);
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            const __m128i bytes = Load16(s + x);
            _mm_storeu_ps(d + x, _mm_cvtepi32_ps(_mm_cvtepu8_epi32(bytes)));
            _mm_storeu_ps(d + x + 4, _mm_cvtepi32_ps(_mm_cvtepu8_epi32(_mm_srli_si128(bytes, 4))));
            _mm_storeu_ps(d + x + 8, _mm_cvtepi32_ps(_mm_cvtepu8_epi32(_mm_srli_si128(bytes, 8))));
            _mm_storeu_ps(d + x + 12,
                          _mm_cvtepi32_ps(_mm_cvtepu8_epi32(_mm_srli_si128(bytes, 12))));
        }
        for (; x < width; ++x) d[x] = s[x];
    }
}

// Two products rounded each, then their sum: no fused multiply-add, which
// would round once and differ from the scalar loop.
int AddWeightedRowAvx2(const std::uint8_t* src, float* acc, int width, float keep, float alpha)
{
    const __m256 k = _mm256_set1_ps(keep), a = _mm256_set1_ps(alpha);
    int x = 0;
    for (; x + 16 <= width; x += 16)
        for (int i = 0; i < 16; i += 8) {
            const __m256 old = _mm256_loadu_ps(acc + x + i);
            const __m256 blend =
                _mm256_add_ps(_mm256_mul_ps(k, old), _mm256_mul_ps(a, Floats8(src + x + i)));
            _mm256_storeu_ps(acc + x + i, blend);
        }
    return x;
}

}  // namespace ipp_kernels

#pragma GCC pop_options
