// The game filter's motion-button object and the automatic background reset.
#include "motion_button.h"
#include "play/game_clock.h"
#include "play/game_filter.h"

std::uint32_t CGameFilter::lastMotionTick = 0;

void CGameFilter::PrepareMotionButtons()
{
    if (buttons == nullptr)
        buttons = new CMotionButton(currentFrame, Width(), Height(), imageWidthStep, imageChannels);
    buttons->threshold = buttonThresh;
}

void CGameFilter::ReleaseMotionButtons()
{
    delete buttons;
    buttons = nullptr;
}

// When nothing in the picture has moved by more than the sensitivity for
// resetTime seconds, the empty scene becomes the new silhouette background.
int CGameFilter::AutoResetCheck(unsigned char*)
{
    if (buttons == nullptr)
        return -1;
    buttons->Update();
    const int fired = buttons->DoButton(0, 0, Width(), Height(), buttonSensitivity, nullptr, 0, 0,
                                        0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, kAutoResetSlot);
    const std::uint32_t now = game_clock::TickMilliseconds();
    if (fired == kAutoResetSlot)
        lastMotionTick = now;
    // Unsigned difference: right across the tick's wrap after 49 days.
    if (static_cast<double>(now - lastMotionTick) * 0.001 > static_cast<double>(resetTime)) {
        RequestBackgroundCapture();
        lastMotionTick = now;
    }
    return 0;
}
