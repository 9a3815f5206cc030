// Draws the game's pictures into one folder: the title, the backdrop of the
// end-of-game tally, the nineteen target pictures painted into the player's
// silhouette, and the eleven flying sprites. Everything is drawn from shapes,
// gradients and seeded noise, so a rerun writes the same files.
//
//   make_pictures <output folder>
//
// The game loads each file in colour and turns it by half a turn itself, so
// everything here is drawn upright, as a person looks at it.

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using cv::Mat;
using cv::Point;
using cv::Point2f;
using cv::Rect;
using cv::Scalar;
using cv::Size;
using cv::Size2f;

constexpr double kPi = 3.14159265358979323846;

// Colours are written as people read them, red first; OpenCV keeps BGR.
Scalar Rgb(double r, double g, double b)
{
    return Scalar(b, g, r);
}

Scalar Mix(const Scalar& a, const Scalar& b, double t)
{
    return a * (1.0 - t) + b * t;
}

double Clamp01(double v)
{
    return std::clamp(v, 0.0, 1.0);
}

double SmoothStep(double e0, double e1, double v)
{
    const double t = Clamp01((v - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}

// ---- polygons with sub-pixel corners ----------------------------------------
// OpenCV draws integer points; four fraction bits keep small shapes smooth.

constexpr int kShift = 4;
constexpr float kFix = 1 << kShift;

Point Fixed(Point2f p)
{
    return Point(cvRound(p.x * kFix), cvRound(p.y * kFix));
}

std::vector<Point> Fixed(const std::vector<Point2f>& pts)
{
    std::vector<Point> out;
    out.reserve(pts.size());
    for (const Point2f& p : pts) out.push_back(Fixed(p));
    return out;
}

void FillPoly(Mat& img, const std::vector<Point2f>& pts, const Scalar& colour)
{
    const std::vector<std::vector<Point>> polys{Fixed(pts)};
    cv::fillPoly(img, polys, colour, cv::LINE_AA, kShift);
}

void PolyLine(Mat& img, const std::vector<Point2f>& pts, bool closed, const Scalar& colour,
              int thickness)
{
    const std::vector<std::vector<Point>> polys{Fixed(pts)};
    cv::polylines(img, polys, closed, colour, thickness, cv::LINE_AA, kShift);
}

void Line(Mat& img, Point2f a, Point2f b, const Scalar& colour, int thickness)
{
    cv::line(img, Fixed(a), Fixed(b), colour, thickness, cv::LINE_AA, kShift);
}

void Disc(Mat& img, Point2f c, float r, const Scalar& colour, int thickness = cv::FILLED)
{
    cv::circle(img, Fixed(c), cvRound(r * kFix), colour, thickness, cv::LINE_AA, kShift);
}

void Oval(Mat& img, Point2f c, Size2f axes, double angle, const Scalar& colour,
          int thickness = cv::FILLED, double from = 0, double to = 360)
{
    cv::ellipse(img, Fixed(c), Size(cvRound(axes.width * kFix), cvRound(axes.height * kFix)), angle,
                from, to, colour, thickness, cv::LINE_AA, kShift);
}

// Five-pointed (or n-pointed) star, first point straight up when rotation is 0.
std::vector<Point2f> StarPoints(Point2f c, float outer, float inner, int points = 5,
                                double rotationDeg = 0)
{
    std::vector<Point2f> pts;
    for (int i = 0; i < 2 * points; ++i) {
        const double a = (rotationDeg - 90.0) * kPi / 180.0 + i * kPi / points;
        const float r = (i % 2 == 0) ? outer : inner;
        pts.emplace_back(c.x + r * static_cast<float>(std::cos(a)),
                         c.y + r * static_cast<float>(std::sin(a)));
    }
    return pts;
}

// A regular five-pointed star has its inner radius at this share of the outer.
constexpr float kStarInner = 0.382f;

// ---- masks, weights and painting ----------------------------------------------

// A coverage mask drawn by `draw` in 255 on 0.
Mat MaskOf(Size size, const std::function<void(Mat&)>& draw)
{
    Mat mask(size, CV_8U, Scalar(0));
    draw(mask);
    return mask;
}

// Painting weights in 0..1 from either an 8-bit mask or a float field.
Mat Weights(const Mat& mask)
{
    if (mask.type() == CV_32F)
        return mask;
    CV_Assert(mask.type() == CV_8U);
    Mat w;
    mask.convertTo(w, CV_32F, 1.0 / 255.0);
    return w;
}

// Lays `colour` over `img` in proportion to the mask times `opacity`.
void Paint(Mat& img, const Mat& mask, const Scalar& colour, double opacity = 1.0)
{
    const Mat w = Weights(mask);
    CV_Assert(img.type() == CV_8UC3 && w.size() == img.size());
    for (int r = 0; r < img.rows; ++r) {
        cv::Vec3b* px = img.ptr<cv::Vec3b>(r);
        const float* m = w.ptr<float>(r);
        for (int c = 0; c < img.cols; ++c) {
            const double a = Clamp01(m[c] * opacity);
            if (a <= 0.0)
                continue;
            for (int k = 0; k < 3; ++k)
                px[c][k] = cv::saturate_cast<uchar>(px[c][k] * (1.0 - a) + colour[k] * a);
        }
    }
}

// Lays another picture of the same size over `img` through the mask.
void PaintPicture(Mat& img, const Mat& mask, const Mat& picture, double opacity = 1.0)
{
    const Mat w = Weights(mask);
    CV_Assert(img.type() == CV_8UC3 && picture.type() == CV_8UC3 && w.size() == img.size() &&
              picture.size() == img.size());
    for (int r = 0; r < img.rows; ++r) {
        cv::Vec3b* px = img.ptr<cv::Vec3b>(r);
        const cv::Vec3b* src = picture.ptr<cv::Vec3b>(r);
        const float* m = w.ptr<float>(r);
        for (int c = 0; c < img.cols; ++c) {
            const double a = Clamp01(m[c] * opacity);
            if (a <= 0.0)
                continue;
            for (int k = 0; k < 3; ++k)
                px[c][k] = cv::saturate_cast<uchar>(px[c][k] * (1.0 - a) + src[c][k] * a);
        }
    }
}

// Adds light: fire glow, embers, sparks.
void AddLight(Mat& img, const Mat& mask, const Scalar& colour, double strength = 1.0)
{
    const Mat w = Weights(mask);
    CV_Assert(img.type() == CV_8UC3 && w.size() == img.size());
    for (int r = 0; r < img.rows; ++r) {
        cv::Vec3b* px = img.ptr<cv::Vec3b>(r);
        const float* m = w.ptr<float>(r);
        for (int c = 0; c < img.cols; ++c) {
            const double a = m[c] * strength;
            if (a <= 0.0)
                continue;
            for (int k = 0; k < 3; ++k)
                px[c][k] = cv::saturate_cast<uchar>(px[c][k] + colour[k] * a);
        }
    }
}

// Multiplies brightness by a per-pixel factor (shading, vignettes).
void Shade(Mat& img, const Mat& factor)
{
    CV_Assert(img.type() == CV_8UC3 && factor.type() == CV_32F && factor.size() == img.size());
    for (int r = 0; r < img.rows; ++r) {
        cv::Vec3b* px = img.ptr<cv::Vec3b>(r);
        const float* f = factor.ptr<float>(r);
        for (int c = 0; c < img.cols; ++c)
            for (int k = 0; k < 3; ++k) px[c][k] = cv::saturate_cast<uchar>(px[c][k] * f[c]);
    }
}

Mat Dilated(const Mat& mask, int radius)
{
    Mat out;
    cv::dilate(mask, out,
               cv::getStructuringElement(cv::MORPH_ELLIPSE, Size(2 * radius + 1, 2 * radius + 1)));
    return out;
}

Mat Blurred(const Mat& mask, double sigma)
{
    Mat out;
    cv::GaussianBlur(mask, out, Size(0, 0), sigma);
    return out;
}

Mat Shifted(const Mat& mask, int dx, int dy)
{
    Mat out(mask.size(), mask.type(), Scalar(0));
    const cv::Matx23d m(1, 0, dx, 0, 1, dy);
    cv::warpAffine(mask, out, m, mask.size(), cv::INTER_NEAREST, cv::BORDER_CONSTANT, Scalar(0));
    return out;
}

// ---- fields -------------------------------------------------------------------

// Smooth value noise in 0..1: random values on a coarse grid, interpolated
// bicubically; each further octave adds detail at half the cell and weight.
Mat FractalNoise(Size size, double cell, int octaves, uint64_t seed)
{
    cv::RNG rng(seed);
    Mat sum(size, CV_32F, Scalar(0));
    double weight = 1.0;
    for (int o = 0; o < octaves; ++o) {
        const int step = std::max(2, cvRound(cell));
        const int gw = size.width / step + 4, gh = size.height / step + 4;
        Mat grid(gh, gw, CV_32F);
        rng.fill(grid, cv::RNG::UNIFORM, 0.0, 1.0);
        Mat up;
        cv::resize(grid, up, Size(gw * step, gh * step), 0, 0, cv::INTER_CUBIC);
        sum += up(Rect(step, step, size.width, size.height)) * weight;
        weight *= 0.5;
        cell *= 0.5;
    }
    cv::normalize(sum, sum, 0.0, 1.0, cv::NORM_MINMAX);
    return sum;
}

// A soft elliptical glow: 1 at the centre, falling like a bell curve.
Mat Glow(Size size, Point2f centre, Size2f radii)
{
    Mat w(size, CV_32F);
    for (int r = 0; r < size.height; ++r) {
        float* p = w.ptr<float>(r);
        const double dy = (r - centre.y) / radii.height;
        for (int c = 0; c < size.width; ++c) {
            const double dx = (c - centre.x) / radii.width;
            p[c] = static_cast<float>(std::exp(-2.5 * (dx * dx + dy * dy)));
        }
    }
    return w;
}

// A vertical ramp through colour stops given as (share of the height, colour).
Mat VerticalRamp(Size size, const std::vector<std::pair<double, Scalar>>& stops)
{
    Mat img(size, CV_8UC3);
    for (int r = 0; r < size.height; ++r) {
        const double t = size.height > 1 ? r / double(size.height - 1) : 0.0;
        Scalar colour = stops.front().second;
        for (size_t i = 1; i < stops.size(); ++i) {
            if (t <= stops[i].first) {
                const double span = stops[i].first - stops[i - 1].first;
                const double u = span > 0 ? (t - stops[i - 1].first) / span : 1.0;
                colour = Mix(stops[i - 1].second, stops[i].second, Clamp01(u));
                break;
            }
            colour = stops[i].second;
        }
        img.row(r).setTo(colour);
    }
    return img;
}

// Darkens towards the corners, to hold the eye in the middle.
void Vignette(Mat& img, double strength)
{
    Mat f(img.size(), CV_32F);
    const double cx = img.cols / 2.0, cy = img.rows / 2.0;
    for (int r = 0; r < img.rows; ++r)
        for (int c = 0; c < img.cols; ++c) {
            const double dx = (c - cx) / cx, dy = (r - cy) / cy;
            f.at<float>(r, c) =
                static_cast<float>(1.0 - strength * std::pow((dx * dx + dy * dy) / 2.0, 1.2));
        }
    Shade(img, f);
}

// Fine film grain, the same on all channels so it does not tint.
void Grain(Mat& img, double sigma, uint64_t seed)
{
    cv::RNG rng(seed);
    Mat n(img.size(), CV_32F);
    rng.fill(n, cv::RNG::NORMAL, 0.0, sigma);
    for (int r = 0; r < img.rows; ++r) {
        cv::Vec3b* px = img.ptr<cv::Vec3b>(r);
        const float* g = n.ptr<float>(r);
        for (int c = 0; c < img.cols; ++c)
            for (int k = 0; k < 3; ++k) px[c][k] = cv::saturate_cast<uchar>(px[c][k] + g[c]);
    }
}

// ---- text ---------------------------------------------------------------------

struct TextStyle {
    int font;
    double scale;
    int thickness;
};

// Scale at which `text` is `width` pixels wide.
double ScaleForWidth(const std::string& text, int font, int thickness, int width)
{
    int baseline = 0;
    const Size unit = cv::getTextSize(text, font, 1.0, thickness, &baseline);
    return width / double(unit.width);
}

// Mask of `text` centred on column `cx` with its baseline on row `baselineRow`.
Mat TextMask(Size size, const std::string& text, const TextStyle& s, int cx, int baselineRow)
{
    int baseline = 0;
    const Size t = cv::getTextSize(text, s.font, s.scale, s.thickness, &baseline);
    return MaskOf(size, [&](Mat& m) {
        cv::putText(m, text, Point(cx - t.width / 2, baselineRow), s.font, s.scale, Scalar(255),
                    s.thickness, cv::LINE_AA);
    });
}

// Headline lettering: drop shadow, glow, dark rim, a ramp fill and a bevel.
struct Lettering {
    std::vector<std::pair<double, Scalar>> fill;  // ramp over the letters' height
    Scalar rim, glow, highlight, lowlight;
    int rimWidth = 3;
    double glowStrength = 0.6;
    double wear = 0.0;  // how much seeded noise darkens the fill
};

void DrawLettering(Mat& img, const Mat& mask, const Lettering& l, uint64_t seed)
{
    const Rect box = cv::boundingRect(mask);
    Paint(img, Blurred(Shifted(Dilated(mask, l.rimWidth), 5, 6), 4), Rgb(0, 0, 0), 0.75);
    AddLight(img, Blurred(Dilated(mask, l.rimWidth + 4), 9), l.glow, l.glowStrength);
    Paint(img, Dilated(mask, l.rimWidth), l.rim);

    Mat fill(img.size(), CV_8UC3, Scalar(0));
    VerticalRamp(box.size(), l.fill).copyTo(fill(box));
    if (l.wear > 0) {
        Mat n = FractalNoise(img.size(), 14, 3, seed);
        Mat f = 1.0 - l.wear * n;
        Shade(fill, f);
    }
    PaintPicture(img, mask, fill);

    // Bevel: the letters' upper edges catch the light, their lower edges fall dark.
    Mat upper, lower;
    cv::subtract(mask, Shifted(mask, 0, 2), upper);
    cv::subtract(mask, Shifted(mask, 0, -2), lower);
    Paint(img, upper, l.highlight, 0.7);
    Paint(img, lower, l.lowlight, 0.6);
}

// ---- battlefield pieces ----------------------------------------------------------

// A row of broken buildings along `base`, their tops jagged where they were hit.
void DrawSkyline(Mat& img, int base, int minH, int maxH, const Scalar& colour, uint64_t seed)
{
    cv::RNG rng(seed);
    std::vector<Point2f> pts{{0.f, float(base)}};
    float x = -rng.uniform(0, 20);
    while (x < img.cols) {
        const float w = rng.uniform(18.f, 60.f);
        const float h = rng.uniform(float(minH), float(maxH));
        pts.emplace_back(x, base - h);
        // A broken roofline: a few notches and a slanted break.
        const int notches = rng.uniform(1, 4);
        for (int i = 1; i <= notches; ++i) {
            const float nx = x + w * i / (notches + 1);
            pts.emplace_back(nx, base - h + rng.uniform(0.f, h * 0.35f));
            pts.emplace_back(nx + rng.uniform(1.f, 4.f), base - h + rng.uniform(0.f, h * 0.15f));
        }
        pts.emplace_back(x + w, base - h * rng.uniform(0.5f, 1.0f));
        x += w;
        if (rng.uniform(0, 3) == 0) {  // a gap down to rubble height
            pts.emplace_back(x, base - rng.uniform(3.f, 10.f));
            x += rng.uniform(6.f, 20.f);
            pts.emplace_back(x, base - rng.uniform(3.f, 10.f));
        }
    }
    pts.emplace_back(float(img.cols), float(base));
    FillPoly(img, pts, colour);
}

// Flames rising from `base`: tongues in red, orange and yellow with a glow.
void DrawFire(Mat& img, Point2f base, float width, float height, uint64_t seed)
{
    cv::RNG rng(seed);
    AddLight(
        img,
        Glow(img.size(), base - Point2f(0, height * 0.4f), Size2f(width * 1.6f, height * 1.3f)),
        Rgb(255, 110, 30), 0.55);
    struct Layer {
        float scale;
        Scalar colour;
    };
    const Layer layers[] = {{1.0f, Rgb(200, 40, 10)},
                            {0.75f, Rgb(250, 120, 20)},
                            {0.48f, Rgb(255, 200, 60)},
                            {0.25f, Rgb(255, 245, 190)}};
    const int tongues = std::max(3, int(width / 9));
    std::vector<float> offs, heights, sways;
    for (int i = 0; i < tongues; ++i) {
        offs.push_back(rng.uniform(-0.5f, 0.5f) * width);
        heights.push_back(rng.uniform(0.45f, 1.0f) * height);
        sways.push_back(rng.uniform(-0.35f, 0.35f) * height);
    }
    for (const Layer& layer : layers) {
        Mat m = MaskOf(img.size(), [&](Mat& mk) {
            for (int i = 0; i < tongues; ++i) {
                const float cx = base.x + offs[i] * layer.scale;
                const float h = heights[i] * layer.scale;
                const float w = width * 0.32f * layer.scale;
                std::vector<Point2f> pts;
                for (int k = 0; k <= 12; ++k) {  // left flank up to the tip
                    const float t = k / 12.f;
                    pts.emplace_back(cx - w * (1 - t) * (1 - t) + sways[i] * layer.scale * t * t,
                                     base.y - h * t);
                }
                for (int k = 11; k >= 0; --k) {  // and down the right flank
                    const float t = k / 12.f;
                    pts.emplace_back(cx + w * (1 - t) + sways[i] * layer.scale * t * t,
                                     base.y - h * t);
                }
                FillPoly(mk, pts, Scalar(255));
            }
        });
        Paint(img, Blurred(m, 1.2), layer.colour);
    }
}

// A column of smoke rising from `base`, drifting sideways by `drift` over
// `height`: overlapping puffs that widen as they climb, broken up by noise.
void DrawPlume(Mat& img, Point2f base, float drift, float height, const Scalar& colour,
               uint64_t seed)
{
    cv::RNG rng(seed);
    Mat puffs = MaskOf(img.size(), [&](Mat& m) {
        for (int i = 0; i < 40; ++i) {
            const float t = i / 39.f;
            const Point2f p(base.x + drift * t * t + rng.uniform(-6.f, 6.f), base.y - height * t);
            Disc(m, p, 8 + 70 * t, Scalar(255));
        }
    });
    Mat w = Weights(Blurred(puffs, 12));
    const Mat n = FractalNoise(img.size(), 40, 4, seed);
    for (int r = 0; r < w.rows; ++r)
        for (int c = 0; c < w.cols; ++c)
            w.at<float>(r, c) *= float(SmoothStep(0.25, 0.7, n.at<float>(r, c)));
    Paint(img, w, colour, 0.95);
}

// Bright flecks drifting in the air; a few larger ones carry a halo.
void DrawEmbers(Mat& img, Rect area, int count, const Mat& avoid, uint64_t seed)
{
    cv::RNG rng(seed);
    Mat core(img.size(), CV_8U, Scalar(0)), halo(img.size(), CV_8U, Scalar(0));
    for (int i = 0; i < count; ++i) {
        const Point2f p(rng.uniform(float(area.x), float(area.br().x)),
                        rng.uniform(float(area.y), float(area.br().y)));
        if (!avoid.empty() && avoid.at<uchar>(cvRound(std::min(p.y, img.rows - 1.f)),
                                              cvRound(std::min(p.x, img.cols - 1.f))) != 0)
            continue;
        const float r = rng.uniform(0.5f, 1.4f);
        Disc(core, p, r, Scalar(rng.uniform(150, 256)));
        if (r > 1.1f)
            Disc(halo, p, r * 4, Scalar(120));
    }
    AddLight(img, Blurred(halo, 3), Rgb(255, 120, 30), 0.6);
    AddLight(img, core, Rgb(255, 190, 90), 1.0);
}

// A battle tank in silhouette, facing left, its tracks resting on `ground`;
// the fires behind it catch the upper edges.
void DrawTank(Mat& img, float left, float ground, float s, const Scalar& body, const Scalar& rim)
{
    auto P = [&](float x, float y) { return Point2f(left + x * s, ground - y * s); };
    Mat m = MaskOf(img.size(), [&](Mat& mk) {
        // Tracks: a long rounded run with the road wheels inside.
        FillPoly(mk, {P(6, 0), P(0, 10), P(6, 20), P(170, 20), P(178, 10), P(172, 0)}, Scalar(255));
        // Hull with a sloped glacis at the front.
        FillPoly(mk, {P(-6, 19), P(10, 34), P(168, 34), P(184, 22), P(182, 19)}, Scalar(255));
        // Turret, long barrel with a muzzle brake, hatch and a bent aerial.
        FillPoly(mk, {P(52, 33), P(60, 52), P(118, 56), P(140, 46), P(138, 33)}, Scalar(255));
        Line(mk, P(58, 46), P(-60, 58), Scalar(255), std::max(2, cvRound(5 * s)));
        FillPoly(mk, {P(-66, 55), P(-66, 63), P(-54, 62), P(-54, 55)}, Scalar(255));
        FillPoly(mk, {P(96, 55), P(98, 62), P(112, 62), P(114, 55)}, Scalar(255));
        Line(mk, P(128, 50), P(136, 98), Scalar(255), 1);
        Line(mk, P(136, 98), P(146, 104), Scalar(255), 1);
    });
    Paint(img, m, body);
    // Rim light along the upper outline only.
    Mat top;
    cv::subtract(m, Shifted(m, 0, 2), top);
    Paint(img, top, rim, 0.8);
    // Road wheels, barely lighter than the hull.
    for (int i = 0; i < 7; ++i) Disc(img, P(22 + i * 22.5f, 10), 7.5f * s, Mix(body, rim, 0.18), 1);
}

// Barbed wire on crossed posts: sagging strands with barbs, posts in front.
void DrawBarbedWire(Mat& img, const std::vector<float>& postsX, float ground, float postH,
                    const Scalar& colour, const Scalar& rim, uint64_t seed)
{
    cv::RNG rng(seed);
    Mat m(img.size(), CV_8U, Scalar(0));
    for (float x : postsX) {
        // Crossed timbers lashed together, like a trestle.
        Line(m, {x - postH * 0.25f, ground}, {x + postH * 0.12f, ground - postH}, Scalar(255), 4);
        Line(m, {x + postH * 0.25f, ground}, {x - postH * 0.12f, ground - postH}, Scalar(255), 4);
    }
    const float strands[] = {0.9f, 0.62f, 0.34f};
    for (size_t i = 0; i + 1 < postsX.size(); ++i) {
        const float x0 = postsX[i], x1 = postsX[i + 1];
        for (float k : strands) {
            const float y0 = ground - postH * k, sag = (x1 - x0) * 0.06f;
            std::vector<Point2f> wire;
            for (int j = 0; j <= 40; ++j) {
                const float t = j / 40.f;
                wire.emplace_back(x0 + (x1 - x0) * t, y0 + sag * 4 * t * (1 - t));
            }
            PolyLine(m, wire, false, Scalar(255), 1);
            for (float t = 0.05f; t < 0.97f; t += rng.uniform(0.06f, 0.1f)) {  // barbs
                const Point2f p(x0 + (x1 - x0) * t, y0 + sag * 4 * t * (1 - t));
                Line(m, p + Point2f(-3, -3), p + Point2f(3, 3), Scalar(255), 1);
                Line(m, p + Point2f(-3, 3), p + Point2f(3, -3), Scalar(255), 1);
            }
        }
    }
    Paint(img, m, colour);
    Mat top;
    cv::subtract(m, Shifted(m, 0, 1), top);
    Paint(img, top, rim, 0.45);
}

// ---- the title -------------------------------------------------------------------

Mat DrawTitle()
{
    const Size size(640, 480);
    const int horizon = 342;
    Mat img = VerticalRamp(size, {{0.0, Rgb(12, 10, 14)},
                                  {0.30, Rgb(34, 22, 22)},
                                  {0.56, Rgb(120, 48, 22)},
                                  {0.70, Rgb(220, 110, 40)},
                                  {0.73, Rgb(120, 50, 22)},
                                  {1.0, Rgb(40, 20, 14)}});

    // Smoke rolling over the sky, heaviest at the top, lit orange from below.
    const Mat smoke = FractalNoise(size, 120, 5, 101);
    Mat dark(size, CV_32F), lit(size, CV_32F);
    for (int r = 0; r < size.height; ++r)
        for (int c = 0; c < size.width; ++c) {
            const double n = smoke.at<float>(r, c);
            const double h = r / double(horizon);
            dark.at<float>(r, c) = float(SmoothStep(0.3, 0.75, n) * (0.95 - 0.5 * h) * (h < 1.05));
            lit.at<float>(r, c) = float(SmoothStep(0.45, 0.9, n) * SmoothStep(0.35, 0.95, h) *
                                        (1.0 - SmoothStep(0.97, 1.02, h)));
        }
    Paint(img, dark, Rgb(26, 22, 24), 0.9);
    AddLight(img, lit, Rgb(150, 60, 20), 0.55);

    // Fires burning beyond the town, then the town itself against them.
    AddLight(img, Glow(size, {110, float(horizon)}, {200, 90}), Rgb(255, 100, 30), 0.35);
    AddLight(img, Glow(size, {470, float(horizon)}, {220, 80}), Rgb(255, 90, 20), 0.3);
    DrawPlume(img, {400, float(horizon - 10)}, -190, 340, Rgb(46, 36, 34), 114);
    DrawPlume(img, {585, float(horizon - 20)}, -40, 300, Rgb(40, 32, 31), 115);
    DrawSkyline(img, horizon + 4, 12, 55, Rgb(58, 30, 24), 102);
    DrawFire(img, {400, float(horizon - 12)}, 42, 48, 103);
    DrawFire(img, {250, float(horizon - 6)}, 26, 30, 104);
    DrawFire(img, {585, float(horizon - 20)}, 30, 36, 105);

    // Dark ground with a few lighter patches of churned earth.
    const Scalar silhouette = Rgb(18, 13, 13);
    Mat ground = MaskOf(size, [&](Mat& m) {
        std::vector<Point2f> pts{{0, float(size.height)}};
        for (int x = 0; x <= size.width; x += 16)
            pts.emplace_back(float(x),
                             horizon + 6 + 5 * std::sin(x * 0.021) + 4 * std::sin(x * 0.07 + 1));
        pts.emplace_back(float(size.width), float(size.height));
        FillPoly(m, pts, Scalar(255));
    });
    Paint(img, ground, Rgb(30, 20, 17));
    Mat patches = FractalNoise(size, 40, 3, 106);
    patches = patches.mul(Weights(ground));
    Paint(img, patches, Rgb(60, 36, 26), 0.5);
    AddLight(img, Glow(size, {400, float(horizon + 10)}, {160, 30}), Rgb(180, 70, 20), 0.3);

    // Barbed wire strung across the middle distance, against the glow.
    DrawBarbedWire(img, {-30, 50, 130, 215, 300, 385, 470, 555, 640}, 384, 44, Rgb(22, 16, 15),
                   Rgb(170, 80, 30), 108);

    // A gutted block on the left: most windows dark and empty, a few with
    // fire inside, flames on the broken top.
    Mat block = MaskOf(size, [&](Mat& m) {
        FillPoly(m,
                 {{0, 480},
                  {0, 180},
                  {22, 186},
                  {30, 172},
                  {52, 182},
                  {60, 205},
                  {78, 200},
                  {92, 232},
                  {104, 226},
                  {118, 262},
                  {128, 258},
                  {150, 300},
                  {160, 480}},
                 Scalar(255));
    });
    Paint(img, block, silhouette);
    cv::RNG rng(107);
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 5; ++col) {
            const Rect win(10 + col * 28, 205 + row * 40, 12, 20);
            if (cv::countNonZero(block(win)) < win.area())
                continue;  // broken away
            const double heat = rng.uniform(0.0, 1.0);
            if (heat < 0.15)
                continue;  // bricked up or blown shut
            const bool burning = heat > 0.78;
            const Scalar c = burning
                                 ? Mix(Rgb(190, 70, 20), Rgb(255, 180, 70), (heat - 0.78) / 0.22)
                                 : Mix(Rgb(40, 24, 20), Rgb(80, 36, 22), heat);
            cv::rectangle(img, win, c, cv::FILLED);
            if (burning)
                AddLight(img, Glow(size, Point2f(win.x + 6.f, win.y + 10.f), {16, 18}),
                         Rgb(255, 100, 30), 0.4);
        }
    for (auto [a, b] : std::vector<std::pair<Point2f, Point2f>>{// bent girders
                                                                {{30, 175}, {38, 150}},
                                                                {{58, 200}, {75, 178}},
                                                                {{104, 228}, {120, 212}}})
        Line(img, a, b, silhouette, 2);
    DrawFire(img, {66, 206}, 22, 30, 112);

    // A broken wall with an arch on the right, burning behind.
    DrawFire(img, {598, 352}, 30, 34, 113);
    Mat wall = MaskOf(size, [&](Mat& m) {
        FillPoly(m,
                 {{540, 480},
                  {548, 262},
                  {570, 250},
                  {584, 268},
                  {600, 240},
                  {620, 256},
                  {640, 236},
                  {640, 480}},
                 Scalar(255));
    });
    Oval(wall, {596, 330}, {22, 30}, 0, Scalar(0), cv::FILLED, 180, 360);
    cv::rectangle(wall, Rect(574, 330, 44, 40), Scalar(0), cv::FILLED);
    Paint(img, wall, silhouette);

    DrawTank(img, 250, 404, 1.0f, silhouette, Rgb(190, 80, 30));

    // Anti-tank obstacles in the foreground, their upper edges lit.
    Mat obstacles = MaskOf(size, [&](Mat& m) {
        for (Point2f p : {Point2f(196, 462), Point2f(470, 452)}) {
            Line(m, p + Point2f(-20, 0), p + Point2f(14, -34), Scalar(255), 6);
            Line(m, p + Point2f(20, 0), p + Point2f(-14, -34), Scalar(255), 6);
            Line(m, p + Point2f(-26, -12), p + Point2f(26, -16), Scalar(255), 6);
        }
    });
    Paint(img, obstacles, silhouette);
    Mat edges;
    cv::subtract(obstacles, Shifted(obstacles, 0, 2), edges);
    Paint(img, edges, Rgb(200, 90, 35), 0.8);

    // The name, large, in hot metal; the line under it says what to do.
    const std::string name = "KRAGMOOR";
    const TextStyle nameStyle{cv::FONT_HERSHEY_TRIPLEX,
                              ScaleForWidth(name, cv::FONT_HERSHEY_TRIPLEX, 9, 560), 9};
    Mat nameMask = TextMask(size, name, nameStyle, size.width / 2, 150);
    Mat avoid = Dilated(nameMask, 12);
    DrawEmbers(img, Rect(0, 20, size.width, horizon), 160, avoid, 109);

    Lettering hot;
    hot.fill = {{0.0, Rgb(255, 246, 170)}, {0.45, Rgb(255, 170, 40)}, {1.0, Rgb(170, 40, 10)}};
    hot.rim = Rgb(28, 10, 6);
    hot.glow = Rgb(255, 90, 20);
    hot.highlight = Rgb(255, 255, 230);
    hot.lowlight = Rgb(90, 20, 5);
    hot.rimWidth = 4;
    hot.wear = 0.25;
    DrawLettering(img, nameMask, hot, 110);

    const std::string line = "move to play";
    const TextStyle lineStyle{cv::FONT_HERSHEY_DUPLEX, 1.15, 2};
    Mat lineMask = TextMask(size, line, lineStyle, size.width / 2, 212);
    Paint(img, Blurred(Dilated(lineMask, 4), 2), Rgb(10, 6, 6), 0.85);
    Paint(img, lineMask, Rgb(240, 225, 195));

    Vignette(img, 0.55);
    Grain(img, 4.0, 111);
    return img;
}

// ---- the end-of-game backdrop ----------------------------------------------------
// The game writes its tally in white over this picture, in its own pixels:
// small lines from row 100 down and the score line below them. That band is
// kept dark and nearly even so the white text reads.

constexpr int kTallyTop = 84;
constexpr int kTallyBottom = 420;
const Size kGameOverSize(1024, 768);

Mat DrawGameOver()
{
    const Size size = kGameOverSize;
    Mat img = VerticalRamp(size, {{0.0, Rgb(26, 20, 20)},
                                  {0.12, Rgb(20, 17, 17)},
                                  {0.58, Rgb(16, 14, 14)},
                                  {0.76, Rgb(46, 24, 16)},
                                  {0.80, Rgb(70, 32, 18)},
                                  {1.0, Rgb(22, 16, 14)}});

    // How much may happen at each row: nothing in the tally band, smoke and
    // ash above and below it.
    auto busy = [&](int r) {
        return 1.0 - SmoothStep(kTallyTop - 16, kTallyTop + 4, r) *
                         (1.0 - SmoothStep(kTallyBottom, kTallyBottom + 60, r));
    };
    const Mat smoke = FractalNoise(size, 150, 5, 201);
    Mat heavy(size, CV_32F), faint(size, CV_32F);
    for (int r = 0; r < size.height; ++r)
        for (int c = 0; c < size.width; ++c) {
            const double n = smoke.at<float>(r, c);
            heavy.at<float>(r, c) = float(SmoothStep(0.35, 0.8, n) * busy(r));
            faint.at<float>(r, c) = float(n * (1.0 - busy(r)));
        }
    Paint(img, heavy, Rgb(58, 50, 48), 0.55);
    Paint(img, faint, Rgb(30, 26, 25), 0.5);  // a whisper of smoke, so the band is not flat

    // A burnt town under a dull red sky, ash heaped in front.
    const int horizon = 600;
    AddLight(img, Glow(size, {300, float(horizon)}, {420, 90}), Rgb(200, 70, 20), 0.35);
    AddLight(img, Glow(size, {820, float(horizon)}, {300, 70}), Rgb(200, 60, 20), 0.3);
    DrawSkyline(img, horizon + 6, 20, 110, Rgb(30, 20, 18), 202);
    Mat ground = MaskOf(size, [&](Mat& m) {
        std::vector<Point2f> pts{{0, float(size.height)}};
        for (int x = 0; x <= size.width; x += 16)
            pts.emplace_back(float(x),
                             horizon + 20 + 10 * std::sin(x * 0.013) + 5 * std::sin(x * 0.05));
        pts.emplace_back(float(size.width), float(size.height));
        FillPoly(m, pts, Scalar(255));
    });
    Paint(img, ground, Rgb(34, 30, 29));
    Mat ash = FractalNoise(size, 30, 4, 203);
    ash = ash.mul(Weights(ground));
    Paint(img, ash, Rgb(92, 86, 82), 0.45);

    // Charred trees: trunks with a few bare, forking branches.
    cv::RNG rng(204);
    std::function<void(Mat&, Point2f, double, float, int)> branch =
        [&](Mat& m, Point2f from, double angle, float len, int depth) {
            const Point2f to(from.x + len * float(std::cos(angle)),
                             from.y - len * float(std::sin(angle)));
            Line(m, from, to, Scalar(255), std::max(1, depth * 2));
            if (depth == 0)
                return;
            branch(m, to, angle + rng.uniform(0.25, 0.6), len * 0.68f, depth - 1);
            branch(m, to, angle - rng.uniform(0.25, 0.6), len * 0.62f, depth - 1);
        };
    Mat trees = MaskOf(size, [&](Mat& m) {
        branch(m, {120, 650}, kPi / 2, 70, 4);
        branch(m, {905, 640}, kPi / 2 + 0.1, 60, 4);
        branch(m, {640, 628}, kPi / 2 - 0.05, 34, 3);
    });
    Paint(img, trees, Rgb(14, 11, 11));

    // Smouldering embers in the ash and ash flakes falling outside the band.
    Mat quiet(size, CV_8U, Scalar(0));
    quiet.rowRange(kTallyTop - 20, kTallyBottom + 40).setTo(255);
    DrawEmbers(img, Rect(0, horizon + 20, size.width, size.height - horizon - 20), 90, Mat(), 205);
    Mat flakes(size, CV_8U, Scalar(0));
    for (int i = 0; i < 420; ++i) {
        const Point2f p(rng.uniform(0.f, float(size.width)), rng.uniform(0.f, float(size.height)));
        if (quiet.at<uchar>(int(p.y), int(p.x)))
            continue;
        Oval(flakes, p, {rng.uniform(0.6f, 1.8f), rng.uniform(0.4f, 1.0f)}, rng.uniform(0, 180),
             Scalar(rng.uniform(90, 200)));
    }
    Paint(img, flakes, Rgb(170, 165, 160));

    // The heading, in charred letters still glowing at their feet.
    const std::string title = "GAME OVER";
    const TextStyle style{cv::FONT_HERSHEY_TRIPLEX, 2.3, 6};
    Mat titleMask = TextMask(size, title, style, size.width / 2, 64);
    Lettering charred;
    charred.fill = {{0.0, Rgb(235, 205, 180)}, {0.45, Rgb(215, 80, 35)}, {1.0, Rgb(255, 160, 40)}};
    charred.rim = Rgb(10, 6, 6);
    charred.glow = Rgb(220, 60, 20);
    charred.highlight = Rgb(230, 210, 200);
    charred.lowlight = Rgb(60, 12, 6);
    charred.rimWidth = 3;
    charred.glowStrength = 0.5;
    charred.wear = 0.35;
    DrawLettering(img, titleMask, charred, 206);

    // A thin smouldering rule between the heading and the tally.
    Mat rule = MaskOf(size, [&](Mat& m) { Line(m, {190, 78}, {834, 78}, Scalar(255), 1); });
    Mat fade(size, CV_32F);
    for (int c = 0; c < size.width; ++c)
        fade.col(c).setTo(float(std::sin(kPi * Clamp01((c - 190) / 644.0))));
    AddLight(img, Weights(rule).mul(fade), Rgb(200, 80, 30), 0.8);

    Vignette(img, 0.5);
    // Grain only outside the band: inside it would speckle the small text.
    Mat grainy = img.clone();
    Grain(grainy, 3.0, 207);
    Mat mask(size, CV_32F);
    for (int r = 0; r < size.height; ++r) mask.row(r).setTo(float(busy(r)));
    PaintPicture(img, mask, grainy);
    return img;
}

// ---- caricature portraits ----------------------------------------------------------

enum class Hair { kBaldFringe, kSlicked, kCurly, kFlatTop };
enum class Moustache { kNone, kPencil, kWalrus };
enum class Mouth { kSmug, kSmirk, kGrin, kHidden };

struct Caricature {
    Scalar backdrop, rays;
    Scalar skin, hair, iris, jacket, shirt, tie;
    float headW, headH;           // half-width and half-height of the head
    float chin;                   // lower outline exponent: under 2 is pointed, over 2 square
    float jowls;                  // extra width of the lower face
    float eyeGap, eyeSize, lids;  // lids: share of the eye the upper lid hides
    float browWeight, browTilt;   // tilt > 0 lifts the outer ends
    float noseW, noseLen;
    float mouthW;
    float earSize;
    Hair hairStyle;
    Moustache moustache;
    Mouth mouth;
    bool glasses, freckles, stubble, bowTie;
    uint64_t seed;
};

// Outline of the head: an oval above the eyes, a superellipse below them.
std::vector<Point2f> HeadOutline(Point2f c, const Caricature& f)
{
    std::vector<Point2f> pts;
    for (int i = 0; i < 120; ++i) {
        const double t = 2 * kPi * i / 120;
        const double ct = std::cos(t), st = std::sin(t);
        const double n = st > 0 ? f.chin : 2.0;
        double x = f.headW * (ct < 0 ? -1 : 1) * std::pow(std::abs(ct), 2.0 / n);
        const double y = f.headH * (st < 0 ? -1 : 1) * std::pow(std::abs(st), 2.0 / n);
        if (st > 0)
            x *= 1.0 + f.jowls * std::sin(kPi * std::min(1.0, st * 1.15));
        pts.emplace_back(c.x + float(x), c.y + float(y));
    }
    return pts;
}

void DrawEye(Mat& img, Point2f c, const Caricature& f, const Scalar& lidColour, float lookX)
{
    const float w = f.eyeSize * 1.35f, h = f.eyeSize;
    Oval(img, c, {w, h}, 0, Rgb(250, 248, 240));
    Disc(img, c + Point2f(lookX, 0.5f), h * 0.78f, f.iris);
    Disc(img, c + Point2f(lookX, 0.5f), h * 0.38f, Rgb(20, 16, 16));
    Disc(img, c + Point2f(lookX - h * 0.3f, -h * 0.3f), h * 0.2f, Rgb(255, 255, 255));
    if (f.lids > 0) {  // the upper lid drawn down over the eye
        Mat eye = MaskOf(img.size(), [&](Mat& m) { Oval(m, c, {w + 1, h + 1}, 0, Scalar(255)); });
        Mat lid = MaskOf(img.size(), [&](Mat& m) {
            cv::rectangle(
                m,
                Rect(int(c.x - w - 2), int(c.y - h - 2), int(2 * w + 4), int(2 * h * f.lids + 2)),
                Scalar(255), cv::FILLED);
        });
        Mat both;
        cv::min(eye, lid, both);
        Paint(img, both, lidColour);
        Line(img, {c.x - w, c.y - h + 2 * h * f.lids}, {c.x + w, c.y - h + 2 * h * f.lids},
             Mix(lidColour, Rgb(0, 0, 0), 0.5), 2);
    }
    Oval(img, c, {w, h}, 0, Rgb(40, 25, 20), 2);
}

void DrawHair(Mat& img, Point2f c, const Caricature& f)
{
    const Size size = img.size();
    const Scalar shadow = Mix(f.hair, Rgb(0, 0, 0), 0.4),
                 light = Mix(f.hair, Rgb(255, 255, 255), 0.35);
    switch (f.hairStyle) {
        case Hair::kBaldFringe: {
            // A shiny dome with tufts of grey over the ears.
            Oval(img, c + Point2f(-f.headW * 0.3f, -f.headH * 0.72f),
                 {f.headW * 0.28f, f.headH * 0.1f}, -20, Mix(f.skin, Rgb(255, 255, 255), 0.55));
            for (int side : {-1, 1}) {
                Mat tuft = MaskOf(size, [&](Mat& m) {
                    Oval(m, c + Point2f(side * f.headW * 0.97f, -f.headH * 0.12f),
                         {f.headW * 0.22f, f.headH * 0.32f}, side * 15, Scalar(255));
                    for (int k = 0; k < 5; ++k) {
                        const Point2f root =
                            c + Point2f(side * f.headW * 1.02f, -f.headH * (0.35f - k * 0.12f));
                        Line(m, root, root + Point2f(side * (14.f + 3 * k), -6.f + 3 * k),
                             Scalar(255), 5);
                    }
                });
                Paint(img, tuft, f.hair);
                for (int k = 0; k < 4; ++k) {
                    const Point2f root =
                        c + Point2f(side * f.headW * 1.0f, -f.headH * (0.3f - k * 0.1f));
                    Line(img, root, root + Point2f(side * 10.f, -2.f + 2 * k), shadow, 1);
                }
            }
            break;
        }
        case Hair::kSlicked: {
            // Combed flat and straight back: a sharp widow's peak, receding
            // temples, long sideburns.
            Mat hair(size, CV_8U, Scalar(0));
            const float a = f.headW * 1.04f, b = f.headH * 1.05f;
            for (int r = 0; r < size.height; ++r)
                for (int col = 0; col < size.width; ++col) {
                    const float dx = (col - c.x) / a, dy = (r - (c.y - 3)) / b;
                    if (dx * dx + dy * dy > 1)
                        continue;
                    const float ax = std::abs(col - c.x) / f.headW;
                    float hairline = -0.66f;
                    if (ax < 0.45f)
                        hairline = -0.4f - 0.26f * std::min(1.f, ax / 0.45f);
                    if (ax > 0.8f)
                        hairline = 0.05f;  // sideburns
                    if (r < c.y + hairline * f.headH)
                        hair.at<uchar>(r, col) = 255;
                }
            hair = Blurred(hair, 0.8);
            Paint(img, hair, f.hair);
            Mat comb = MaskOf(size, [&](Mat& m) {  // comb lines sweeping back from the hairline
                for (int k = -4; k <= 4; ++k)
                    PolyLine(m,
                             {c + Point2f(k * f.headW * 0.14f, -f.headH * 0.5f),
                              c + Point2f(k * f.headW * 0.2f, -f.headH * 0.8f),
                              c + Point2f(k * f.headW * 0.3f, -f.headH * 1.1f)},
                             false, Scalar(255), 1);
            });
            cv::min(comb, Dilated(hair, 0) - Dilated(255 - hair, 3), comb);
            Paint(img, comb, light, 0.7);
            break;
        }
        case Hair::kCurly: {
            // A mop of curls: rings of discs along the crown.
            cv::RNG rng(f.seed);
            for (int ring = 0; ring < 3; ++ring)
                for (int i = 0; i <= 11; ++i) {
                    const double t = kPi * (1.02 + 0.96 * i / 11.0);
                    const float rr = 1.0f - ring * 0.16f;
                    const Point2f p = c + Point2f(f.headW * 1.05f * rr * float(std::cos(t)),
                                                  f.headH * 0.95f * rr * float(std::sin(t)) - 6);
                    const float rad = rng.uniform(13.f, 18.f);
                    Disc(img, p, rad, f.hair);
                    Disc(img, p, rad, shadow, 2);
                    Oval(img, p + Point2f(-2, -2), {rad * 0.5f, rad * 0.4f}, 0, light, 2, 180, 300);
                }
            break;
        }
        case Hair::kFlatTop: {
            // A tall brush cut, squared off on top with rounded corners, meeting
            // short sideburns.
            const float left = c.x - f.headW * 0.96f, right = c.x + f.headW * 0.96f;
            const float top = c.y - f.headH * 1.18f, front = c.y - f.headH * 0.5f, corner = 16;
            Mat hair = MaskOf(size, [&](Mat& m) {
                FillPoly(m,
                         {{left, top + corner},
                          {left + corner, top},
                          {right - corner, top},
                          {right, top + corner},
                          {right, front},
                          {c.x, front + 4},
                          {left, front}},
                         Scalar(255));
                Disc(m, {left + corner, top + corner}, corner, Scalar(255));
                Disc(m, {right - corner, top + corner}, corner, Scalar(255));
                for (int side : {-1, 1})
                    FillPoly(m,
                             {c + Point2f(side * f.headW * 0.96f, -f.headH * 0.6f),
                              c + Point2f(side * f.headW * 1.02f, f.headH * 0.02f),
                              c + Point2f(side * f.headW * 0.86f, f.headH * 0.02f),
                              c + Point2f(side * f.headW * 0.8f, -f.headH * 0.6f)},
                             Scalar(255));
            });
            Paint(img, hair, f.hair);
            // Bristle texture: fine upright streaks, lighter towards the top.
            const Mat n = FractalNoise(size, 3, 1, f.seed + 3);
            Mat streaks(size, CV_32F, Scalar(0));
            for (int r = 0; r < size.height; ++r)
                for (int col = 0; col < size.width; ++col)
                    streaks.at<float>(r, col) =
                        hair.at<uchar>(r, col) / 255.f *
                        float(SmoothStep(0.5, 0.9, n.at<float>(r / 6, col))) *
                        float(1.0 - SmoothStep(top, front, r) * 0.7);
            Paint(img, streaks, light, 0.6);
            Mat outline;
            cv::subtract(Dilated(hair, 1), hair, outline);
            Paint(img, outline, shadow);
            break;
        }
    }
}

Mat DrawCaricature(const Caricature& f)
{
    const Size size(320, 240);
    const Point2f c(160, 114);

    // Poster backdrop: a bright middle with rays fanning out.
    Mat img(size, CV_8UC3, f.backdrop);
    Mat rays = MaskOf(size, [&](Mat& m) {
        for (int i = 0; i < 18; i += 2) {
            const double a0 = 2 * kPi * i / 18, a1 = 2 * kPi * (i + 1) / 18;
            FillPoly(m,
                     {c, c + Point2f(600 * float(std::cos(a0)), 600 * float(std::sin(a0))),
                      c + Point2f(600 * float(std::cos(a1)), 600 * float(std::sin(a1)))},
                     Scalar(255));
        }
    });
    Paint(img, rays, f.rays, 0.5);
    AddLight(img, Glow(size, c, {170, 150}), Rgb(60, 60, 50), 0.8);
    Vignette(img, 0.6);

    const Scalar skinShade = Mix(f.skin, Rgb(90, 30, 20), 0.3);
    const Scalar line = Mix(f.skin, Rgb(30, 10, 5), 0.65);

    // Shoulders, collar and tie, then the neck.
    Oval(img, {160, 262}, {150, 70}, 0, f.jacket);
    FillPoly(img, {{130, 196}, {190, 196}, {172, 240}, {148, 240}}, f.shirt);
    FillPoly(img, {{118, 200}, {150, 240}, {136, 240}, {100, 206}},
             Mix(f.jacket, Rgb(0, 0, 0), 0.3));
    FillPoly(img, {{202, 200}, {170, 240}, {184, 240}, {220, 206}},
             Mix(f.jacket, Rgb(0, 0, 0), 0.3));
    cv::rectangle(img,
                  Rect(int(c.x - f.headW * 0.42f), int(c.y + f.headH * 0.5f), int(f.headW * 0.84f),
                       int(200 - c.y - f.headH * 0.5f)),
                  skinShade, cv::FILLED);
    if (f.bowTie) {
        FillPoly(img, {{160, 206}, {136, 194}, {136, 218}}, f.tie);
        FillPoly(img, {{160, 206}, {184, 194}, {184, 218}}, f.tie);
        Disc(img, {160, 206}, 6, Mix(f.tie, Rgb(0, 0, 0), 0.25));
    } else {
        FillPoly(img, {{152, 200}, {168, 200}, {164, 212}, {156, 212}}, f.tie);
        FillPoly(img, {{156, 211}, {164, 211}, {172, 240}, {148, 240}}, f.tie);
    }
    FillPoly(img, {{132, 194}, {160, 204}, {146, 212}}, f.shirt);  // collar points
    FillPoly(img, {{188, 194}, {160, 204}, {174, 212}}, f.shirt);

    // Ears, head with a cartoon outline, cheeks.
    for (int side : {-1, 1}) {
        const Point2f ear = c + Point2f(side * f.headW * 0.98f, f.headH * 0.05f);
        Oval(img, ear, {f.earSize * 0.7f, f.earSize}, side * 10, f.skin);
        Oval(img, ear, {f.earSize * 0.7f, f.earSize}, side * 10, line, 2);
        Oval(img, ear, {f.earSize * 0.35f, f.earSize * 0.6f}, side * 10, skinShade);
    }
    const std::vector<Point2f> head = HeadOutline(c, f);
    FillPoly(img, head, f.skin);
    Mat shading = MaskOf(size, [&](Mat& m) { FillPoly(m, head, Scalar(255)); });
    Mat side = Shifted(shading, 10, 4);
    Mat rim;
    cv::subtract(shading, side, rim);
    Paint(img, Blurred(rim, 6), skinShade, 0.5);  // the face turns away from the light on its left
    if (f.stubble) {                              // a shadow over the jaw with fine dots in it
        Mat jaw = shading.clone();
        jaw.rowRange(0, int(c.y + f.headH * 0.25f)).setTo(0);
        Paint(img, Blurred(jaw, 5), Mix(f.hair, Rgb(90, 100, 120), 0.4), 0.35);
        cv::RNG rng(f.seed + 1);
        Mat dots(size, CV_8U, Scalar(0));
        for (int i = 0; i < 700; ++i) {
            const Point2f p(c.x + rng.uniform(-f.headW, f.headW),
                            c.y + rng.uniform(f.headH * 0.3f, f.headH));
            if (jaw.at<uchar>(int(p.y), int(p.x)) == 255)
                Disc(dots, p, 0.5f, Scalar(255));
        }
        Paint(img, dots, f.hair, 0.35);
    }
    PolyLine(img, head, true, line, 2);
    for (int s : {-1, 1})
        AddLight(img, Glow(size, c + Point2f(s * f.headW * 0.55f, f.headH * 0.3f), {18, 12}),
                 Rgb(60, -20, -20), 0.6);
    if (f.freckles) {  // a soft scatter across the cheeks and nose
        cv::RNG rng(f.seed + 2);
        Mat spots(size, CV_8U, Scalar(0));
        for (int i = 0; i < 16; ++i) {
            const int s = i % 2 ? 1 : -1;
            const Point2f p = c + Point2f(s * rng.uniform(f.headW * 0.15f, f.headW * 0.6f),
                                          rng.uniform(f.headH * 0.05f, f.headH * 0.35f));
            Disc(spots, p, rng.uniform(1.3f, 2.0f), Scalar(255));
        }
        Paint(img, Blurred(spots, 0.6), Rgb(190, 110, 70), 0.6);
    }

    // Eyes and brows.
    const float eyeY = c.y - f.headH * 0.12f;
    for (int s : {-1, 1}) DrawEye(img, {c.x + s * f.eyeGap, eyeY}, f, f.skin, 2.0f);
    for (int s : {-1, 1}) {
        const Point2f inner(c.x + s * f.eyeGap * 0.35f, eyeY - f.eyeSize - 8);
        const Point2f outer(c.x + s * (f.eyeGap + f.eyeSize * 1.6f),
                            eyeY - f.eyeSize - 8 - f.browTilt);
        const Point2f mid = (inner + outer) * 0.5f + Point2f(0, -5);
        PolyLine(img, {inner, mid, outer}, false,
                 f.hairStyle == Hair::kBaldFringe ? Rgb(120, 110, 100) : f.hair, int(f.browWeight));
    }

    // Nose: a bridge and a round tip with nostrils.
    const Point2f tip(c.x + 2, eyeY + f.noseLen);
    FillPoly(img,
             {{c.x - f.noseW * 0.35f, eyeY + 4},
              {c.x + f.noseW * 0.35f, eyeY + 4},
              tip + Point2f(f.noseW * 0.7f, 0),
              tip + Point2f(-f.noseW * 0.7f, 0)},
             f.skin);
    Line(img, {c.x - f.noseW * 0.3f, eyeY + 6}, tip + Point2f(-f.noseW * 0.8f, -2), skinShade, 2);
    Oval(img, tip, {f.noseW, f.noseW * 0.75f}, 0, Mix(f.skin, Rgb(230, 120, 110), 0.25));
    Oval(img, tip, {f.noseW, f.noseW * 0.75f}, 0, line, 2, -10, 190);
    Oval(img, tip + Point2f(-f.noseW * 0.3f, -f.noseW * 0.3f), {f.noseW * 0.3f, f.noseW * 0.2f}, 0,
         Mix(f.skin, Rgb(255, 255, 255), 0.5));
    for (int s : {-1, 1})
        Oval(img, tip + Point2f(s * f.noseW * 0.45f, f.noseW * 0.35f), {3, 2}, 0, line);

    // Mouth.
    const Point2f mouth(c.x, tip.y + (f.headH - (tip.y - c.y)) * 0.42f);
    switch (f.mouth) {
        case Mouth::kSmug:
            Oval(img, mouth + Point2f(0, -6), {f.mouthW, 10}, 0, line, 3, 20, 160);
            Disc(img, mouth + Point2f(f.mouthW * 0.95f, -3), 2.5f, line);
            break;
        case Mouth::kSmirk:
            PolyLine(img,
                     {mouth + Point2f(-f.mouthW, 2), mouth + Point2f(0, 3),
                      mouth + Point2f(f.mouthW, -5)},
                     false, line, 3);
            break;
        case Mouth::kGrin: {
            Oval(img, mouth + Point2f(0, -4), {f.mouthW, 18}, 0, Rgb(110, 20, 20), cv::FILLED, 0,
                 180);
            Mat teeth = MaskOf(size, [&](Mat& m) {
                Oval(m, mouth + Point2f(0, -4), {f.mouthW - 2, 17}, 0, Scalar(255), cv::FILLED, 0,
                     180);
                cv::rectangle(m, Rect(0, int(mouth.y + 4), size.width, size.height), Scalar(0),
                              cv::FILLED);
            });
            Paint(img, teeth, Rgb(250, 250, 240));
            for (int k = -3; k <= 3; ++k)
                Line(img, mouth + Point2f(k * f.mouthW / 4.f, -4),
                     mouth + Point2f(k * f.mouthW / 4.f, 4), Rgb(180, 170, 160), 1);
            Oval(img, mouth + Point2f(0, -4), {f.mouthW, 18}, 0, line, 2, 0, 180);
            Line(img, mouth + Point2f(-f.mouthW, -4), mouth + Point2f(f.mouthW, -4), line, 2);
            break;
        }
        case Mouth::kHidden:
            Line(img, mouth + Point2f(-f.mouthW * 0.5f, 6), mouth + Point2f(f.mouthW * 0.5f, 6),
                 line, 2);
            break;
    }

    switch (f.moustache) {
        case Moustache::kNone:
            break;
        case Moustache::kPencil:
            for (int s : {-1, 1})
                PolyLine(img,
                         {mouth + Point2f(s * 2.f, -12), mouth + Point2f(s * f.mouthW * 0.6f, -12),
                          mouth + Point2f(s * f.mouthW * 1.05f, -7)},
                         false, f.hair, 3);
            break;
        case Moustache::kWalrus: {
            std::vector<Point2f> pts;
            for (int s : {-1, 1}) {
                pts = {tip + Point2f(0, f.noseW * 0.5f),
                       tip + Point2f(s * f.noseW * 1.2f, f.noseW * 0.35f),
                       mouth + Point2f(s * f.mouthW * 1.2f, -2),
                       mouth + Point2f(s * f.mouthW * 1.25f, 16),
                       mouth + Point2f(s * f.mouthW * 0.6f, 8),
                       mouth + Point2f(0, 6)};
                FillPoly(img, pts, f.hair);
                for (int k = 0; k < 6; ++k)
                    Line(img, tip + Point2f(s * (3.f + 4 * k), f.noseW * 0.6f),
                         mouth + Point2f(s * (4.f + 7 * k), 8.f - k),
                         Mix(f.hair, Rgb(255, 255, 255), 0.3), 1);
            }
            break;
        }
    }

    DrawHair(img, c, f);

    if (f.glasses) {
        const Scalar rim = Rgb(45, 40, 40);
        for (int s : {-1, 1}) {
            const Point2f e(c.x + s * f.eyeGap, eyeY);
            Mat lens = MaskOf(size, [&](Mat& m) { Disc(m, e, f.eyeSize * 2.1f, Scalar(255)); });
            Paint(img, lens, Rgb(220, 235, 255), 0.18);
            Disc(img, e, f.eyeSize * 2.1f, rim, 3);
            Oval(img, e + Point2f(-4, -4), {f.eyeSize * 1.2f, f.eyeSize * 1.2f}, 0,
                 Rgb(255, 255, 255), 2, 200, 250);
            Line(img, e + Point2f(s * f.eyeSize * 2.1f, 0), {c.x + s * f.headW * 1.0f, eyeY + 4},
                 rim, 3);
        }
        Oval(img, {c.x, eyeY + 2}, {f.eyeGap - f.eyeSize * 2.1f, 6}, 0, rim, 3, 180, 360);
    }
    return img;
}

// Four invented public figures, drawn to be told apart at a glance: shape of
// the head, hair, what sits on the lip, colours.
Caricature Darrow()
{
    Caricature f{};
    f.backdrop = Rgb(40, 80, 170), f.rays = Rgb(90, 140, 230);
    f.skin = Rgb(245, 196, 172), f.hair = Rgb(205, 205, 210), f.iris = Rgb(80, 120, 200);
    f.jacket = Rgb(70, 72, 86), f.shirt = Rgb(245, 245, 250), f.tie = Rgb(210, 30, 40);
    f.headW = 76, f.headH = 84, f.chin = 2.6f, f.jowls = 0.12f;  // broad, jowly
    f.eyeGap = 30, f.eyeSize = 7, f.lids = 0.45f;                // sleepy behind round glasses
    f.browWeight = 4, f.browTilt = -2;
    f.noseW = 17, f.noseLen = 32, f.mouthW = 26, f.earSize = 16;  // bulb nose
    f.hairStyle = Hair::kBaldFringe, f.moustache = Moustache::kNone, f.mouth = Mouth::kSmug;
    f.glasses = true, f.bowTie = true;
    f.seed = 301;
    return f;
}

Caricature Umlev()
{
    Caricature f{};
    f.backdrop = Rgb(20, 110, 100), f.rays = Rgb(60, 170, 150);
    f.skin = Rgb(214, 168, 128), f.hair = Rgb(30, 28, 34), f.iris = Rgb(90, 60, 30);
    f.jacket = Rgb(36, 36, 44), f.shirt = Rgb(235, 235, 225), f.tie = Rgb(30, 140, 60);
    f.headW = 56, f.headH = 94, f.chin = 1.55f, f.jowls = -0.05f;  // long and narrow, pointed chin
    f.eyeGap = 23, f.eyeSize = 6.5f, f.lids = 0.38f;
    f.browWeight = 5, f.browTilt = 6;                             // arched, sly
    f.noseW = 10, f.noseLen = 44, f.mouthW = 22, f.earSize = 15;  // long thin nose
    f.hairStyle = Hair::kSlicked, f.moustache = Moustache::kPencil, f.mouth = Mouth::kSmirk;
    f.seed = 302;
    return f;
}

Caricature CrovanDelk()
{
    Caricature f{};
    f.backdrop = Rgb(110, 40, 140), f.rays = Rgb(170, 90, 200);
    f.skin = Rgb(252, 218, 196), f.hair = Rgb(220, 90, 30), f.iris = Rgb(60, 150, 90);
    f.jacket = Rgb(130, 90, 50), f.shirt = Rgb(140, 190, 240), f.tie = Rgb(250, 200, 40);
    f.headW = 72, f.headH = 80, f.chin = 4.2f, f.jowls = 0.0f;  // square jaw
    f.eyeGap = 28, f.eyeSize = 9.5f, f.lids = 0.0f;             // wide awake
    f.browWeight = 4, f.browTilt = 3;
    f.noseW = 11, f.noseLen = 26, f.mouthW = 34, f.earSize = 21;  // small nose, big ears, big grin
    f.hairStyle = Hair::kCurly, f.moustache = Moustache::kNone, f.mouth = Mouth::kGrin;
    f.freckles = true;
    f.seed = 303;
    return f;
}

Caricature Ostrand()
{
    Caricature f{};
    f.backdrop = Rgb(200, 100, 20), f.rays = Rgb(240, 160, 60);
    f.skin = Rgb(214, 146, 112), f.hair = Rgb(70, 46, 30), f.iris = Rgb(60, 90, 110);
    f.jacket = Rgb(30, 44, 80), f.shirt = Rgb(240, 240, 240), f.tie = Rgb(130, 20, 30);
    f.headW = 68, f.headH = 84, f.chin = 2.9f, f.jowls = 0.05f;
    f.eyeGap = 27, f.eyeSize = 6, f.lids = 0.3f;
    f.browWeight = 8, f.browTilt = -7;  // heavy brows drawn into a scowl
    f.noseW = 14, f.noseLen = 30, f.mouthW = 26, f.earSize = 15;
    f.hairStyle = Hair::kFlatTop, f.moustache = Moustache::kWalrus, f.mouth = Mouth::kHidden;
    f.stubble = true;
    f.seed = 304;
    return f;
}

// ---- flags -----------------------------------------------------------------------
// Drawn at 4:3 so they fill the player's silhouette without borders; the
// designs are simplified to their bands and basic emblems.

const Size kTargetSize(320, 240);

// Bands across (horizontal) or along (vertical) the picture, in proportion
// to their weights.
Mat Bands(Size size, const std::vector<Scalar>& colours, const std::vector<double>& weights,
          bool horizontal)
{
    Mat img(size, CV_8UC3);
    double total = 0;
    for (double w : weights) total += w;
    const int length = horizontal ? size.height : size.width;
    double at = 0;
    for (size_t i = 0; i < colours.size(); ++i) {
        const int from = cvRound(at / total * length);
        at += weights[i];
        const int to = cvRound(at / total * length);
        if (horizontal)
            img.rowRange(from, to).setTo(colours[i]);
        else
            img.colRange(from, to).setTo(colours[i]);
    }
    return img;
}

// A crescent: a disc with a second, offset disc of the field colour cut out.
void Crescent(Mat& img, Point2f c, float r, float innerR, Point2f innerOffset, const Scalar& colour,
              const Scalar& field)
{
    Disc(img, c, r, colour);
    Disc(img, c + innerOffset, innerR, field);
}

// Soft folds: light and shade running across the cloth, and a slight ripple.
void Cloth(Mat& img, uint64_t seed)
{
    cv::RNG rng(seed);
    const double phase = rng.uniform(0.0, 2 * kPi);
    Mat mapX(img.size(), CV_32F), mapY(img.size(), CV_32F), light(img.size(), CV_32F);
    for (int r = 0; r < img.rows; ++r)
        for (int c = 0; c < img.cols; ++c) {
            const double u = c / double(img.cols), v = r / double(img.rows);
            const double wave = std::sin(2 * kPi * (1.6 * u + 0.25 * v) + phase);
            mapX.at<float>(r, c) = float(c);
            mapY.at<float>(r, c) = float(r + 3.0 * wave * (0.3 + u));
            light.at<float>(r, c) =
                float(1.0 + 0.11 * std::cos(2 * kPi * (1.6 * u + 0.25 * v) + phase) * (0.4 + u) +
                      0.03 * std::sin(2 * kPi * 5.3 * u + 2 * phase));
        }
    Mat warped;
    cv::remap(img, warped, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REFLECT);
    Shade(warped, light);
    img = warped;
}

Mat FlagUsa()
{
    std::vector<Scalar> colours;
    for (int i = 0; i < 13; ++i) colours.push_back(i % 2 ? Rgb(255, 255, 255) : Rgb(178, 34, 52));
    Mat img = Bands(kTargetSize, colours, std::vector<double>(13, 1.0), true);
    const Rect canton(0, 0, 144, cvRound(7 * 240 / 13.0));
    cv::rectangle(img, canton, Rgb(40, 50, 110), cv::FILLED);
    // Fifty stars: nine rows taking six and five in turn.
    for (int row = 0; row < 9; ++row) {
        const int n = row % 2 ? 5 : 6;
        for (int k = 0; k < n; ++k) {
            const float x = canton.width * (2 * k + 1 + (row % 2)) / 12.f;
            const float y = canton.height * (row + 1) / 10.f;
            FillPoly(img, StarPoints({x, y}, 5.6f, 5.6f * kStarInner), Rgb(255, 255, 255));
        }
    }
    return img;
}

Mat FlagUk()
{
    const Size s = kTargetSize;
    const Scalar blue = Rgb(1, 33, 105), white = Rgb(255, 255, 255), red = Rgb(200, 16, 46);
    Mat img(s, CV_8UC3, blue);
    const Point2f tl(-40, -30), br(360, 270), tr(360, -30), bl(-40, 270), c(160, 120);
    Line(img, tl, br, white, 48);
    Line(img, tr, bl, white, 48);
    // The thin red diagonals sit off centre, turned the same way in every arm:
    // below the middle of the white at the hoist, above it in the fly.
    for (const Point2f& corner : {tl, br, tr, bl}) {
        const float dy = corner.x < c.x ? 6.f : -6.f;
        Mat arm = MaskOf(s, [&](Mat& m) {
            Line(m, c + Point2f(0, dy), corner + Point2f(0, dy), Scalar(255), 16);
        });
        Mat quadrant(s, CV_8U, Scalar(0));
        quadrant(Rect(corner.x < c.x ? 0 : 160, corner.y < c.y ? 0 : 120, 160, 120)).setTo(255);
        cv::min(arm, quadrant, arm);
        Paint(img, arm, red);
    }
    cv::rectangle(img, Rect(0, 80, 320, 80), white, cv::FILLED);
    cv::rectangle(img, Rect(120, 0, 80, 240), white, cv::FILLED);
    cv::rectangle(img, Rect(0, 96, 320, 48), red, cv::FILLED);
    cv::rectangle(img, Rect(136, 0, 48, 240), red, cv::FILLED);
    return img;
}

Mat FlagIran()
{
    const Scalar green = Rgb(35, 159, 64), red = Rgb(218, 0, 0);
    Mat img = Bands(kTargetSize, {green, Rgb(255, 255, 255), red}, {1, 1, 1}, true);
    // A plain red emblem: paired curves around an upright stroke.
    const Point2f c(160, 120);
    for (int s : {-1, 1}) {
        Oval(img, c + Point2f(s * 6.f, 0), {12, 28}, 0, red, 4, s < 0 ? 100 : -80,
             s < 0 ? 260 : 80);
        Oval(img, c + Point2f(s * 10.f, 2), {20, 33}, 0, red, 3, s < 0 ? 110 : -70,
             s < 0 ? 250 : 70);
    }
    Line(img, c + Point2f(0, -30), c + Point2f(0, 30), red, 5);
    return img;
}

Mat FlagIraq()
{
    Mat img = Bands(kTargetSize, {Rgb(206, 17, 38), Rgb(255, 255, 255), Rgb(20, 20, 20)}, {1, 1, 1},
                    true);
    for (int k = -1; k <= 1; ++k)
        FillPoly(img, StarPoints({160.f + k * 70, 121}, 24, 24 * kStarInner), Rgb(0, 122, 61));
    return img;
}

Mat FlagSyria()
{
    Mat img = Bands(kTargetSize, {Rgb(206, 17, 38), Rgb(255, 255, 255), Rgb(20, 20, 20)}, {1, 1, 1},
                    true);
    for (int k : {-1, 1})
        FillPoly(img, StarPoints({160.f + k * 48, 121}, 26, 26 * kStarInner), Rgb(0, 122, 61));
    return img;
}

Mat FlagLibya()
{
    const Scalar black = Rgb(20, 20, 20);
    Mat img = Bands(kTargetSize, {Rgb(231, 0, 19), black, Rgb(35, 158, 70)}, {1, 2, 1}, true);
    Crescent(img, {150, 120}, 42, 35, {11, 0}, Rgb(255, 255, 255), black);
    FillPoly(img, StarPoints({186, 120}, 20, 20 * kStarInner, 5, -90), Rgb(255, 255, 255));
    return img;
}

Mat FlagNorthKorea()
{
    const Scalar blue = Rgb(2, 79, 162), white = Rgb(255, 255, 255), red = Rgb(237, 28, 39);
    Mat img = Bands(kTargetSize, {blue, white, red, white, blue}, {6, 1, 17, 1, 6}, true);
    Disc(img, {110, 120}, 54, white);
    FillPoly(img, StarPoints({110, 123}, 51, 51 * kStarInner), red);
    return img;
}

Mat FlagIsrael()
{
    const Scalar blue = Rgb(0, 56, 184), white = Rgb(255, 255, 255);
    Mat img = Bands(kTargetSize, {white, blue, white, blue, white}, {2, 3, 14, 3, 2}, true);
    // Two interlaced triangles drawn as outlines.
    const Point2f c(160, 120);
    const float r = 46;
    for (double turn : {-90.0, 90.0}) {
        std::vector<Point2f> tri;
        for (int k = 0; k < 3; ++k) {
            const double a = (turn + 120.0 * k) * kPi / 180.0;
            tri.emplace_back(c.x + r * float(std::cos(a)), c.y + r * float(std::sin(a)));
        }
        PolyLine(img, tri, true, blue, 8);
    }
    return img;
}

Mat FlagCuba()
{
    const Scalar blue = Rgb(0, 42, 143), white = Rgb(255, 255, 255);
    Mat img = Bands(kTargetSize, {blue, white, blue, white, blue}, {1, 1, 1, 1, 1}, true);
    const float tip = 240 * 0.866f;
    FillPoly(img, {{0, 0}, {tip, 120}, {0, 240}}, Rgb(207, 20, 43));
    FillPoly(img, StarPoints({tip / 3, 122}, 34, 34 * kStarInner), white);
    return img;
}

Mat FlagPalestine()
{
    Mat img =
        Bands(kTargetSize, {Rgb(20, 20, 20), Rgb(255, 255, 255), Rgb(0, 122, 61)}, {1, 1, 1}, true);
    FillPoly(img, {{0, 0}, {128, 120}, {0, 240}}, Rgb(206, 17, 38));
    return img;
}

Mat FlagSpain()
{
    const Scalar red = Rgb(170, 21, 27);
    return Bands(kTargetSize, {red, Rgb(241, 191, 0), red}, {1, 2, 1}, true);
}

Mat FlagPoland()
{
    return Bands(kTargetSize, {Rgb(255, 255, 255), Rgb(220, 20, 60)}, {1, 1}, true);
}

Mat FlagPakistan()
{
    const Scalar green = Rgb(1, 90, 40), white = Rgb(255, 255, 255);
    Mat img = Bands(kTargetSize, {white, green}, {1, 3}, false);
    // The crescent opens to the upper right, the star sits in its mouth.
    const Point2f c(200, 128);
    Crescent(img, c, 66, 58, {17, -14}, white, green);
    FillPoly(img, StarPoints(c + Point2f(38, -34), 19, 19 * kStarInner, 5, 15), white);
    return img;
}

Mat FlagTurkey()
{
    const Scalar red = Rgb(227, 10, 23), white = Rgb(255, 255, 255);
    Mat img(kTargetSize, CV_8UC3, red);
    Crescent(img, {126, 120}, 60, 48, {15, 0}, white, red);
    FillPoly(img, StarPoints({186, 120}, 30, 30 * kStarInner, 5, -90), white);
    return img;
}

// "Capitalism": a big dollar sign on a banknote, full bleed.
Mat DollarNote()
{
    const Size s = kTargetSize;
    const Scalar paper = Rgb(196, 222, 186), ink = Rgb(30, 100, 60), deep = Rgb(14, 70, 40);
    Mat img(s, CV_8UC3, paper);
    // Engraved look: two families of wavy lines crossing.
    for (int k = -20; k < 60; ++k) {
        std::vector<Point2f> a, b;
        for (int x = 0; x <= s.width; x += 4) {
            a.emplace_back(float(x), k * 6.f + 8 * float(std::sin(x * 0.05 + k * 0.3)));
            b.emplace_back(float(x), k * 6.f + 8 * float(std::sin(x * 0.05 + k * 0.3 + kPi)));
        }
        PolyLine(img, a, false, Mix(paper, ink, 0.25), 1);
        PolyLine(img, b, false, Mix(paper, ink, 0.15), 1);
    }
    // Framed border with corner rosettes and values.
    cv::rectangle(img, Rect(8, 8, s.width - 16, s.height - 16), ink, 6);
    cv::rectangle(img, Rect(18, 18, s.width - 36, s.height - 36), ink, 2);
    for (Point2f corner :
         {Point2f(36, 36), Point2f(284, 36), Point2f(36, 204), Point2f(284, 204)}) {
        Disc(img, corner, 22, ink);
        Disc(img, corner, 17, paper);
        for (int k = 0; k < 12; ++k) {
            const double a = k * kPi / 6;
            Line(img, corner, corner + Point2f(15 * float(std::cos(a)), 15 * float(std::sin(a))),
                 ink, 1);
        }
        Disc(img, corner, 7, ink);
    }
    // Central medallion with the sign.
    const Point2f c(160, 120);
    Oval(img, c, {84, 98}, 0, Mix(paper, Rgb(255, 255, 230), 0.5));
    for (int k = 0; k < 48; ++k) {
        const double a = k * kPi / 24;
        Line(img, c + Point2f(78 * float(std::cos(a)), 92 * float(std::sin(a))),
             c + Point2f(84 * float(std::cos(a + 0.1)), 98 * float(std::sin(a + 0.1))), ink, 2);
    }
    Oval(img, c, {84, 98}, 0, deep, 3);
    const TextStyle sign{cv::FONT_HERSHEY_TRIPLEX, 5.2, 14};
    int base = 0;
    const Size t = cv::getTextSize("$", sign.font, sign.scale, sign.thickness, &base);
    Mat dollar = MaskOf(s, [&](Mat& m) {
        cv::putText(m, "$", Point(cvRound(c.x) - t.width / 2, cvRound(c.y) + t.height / 2),
                    sign.font, sign.scale, Scalar(255), sign.thickness, cv::LINE_AA);
    });
    Paint(img, Blurred(Shifted(dollar, 3, 4), 2), Rgb(0, 0, 0), 0.35);
    Paint(img, Dilated(dollar, 2), Rgb(230, 200, 90));
    Paint(img, dollar, deep);
    Grain(img, 3.0, 401);
    return img;
}

// ---- sprites ----------------------------------------------------------------------
// Sprites fly over the video on pure black, which the game treats as see-
// through. They are drawn four times larger and reduced with the coverage
// kept apart from the colour, so an edge pixel is either the object's own
// colour or exactly black: no dark fringe. Dark parts stay at grey 40 and
// above so nothing inside an object reads as a hole.

class SpriteCanvas {
  public:
    SpriteCanvas(int width, int height)
        : size_(width, height),
          colour_(height * kSuper, width * kSuper, CV_8UC3, Scalar(0)),
          cover_(height * kSuper, width * kSuper, CV_8U, Scalar(0))
    {
    }

    // All coordinates are in final sprite pixels.
    void Poly(const std::vector<Point2f>& pts, const Scalar& colour)
    {
        Draw(colour, [&](Mat& m, const Scalar& c) { FillPoly(m, Up(pts), c); });
    }
    void Circle(Point2f c, float r, const Scalar& colour)
    {
        Draw(colour,
             [&](Mat& m, const Scalar& col) { Disc(m, c * float(kSuper), r * kSuper, col); });
    }
    void Ring(Point2f c, float r, float width, const Scalar& colour)
    {
        Draw(colour, [&](Mat& m, const Scalar& col) {
            Disc(m, c * float(kSuper), r * kSuper, col, std::max(1, cvRound(width * kSuper)));
        });
    }
    void Ellipse(Point2f c, Size2f axes, double angle, const Scalar& colour, double from = 0,
                 double to = 360)
    {
        Draw(colour, [&](Mat& m, const Scalar& col) {
            Oval(m, c * float(kSuper), axes * float(kSuper), angle, col, cv::FILLED, from, to);
        });
    }
    void Stroke(const std::vector<Point2f>& pts, float width, const Scalar& colour)
    {
        Draw(colour, [&](Mat& m, const Scalar& col) {
            PolyLine(m, Up(pts), false, col, std::max(1, cvRound(width * kSuper)));
        });
    }
    void Text(const std::string& text, Point2f centre, double scale, float width,
              const Scalar& colour)
    {
        int base = 0;
        const int thick = std::max(1, cvRound(width * kSuper));
        const Size t =
            cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, scale * kSuper, thick, &base);
        const Point org(cvRound(centre.x * kSuper) - t.width / 2,
                        cvRound(centre.y * kSuper) + t.height / 2);
        Draw(colour, [&](Mat& m, const Scalar& col) {
            cv::putText(m, text, org, cv::FONT_HERSHEY_SIMPLEX, scale * kSuper, col, thick,
                        cv::LINE_AA);
        });
    }

    // A round body lit from the upper left: discs shrinking towards the light.
    void Sphere(Point2f c, float r, const Scalar& dark, const Scalar& light)
    {
        const int steps = 12;
        for (int i = 0; i < steps; ++i) {
            const float t = i / float(steps);
            const float ri = r * (1 - 0.85f * t);
            const Point2f ci = c + Point2f(-1, -1) * (r - ri) * 0.55f;
            Circle(ci, ri, Mix(dark, light, std::pow(t, 0.8)));
        }
    }

    // A polygon shaded like a lying cylinder: brightest a third of the way
    // down its height, darkest at the bottom.
    void Shaded(const std::vector<Point2f>& pts, const Scalar& dark, const Scalar& light,
                float lightAt = 0.3f)
    {
        const std::vector<Point2f> up = Up(pts);
        Mat m(cover_.size(), CV_8U, Scalar(0));
        FillPoly(m, up, Scalar(255));
        const Rect box = cv::boundingRect(m) & Rect(0, 0, m.cols, m.rows);
        if (box.empty())
            return;
        for (int r = box.y; r < box.br().y; ++r) {
            const double t = (r - box.y + 0.5) / box.height;
            const double d = std::abs(t - lightAt) / std::max(lightAt, 1.0f - lightAt);
            const Scalar c = Mix(light, dark, std::pow(Clamp01(d), 0.9));
            for (int col = box.x; col < box.br().x; ++col) {
                const double a = m.at<uchar>(r, col) / 255.0;
                if (a <= 0)
                    continue;
                cv::Vec3b& px = colour_.at<cv::Vec3b>(r, col);
                for (int k = 0; k < 3; ++k)
                    px[k] = cv::saturate_cast<uchar>(px[k] * (1 - a) + c[k] * a);
                uchar& cov = cover_.at<uchar>(r, col);
                cov = cv::saturate_cast<uchar>(cov + (255 - cov) * a);
            }
        }
    }

    // Reduces to sprite size: colour divided by coverage where the object
    // covers at least half a pixel, pure black elsewhere.
    Mat Finish() const
    {
        Mat colour, cover;
        cv::resize(colour_, colour, size_, 0, 0, cv::INTER_AREA);
        cv::resize(cover_, cover, size_, 0, 0, cv::INTER_AREA);
        Mat out(size_, CV_8UC3, Scalar(0));
        for (int r = 0; r < size_.height; ++r)
            for (int c = 0; c < size_.width; ++c) {
                const int a = cover.at<uchar>(r, c);
                if (a < 128)
                    continue;
                cv::Vec3b px = colour.at<cv::Vec3b>(r, c);
                for (int k = 0; k < 3; ++k) px[k] = cv::saturate_cast<uchar>(px[k] * 255.0 / a);
                if (std::max({px[0], px[1], px[2]}) < kDarkest)
                    for (int k = 0; k < 3; ++k) px[k] = std::max<uchar>(px[k], kDarkest);
                out.at<cv::Vec3b>(r, c) = px;
            }
        return out;
    }

    static constexpr int kDarkest = 40;

  private:
    static constexpr int kSuper = 4;

    static std::vector<Point2f> Up(const std::vector<Point2f>& pts)
    {
        std::vector<Point2f> out;
        for (const Point2f& p : pts) out.push_back(p * float(kSuper));
        return out;
    }

    // Draws once in colour (blending over what is there; the black ground
    // makes the edges premultiplied) and once into the coverage.
    void Draw(const Scalar& colour, const std::function<void(Mat&, const Scalar&)>& draw)
    {
        draw(colour_, colour);
        draw(cover_, Scalar(255));
    }

    Size size_;
    Mat colour_, cover_;
};

