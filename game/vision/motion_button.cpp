#include "motion_button.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

float CMotionButton::slotColour[kMaxButtonSlots][3] = {};
int CMotionButton::slotCountdown[kMaxButtonSlots] = {};

CMotionButton::CMotionButton(unsigned char* const& frameRef, int width, int height, int frameStep,
                             int pixelStride)
    : grayCoeffs{0.33f, 0.33f, 0.33f},
      frameRef(frameRef),
      width(width),
      height(height),
      pixelStride(pixelStride),
      frameStep(frameStep)
{
    grayImage = ippiMalloc_8u_C1(width, height, &maskStep);
    backgroundImage = ippiMalloc_8u_C1(width, height, &maskStep);
    motionMask = ippiMalloc_8u_C1(width, height, &maskStep);
    backgroundAccum = ippiMalloc_32f_C1(width, height, &accumStep);
}

CMotionButton::~CMotionButton()
{
    ippiFree(grayImage);
    ippiFree(backgroundImage);
    ippiFree(motionMask);
    ippiFree(backgroundAccum);
}

void CMotionButton::ResetSlots() { std::fill(std::begin(slotActive), std::end(slotActive), 0); }

void CMotionButton::Update()
{
    if (!Usable() || frameRef == nullptr)
        return;
    const IppiSize roi{width, height};
    ippiMirror_8u_C3IR(frameRef, frameStep, roi, ippAxsVertical);
    ippiColorToGray_8u_C3C1R(frameRef, frameStep, grayImage, maskStep, roi, grayCoeffs);
    if (reseed) {
        ippiConvert_8u32f_C1R(grayImage, maskStep, backgroundAccum, accumStep, roi);
        reseed = 0;
    }
    // The mask compares with the background as it was before this frame.
    ippiScale_32f8u_C1R(backgroundAccum, accumStep, backgroundImage, maskStep, roi, 0.0f, 255.0f);
    ippiAbsDiff_8u_C1R(grayImage, maskStep, backgroundImage, maskStep, motionMask, maskStep, roi);
    const Ipp8u t = static_cast<Ipp8u>(threshold & 0xFF);
    ippiThreshold_LTValGTVal_8u_C1IR(motionMask, maskStep, roi, t, 0, t, 255);
    ippiAddWeighted_8u32f_C1IR(grayImage, maskStep, backgroundAccum, accumStep, roi, 0.1f);
}

int CMotionButton::DoButton(int x, int y, int w, int h, float sensitivity, const char* label,
                            int labelX, int labelY, float fontScale, int thickness, int labelR,
                            int labelG, int labelB, int idleR, int idleG, int idleB, int flashR,
                            int flashG, int flashB, int fadeFrames, int slot)
{
    if (slot < 0 || slot >= kMaxButtonSlots)
        return -1;
    float* colour = slotColour[slot];
    int& countdown = slotCountdown[slot];
    const int idle[3] = {idleB, idleG, idleR}, flash[3] = {flashB, flashG, flashR};
    if (!slotActive[slot]) {
        countdown = 0;
        std::copy(idle, idle + 3, colour);
        slotActive[slot] = 1;
    }

    // Rectangles are clipped to the frame: a part outside neither counts
    // nor is drawn.
    const cv::Rect area = cv::Rect(x, y, w, h) & cv::Rect(0, 0, width, height);
    int count = 0;
    if (Usable() && !area.empty())
        ippiCountInRange_8u_C1R(motionMask + area.y * maskStep + area.x, maskStep,
                                {area.width, area.height}, &count, 128, 255);
    // In double: 40 x 40 at the sensitivity 10 x 0.01f (a little below 0.1)
    // then needs 160 pixels, at the constant 0.1f 161.
    if (count > static_cast<double>(area.area()) * static_cast<double>(sensitivity) &&
        countdown == 0) {
        std::copy(flash, flash + 3, colour);
        countdown = fadeFrames;
    }

    if (countdown <= 0) {
        slotActive[slot] = 0;
    } else {
        --countdown;
        for (int c = 0; c < 3; ++c)
            colour[c] -= static_cast<float>(flash[c] - idle[c]) / static_cast<float>(fadeFrames);
    }

    Ipp8u tint[3];
    for (int c = 0; c < 3; ++c)
        tint[c] = static_cast<Ipp8u>(static_cast<int>(std::ceil(colour[c])));
    const bool visible = std::all_of(idle, idle + 3, [](int v) { return v != 0; }) &&
                         std::all_of(flash, flash + 3, [](int v) { return v != 0; });
    if (visible)
        DrawButton(area.x, area.y, area.width, area.height, tint, label, labelX, labelY, fontScale,
                   thickness, labelR, labelG, labelB);
    return countdown == fadeFrames - 1 ? slot : -1;
}

void CMotionButton::DrawButton(int x, int y, int w, int h, const Ipp8u tint[3], const char* label,
                               int labelX, int labelY, float fontScale, int thickness, int labelR,
                               int labelG, int labelB)
{
    if (frameRef == nullptr)
        return;
    if (w > 0 && h > 0)
        ippiAddC_8u_C3IRSfs(tint, frameRef + y * frameStep + x * pixelStride, frameStep, {w, h}, 1);
    if (label == nullptr || thickness < 1 || fontScale <= 0.0f)
        return;
    // The display shows buffer row 0 at the bottom: drawn with a bottom-left
    // origin, the glyphs stand upside down in the buffer and read upright on
    // screen, rising from the baseline towards higher rows.
    cv::Mat frame(height, width, CV_8UC3, frameRef, frameStep);
    cv::putText(frame, label, {labelX, labelY}, cv::FONT_HERSHEY_SIMPLEX, fontScale,
                cv::Scalar(labelB, labelG, labelR), thickness, cv::LINE_8, true);
}
