// Synthetic camera frames: a still, room-like background and person-like
// figures standing in it, written as the capture library delivers frames
// (bottom-up BGR24, rows padded to 4 bytes). Used by the tests, the
// benchmarks and the program's headless run.
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

struct Figure {
    int x = 0;            // centre column
    int footRow = 0;      // row of the feet, counted from the top of the picture
    int height = 0;       // head to feet, pixels
    int armRaise = 0;     // degrees the right arm is raised from hanging
    cv::Scalar colour{40, 40, 200};  // BGR; clearly darker or brighter than the room
    // posed: the left arm and the legs follow the angles below (degrees,
    // 0 hanging or straight down, growing outwards and up); otherwise the
    // left arm hangs a little out and the legs stand apart.
    bool posed = false;
    int leftArm = 0;
    int leftLeg = 0;
    int rightLeg = 0;
};

class SyntheticScene {
public:
    SyntheticScene(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Step() const { return step_; }
    std::size_t Bytes() const { return static_cast<std::size_t>(step_) * height_; }

    // Renders the room with the figures into `frame` (Bytes() bytes, bottom-up).
    void Render(std::uint8_t* frame, const std::vector<Figure>& figures) const;
    std::vector<std::uint8_t> Frame(const std::vector<Figure>& figures = {}) const;

    // The room as shown: top-down, unpadded.
    const cv::Mat& Room() const { return room_; }

private:
    int width_, height_, step_;
    cv::Mat room_;
};

// Draws one figure into a top-down picture.
void DrawFigure(cv::Mat& picture, const Figure& figure);