// The damaging five: metal, red and yellow; the long ones point left, the way
// sprites cross the screen.

Mat SpriteBomb()
{
    SpriteCanvas s(46, 44);
    s.Sphere({20, 26}, 16.5f, Rgb(45, 45, 55), Rgb(170, 172, 190));
    s.Poly({{27, 10}, {33, 6}, {38, 13}, {32, 17}}, Rgb(120, 110, 100));  // fuse cap
    s.Poly({{29, 9}, {33, 6}, {35, 9}, {31, 12}}, Rgb(190, 180, 160));
    s.Stroke({{35, 8}, {37, 5}, {40, 5}}, 1.6f, Rgb(200, 160, 100));
    s.Poly(StarPoints({41, 5}, 5.5f, 2.0f, 8), Rgb(255, 120, 20));  // the lit end
    s.Poly(StarPoints({41, 5}, 3.2f, 1.4f, 8, 22), Rgb(255, 240, 120));
    s.Ellipse({13, 19}, {4, 2.5f}, -40, Rgb(225, 228, 240));  // shine
    return s.Finish();
}

Mat SpriteMissile()
{
    SpriteCanvas s(60, 30);
    const Scalar finDark = Rgb(60, 64, 70), finLight = Rgb(150, 156, 166);
    s.Shaded({{44, 15}, {52, 2}, {58, 2}, {56, 15}}, finDark, finLight);  // tail fins
    s.Shaded({{44, 15}, {52, 28}, {58, 28}, {56, 15}}, finDark, finLight);
    s.Shaded({{12, 10}, {54, 10}, {54, 20}, {12, 20}}, Rgb(100, 104, 110),
             Rgb(232, 236, 240));  // body
    s.Shaded({{1, 15}, {4, 12}, {8, 10.5f}, {13, 10}, {13, 20}, {8, 19.5f}, {4, 18}},
             Rgb(120, 10, 10), Rgb(255, 80, 60));  // warhead
    s.Shaded({{15, 10}, {18, 10}, {18, 20}, {15, 20}}, Rgb(160, 120, 0),
             Rgb(255, 220, 60));                                          // band
    s.Shaded({{27, 15}, {31, 6}, {36, 6}, {37, 15}}, finDark, finLight);  // mid wings
    s.Shaded({{54, 11}, {57, 12}, {57, 18}, {54, 19}}, Rgb(60, 60, 60),
             Rgb(110, 110, 110));  // nozzle
    s.Poly({{57, 13}, {60, 15}, {57, 17}}, Rgb(255, 170, 40));
    return s.Finish();
}

