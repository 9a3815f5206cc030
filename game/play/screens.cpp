// The start screen and the level choice, both worked by moving over motion
// buttons.
#include <opencv2/imgproc.hpp>

#include "game_filter.h"
#include "vision/motion_button.h"

namespace {

constexpr int kClipStep = 1;
constexpr int kClipChoose = 2;
constexpr int kClipStart = 3;
constexpr int kStartSlot = 7, kNextSlot = 0, kChooseSlot = 1, kNameSlot = 2;
constexpr int kWhite = 255, kGrey = 100;

}  // namespace

const char* const CGameFilter::kLevelNames[kLevelCount] = {
    "Pell Q. Darrow", "Garrik Umlev", "Crovan Delk", "Harl Ostrand", "USA",
    "UK",             "Iran",         "Iraq",        "Syria",        "Libya",
    "North Korea",    "Israel",       "Cuba",        "Palestine",    "Captitalism",
    "Spain",          "Poland",       "Pakistan",    "Turkey"};

// A white-labelled button, grey when idle and white when it flashes.
int CGameFilter::GreyButton(cv::Rect r, float sensitivity, const char* label, cv::Point at,
                            float fontScale, int thickness, int fadeFrames, int slot)
{
    return buttons->DoButton(r.x, r.y, r.width, r.height, sensitivity, label, at.x, at.y,
                             fontScale, thickness, kWhite, kWhite, kWhite, kGrey, kGrey, kGrey,
                             kWhite, kWhite, kWhite, fadeFrames, slot);
}

void CGameFilter::StartScreen()
{
    if (buttons == nullptr)
        return;
    const int h = Height();
    if (screens.startNeedsReset) {
        buttons->ResetBackground();
        buttons->ResetSlots();
        screens.startNeedsReset = false;
    }
    buttons->Update();
    if (GreyButton({140, h - 100, 40, 40}, buttonSensitivity, "Enter the battlefield here",
                   {50, h - 100}, 0.5f, 1, 10, kStartSlot) == kStartSlot) {
        gameState = kLevelChoice;
        PlayClip(kClipStart, 0, -500);
        screens.startNeedsReset = true;
    }
}

void CGameFilter::LevelChoiceScreen()
{
    if (buttons == nullptr)
        return;
    const int w = Width(), h = Height();
    if (!screens.levelChoiceStarted) {
        buttons->ResetSlots();
        buttons->ResetBackground();
        screens.levelChoiceStarted = true;
    }
    buttons->Update();
    const int next = GreyButton({10, h - 50, 40, 40}, 0.1f, "Next Evil", {2, h - 50}, 0.5f, 1, 30,
                                kNextSlot);
    const int choose = GreyButton({w - 90, h - 50, 40, 40}, 0.1f, "Choose", {w - 100, h - 50},
                                  0.5f, 1, 20, kChooseSlot);
    GreyButton({0, 0, 0, 0}, 0.1f, kLevelNames[levelIndex], {130, 60}, 0.5f, 1, 30, kNameSlot);

    ShowLevelPreview();
    if (next == kNextSlot) {
        levelIndex = (levelIndex + 1) % kLevelCount;
        PlayClip(kClipStep, 0, -500);
    }
    if (choose == kChooseSlot) {
        gameState = kPlay;
        PlayClip(kClipChoose, 0, -500);
        screens.levelChoiceStarted = false;
    }
}

// The target's picture in the corner: buffer columns 0..119, rows 0..79.
// Loaded turned by half a turn and mirrored here, it lies upside down in the
// buffer and shows upright. A missing picture leaves the corner black.
void CGameFilter::ShowLevelPreview()
{
    const cv::Mat& picture = levelImages[levelIndex];
    if (picture.empty())
        levelPreview.setTo(cv::Scalar::all(0));
    else
        cv::resize(picture, levelPreview, levelPreview.size(), 0, 0, cv::INTER_NEAREST);
    cv::flip(levelPreview, levelPreview, 1);
    const cv::Rect corner = cv::Rect(0, 0, levelPreview.cols, levelPreview.rows) &
                            cv::Rect(0, 0, Width(), Height());
    levelPreview(cv::Rect(0, 0, corner.width, corner.height)).copyTo(frameImage(corner));
}
