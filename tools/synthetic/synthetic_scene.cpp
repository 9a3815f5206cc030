#include "synthetic_scene.h"

#include <cmath>
#include <cstring>
#include <opencv2/imgproc.hpp>

SyntheticScene::SyntheticScene(int width, int height)
    : width_(width), height_(height), step_((3 * width + 3) & ~3), room_(height, width, CV_8UC3)
{
    // A pale wall over a wooden floor, a window and a shelf: structure that a
    // camera would see, all in mid to high luminance.
    const int floorRow = height * 3 / 4;
    for (int r = 0; r < height; ++r) {
        cv::Vec3b* row = room_.ptr<cv::Vec3b>(r);
        for (int c = 0; c < width; ++c) {
            if (r < floorRow) {
                int shade = 200 - r * 30 / floorRow + ((c / 7 + r / 5) % 3);
                row[c] = cv::Vec3b(shade - 10, shade, shade + 5);
            } else {
                int grain = (c * 13 + r * 7) % 11;
                row[c] = cv::Vec3b(90 + grain, 130 + grain, 170 + grain);
            }
        }
    }
    cv::rectangle(room_, cv::Rect(width / 10, height / 8, width / 5, height / 4),
                  cv::Scalar(235, 215, 170), cv::FILLED);
    cv::rectangle(room_, cv::Rect(width * 7 / 10, height / 3, width / 5, height / 30 + 2),
                  cv::Scalar(120, 150, 180), cv::FILLED);
}

void DrawFigure(cv::Mat& picture, const Figure& f)
{
    const double h = f.height;
    const int headR = std::max(2, static_cast<int>(h * 0.07));
    const int limb = std::max(2, static_cast<int>(h * 0.06));
    const cv::Point foot(f.x, f.footRow);
    const cv::Point hip(f.x, f.footRow - static_cast<int>(h * 0.47));
    const cv::Point shoulder(f.x, f.footRow - static_cast<int>(h * 0.80));
    const cv::Point head(f.x, f.footRow - static_cast<int>(h * 0.90));
    const int halfTorso = std::max(3, static_cast<int>(h * 0.09));

    cv::circle(picture, head, headR, f.colour, cv::FILLED, cv::LINE_8);
    // The neck: a person is one shape, head included.
    cv::line(picture, head, shoulder, f.colour, limb);
    cv::rectangle(picture, cv::Point(hip.x - halfTorso, shoulder.y),
                  cv::Point(hip.x + halfTorso, hip.y), f.colour, cv::FILLED);
    const double arm = h * 0.38;
    const cv::Point leftShoulder(shoulder.x - halfTorso, shoulder.y);
    const cv::Point rightShoulder(shoulder.x + halfTorso, shoulder.y);
    if (f.posed) {
        // A limb of length l at angle deg from hanging, to the side sign.
        const auto end = [](cv::Point from, double l, int deg, int sign) {
            const double r = deg * CV_PI / 180.0;
            return cv::Point(from.x + sign * static_cast<int>(l * std::sin(r)),
                             from.y + static_cast<int>(l * std::cos(r)));
        };
        const double leg = h * 0.47;
        cv::line(picture, hip, end(hip, leg, f.leftLeg, -1), f.colour, limb);
        cv::line(picture, hip, end(hip, leg, f.rightLeg, 1), f.colour, limb);
        cv::line(picture, leftShoulder, end(leftShoulder, arm, f.leftArm, -1), f.colour, limb);
    } else {
        const int step = static_cast<int>(h * 0.12);
        cv::line(picture, hip, cv::Point(foot.x - step, foot.y), f.colour, limb);
        cv::line(picture, hip, cv::Point(foot.x + step, foot.y), f.colour, limb);
        cv::line(picture, leftShoulder,
                 cv::Point(leftShoulder.x - static_cast<int>(arm * 0.25),
                           leftShoulder.y + static_cast<int>(arm * 0.95)),
                 f.colour, limb);
    }
    const double a = f.armRaise * CV_PI / 180.0;
    cv::line(picture, rightShoulder,
             cv::Point(rightShoulder.x + static_cast<int>(arm * std::sin(a)),
                       rightShoulder.y + static_cast<int>(arm * std::cos(a))),
             f.colour, limb);
}

void SyntheticScene::Render(std::uint8_t* frame, const std::vector<Figure>& figures) const
{
    cv::Mat shown = room_.clone();
    for (const Figure& f : figures)
        DrawFigure(shown, f);
    // The buffer's first row is the bottom row of the picture.
    for (int r = 0; r < height_; ++r) {
        std::uint8_t* dst = frame + static_cast<std::size_t>(height_ - 1 - r) * step_;
        std::memcpy(dst, shown.ptr(r), static_cast<std::size_t>(width_) * 3);
        std::memset(dst + width_ * 3, 0, static_cast<std::size_t>(step_ - width_ * 3));
    }
}

std::vector<std::uint8_t> SyntheticScene::Frame(const std::vector<Figure>& figures) const
{
    std::vector<std::uint8_t> frame(Bytes());
    Render(frame.data(), figures);
    return frame;
}
