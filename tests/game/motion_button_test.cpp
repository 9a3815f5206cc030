// Motion buttons against frames whose moving pixels are placed exactly.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <vector>

#include "vision/motion_button.h"

namespace {

constexpr int kW = 200, kH = 120;
constexpr int kStep = (3 * kW + 3) & ~3;

// A frame the button object sees through its reference. Update mirrors the
// frame left to right before it looks, so pixels are placed mirrored here to
// land where the test says in the motion mask.
class ButtonBench : public ::testing::Test {
  protected:
    ButtonBench() : bytes(kStep * kH, 0)
    {
        frame = bytes.data();
        buttons = std::make_unique<CMotionButton>(frame, kW, kH, kStep, 3);
        buttons->threshold = 20;
        buttons->ResetSlots();
    }

    // A new camera picture: black, with `pixels` pixels of the rectangle (in
    // mask coordinates, row by row from its first pixel) set to `grey`.
    void Show(cv::Rect r, int pixels, int grey = 200)
    {
        std::fill(bytes.begin(), bytes.end(), 0);
        for (int i = 0; i < pixels; ++i) {
            const int x = r.x + i % r.width, y = r.y + i / r.width;
            unsigned char* p = bytes.data() + y * kStep + 3 * (kW - 1 - x);
            p[0] = p[1] = p[2] = static_cast<unsigned char>(grey);
        }
        buttons->Update();
    }

    int Press(cv::Rect r, float sensitivity, int fade, int slot = 5,
              cv::Scalar idle = {100, 100, 100}, cv::Scalar flash = {255, 255, 255})
    {
        return buttons->DoButton(r.x, r.y, r.width, r.height, sensitivity, "B", r.x, r.y, 0.5f, 1,
                                 255, 255, 255, int(idle[0]), int(idle[1]), int(idle[2]),
                                 int(flash[0]), int(flash[1]), int(flash[2]), fade, slot);
    }

    std::vector<unsigned char> bytes;
    unsigned char* frame;
    std::unique_ptr<CMotionButton> buttons;
};

const cv::Rect kButton{50, 30, 40, 40};

}  // namespace

TEST_F(ButtonBench, SustainedWaveFiresEveryFadePeriod)
{
    Show(kButton, 0);
    std::vector<int> fired;
    for (int f = 1; f <= 60; ++f) {
        // A wave: the hand is in the button on every other frame.
        Show(kButton, f % 2 ? 1600 : 0);
        if (Press(kButton, 0.1f, 20) == 5)
            fired.push_back(f);
    }
    EXPECT_EQ(fired, (std::vector<int>{1, 21, 41}));
}

TEST_F(ButtonBench, CountMustExceedTheSensitivityShare)
{
    struct Case {
        float sensitivity;
        int pixels;
        bool fires;
    } cases[] = {
        {0.1f, 160, false},       {0.1f, 161, true},
        {10 * 0.01f, 159, false}, {10 * 0.01f, 160, true},  // the file's 10 percent
        {0.0f, 1, true},          {0.0f, 0, false},
        {1.0f, 1600, false},      {2.0f, 1600, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sensitivity << " " << c.pixels);
        buttons->ResetSlots();
        buttons->ResetBackground();
        Show(kButton, 0);
        Show(kButton, c.pixels);
        EXPECT_EQ(Press(kButton, c.sensitivity, 10) == 5, c.fires);
    }
}

TEST_F(ButtonBench, FirstUpdateIsAllStill)
{
    Show(kButton, 1600);
    EXPECT_EQ(Press(kButton, 0.0f, 10), -1);
    EXPECT_EQ(cv::countNonZero(cv::Mat(kH, kW, CV_8UC1, buttons->motionMask, buttons->maskStep)),
              0);
}

TEST_F(ButtonBench, ThresholdUsesItsLowEightBits)
{
    // 300 acts as 44: a difference of 44 stays 44 (not moving), 45 moves.
    buttons->threshold = 300;
    Show(kButton, 0);
    for (int grey : {44, 45}) {
        buttons->ResetBackground();
        Show(kButton, 0);
        // 0.33 * 3 of the grey level, rounded, is the pixel's grey value.
        Show(kButton, 1, static_cast<int>(grey / 0.99 + 0.5));
        const Ipp8u v = buttons->motionMask[kButton.y * buttons->maskStep + kButton.x];
        EXPECT_EQ(v, grey == 44 ? 44 : 255);
    }
}

TEST_F(ButtonBench, FadeOfOneReportsEveryFrameAndZeroNever)
{
    Show(kButton, 0);
    for (int f = 0; f < 5; ++f) {
        Show(kButton, f % 2 ? 1600 : 0);
        EXPECT_EQ(Press(kButton, 0.1f, 1, 3), 3) << f;
        EXPECT_EQ(Press(kButton, 0.1f, 0, 4), -1) << f;
    }
}

TEST_F(ButtonBench, ZeroColourComponentHidesButStillFires)
{
    Show(kButton, 0);
    Show(kButton, 1600);
    const std::vector<unsigned char> before = bytes;
    EXPECT_EQ(Press(kButton, 0.1f, 10, 5, {0, 100, 100}), 5);
    EXPECT_EQ(bytes, before);  // no tint, no label
    // Visible: the button's rectangle is blended with its tint.
    Show(kButton, 0);
    const std::vector<unsigned char> plain = bytes;
    Press(kButton, 0.1f, 10, 6);
    EXPECT_NE(bytes, plain);
    // (0 + 100) / 2 in every channel of the idle-grey button.
    EXPECT_EQ(bytes[(kButton.y + 5) * kStep + 3 * (kButton.x + 5)], 50);
}

TEST_F(ButtonBench, RectanglesAndSlotsOutsideAreSafe)
{
    Show(kButton, 0);
    Show({kW - 20, kH - 20, 20, 20}, 400);
    // Half outside: only the inside counts and is drawn (clipped, no overrun).
    EXPECT_EQ(Press({kW - 20, kH - 20, 40, 40}, 0.5f, 10), 5);
    EXPECT_EQ(Press({-100, -100, 50, 50}, 0.0f, 10, 7), -1);
    EXPECT_EQ(Press(kButton, 0.0f, 10, 50), -1);
    EXPECT_EQ(Press(kButton, 0.0f, 10, -1), -1);
}