Mat SpriteShell()
{
    SpriteCanvas s(58, 30);
    // Brass case at the back, olive projectile with a yellow band in front.
    s.Shaded({{30, 6}, {53, 6}, {53, 24}, {30, 24}}, Rgb(130, 85, 20), Rgb(255, 220, 120));
    s.Shaded({{52, 4.5f}, {56, 4.5f}, {56, 25.5f}, {52, 25.5f}}, Rgb(120, 80, 20),
             Rgb(240, 200, 100));
    s.Shaded({{15, 6.5f}, {31, 6.5f}, {31, 23.5f}, {15, 23.5f}}, Rgb(60, 70, 45),
             Rgb(150, 165, 110));
    std::vector<Point2f> nose;  // ogive: an arc from the body to the point
    for (int k = 0; k <= 10; ++k) {
        const double a = kPi / 2 * k / 10;
        nose.emplace_back(15.f - 12.f * float(std::sin(a)),
                          15.f - 8.5f * float(std::cos(a)) * float(std::cos(a * 0.45)));
    }
    for (int k = 10; k >= 0; --k) {
        const double a = kPi / 2 * k / 10;
        nose.emplace_back(15.f - 12.f * float(std::sin(a)),
                          15.f + 8.5f * float(std::cos(a)) * float(std::cos(a * 0.45)));
    }
    s.Shaded(nose, Rgb(60, 70, 45), Rgb(150, 165, 110));
    s.Shaded({{11, 8.7f}, {15, 7}, {15, 23}, {11, 21.3f}}, Rgb(170, 130, 0),
             Rgb(255, 225, 70));  // band
    s.Shaded({{27, 6}, {30, 6}, {30, 24}, {27, 24}}, Rgb(120, 50, 20),
             Rgb(240, 140, 90));  // driving band
    s.Shaded({{1, 14}, {4, 12.5f}, {4, 17.5f}, {1, 16}}, Rgb(120, 10, 10),
             Rgb(255, 70, 50));  // fuse
    return s.Finish();
}

