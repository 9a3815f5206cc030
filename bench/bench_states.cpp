// The game filter's whole frame in each game state, with a player in view,
// on the project's own pictures.
//
// Reported per frame: real time, and cycles per pixel from the time-stamp
// counter. Each iteration restores the camera picture first (a frame copy,
// measured alone in bench_game) and puts the game back into its state.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <opencv2/core.hpp>

#include "capture_internal.h"
#include "play/game_filter.h"
#include "synthetic_scene.h"

namespace {

const bool kSingleThreaded = (cv::setNumThreads(1), true);

// Runs in a scratch folder whose images/ leads to the project's pictures.
void EnterScratchFolder()
{
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / "orvex-bench";
        std::filesystem::create_directories(d);
        std::error_code ignored;
        std::filesystem::remove(d / "images", ignored);
        std::filesystem::create_directory_symlink(ORVEX_ASSET_DIR "/images", d / "images");
        return d;
    }();
    std::filesystem::current_path(dir);
}

struct StateSetup {
    const char* name;
    std::function<void(CGameFilter&)> enter;  // run before every frame
};

void PlaceSprites(CGameFilter& g)
{
    // Three sprites over the player (a damaging one already spent).
    const int x = g.frameImage.cols / 2 + 40;
    g.sprites[0] = {10, x, 60, 0};
    g.sprites[1] = {10, x + 10, 120, 0};
    g.sprites[2] = {10, x - 20, 180, 0};
    g.activeSpriteCount = 3;
    g.energy = 100;
}

const StateSetup kStates[] = {
    {"title", [](CGameFilter& g) { g.gameState = kAttract; CGameFilter::attractCycle = 0; CGameFilter::idleFrames = 0; }},
    {"list", [](CGameFilter& g) { g.gameState = kAttract; CGameFilter::attractCycle = 150; CGameFilter::idleFrames = 0; }},
    {"start", [](CGameFilter& g) { g.gameState = kStartScreen; }},
    {"levels", [](CGameFilter& g) { g.gameState = kLevelChoice; }},
    {"play", [](CGameFilter& g) { g.gameState = kPlay; PlaceSprites(g); }},
    {"shrink", [](CGameFilter& g) { g.gameState = kShrinkOut; CGameFilter::shrinkRect = {}; }},
    {"tally", [](CGameFilter& g) { g.gameState = kBonusTally; CGameFilter::screens.tallyFrames = 0; }},
    {"names", [](CGameFilter& g) { g.gameState = kNameEntry; }},
};

void BM_State(benchmark::State& state)
{
    const StateSetup& setup = kStates[state.range(0)];
    const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
    state.SetLabel(setup.name);
    EnterScratchFolder();
    orvexSetImageGeometry(w, h);
    auto game = std::make_unique<CGameFilter>();
    game->FilterStart();
    SyntheticScene scene(w, h);
    auto frame = scene.Frame();
    game->Transform(frame.data());  // the empty room becomes the background
    Figure player{.x = w / 2, .footRow = h - h / 16, .height = h * 3 / 4, .armRaise = 100};
    const auto withPlayer = scene.Frame({player});
    std::memcpy(frame.data(), withPlayer.data(), frame.size());
    game->frameImage = cv::Mat(h, w, CV_8UC3, frame.data(), scene.Step());

    const std::uint64_t start = ReadCycleCounter();
    for (auto _ : state) {
        std::memcpy(frame.data(), withPlayer.data(), frame.size());
        setup.enter(*game);
        game->Transform(frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
    state.counters["cycles/px"] = benchmark::Counter(
        static_cast<double>(ReadCycleCounter() - start) / state.iterations() / (w * h));
    game->FilterStop();
}

void AllStates(benchmark::internal::Benchmark* b)
{
    for (int s = 0; s < static_cast<int>(std::size(kStates)); ++s)
        for (auto [w, h] : {std::pair{352, 288}, std::pair{640, 480}})
            b->Args({s, w, h});
}

BENCHMARK(BM_State)->Apply(AllStates)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
