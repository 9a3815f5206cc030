// The game on the demo camera: the shipped walk brings the player to the
// start screen and presses its button. Frames come from the GStreamer
// source, are turned bottom-up as the capture graph turns them, and go
// through the filter stack as the program sends them.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "dshow/device_sources.h"
#include "frame_puller.h"
#include "game_fixture.h"

#ifndef ORVEX_ASSET_DIR
#error "ORVEX_ASSET_DIR names the assets folder"
#endif

namespace {

struct Change {
    int frame;
    int state;
};

// Plays `frames` frames of the demo camera with the script at path through
// the game filter; the game's states in order, each with its first frame.
std::vector<Change> Play(const std::string& script, int frames)
{
    gst_init(nullptr, nullptr);
    ScratchDirectory scratch;
    const int w = 352, h = 288;
    GstElement* demo = MakeDemoCameraElement(script, w, h, /*live=*/false);
    if (demo == nullptr) {
        ADD_FAILURE() << "no demo camera";
        return {};
    }
    FramePuller puller(demo);

    CGameFilter game;
    CGameFilter::idleFrames = 0;
    CGameFilter::attractCycle = 0;
    orvexSetImageGeometry(w, h);
    EXPECT_EQ(orvexPushFilter(&game), 1);
    orvexStartFilters();

    const int step = (3 * w + 3) & ~3;
    std::vector<unsigned char> frame(static_cast<std::size_t>(step) * h);
    std::vector<Change> changes{{0, game.gameState}};
    for (int n = 0; n < frames; ++n) {
        PulledFrame f;
        if (!puller.Pull(&f)) {
            ADD_FAILURE() << "no frame " << n;
            break;
        }
        if (f.bytes.size() != frame.size()) {
            ADD_FAILURE() << "frame " << n << " has the wrong size";
            break;
        }
        // Top-down from the camera; the frame's first row is the bottom one.
        for (int r = 0; r < h; ++r)
            std::memcpy(&frame[static_cast<std::size_t>(h - 1 - r) * step], &f.bytes[r * step],
                        step);
        orvexDispatchFrame(frame.data());
        if (game.gameState != changes.back().state)
            changes.push_back({n, game.gameState});
    }
    orvexStopFilters();
    orvexPopFilter();
    return changes;
}

std::string Describe(const std::vector<Change>& changes)
{
    std::string text;
    for (const Change& c : changes)
        text += "frame " + std::to_string(c.frame) + ": " + std::to_string(c.state) + "; ";
    return text;
}

TEST(DemoGame, WalkReachesTheStartScreenAndTheWavePressesItsButton)
{
    const std::vector<Change> changes = Play(ORVEX_ASSET_DIR "/demo/walk.script", 17 * 30);
    ASSERT_GE(changes.size(), 3u) << Describe(changes);
    EXPECT_EQ(changes[0].state, kAttract) << Describe(changes);
    EXPECT_EQ(changes[1].state, kStartScreen) << Describe(changes);
    EXPECT_EQ(changes[2].state, kLevelChoice) << Describe(changes);
    // The button goes while the arm waves (6.5 s to 11.5 s), not before.
    RecordProperty("states", Describe(changes));
    EXPECT_GE(changes[2].frame, 195) << Describe(changes);
    EXPECT_LT(changes[2].frame, 345) << Describe(changes);
}

// The same walk without the wave: the start screen comes, its button stays.
TEST(DemoGame, StandingStillPressesNothing)
{
    ScratchDirectory folder;
    const std::string path = (folder.Path() / "still.script").string();
    std::ofstream(path) << "0 -80 270 216 10 10 8 8\n"
                           "1.5 -80 270 216 10 10 8 8\n"
                           "5.5 150 270 216 10 10 8 8\n"
                           "12 150 270 216 10 10 8 8\n";
    const std::vector<Change> changes = Play(path, 12 * 30);
    ASSERT_GE(changes.size(), 2u) << Describe(changes);
    EXPECT_EQ(changes[1].state, kStartScreen) << Describe(changes);
    EXPECT_EQ(changes.size(), 2u) << Describe(changes);
}

}  // namespace