Mat SpriteMine()
{
    SpriteCanvas s(46, 46);
    const Point2f c(23, 23);
    // Horns first, so the body covers their roots.
    for (int k = 0; k < 8; ++k) {
        const double a = k * kPi / 4 + kPi / 8;
        const Point2f d(float(std::cos(a)), float(std::sin(a)));
        s.Stroke({c + d * 12.f, c + d * 19.f}, 3.0f, Rgb(120, 125, 120));
        s.Circle(c + d * 19.5f, 2.6f, Rgb(220, 40, 30));
        s.Circle(c + d * 19.0f - Point2f(0.6f, 0.6f), 1.0f, Rgb(255, 200, 120));
    }
    s.Sphere(c, 14.5f, Rgb(45, 55, 48), Rgb(150, 165, 150));
    s.Shaded({{8.5f, 21}, {37.5f, 21}, {37.5f, 25}, {8.5f, 25}}, Rgb(150, 20, 10),
             Rgb(255, 80, 50));  // red band
    s.Poly(StarPoints(c + Point2f(0, 0.5f), 3.5f, 1.6f, 6), Rgb(255, 220, 60));
    s.Ellipse({17, 15}, {3.5f, 2.0f}, -40, Rgb(210, 220, 210));
    return s.Finish();
}

Mat SpriteRocket()
{
    SpriteCanvas s(60, 34);
    // Flame from the nozzle, in three heats.
    s.Poly({{43, 11}, {52, 8}, {60, 17}, {52, 26}, {43, 23}}, Rgb(230, 60, 20));
    s.Poly({{43, 13}, {51, 11}, {57, 17}, {51, 23}, {43, 21}}, Rgb(255, 160, 30));
    s.Poly({{43, 15}, {49, 14}, {52, 17}, {49, 20}, {43, 19}}, Rgb(255, 245, 170));
    s.Shaded({{31, 10}, {40, 1}, {45, 1}, {44, 12}}, Rgb(160, 120, 0), Rgb(255, 225, 80));  // fins
    s.Shaded({{31, 24}, {40, 33}, {45, 33}, {44, 22}}, Rgb(160, 120, 0), Rgb(255, 225, 80));
    s.Shaded({{12, 10}, {42, 10}, {42, 24}, {12, 24}}, Rgb(120, 10, 12), Rgb(255, 90, 70));  // body
    s.Shaded({{20, 10}, {24, 10}, {24, 24}, {20, 24}}, Rgb(150, 150, 150),
             Rgb(250, 250, 250));  // stripes
    s.Shaded({{30, 10}, {33, 10}, {33, 24}, {30, 24}}, Rgb(150, 150, 150), Rgb(250, 250, 250));
    s.Shaded({{1, 17}, {5, 13}, {12, 10}, {12, 24}, {5, 21}}, Rgb(160, 120, 0),
             Rgb(255, 230, 90));  // nose
    s.Shaded({{42, 12}, {45, 12.5f}, {45, 21.5f}, {42, 22}}, Rgb(60, 60, 60),
             Rgb(130, 130, 130));  // nozzle
    return s.Finish();
}

