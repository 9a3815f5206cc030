// Buttons pressed by moving: a motion detector over the whole frame (a
// running-average grey background, its difference, a threshold) and fifty
// immediate-mode button slots. Each frame a screen calls Update once, then
// DoButton for each visible button; DoButton tints the button, draws its
// label and returns the slot number on the one frame on which it fires.
//
// Each slot: idle ──first DoButton──▶ armed ──motion──▶ fires ──▶ fading
// (fadeFrames - 1 calls, cannot fire) ──▶ armed. ResetSlots sends every
// slot back to idle.
#pragma once

#include <cstdint>

#include "ipp/ipp.h"

class CMotionButton {
public:
    static constexpr int kMaxButtonSlots = 50;

    // `frameRef` is where the owner keeps the pointer to the frame being
    // processed; it is read on every call.
    CMotionButton(unsigned char* const& frameRef, int width, int height, int frameStep,
                  int pixelStride);
    virtual ~CMotionButton();
    CMotionButton(const CMotionButton&) = delete;
    CMotionButton& operator=(const CMotionButton&) = delete;

    // Mirrors the frame left to right and refreshes the motion mask.
    void Update();
    // Colours are (red, green, blue), 0..255. Returns `slot` on the frame on
    // which the button fires, else -1.
    int DoButton(int x, int y, int w, int h, float sensitivity, const char* label, int labelX,
                 int labelY, float fontScale, int thickness, int labelR, int labelG, int labelB,
                 int idleR, int idleG, int idleB, int flashR, int flashG, int flashB,
                 int fadeFrames, int slot);
    // The next Update starts the background afresh from its frame.
    void ResetBackground() { reseed = 1; }
    void ResetSlots();

    // False when the images could not be allocated: nothing then moves, no
    // button fires and nothing is drawn.
    bool Usable() const { return grayImage && backgroundImage && motionMask && backgroundAccum; }

    int threshold = 0;  // low 8 bits used
    float grayCoeffs[3];
    Ipp8u* grayImage = nullptr;
    Ipp8u* backgroundImage = nullptr;
    Ipp8u* motionMask = nullptr;  // 0 still, 255 moving; a difference equal to T keeps T
    Ipp32f* backgroundAccum = nullptr;
    unsigned char* const& frameRef;
    int width, height;
    int pixelStride;
    int frameStep;
    std::uint8_t reseed = 1;
    int maskStep = 0;
    int accumStep = 0;
    std::uint8_t slotActive[kMaxButtonSlots] = {};

    // Class-wide: the tint and the fade of every slot, in buffer channel
    // order (blue, green, red).
    static float slotColour[kMaxButtonSlots][3];
    static int slotCountdown[kMaxButtonSlots];

private:
    void DrawButton(int x, int y, int w, int h, const Ipp8u tint[3], const char* label, int labelX,
                    int labelY, float fontScale, int thickness, int labelR, int labelG,
                    int labelB);
};
