#include "program_icon.h"

#include <cmath>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace {

// Drawn at four times the size and scaled down, which smooths every edge.
constexpr int kOversample = 4;

const cv::Scalar kScene(58, 30, 34, 255);  // dark violet, BGRA
const cv::Scalar kFloor(88, 46, 52, 255);
const cv::Scalar kPlayer(46, 157, 255, 255);  // orange
const cv::Scalar kStar(60, 230, 255, 255);    // yellow
const cv::Scalar kGlow(120, 240, 255, 255);

// Points given in hundredths of the icon's side.
std::vector<cv::Point> Scaled(std::initializer_list<cv::Point2f> points, int side)
{
    std::vector<cv::Point> out;
    for (const cv::Point2f& p : points)
        out.emplace_back(cvRound(p.x * side / 100.0f), cvRound(p.y * side / 100.0f));
    return out;
}

void RoundedSquare(cv::Mat& icon, int side)
{
    const int r = side * 18 / 100;
    const cv::Scalar c = kScene;
    cv::rectangle(icon, cv::Rect(r, 0, side - 2 * r, side), c, cv::FILLED);
    cv::rectangle(icon, cv::Rect(0, r, side, side - 2 * r), c, cv::FILLED);
    for (cv::Point centre : {cv::Point(r, r), cv::Point(side - r - 1, r),
                             cv::Point(r, side - r - 1), cv::Point(side - r - 1, side - r - 1)})
        cv::circle(icon, centre, r, c, cv::FILLED, cv::LINE_AA);
    // The floor the player stands on, kept inside the rounded corners.
    cv::Mat floor = icon(cv::Rect(0, side * 80 / 100, side, side - side * 80 / 100));
    cv::Mat mask;
    cv::extractChannel(floor, mask, 3);
    floor.setTo(kFloor, mask);
}

void Star(cv::Mat& icon, int side)
{
    const cv::Point2f centre(side * 0.74f, side * 0.24f);
    const float outer = side * 0.15f, inner = side * 0.065f;
    std::vector<cv::Point> points;
    for (int i = 0; i < 10; ++i) {
        const float a = static_cast<float>(-CV_PI / 2 + i * CV_PI / 5);
        const float r = (i % 2 == 0) ? outer : inner;
        points.emplace_back(cvRound(centre.x + r * std::cos(a)),
                            cvRound(centre.y + r * std::sin(a)));
    }
    cv::circle(icon, centre, cvRound(outer * 0.55f), kGlow, cv::FILLED, cv::LINE_AA);
    cv::fillPoly(icon, std::vector<std::vector<cv::Point>>{points}, kStar, cv::LINE_AA);
}

void Player(cv::Mat& icon, int side)
{
    // Head, then body with both arms raised in a Y, legs apart.
    cv::circle(icon, cv::Point(side * 40 / 100, side * 30 / 100), side * 8 / 100, kPlayer,
               cv::FILLED, cv::LINE_AA);
    const auto body = Scaled({{33, 40},
                              {47, 40},  // shoulders
                              {60, 20},
                              {67, 24},
                              {51, 47},  // right arm up
                              {50, 62},
                              {58, 84},
                              {50, 86},  // right leg
                              {40, 66},
                              {30, 86},
                              {22, 84},  // left leg
                              {30, 62},
                              {29, 47},
                              {13, 24},
                              {20, 20}},  // left arm up
                             side);
    cv::fillPoly(icon, std::vector<std::vector<cv::Point>>{body}, kPlayer, cv::LINE_AA);
}

}  // namespace

cv::Mat DrawProgramIcon(int size)
{
    const int side = size * kOversample;
    cv::Mat big(side, side, CV_8UC4, cv::Scalar(0, 0, 0, 0));
    RoundedSquare(big, side);
    Star(big, side);
    Player(big, side);
    cv::Mat icon;
    cv::resize(big, icon, cv::Size(size, size), 0, 0, cv::INTER_AREA);
    return icon;
}

GdkPixbuf* ProgramIconPixbuf(int size)
{
    cv::Mat bgra = DrawProgramIcon(size);
    cv::Mat rgba;
    cv::cvtColor(bgra, rgba, cv::COLOR_BGRA2RGBA);
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, size, size);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    for (int y = 0; y < size; ++y)
        std::memcpy(pixels + static_cast<std::size_t>(y) * stride, rgba.ptr(y),
                    static_cast<std::size_t>(size) * 4);
    return pixbuf;
}