// The things the player should spare.

Mat SpriteCivilian()
{
    SpriteCanvas s(30, 50);
    const Scalar skin = Rgb(240, 192, 150), shirt = Rgb(80, 160, 235), trousers = Rgb(70, 70, 130);
    // Arms thrown up in alarm.
    s.Stroke({{10, 17}, {6, 11}, {4, 4}}, 3.2f, shirt);
    s.Stroke({{20, 17}, {24, 11}, {26, 4}}, 3.2f, shirt);
    s.Circle({4, 3.5f}, 2.0f, skin);
    s.Circle({26, 3.5f}, 2.0f, skin);
    // Legs, shoes, body, head.
    s.Stroke({{13, 30}, {11, 38}, {10, 45}}, 4.2f, trousers);
    s.Stroke({{17, 30}, {19, 38}, {20, 45}}, 4.2f, trousers);
    s.Ellipse({9, 46.5f}, {3.0f, 1.6f}, 0, Rgb(90, 60, 40));
    s.Ellipse({21, 46.5f}, {3.0f, 1.6f}, 0, Rgb(90, 60, 40));
    s.Shaded({{9, 15}, {21, 15}, {20, 31}, {10, 31}}, Rgb(50, 110, 180), Rgb(140, 200, 255), 0.4f);
    s.Poly({{13, 15}, {17, 15}, {15, 18}}, skin);  // open collar
    s.Circle({15, 9}, 5.2f, skin);
    s.Ellipse({15, 7.2f}, {5.4f, 3.6f}, 0, Rgb(110, 65, 30), 180, 360);  // hair
    s.Circle({13.2f, 9.4f}, 0.7f, Rgb(60, 40, 40));
    s.Circle({16.8f, 9.4f}, 0.7f, Rgb(60, 40, 40));
    s.Ellipse({15, 12}, {1.0f, 1.3f}, 0, Rgb(150, 60, 50));  // mouth open in fright
    return s.Finish();
}

