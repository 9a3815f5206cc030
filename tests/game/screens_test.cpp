// The start screen, the level choice, the tally, the high-score list and
// the name entry, driven by motion placed on their buttons.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>

#include "game_fixture.h"
#include "vision/motion_button.h"

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Screens : public GameFixture {
  protected:
    void SetUp() override
    {
        GameFixture::SetUp();
        CGameFilter::screens = {};
        frame_.emplace(kWidth, kHeight, cv::Scalar::all(0));
        Point();
        game->PrepareMotionButtons();
    }
    void Point()
    {
        game->frameImage = frame_->Image();
        game->currentFrame = frame_->Data();
    }
    // A black frame, with the rectangle (in the buttons' mirrored view)
    // white on odd calls: continuous motion there.
    void Wave(std::initializer_list<cv::Rect> areas)
    {
        frame_->Image().setTo(cv::Scalar::all(0));
        if (++tick_ % 2)
            for (cv::Rect r : areas)
                frame_->Fill({kWidth - r.x - r.width, r.y, r.width, r.height},
                             cv::Scalar::all(255));
        Point();
    }
    cv::Rect NextEvil() const { return {10, kHeight - 50, 40, 40}; }
    cv::Rect Choose() const { return {kWidth - 90, kHeight - 50, 40, 40}; }
    cv::Rect Previous() const { return {0, kHeight - 50, 40, 40}; }
    cv::Rect Letter() const { return {80, kHeight - 50, 40, 40}; }
    cv::Rect Next() const { return {160, kHeight - 50, 40, 40}; }
    cv::Rect Enter() const { return {kWidth - 55, kHeight - 50, 55, 40}; }

    // Waves over one button of the name entry for `presses` fade periods
    // (20 frames), then lets the picture settle so the next wave starts from
    // a still scene.
    void PressInNameEntry(cv::Rect button, int presses)
    {
        for (int f = 0; f < presses * 20; ++f) {
            Wave({button});
            game->NameEntryScreen();
        }
        Settle();
    }
    void Settle()
    {
        frame_->Image().setTo(cv::Scalar::all(0));
        tick_ = 0;
        if (game->buttons)
            game->buttons->ResetBackground();
    }

    std::optional<TestFrame> frame_;
    int tick_ = 0;
};

}  // namespace

TEST_F(Screens, StartButtonLeadsToTheLevelChoice)
{
    game->gameState = kStartScreen;
    const cv::Rect start{140, kHeight - 100, 40, 40};
    for (int f = 0; f < 10 && game->gameState == kStartScreen; ++f) {
        Wave({start});
        game->StartScreen();
    }
    EXPECT_EQ(game->gameState, kLevelChoice);
    EXPECT_TRUE(CGameFilter::screens.startNeedsReset);
}

TEST_F(Screens, NineteenPressesOfNextEvilComeBackToTheStart)
{
    game->gameState = kLevelChoice;
    std::vector<int> shown;
    for (int f = 0; f < 19 * 30; ++f) {
        Wave({NextEvil()});
        const int before = game->levelIndex;
        game->LevelChoiceScreen();
        if (game->levelIndex != before)
            shown.push_back(game->levelIndex);
    }
    ASSERT_EQ(shown.size(), 19u);  // one target every 30 frames
    EXPECT_EQ(shown[17], 18);
    EXPECT_EQ(shown[18], 0);
    EXPECT_STREQ(CGameFilter::kLevelNames[0], "Pell Q. Darrow");
    EXPECT_STREQ(CGameFilter::kLevelNames[14], "Captitalism");
    EXPECT_EQ(game->gameState, kLevelChoice);
}

TEST_F(Screens, ChooseStartsPlayOnTheShownTarget)
{
    game->gameState = kLevelChoice;
    game->levelIndex = 4;
    game->levelImages[4] = cv::Mat(40, 60, CV_8UC3, cv::Scalar(0, 0, 250));
    Wave({});
    game->LevelChoiceScreen();
    // The preview fills the corner: buffer columns 0..119, rows 0..79.
    EXPECT_EQ(frame_->Image().at<cv::Vec3b>(40, 60), cv::Vec3b(0, 0, 250));
    EXPECT_EQ(frame_->Image().at<cv::Vec3b>(40, 121), cv::Vec3b(0, 0, 0));
    for (int f = 0; f < 5 && game->gameState == kLevelChoice; ++f) {
        Wave({Choose()});
        game->LevelChoiceScreen();
    }
    EXPECT_EQ(game->gameState, kPlay);
    EXPECT_EQ(game->levelIndex, 4);
    EXPECT_FALSE(CGameFilter::screens.levelChoiceStarted);
}

