// The demo camera: the synthetic room with one person in it, posed and moved
// by a keyframe script, with a little sensor noise. Frames are top-down BGR
// (as a camera delivers them) at any size; the script is written for a
// 352 x 288 picture and scaled to the frame.
//
// Script format, one item per line ('#' starts a comment line, blank lines
// are skipped):
//
//   T X Y H LA RA LL RL   a keyframe: at T seconds the figure's centre column
//                         is X, its feet are on row Y (from the top), it is H
//                         pixels tall (0: nobody there); its left arm, right
//                         arm, left leg and right leg are at LA, RA, LL, RL
//                         degrees (0 hanging or straight down, growing
//                         outwards and up; "left" is the picture's left)
//   loop                  after the last keyframe the script starts again
//   colour B G R          the figure's colour (0..255 each; default 40 40 200)
//
// Numbers are decimal (T, X, Y, H may have fractions). Keyframe times must
// grow strictly, from 0 to 86400. Between keyframes every value is
// interpolated linearly; before the first and after the last (without loop)
// the nearest keyframe holds. Bad lines are reported and skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "synthetic_scene.h"

struct DemoKeyframe {
    double time = 0;
    double x = 0, y = 0, height = 0;
    double leftArm = 0, rightArm = 0, leftLeg = 0, rightLeg = 0;
};

struct DemoScript {
    std::vector<DemoKeyframe> keys;
    bool loop = false;
    cv::Scalar colour{40, 40, 200};

    // The pose at t seconds, in the script's own 352 x 288 picture; false
    // when nobody is there.
    bool PoseAt(double t, DemoKeyframe* pose) const;
};

// Parses a script. Bad lines are described in *errors ("line N: reason")
// and skipped; the rest is kept.
DemoScript ParseDemoScript(std::string_view text, std::vector<std::string>* errors);
// Reads and parses a file (at most 1 MiB), reporting bad lines on standard
// error; false when the file cannot be read.
bool LoadDemoScript(const std::string& path, DemoScript* script);
// A person standing in the middle of the room, for a demo without a script.
DemoScript DefaultDemoScript();

class DemoCamera {
public:
    static constexpr int kScriptWidth = 352;
    static constexpr int kScriptHeight = 288;
    static constexpr int kFps = 30;

    DemoCamera(int width, int height, DemoScript script, std::uint32_t noiseSeed = 1);

    int Width() const { return scene_.Width(); }
    int Height() const { return scene_.Height(); }

    // Frame n (at n / 30 s), top-down, rows `stride` bytes apart.
    void RenderTopDown(std::int64_t n, std::uint8_t* frame, int stride);
    // The figure of frame n in frame pixels; false when nobody is there.
    bool FigureAt(std::int64_t n, Figure* figure) const;

private:
    SyntheticScene scene_;
    DemoScript script_;
    std::uint32_t noise_;
};