Mat SpriteOilField()
{
    SpriteCanvas s(58, 50);
    const Scalar steel = Rgb(200, 90, 40), brace = Rgb(240, 150, 80);
    // Sand under everything.
    s.Shaded({{0, 45}, {58, 45}, {58, 50}, {0, 50}}, Rgb(140, 100, 50), Rgb(220, 180, 110));
    // Derrick: a lattice tower with a crown block and a little flag.
    s.Stroke({{4, 45}, {14, 5}}, 2.0f, steel);
    s.Stroke({{26, 45}, {16, 5}}, 2.0f, steel);
    for (int k = 0; k < 4; ++k) {
        const float y0 = 45 - k * 10.f, y1 = y0 - 10;
        const float l0 = 4 + (45 - y0) / 4, r0 = 26 - (45 - y0) / 4;
        const float l1 = 4 + (45 - y1) / 4, r1 = 26 - (45 - y1) / 4;
        s.Stroke({{l0, y0}, {r1, y1}}, 0.9f, brace);
        s.Stroke({{r0, y0}, {l1, y1}}, 0.9f, brace);
        s.Stroke({{l1, y1}, {r1, y1}}, 1.0f, brace);
    }
    s.Poly({{12, 3}, {18, 3}, {18, 6}, {12, 6}}, Rgb(170, 170, 170));
    s.Stroke({{15, 3}, {15, 0.5f}}, 0.8f, Rgb(170, 170, 170));
    s.Poly({{15, 0.5f}, {20, 1.5f}, {15, 2.8f}}, Rgb(230, 40, 30));
    // Pump jack: skid, post, walking beam with the horse head, crank weight.
    s.Shaded({{29, 42}, {57, 42}, {57, 45}, {29, 45}}, Rgb(80, 80, 90), Rgb(160, 160, 170));
    s.Stroke({{40, 42}, {44, 22}}, 2.0f, Rgb(150, 150, 165));
    s.Stroke({{48, 42}, {44, 22}}, 2.0f, Rgb(150, 150, 165));
    s.Stroke({{30, 26}, {52, 19}}, 3.0f, Rgb(240, 200, 40));
    s.Poly({{50, 16}, {55, 15}, {57, 20}, {56, 27}, {53, 26}, {53, 21}}, Rgb(240, 200, 40));
    s.Stroke({{55.5f, 26}, {55.5f, 42}}, 0.9f, Rgb(200, 200, 210));
    s.Stroke({{31, 26}, {33, 36}}, 1.4f, Rgb(150, 150, 165));
    s.Ellipse({33, 37}, {5, 4}, 0, Rgb(210, 50, 40));
    s.Circle({44, 22}, 1.3f, Rgb(80, 80, 90));
    return s.Finish();
}

