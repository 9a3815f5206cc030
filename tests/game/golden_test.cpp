// Whole screens on the project's own pictures, compared with stored pictures
// of them as shown (upright). ORVEX_WRITE_GOLDEN=1 writes the pictures anew
// (look at them before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <opencv2/imgcodecs.hpp>

#include "game_fixture.h"
#include "play/game_clock.h"

namespace {

class Golden : public GameFixture {
  protected:
    void SetUp() override
    {
        std::filesystem::create_directory_symlink(ORVEX_ASSET_DIR "/images", "images");
        GameFixture::SetUp();
        CGameFilter::screens = {};
        CGameFilter::shrinkRect = {};
    }

    // The frame as the display shows it: buffer row 0 at the bottom.
    static cv::Mat Shown(TestFrame& frame)
    {
        cv::Mat upright;
        cv::flip(frame.Image(), upright, 0);
        return upright;
    }

    static void Compare(const cv::Mat& shown, const std::string& name)
    {
        const std::string path = std::string(ORVEX_GOLDEN_DIR "/") + name + ".png";
        if (std::getenv("ORVEX_WRITE_GOLDEN")) {
            cv::imwrite(path, shown);
            GTEST_SKIP() << "wrote " << path;
        }
        const cv::Mat golden = cv::imread(path, cv::IMREAD_COLOR);
        ASSERT_FALSE(golden.empty()) << "missing " << path;
        ASSERT_EQ(golden.size(), shown.size());
        // Pictures decoded by another library version may differ by a level
        // or two; a fault moves whole areas.
        cv::Mat diff;
        cv::absdiff(golden, shown, diff);
        EXPECT_LT(cv::mean(diff)[0] + cv::mean(diff)[1] + cv::mean(diff)[2], 1.5) << name;
        EXPECT_LT(cv::countNonZero(diff.reshape(1) > 24), 200) << name;
    }
};

}  // namespace

TEST_F(Golden, PlayFrame)
{
    CaptureEmptyRoom();
    game->gameState = kPlay;
    game->levelIndex = 4;
    game->score = 12345;
    game->energy = 85;
    const int x = Person().x + 60;
    game->sprites[0] = {0, x - 80, 40, 0};
    game->sprites[1] = {6, x + 120, 150, 0};
    game->sprites[2] = {10, 40, 230, 0};
    game->activeSpriteCount = 3;
    TestFrame frame = Run(RoomWith(Person()));
    Compare(Shown(frame), "play");
}

TEST_F(Golden, BonusTally)
{
    CaptureEmptyRoom();
    game->gameState = kBonusTally;
    game->score = 4321;
    game->civiliansKilled = 3;
    game->oilFieldsRobbed = 1;
    game->dollarBundlesRobbed = 2;
    TestFrame frame = Run(RoomWith(Person()));
    Compare(Shown(frame), "tally");
}

TEST_F(Golden, HighScoreList)
{
    std::ofstream("highscore.txt") << "900 Grimwald\n500 Ash\n300 NOBODY\n200 X\n100 Last_One\n";
    game->ReadHighScores();
    CaptureEmptyRoom();
    CGameFilter::attractCycle = 150;
    TestFrame frame = Run(Room());
    Compare(Shown(frame), "list");
}

TEST_F(Golden, LevelChoice)
{
    CaptureEmptyRoom();
    game->gameState = kLevelChoice;
    game->levelIndex = 1;
    TestFrame frame = Run(RoomWith(Person()));
    Compare(Shown(frame), "levels");
}

TEST_F(Golden, StartScreen)
{
    CaptureEmptyRoom();
    game->gameState = kStartScreen;
    Run(RoomWith(Person()));  // the panel takes this frame as its background
    TestFrame frame = Run(RoomWith(Person()));
    Compare(Shown(frame), "start");
}

TEST_F(Golden, NameEntry)
{
    CaptureEmptyRoom();
    game->gameState = kNameEntry;
    Run(RoomWith(Person()));
    std::strcpy(CGameFilter::screens.typedName, "GRIM");
    CGameFilter::screens.letterIndex = 12;
    TestFrame frame = Run(RoomWith(Person()));
    Compare(Shown(frame), "names");
}