TEST_F(Screens, TallyShowsTheBonusAndAddsItOnTheLastFrame)
{
    game->gameState = kBonusTally;
    game->score = 500;
    game->civiliansKilled = 3;
    game->oilFieldsRobbed = 1;
    game->housesDestroyed = 0;
    game->dollarBundlesRobbed = 2;
    const auto lines = game->TallyLines();
    EXPECT_EQ(lines[0],
              " you killed         3 civilian(s)................................--> "
              "10x_bonus =      30");
    EXPECT_EQ(lines[1],
              " you robbed        1 oil field(s)..............................--> "
              "10x_bonus =      10");
    EXPECT_EQ(lines[2],
              " you destroyed     0 family house(s).......................--> "
              "10x_bonus =       0");
    EXPECT_EQ(lines[3],
              " you robbed        2 bundle(s) of dollars...............--> "
              "10x_bonus =      20");
    EXPECT_EQ(lines[4],
              " your overall bonus for this senseless war...............--> "
              "bonus     =     60");
    EXPECT_EQ(lines[5], " your score............................-->      560");
    for (int f = 1; f < 200; ++f) {
        game->BonusTallyScreen();
        ASSERT_EQ(game->score, 500) << f;
    }
    game->BonusTallyScreen();
    EXPECT_EQ(game->score, 560);
    EXPECT_EQ(game->gameState, kNameEntry);  // the default list holds only zeros
    EXPECT_EQ(CGameFilter::screens.tallyFrames, 0);
}

TEST_F(Screens, ScoreEqualToTheLowestQualifies)
{
    const int scores[5] = {900, 500, 300, 200, 100};
    for (int i = 0; i < 5; ++i) game->highScores[i].score = scores[i];
    EXPECT_TRUE(game->QualifiesForHighScores(100));
    EXPECT_FALSE(game->QualifiesForHighScores(99));
    game->score = 99;
    game->gameState = kBonusTally;
    CGameFilter::screens.tallyFrames = 199;
    game->BonusTallyScreen();
    EXPECT_EQ(game->gameState, kAttract);
    EXPECT_EQ(game->score, 0);  // reset for the next game
}

TEST_F(Screens, MissingHighScoreFileIsCreatedWithDefaults)
{
    // The fixture's start found no file.
    EXPECT_EQ(ReadAll("highscore.txt"),
              "0 Kragmoor\n0 Kragmoor\n0 Kragmoor\n0 Kragmoor\n0 Kragmoor\n");
    EXPECT_STREQ(game->highScores[4].name, "Kragmoor");
}

TEST_F(Screens, HighScoreFileIsReadInOrderAndNamesAreCut)
{
    std::ofstream("highscore.txt") << "900 Alpha\n500 Bravo\n  300\tCharlieDeltaEchoFoxtrot\n"
                                      "200 D\n100 E\n";
    game->ReadHighScores();
    EXPECT_EQ(game->highScores[0].score, 900);
    EXPECT_STREQ(game->highScores[0].name, "Alpha");
    EXPECT_STREQ(game->highScores[2].name, "CharlieDelt");  // 11 characters kept
    EXPECT_EQ(game->highScores[4].score, 100);

    // A malformed file: the entries before the fault are read, the rest kept.
    std::ofstream("highscore.txt", std::ios::trunc) << "7 Seven\nx Broken\n";
    game->ReadHighScores();
    EXPECT_EQ(game->highScores[0].score, 7);
    EXPECT_EQ(game->highScores[1].score, 500);
    EXPECT_STREQ(game->highScores[1].name, "Bravo");
}

TEST_F(Screens, NameEntryLettersWrapAndTheTenthReplacesTheFirst)
{
    game->gameState = kNameEntry;
    PressInNameEntry(Previous(), 1);
    EXPECT_EQ(CGameFilter::screens.letterIndex, 26);  // "_"
    PressInNameEntry(Next(), 1);
    EXPECT_EQ(CGameFilter::screens.letterIndex, 0);  // "A"
    PressInNameEntry(Letter(), 10);
    EXPECT_STREQ(CGameFilter::screens.typedName, "AAAAAAAAA");
    EXPECT_EQ(CGameFilter::screens.namePos, 1);
}

TEST_F(Screens, EnterIsNeitherShownNorTestedWhileTheNameIsEmpty)
{
    game->gameState = kNameEntry;
    for (int f = 0; f < 40; ++f) {
        Wave({Enter()});
        game->NameEntryScreen();
    }
    EXPECT_EQ(game->gameState, kNameEntry);
    // Not drawn: its rectangle keeps the camera picture (white or black).
    const cv::Vec3b inside = frame_->Image().at<cv::Vec3b>(kHeight - 30, kWidth - 30);
    EXPECT_TRUE(inside == cv::Vec3b(0, 0, 0) || inside == cv::Vec3b(255, 255, 255));
}

TEST_F(Screens, EnteredNameLandsAtItsRank)
{
    std::ofstream("highscore.txt") << "900 A\n500 B\n300 C\n200 D\n100 E\n";
    game->ReadHighScores();
    game->gameState = kNameEntry;
    game->score = 400;
    PressInNameEntry(Next(), 2);    // "C"
    PressInNameEntry(Letter(), 1);  // "C"
    for (int f = 0; f < 40 && game->gameState == kNameEntry; ++f) {
        Wave({Enter()});
        game->NameEntryScreen();
    }
    EXPECT_EQ(game->gameState, kAttract);
    EXPECT_EQ(ReadAll("highscore.txt"), "900 A\n500 B\n400 C\n300 C\n200 D\n");
    EXPECT_EQ(game->score, 0);
    EXPECT_FALSE(CGameFilter::screens.nameEntryStarted);
}