Mat SpriteHouse()
{
    SpriteCanvas s(54, 48);
    s.Shaded({{0, 44}, {54, 44}, {54, 48}, {0, 48}}, Rgb(40, 110, 40), Rgb(110, 200, 90));  // lawn
    s.Poly({{36, 6}, {42, 6}, {42, 16}, {36, 16}}, Rgb(150, 70, 50));    // chimney
    s.Poly({{8, 22}, {46, 22}, {46, 45}, {8, 45}}, Rgb(240, 225, 185));  // walls
    s.Poly({{8, 22}, {12, 22}, {12, 45}, {8, 45}}, Rgb(200, 180, 140));
    s.Shaded({{2, 24}, {27, 4}, {52, 24}}, Rgb(130, 25, 20), Rgb(230, 70, 50), 0.2f);  // roof
    s.Poly({{2, 24}, {52, 24}, {52, 26}, {2, 26}}, Rgb(110, 30, 25));
    s.Poly({{22, 31}, {30, 31}, {30, 45}, {22, 45}}, Rgb(140, 80, 40));  // door
    s.Circle({28.5f, 38.5f}, 0.8f, Rgb(250, 210, 80));
    for (float x : {11.5f, 34.5f}) {  // lit windows with crossbars
        s.Poly({{x, 29}, {x + 8, 29}, {x + 8, 37}, {x, 37}}, Rgb(250, 250, 245));
        s.Poly({{x + 1, 30}, {x + 7, 30}, {x + 7, 36}, {x + 1, 36}}, Rgb(255, 215, 90));
        s.Stroke({{x + 4, 30}, {x + 4, 36}}, 0.8f, Rgb(250, 250, 245));
        s.Stroke({{x + 1, 33}, {x + 7, 33}}, 0.8f, Rgb(250, 250, 245));
    }
    s.Poly({{24, 13}, {30, 13}, {30, 18}, {24, 18}}, Rgb(250, 250, 245));  // attic window
    s.Poly({{25, 14}, {29, 14}, {29, 17}, {25, 17}}, Rgb(255, 215, 90));
    s.Circle({5, 42}, 4, Rgb(60, 150, 50));  // shrubs
    s.Circle({49, 42}, 4, Rgb(60, 150, 50));
    s.Circle({4, 40.5f}, 1.5f, Rgb(120, 210, 100));
    s.Circle({48, 40.5f}, 1.5f, Rgb(120, 210, 100));
    return s.Finish();
}

