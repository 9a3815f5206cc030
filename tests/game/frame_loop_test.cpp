// The game's frame loop: what each state must and must not do, and the
// transitions that depend on the shape, the counters and the energy.
#include <gtest/gtest.h>

#include <thread>

#include "game_fixture.h"
#include "play/game_clock.h"

namespace {

class FrameLoop : public GameFixture {
  protected:
    void Player() { Run(RoomWith(Person())); }
    void Nobody() { Run(Room()); }
};

}  // namespace

TEST_F(FrameLoop, StartsInAttractAndTheFirstPlayerOpensTheStartScreenAtOnce)
{
    EXPECT_EQ(game->gameState, kAttract);
    CaptureEmptyRoom();
    for (int i = 0; i < 5; ++i) Nobody();
    EXPECT_EQ(game->gameState, kAttract);
    // idleFrames starts at 100 and the empty scene has counted it up, so the
    // first silhouette opens the start screen in the frame it is seen.
    TestFrame seen = Run(RoomWith(Person()));
    EXPECT_EQ(game->gameState, kStartScreen);
    EXPECT_EQ(CGameFilter::idleFrames, 0);
    // The start screen shows black with the player's white outline.
    EXPECT_EQ(seen.Image().at<cv::Vec3b>(5, 5), cv::Vec3b(0, 0, 0));
    const cv::Rect p = Person();
    EXPECT_EQ(seen.Image().at<cv::Vec3b>(p.y, p.x + 10), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(seen.Image().at<cv::Vec3b>(p.y + 50, p.x + 30), cv::Vec3b(0, 0, 0));
}

TEST_F(FrameLoop, AttractCountsTwicePerFrameWithASilhouette)
{
    CaptureEmptyRoom();
    CGameFilter::idleFrames = 0;
    // 2 per frame with a silhouette: the trigger needs idleFrames above 100,
    // which the trigger's own increment reaches on the 51st frame.
    for (int i = 0; i < 50; ++i) {
        Player();
        ASSERT_EQ(game->gameState, kAttract) << i;
    }
    EXPECT_EQ(CGameFilter::idleFrames, 100);
    Player();
    EXPECT_EQ(game->gameState, kStartScreen);
}

TEST_F(FrameLoop, ScreensReturnToAttractWhenThePlayerLeaves)
{
    CaptureEmptyRoom();
    for (int state : {kStartScreen, kLevelChoice}) {
        SCOPED_TRACE(state);
        game->gameState = state;
        Player();
        EXPECT_EQ(game->gameState, state);
        const int idle = CGameFilter::idleFrames;
        Nobody();
        // The attract block runs in the same frame and goes on counting.
        EXPECT_EQ(game->gameState, kAttract);
        EXPECT_EQ(CGameFilter::idleFrames, idle + 1);
    }
}

TEST_F(FrameLoop, LosingThePlayerDuringPlayEndsTheGameAtOnce)
{
    CaptureEmptyRoom();
    game->gameState = kPlay;
    game->energy = 100;
    game->levelIndex = 7;
    game->activeSpriteCount = 2;
    Player();
    EXPECT_EQ(game->gameState, kPlay);
    const int cycle = CGameFilter::attractCycle;
    TestFrame empty = Run(Room());
    EXPECT_EQ(game->gameState, kAttract);
    EXPECT_EQ(game->levelIndex, 0);
    EXPECT_EQ(game->activeSpriteCount, 0);
    // The title is shown by the abandoned play itself (black without a
    // picture); the attract counters start on the next frame.
    EXPECT_EQ(empty.Image().at<cv::Vec3b>(100, 100), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(CGameFilter::attractCycle, cycle);
}

TEST_F(FrameLoop, ExhaustedEnergyStartsTheShrinkOut)
{
    CaptureEmptyRoom();
    game->gameState = kPlay;
    game->energy = 0;
    TestFrame last = Run(RoomWith(Person()));
    EXPECT_EQ(game->gameState, kShrinkOut);
    // The game-over frame is not mirrored; the copy kept for the shrink-out is.
    cv::Mat mirrored;
    cv::flip(last.Image(), mirrored, 1);
    EXPECT_EQ(cv::norm(game->canvasImage, mirrored, cv::NORM_INF), 0);
    // The shrink-out holds the attract cycle at 101.
    Player();
    EXPECT_EQ(CGameFilter::attractCycle, 101);
    EXPECT_EQ(game->levelIndex, 0);
}

TEST_F(FrameLoop, PlayMirrorsTheFinishedFrameAndFlipMirrorsAgain)
{
    CaptureEmptyRoom();
    game->gameState = kPlay;
    game->energy = 100;
    // The outline is drawn left of centre in buffer coordinates: after the
    // play mirror it shows on the other side.
    const cv::Rect p{40, 20, 60, 180};
    TestFrame played = Run(RoomWith(p));
    EXPECT_EQ(played.Image().at<cv::Vec3b>(p.y, kWidth - 1 - (p.x + 10)), cv::Vec3b(255, 255, 255));
    game->flip = 1;
    TestFrame flipped = Run(RoomWith(p));
    EXPECT_EQ(flipped.Image().at<cv::Vec3b>(p.y, p.x + 10), cv::Vec3b(255, 255, 255));
}

TEST_F(FrameLoop, DisplaySwitchesFreezeTheGame)
{
    CaptureEmptyRoom();
    game->flip = 1;
    for (int sw : {0, 1}) {
        SCOPED_TRACE(sw ? "showMask" : "showPlain");
        (sw ? game->showMask : game->showPlain) = 1;
        const int idle = CGameFilter::idleFrames, cycle = CGameFilter::attractCycle;
        for (int i = 0; i < 3; ++i) Player();
        EXPECT_EQ(game->gameState, kAttract);
        EXPECT_EQ(CGameFilter::idleFrames, idle);
        EXPECT_EQ(CGameFilter::attractCycle, cycle);
        // Not mirrored either: the plain picture is exactly the camera's.
        if (!sw) {
            TestFrame frame = RoomWith(Person());
            const auto before = frame.Bytes();
            Run(frame);
            EXPECT_EQ(frame.Bytes(), before);
        }
        (sw ? game->showMask : game->showPlain) = 0;
    }
    // Cleared, the game resumes where it stood.
    Player();
    EXPECT_EQ(game->gameState, kStartScreen);
}

TEST_F(FrameLoop, ContourStorageIsReleasedOnEveryPath)
{
    CaptureEmptyRoom();
    struct Path {
        const char* name;
        int state, showPlain, showMask, multipleShapes;
    } paths[] = {
        {"attract", kAttract, 0, 0, 0}, {"start", kStartScreen, 0, 0, 0},
        {"play", kPlay, 0, 0, 0},       {"joined", kPlay, 0, 0, 1},
        {"plain", kAttract, 1, 0, 0},   {"mask", kAttract, 0, 1, 0},
    };
    for (const Path& p : paths) {
        SCOPED_TRACE(p.name);
        game->gameState = p.state;
        game->energy = 100;
        game->showPlain = p.showPlain;
        game->showMask = p.showMask;
        game->multipleShapes = p.multipleShapes;
        Player();
        EXPECT_TRUE(game->contourStorage.Empty());
        EXPECT_FALSE(game->shape);
    }
}

TEST_F(FrameLoop, StopReleasesOnceAndStartRebuilds)
{
    game->FilterStop();
    game->FilterStop();  // a second stop finds nothing to release
    EXPECT_EQ(game->maskPlane, nullptr);
    EXPECT_TRUE(game->silhouetteImage.empty());
    // A frame arriving without a start passes through untouched.
    TestFrame frame = RoomWith(Person());
    const auto before = frame.Bytes();
    Run(frame);
    EXPECT_EQ(frame.Bytes(), before);

    game->gameState = kPlay;
    game->FilterStart();
    EXPECT_EQ(game->gameState, kAttract);
    EXPECT_NE(game->maskPlane, nullptr);
    EXPECT_EQ(game->backgroundRequested.load(), 1);
    EXPECT_EQ(game->spriteLayer.size(), cv::Size(kWidth + 120, kHeight));
    EXPECT_EQ(game->targetSpans.size(), static_cast<std::size_t>(kHeight) * 25);
    EXPECT_EQ(game->silhouettePixels.size(), static_cast<std::size_t>(kWidth) * kHeight * 3);
}

TEST_F(FrameLoop, BackgroundRequestFromAnotherThread)
{
    CaptureEmptyRoom();
    std::atomic<bool> done{false};
    std::thread ui([&] {
        for (int i = 0; i < 200; ++i) game->RequestBackgroundCapture();
        done = true;
    });
    while (!done) Player();
    ui.join();
    Player();  // the last request is honoured: the player is now background
    Player();
    EXPECT_EQ(MaskCount(), 0);
}

// With the automatic reset on, a scene in which nothing has moved for
// resetTime seconds becomes the new background; motion restarts the wait.
TEST_F(FrameLoop, AutoResetTakesAStillSceneAsBackground)
{
    // A bright player: plain motion for the grey motion detector.
    const cv::Rect player{60, 20, 200, 180};  // over 10% of the picture
    auto bright = [&] { Run(Room().Fill(player, cv::Scalar::all(250))); };
    CaptureEmptyRoom();
    game_clock::SetFixed(1700000000, 1000000);
    CGameFilter::lastMotionTick = 0;
    game->autoReset = 1;
    game->resetTime = 2;
    // The first check finds no motion for far longer than 2 s: the frame it
    // sees becomes the background at once, player included.
    bright();
    EXPECT_EQ(MaskCount(), 0);

    // The player leaves: the empty room differs from the new background.
    // Leaving is motion, which fades out of the motion detector within about
    // 16 frames; every frame with motion restarts the wait.
    for (int i = 0; i < 30; ++i) {
        game_clock::Advance(60);
        Nobody();
    }
    EXPECT_EQ(MaskCount(), player.area());
    const std::uint32_t lastMotion = CGameFilter::lastMotionTick;
    EXPECT_GT(lastMotion, 1000000u);
    const std::uint32_t now = 1000000 + 30 * 60;
    game_clock::Advance(1900 - (now - lastMotion));
    Nobody();
    EXPECT_EQ(MaskCount(), player.area());  // 1.9 s: still waiting
    // Past 2 s without motion: the empty room is the background again.
    game_clock::Advance(200);
    Nobody();
    EXPECT_EQ(MaskCount(), 0);
    game_clock::ReleaseFixed();
}
