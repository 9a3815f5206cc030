// Kernels for processors with AVX2 (kernels_avx2.cpp). The row kernels handle
// the part of a row they can and say how far they got; the caller finishes
// the rest with its scalar loop, which works the same arithmetic, so a row
// gives the same bytes whichever way it is split. Call them only when
// HaveAvx2().
#pragma once

#include <cstddef>
#include <cstdint>

namespace ipp_kernels {

// Whether this processor runs the kernels below; asked once.
bool HaveAvx2();

// Reverses the order of the 3-byte pixels of a row of `width` pixels from
// both ends inward, touching only the row's 3 * width bytes. Returns n: pixels
// 0..n-1 and width-n..width-1 are done, the middle width - 2n (fewer than 11)
// are left as they were.
int MirrorRowAvx2(std::uint8_t* row, int width);

// Weighted sum of the three bytes of each pixel in 15-bit fixed point:
// (w0 c0 + w1 c1 + w2 c2 + 2^14) >> 15, saturated to 0..255. Weights are
// signed 16-bit values. Returns the number of leading pixels written.
int GreyRowAvx2(const std::uint8_t* src, std::uint8_t* dst, int width, const int weights[3]);

// Each float clamped to 0..255 (NaN to 0) and rounded to the nearest integer,
// ties to even. Returns the number of leading values written.
int ScaleRowPlainAvx2(const float* src, std::uint8_t* dst, int width);

// Bytes to floats, every row of the region.
void ConvertAvx2(const std::uint8_t* src, std::ptrdiff_t srcStep, float* dst,
                 std::ptrdiff_t dstStep, int width, int height);

// acc = keep * acc + alpha * src, each product rounded to float and then
// their sum. Returns the number of leading values written.
int AddWeightedRowAvx2(const std::uint8_t* src, float* acc, int width, float keep, float alpha);

}  // namespace ipp_kernels