// One wad of notes, seen from the front and a little above, with its band.
void DollarWad(SpriteCanvas& s, Point2f at, float w, float h)
{
    const Scalar note = Rgb(120, 180, 110), edge = Rgb(210, 235, 200), ink = Rgb(40, 100, 50);
    s.Poly({at + Point2f(0, 4), at + Point2f(w, 4), at + Point2f(w, h), at + Point2f(0, h)},
           Rgb(190, 215, 180));
    for (float y = at.y + 5.5f; y < at.y + h; y += 1.6f)  // page edges
        s.Stroke({{at.x + 0.5f, y}, {at.x + w - 0.5f, y}}, 0.5f, Rgb(110, 160, 100));
    s.Poly({at, at + Point2f(w, 0), at + Point2f(w, 4.5f), at + Point2f(0, 4.5f)}, edge);
    s.Poly({at + Point2f(1, 0.6f), at + Point2f(w - 1, 0.6f), at + Point2f(w - 1, 4),
            at + Point2f(1, 4)},
           note);
    s.Poly({at + Point2f(w * 0.42f, -0.5f), at + Point2f(w * 0.58f, -0.5f),
            at + Point2f(w * 0.58f, h + 0.5f), at + Point2f(w * 0.42f, h + 0.5f)},
           Rgb(245, 235, 200));  // paper band
    s.Text("$", at + Point2f(w * 0.5f, h * 0.55f + 1), 0.36, 1.2f, ink);
}

Mat SpriteDollars()
{
    SpriteCanvas s(56, 40);
    DollarWad(s, {14, 3}, 30, 16);
    DollarWad(s, {3, 16}, 30, 16);
    DollarWad(s, {23, 20}, 30, 17);
    return s.Finish();
}

Mat SpriteStar()
{
    SpriteCanvas s(46, 46);
    const Point2f c(23, 24);
    const std::vector<Point2f> pts = StarPoints(c, 21.5f, 9.0f);
    s.Poly(pts, Rgb(200, 110, 10));
    // Facets: each point has a lit and a shaded half, so the star looks cut.
    const std::vector<Point2f> inner = StarPoints(c, 19.5f, 8.0f);
    for (size_t i = 0; i < inner.size(); ++i) {
        const Point2f a = inner[i], b = inner[(i + 1) % inner.size()];
        const double lit =
            0.5 + 0.5 * std::cos(std::atan2((a.y + b.y) / 2 - c.y, (a.x + b.x) / 2 - c.x) + 2.2);
        s.Poly({c, a, b}, Mix(Rgb(235, 150, 20), Rgb(255, 245, 150), lit));
    }
    s.Poly(StarPoints({40, 7}, 4, 1, 4), Rgb(255, 255, 220));  // sparkles
    s.Poly(StarPoints({6, 40}, 3, 0.8f, 4), Rgb(255, 255, 220));
    return s.Finish();
}

Mat SpriteExplosion()
{
    SpriteCanvas s(50, 50);
    cv::RNG rng(501);
    const Point2f c(25, 25);
    auto burst = [&](float outer, float inner, int spikes, const Scalar& colour) {
        std::vector<Point2f> pts;
        for (int i = 0; i < 2 * spikes; ++i) {
            const double a = i * kPi / spikes + rng.uniform(-0.12, 0.12);
            const float r = (i % 2 == 0 ? outer : inner) * rng.uniform(0.8f, 1.05f);
            pts.emplace_back(c.x + r * float(std::cos(a)), c.y + r * float(std::sin(a)));
        }
        s.Poly(pts, colour);
    };
    for (int k = 0; k < 5; ++k) {  // flying bits
        const double a = rng.uniform(0.0, 2 * kPi);
        const float r = rng.uniform(19.f, 23.f);
        s.Circle(c + Point2f(r * float(std::cos(a)), r * float(std::sin(a))),
                 rng.uniform(1.0f, 1.6f), Rgb(255, 150, 40));
    }
    burst(24, 13, 11, Rgb(200, 30, 15));
    burst(18, 10, 9, Rgb(250, 110, 20));
    burst(12, 7, 8, Rgb(255, 210, 50));
    s.Circle(c, 5, Rgb(255, 250, 210));
    return s.Finish();
}

// ---- writing and checking ----------------------------------------------------------

struct Picture {
    std::string name;
    std::function<Mat()> draw;
};

// A flag with folds in the cloth; each flag gets its own seed.
std::function<Mat()> Waving(Mat (*flag)(), uint64_t seed)
{
    return [flag, seed] {
        Mat img = flag();
        Cloth(img, seed);
        return img;
    };
}

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool Write(const std::filesystem::path& folder, const std::string& name, const Mat& img)
{
    std::vector<int> params;
    if (EndsWith(name, ".jpg"))
        params = {cv::IMWRITE_JPEG_QUALITY, 92};
    if (EndsWith(name, ".png"))
        params = {cv::IMWRITE_PNG_COMPRESSION, 9};
    const std::string path = (folder / name).string();
    if (!cv::imwrite(path, img, params)) {
        std::fprintf(stderr, "make_pictures: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// Reads a written file back the way the game does and checks what the game
// relies on. Returns an empty string when all is well.
std::string Check(const std::filesystem::path& folder, const std::string& name)
{
    const std::filesystem::path path = folder / name;
    std::ifstream in(path, std::ios::binary);
    unsigned char magic[4] = {};
    in.read(reinterpret_cast<char*>(magic), 4);
    const bool png = magic[0] == 0x89 && magic[1] == 'P' && magic[2] == 'N' && magic[3] == 'G';
    const bool jpeg = magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF;
    if (EndsWith(name, ".png") != png || EndsWith(name, ".jpg") != jpeg)
        return "format does not match its name";

    const Mat img = cv::imread(path.string(), cv::IMREAD_COLOR);
    if (img.empty() || img.channels() != 3)
        return "does not load in colour";

    if (name.rfind("sprite", 0) == 0) {
        if (img.cols > 60)
            return "sprite wider than 60 pixels";
        if (img.rows < 20 || img.rows > 60)
            return "sprite height out of range";
        int black = 0, murky = 0;
        for (int r = 0; r < img.rows; ++r)
            for (int c = 0; c < img.cols; ++c) {
                const cv::Vec3b px = img.at<cv::Vec3b>(r, c);
                const int m = std::max({px[0], px[1], px[2]});
                black += m == 0;
                murky += m > 0 && m < SpriteCanvas::kDarkest;
            }
        if (murky > 0)
            return "near-black pixels that would show as dirt";
        if (black < int(img.total() / 4))
            return "too little see-through ground";
        if (black == int(img.total()))
            return "empty";
    }
    if (name == "Kragmoor.png" && img.size() != Size(640, 480))
        return "title is not 640 x 480";
    if (name == "gameover.png") {
        if (img.size() != kGameOverSize)
            return "unexpected size";
        // The tally's widest lines, as the game writes them, must fit across,
        // and all sixteen rows must stay inside the quiet band even when the
        // line step is taken generously as text height plus descent.
        int smallBase = 0, largeBase = 0;
        const Size small = cv::getTextSize(
            " you killed     99999 civilian(s)................................--> 10x_bonus = "
            "9999999",
            cv::FONT_HERSHEY_SIMPLEX, 0.5, 1, &smallBase);
        const Size large = cv::getTextSize(" your score............................--> 99999999",
                                           cv::FONT_HERSHEY_SIMPLEX, 1.0, 2, &largeBase);
        if (std::max(small.width, large.width) > img.cols - 40)
            return "tally lines do not fit";
        const int step = small.height + smallBase;
        const int lastRow = 100 + 15 * step + smallBase + largeBase;
        if (100 - small.height < kTallyTop || lastRow > kTallyBottom)
            return "tally runs outside the quiet band";
        Mat grey;
        cv::cvtColor(img.rowRange(kTallyTop, kTallyBottom), grey, cv::COLOR_BGR2GRAY);
        Scalar mean, dev;
        cv::meanStdDev(grey, mean, dev);
        double hi = 0;
        cv::minMaxLoc(grey, nullptr, &hi);
        if (mean[0] > 45 || dev[0] > 8 || hi > 90)
            return "tally band is not dark and even";
    }
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_pictures <output folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);

    const std::vector<Picture> pictures = {
        {"Kragmoor.png", DrawTitle},
        {"gameover.png", DrawGameOver},
        {"darrow.png", [] { return DrawCaricature(Darrow()); }},
        {"umlev2.jpg", [] { return DrawCaricature(Umlev()); }},
        {"crovan.jpg", [] { return DrawCaricature(CrovanDelk()); }},
        {"ostrand.jpg", [] { return DrawCaricature(Ostrand()); }},
        {"usa.jpg", Waving(FlagUsa, 601)},
        {"uk.jpg", Waving(FlagUk, 602)},
        {"iran.jpg", Waving(FlagIran, 603)},
        {"irak.jpg", Waving(FlagIraq, 604)},
        {"syrien.jpg", Waving(FlagSyria, 605)},
        {"libya.jpg", Waving(FlagLibya, 606)},
        {"northkorea.jpg", Waving(FlagNorthKorea, 607)},
        {"israel.jpg", Waving(FlagIsrael, 608)},
        {"cuba.jpg", Waving(FlagCuba, 609)},
        {"palestine.png", Waving(FlagPalestine, 610)},
        {"spain.jpg", Waving(FlagSpain, 611)},
        {"poland.jpg", Waving(FlagPoland, 612)},
        {"pakistan.png", Waving(FlagPakistan, 613)},
        {"turkey.png", Waving(FlagTurkey, 614)},
        {"dollar.jpg", DollarNote},
        {"sprite1.png", SpriteBomb},
        {"sprite2.png", SpriteMissile},
        {"sprite3.png", SpriteShell},
        {"sprite4.png", SpriteMine},
        {"sprite5.png", SpriteRocket},
        {"sprite6.png", SpriteCivilian},
        {"sprite7.png", SpriteOilField},
        {"sprite8.png", SpriteHouse},
        {"sprite9.png", SpriteDollars},
        {"sprite10.png", SpriteStar},
        {"sprite11.png", SpriteExplosion},
    };

    int failures = 0;
    for (const Picture& p : pictures) {
        const Mat img = p.draw();
        if (!Write(folder, p.name, img)) {
            ++failures;
            continue;
        }
        const std::string problem = Check(folder, p.name);
        if (!problem.empty()) {
            std::fprintf(stderr, "make_pictures: %s: %s\n", p.name.c_str(), problem.c_str());
            ++failures;
        }
    }
    std::printf("make_pictures: wrote %zu pictures to %s, %d problem(s)\n", pictures.size(),
                folder.string().c_str(), failures);
    return failures == 0 ? 0 : 1;
}
