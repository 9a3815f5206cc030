// The game filter's per-frame cost against a plain OpenCV extraction of the
// same silhouette, and the frame dispatch's own overhead.
//
// Reported per frame: real time, and cycles per pixel from the time-stamp
// counter. Run with --benchmark_repetitions=9 for medians.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <opencv2/imgproc.hpp>

#include "capture_internal.h"
#include "play/game_filter.h"
#include "synthetic_scene.h"
#include "vision/segmentation_pass.h"

namespace {

// One thread, for ours and for the plain OpenCV version alike.
const bool kSingleThreaded = (cv::setNumThreads(1), true);

const Figure kPlayer{.x = 0, .footRow = 0, .height = 0, .armRaise = 60};

Figure PlayerFor(int width, int height)
{
    Figure f = kPlayer;
    f.x = width / 2;
    f.footRow = height - height / 16;
    f.height = height * 3 / 4;
    return f;
}

void ReportCycles(benchmark::State& state, std::uint64_t cycles, int pixels)
{
    state.counters["cycles/px"] = benchmark::Counter(
        static_cast<double>(cycles) / static_cast<double>(state.iterations()) / pixels);
}

// A started game filter that has taken the empty room as its background.
struct StartedGame {
    StartedGame(int width, int height) : scene(width, height)
    {
        // Run where no parameter or high-score file of the user is found.
        std::filesystem::current_path(std::filesystem::temp_directory_path());
        orvexSetImageGeometry(width, height);
        game = std::make_unique<CGameFilter>();
        game->FilterStart();
        auto room = scene.Frame();
        game->Transform(room.data());
        withPlayer = scene.Frame({PlayerFor(width, height)});
        frame = withPlayer;
    }
    ~StartedGame() { game->FilterStop(); }

    SyntheticScene scene;
    std::unique_ptr<CGameFilter> game;
    std::vector<std::uint8_t> withPlayer, frame;
};

// The whole frame loop in the attract state with a player in view. The
// attract screen overwrites the frame, so each iteration first restores the
// camera picture (a frame copy, measured alone below).
void BM_GameTransform(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    StartedGame g(w, h);
    const std::uint64_t start = ReadCycleCounter();
    for (auto _ : state) {
        CGameFilter::idleFrames = 0;
        g.game->gameState = kAttract;
        std::memcpy(g.frame.data(), g.withPlayer.data(), g.frame.size());
        g.game->Transform(g.frame.data());
        benchmark::DoNotOptimize(g.frame.data());
    }
    ReportCycles(state, ReadCycleCounter() - start, w * h);
}

void BM_FrameCopy(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    SyntheticScene scene(w, h);
    auto src = scene.Frame(), dst = scene.Frame();
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), dst.size());
        benchmark::DoNotOptimize(dst.data());
    }
}

// The extraction stage alone: conversion, mask, contours, shape.
void BM_Extraction(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    StartedGame g(w, h);
    g.game->frameImage = cv::Mat(h, w, CV_8UC3, g.frame.data(), g.scene.Step());
    const std::uint64_t start = ReadCycleCounter();
    for (auto _ : state) {
        g.game->ExtractSilhouette();
        g.game->contourStorage.Release();
        benchmark::DoNotOptimize(g.game->shapeBox);
    }
    ReportCycles(state, ReadCycleCounter() - start, w * h);
    if (!g.game->SelectLargestShape(g.game->contourStorage.contours, g.game->shapeBox,
                                    g.game->silhouetteImage) &&
        cv::countNonZero(g.game->silhouetteImage.reshape(1)) == 0)
        state.SkipWithError("no shape found");
}

