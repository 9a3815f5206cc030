// The row kernels behind segmentation_pass.cpp.
#pragma once

#include <cstdint>

// One row of the frame and of the seven planes.
struct SegmentationRow {
    const std::uint8_t* src;  // BGR pixels
    std::uint8_t *y, *u, *v;
    const std::uint8_t *yb, *ub, *vb;
    std::uint8_t* mask;
};

// Foreground when a difference exceeds its limit; -1 lets every pixel pass,
// 255 none.
struct MaskLimits {
    int y, u, v;
};

// Converts and marks pixels from the row's start in steps of 32 and returns
// how many it did (a multiple of 32); the rest is the caller's.
int ConvertAndSegmentRowAvx2(const SegmentationRow& row, int width, const MaskLimits& limits);
