// The one definition of the colour conversion's arithmetic, shared by
// ippiRGBToYUV_8u_C3P3R and the fused conversion-and-mask pass of the game,
// so that both give identical planes.
//
// U and V are expanded into direct weighted sums of the three bytes (rather
// than computed from an already rounded Y), so each result is the real-valued
// formula rounded to nearest: Y = 0.299 c0 + 0.587 c1 + 0.114 c2,
// U = 0.492 (c2 - Y) + 128, V = 0.877 (c0 - Y) + 128, saturated to 0..255.
// Weights carry 15 fraction bits, so each fits a signed 16-bit lane of a
// multiply-add instruction; each row of weights sums exactly to 32768 (Y) or
// 0 (U, V), so grey stays grey and white stays 255. Results are within 0.52
// of the real-valued formula, so they are that formula rounded to nearest
// except within a few hundredths of a tie.
#pragma once

#include <cstdint>

namespace yuv_fixed_point {

constexpr int kShift = 15;
constexpr int kHalf = 1 << (kShift - 1);
constexpr int kBias = 128 << kShift;

constexpr int kY0 = 9798, kY1 = 19235, kY2 = 3735;
constexpr int kU0 = -4820, kU1 = -9464, kU2 = 14284;
constexpr int kV0 = 20145, kV1 = -16869, kV2 = -3276;

static_assert(kY0 + kY1 + kY2 == 1 << kShift);
static_assert(kU0 + kU1 + kU2 == 0 && kV0 + kV1 + kV2 == 0);

inline std::uint8_t Saturate(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Y never leaves 0..255 and U stays within 17..239, so only V saturates.
inline int Luma(int c0, int c1, int c2) { return (kY0 * c0 + kY1 * c1 + kY2 * c2 + kHalf) >> kShift; }
inline int ChromaU(int c0, int c1, int c2) {
    return (kU0 * c0 + kU1 * c1 + kU2 * c2 + kBias + kHalf) >> kShift;
}
inline std::uint8_t ChromaV(int c0, int c1, int c2) {
    return Saturate((kV0 * c0 + kV1 * c1 + kV2 * c2 + kBias + kHalf) >> kShift);
}

}  // namespace yuv_fixed_point