// The fused conversion-and-mask pass alone.
void BM_ConvertAndSegment(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    StartedGame g(w, h);
    CGameFilter& c = *g.game;
    const SegmentationPlanes planes{{c.yuvPlanes[0], c.yuvPlanes[1], c.yuvPlanes[2]},
                                    {c.backgroundPlanes[0], c.backgroundPlanes[1],
                                     c.backgroundPlanes[2]},
                                    c.maskPlane,
                                    c.planeStep};
    const std::uint64_t start = ReadCycleCounter();
    for (auto _ : state) {
        ConvertAndSegment(g.frame.data(), g.scene.Step(), w, h, planes, {50, 10, 10});
        benchmark::DoNotOptimize(c.maskPlane);
    }
    ReportCycles(state, ReadCycleCounter() - start, w * h);
}

// The same extraction as one would write it with OpenCV alone: convert to
// YUV, difference per plane, threshold, OR, outer contours, largest box,
// filled drawing.
void BM_PlainOpenCVExtraction(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    SyntheticScene scene(w, h);
    auto room = scene.Frame();
    auto frame = scene.Frame({PlayerFor(w, h)});
    const int yThresh = 50, uThresh = 10, vThresh = 10;

    cv::Mat background;
    cv::cvtColor(cv::Mat(h, w, CV_8UC3, room.data(), scene.Step()), background,
                 cv::COLOR_RGB2YUV);
    std::vector<cv::Mat> bg;
    cv::split(background, bg);
    cv::Mat yuv, diff[3], mask, silhouette(h, w, CV_8UC3);
    std::vector<cv::Mat> planes;
    std::vector<std::vector<cv::Point>> contours;
    int found = 0;
    const std::uint64_t start = ReadCycleCounter();
    for (auto _ : state) {
        cv::cvtColor(cv::Mat(h, w, CV_8UC3, frame.data(), scene.Step()), yuv, cv::COLOR_RGB2YUV);
        cv::split(yuv, planes);
        for (int i = 0; i < 3; ++i)
            cv::absdiff(planes[i], bg[i], diff[i]);
        cv::threshold(diff[0], diff[0], yThresh - 1, 255, cv::THRESH_BINARY);
        cv::threshold(diff[1], diff[1], uThresh, 255, cv::THRESH_BINARY);
        cv::threshold(diff[2], diff[2], vThresh, 255, cv::THRESH_BINARY);
        cv::bitwise_or(diff[0], diff[1], mask);
        cv::bitwise_or(mask, diff[2], mask);
        cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
        silhouette.setTo(cv::Scalar::all(0));
        int best = -1, bestArea = 2000;
        for (std::size_t i = 0; i < contours.size(); ++i)
            if (int area = cv::boundingRect(contours[i]).area(); area > bestArea)
                best = static_cast<int>(i), bestArea = area;
        if (best >= 0)
            cv::drawContours(silhouette, contours, best, cv::Scalar::all(255), cv::FILLED);
        found += best >= 0;
        benchmark::DoNotOptimize(silhouette.data);
    }
    ReportCycles(state, ReadCycleCounter() - start, w * h);
    if (found == 0)
        state.SkipWithError("no shape found");
}

void BM_PlainOpenCVConversionOnly(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    SyntheticScene scene(w, h);
    auto frame = scene.Frame({PlayerFor(w, h)});
    cv::Mat yuv;
    for (auto _ : state) {
        cv::cvtColor(cv::Mat(h, w, CV_8UC3, frame.data(), scene.Step()), yuv, cv::COLOR_RGB2YUV);
        benchmark::DoNotOptimize(yuv.data);
    }
}

void BM_DispatchEmptyStack(benchmark::State& state)
{
    while (orvexGetFilterCount() > 0)
        orvexPopFilter();
    unsigned char frame[4] = {};
    for (auto _ : state) {
        orvexDispatchFrame(frame);
        benchmark::ClobberMemory();
    }
}

#define FRAME_SIZES Args({352, 288})->Args({640, 480})

BENCHMARK(BM_GameTransform)->FRAME_SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameCopy)->FRAME_SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Extraction)->FRAME_SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertAndSegment)->FRAME_SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainOpenCVExtraction)->FRAME_SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainOpenCVConversionOnly)->FRAME_SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DispatchEmptyStack);

}  // namespace

BENCHMARK_MAIN();
