#include "demo_camera.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

constexpr double kMaxTime = 86400;
constexpr double kMaxCoordinate = 100000;
constexpr std::size_t kMaxScriptBytes = 1 << 20;

std::vector<std::string> Words(std::string_view line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::strchr(" \t\r", line[i]))
            ++i;
        std::size_t start = i;
        while (i < line.size() && !std::strchr(" \t\r", line[i]))
            ++i;
        if (i > start)
            words.emplace_back(line.substr(start, i - start));
    }
    return words;
}

bool Number(const std::string& word, double lo, double hi, double* out)
{
    // from_chars reads the same in every locale (a GTK program runs in the
    // user's, where the decimal point may be a comma).
    double v = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(v) || v < lo ||
        v > hi)
        return false;
    *out = v;
    return true;
}

double Lerp(double a, double b, double f) { return a + (b - a) * f; }

}  // namespace

DemoScript ParseDemoScript(std::string_view text, std::vector<std::string>* errors)
{
    DemoScript script;
    int number = 0;
    for (std::size_t pos = 0; pos <= text.size();) {
        const std::size_t nl = text.find('\n', pos);
        const std::string_view line =
            text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() + 1 : nl + 1;
        ++number;
        const auto bad = [&](const char* why) {
            if (errors)
                errors->push_back("line " + std::to_string(number) + ": " + why);
        };
        const std::vector<std::string> w = Words(line);
        if (w.empty() || w[0][0] == '#')
            continue;
        if (w[0] == "loop") {
            if (w.size() == 1)
                script.loop = true;
            else
                bad("loop takes nothing");
        } else if (w[0] == "colour") {
            double c[3];
            if (w.size() == 4 && Number(w[1], 0, 255, &c[0]) && Number(w[2], 0, 255, &c[1]) &&
                Number(w[3], 0, 255, &c[2]))
                script.colour = cv::Scalar(c[0], c[1], c[2]);
            else
                bad("colour needs three values from 0 to 255");
        } else if (w.size() != 8) {
            bad("a keyframe has 8 numbers: time x y height leftArm rightArm leftLeg rightLeg");
        } else {
            DemoKeyframe k;
            double* fields[] = {&k.time,    &k.x,        &k.y,       &k.height,
                                &k.leftArm, &k.rightArm, &k.leftLeg, &k.rightLeg};
            const double lo[] = {0, -kMaxCoordinate, -kMaxCoordinate, 0, -360, -360, -360, -360};
            const double hi[] = {kMaxTime, kMaxCoordinate, kMaxCoordinate, kMaxCoordinate,
                                 360,      360,            360,            360};
            bool ok = true;
            for (int i = 0; i < 8 && ok; ++i)
                ok = Number(w[i], lo[i], hi[i], fields[i]);
            if (!ok)
                bad("a number is malformed or out of range (time 0..86400, angles -360..360, "
                    "height >= 0)");
            else if (!script.keys.empty() && k.time <= script.keys.back().time)
                bad("keyframe times must grow");
            else
                script.keys.push_back(k);
        }
    }
    return script;
}

bool LoadDemoScript(const std::string& path, DemoScript* script)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "demo camera: cannot read %s\n", path.c_str());
        return false;
    }
    std::string text(kMaxScriptBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxScriptBytes) {
        std::fprintf(stderr, "demo camera: %s is larger than 1 MiB\n", path.c_str());
        return false;
    }
    std::vector<std::string> errors;
    *script = ParseDemoScript(text, &errors);
    for (const std::string& e : errors)
        std::fprintf(stderr, "%s: %s; skipped\n", path.c_str(), e.c_str());
    return true;
}

DemoScript DefaultDemoScript()
{
    DemoScript s;
    s.keys.push_back({0, 176, 270, 216, 15, 15, 12, 12});
    return s;
}

bool DemoScript::PoseAt(double t, DemoKeyframe* pose) const
{
    if (keys.empty())
        return false;
    const double last = keys.back().time;
    if (loop && last > 0 && t > last)
        t = std::fmod(t, last);
    if (t <= keys.front().time) {
        *pose = keys.front();
    } else if (t >= last) {
        *pose = keys.back();
    } else {
        std::size_t i = 1;
        while (keys[i].time < t)
            ++i;
        const DemoKeyframe& a = keys[i - 1];
        const DemoKeyframe& b = keys[i];
        const double f = (t - a.time) / (b.time - a.time);
        *pose = {t,
                 Lerp(a.x, b.x, f),
                 Lerp(a.y, b.y, f),
                 Lerp(a.height, b.height, f),
                 Lerp(a.leftArm, b.leftArm, f),
                 Lerp(a.rightArm, b.rightArm, f),
                 Lerp(a.leftLeg, b.leftLeg, f),
                 Lerp(a.rightLeg, b.rightLeg, f)};
    }
    return pose->height >= 1;
}

DemoCamera::DemoCamera(int width, int height, DemoScript script, std::uint32_t noiseSeed)
    : scene_(width, height), script_(std::move(script)), noise_(noiseSeed | 1)
{
}

bool DemoCamera::FigureAt(std::int64_t n, Figure* figure) const
{
    DemoKeyframe k;
    if (!script_.PoseAt(static_cast<double>(n) / kFps, &k))
        return false;
    const double sx = static_cast<double>(Width()) / kScriptWidth;
    const double sy = static_cast<double>(Height()) / kScriptHeight;
    figure->x = static_cast<int>(std::lround(k.x * sx));
    figure->footRow = static_cast<int>(std::lround(k.y * sy));
    figure->height = static_cast<int>(std::lround(k.height * sy));
    figure->armRaise = static_cast<int>(std::lround(k.rightArm));
    figure->colour = script_.colour;
    figure->posed = true;
    figure->leftArm = static_cast<int>(std::lround(k.leftArm));
    figure->leftLeg = static_cast<int>(std::lround(k.leftLeg));
    figure->rightLeg = static_cast<int>(std::lround(k.rightLeg));
    return figure->height >= 1;
}

void DemoCamera::RenderTopDown(std::int64_t n, std::uint8_t* frame, int stride)
{
    cv::Mat shown(Height(), Width(), CV_8UC3, frame, static_cast<std::size_t>(stride));
    scene_.Room().copyTo(shown);
    Figure f;
    if (FigureAt(n, &f))
        DrawFigure(shown, f);
    // Sensor noise: each byte moves by -2..+2 (a xorshift generator, so that
    // a run is repeatable).
    std::uint32_t x = noise_;
    for (int r = 0; r < Height(); ++r) {
        std::uint8_t* p = frame + static_cast<std::size_t>(r) * stride;
        for (int i = 0; i < Width() * 3; ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            const int v = p[i] + static_cast<int>(x % 5) - 2;
            p[i] = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
        }
    }
    noise_ = x;
}
