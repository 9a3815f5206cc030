// The per-pixel work of the silhouette extraction, as one pass over the frame.
#pragma once

#include <cstdint>

struct SegmentationPlanes {
    std::uint8_t* yuv[3];               // written: Y, U, V of the frame
    const std::uint8_t* background[3];  // Y, U, V of the empty scene
    std::uint8_t* mask;                 // written: 255 foreground, 0 background
    int planeStep;                      // row pitch of all seven planes
};

// Mask thresholds as given by the settings: a pixel is foreground when its
// luminance differs by yThresh or more, or a chrominance by more than
// uThresh or vThresh.
struct SegmentationThresholds {
    int y, u, v;
};

// Converts the BGR frame to Y, U, V exactly as ippiRGBToYUV_8u_C3P3R does and
// marks the mask in the same pass.
void ConvertAndSegment(const std::uint8_t* frame, int frameStep, int width, int height,
                       const SegmentationPlanes& planes, SegmentationThresholds thresholds);

// Marks the mask from planes already converted, with the absolute
// differences looked up in `absDiff`.
void SegmentPlanes(int width, int height, const SegmentationPlanes& planes,
                   SegmentationThresholds thresholds, const unsigned char (*absDiff)[256]);
