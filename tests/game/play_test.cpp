// Play: sprites crossing, the hit test, energy and score; compositing.
#include <gtest/gtest.h>

#include "game_fixture.h"
#include "play/game_clock.h"

namespace {

class Play : public GameFixture {
  protected:
    void SetUp() override
    {
        GameFixture::SetUp();
        // Plain 20 x 20 pictures for every sprite type (no picture files here).
        for (cv::Mat& picture : game->spriteImages)
            picture = cv::Mat(20, 20, CV_8UC3, cv::Scalar(200, 150, 100));
        CaptureEmptyRoom();
        game->gameState = kPlay;
        game->activeSpriteCount = 0;
    }
    // Puts the wave's sprites in place; x is in the sprite layer (frame
    // column x - 60), y the buffer row.
    void Wave(std::initializer_list<Sprite> wave)
    {
        int i = 0;
        for (const Sprite& s : wave) game->sprites[i++] = s;
        game->activeSpriteCount = i;
    }
    void PlayerFrame() { Run(RoomWith(Person())); }
    // A sprite's layer column that puts it over the player's middle.
    int OverPlayer() const { return Person().x + 60 + 20; }
};

}  // namespace

TEST_F(Play, SpriteOfSpeedTwoCrossesInTwoHundredAndSixFrames)
{
    Wave({{5, 0, 260, 2}});  // below the player's rows: never hit
    int drawn = 0;
    while (game->activeSpriteCount == 1) {
        const int x = game->sprites[0].x;
        PlayerFrame();
        drawn += game->sprites[0].x != x;
        ASSERT_LT(drawn, 1000);
    }
    EXPECT_EQ(drawn, (kWidth + 60) / 2);
    EXPECT_EQ(game->score, 0);
}

TEST_F(Play, LaterSpriteRegistersOnlyWithNewOverlap)
{
    // Two scoring sprites on the same spot: only the first counts.
    Wave({{5, OverPlayer(), 60, 1}, {8, OverPlayer(), 60, 1}});
    PlayerFrame();
    EXPECT_EQ(game->civiliansKilled, 1);
    EXPECT_EQ(game->dollarBundlesRobbed, 0);
    EXPECT_EQ(game->score, 100);

    // Side by side on the player, each brings silhouette pixels of its own.
    Wave({{5, OverPlayer(), 60, 1}, {8, OverPlayer(), 90, 1}});
    PlayerFrame();
    EXPECT_EQ(game->civiliansKilled, 2);
    EXPECT_EQ(game->dollarBundlesRobbed, 1);
    EXPECT_EQ(game->score, 300);
    // Hit scoring sprites leave at once.
    EXPECT_GE(game->sprites[0].x, kWidth + 60);
}

TEST_F(Play, DamagingSpriteCostsEnergyOnce)
{
    Wave({{2, OverPlayer(), 60, 1}});
    for (int i = 0; i < 5; ++i) PlayerFrame();
    EXPECT_EQ(game->energy, 90);
    EXPECT_EQ(game->sprites[0].type, 10);  // spent, moving on
    EXPECT_EQ(game->gameState, kPlay);
}

TEST_F(Play, EnergyStopsAtZeroAndTheGameEndsThatFrame)
{
    game->energy = 5;
    Wave({{4, OverPlayer(), 60, 1}});  // worth -10
    PlayerFrame();
    EXPECT_EQ(game->energy, 0);
    EXPECT_EQ(game->gameState, kShrinkOut);
}

TEST_F(Play, BonusStarScoresAndCountsNothing)
{
    Wave({{9, OverPlayer(), 60, 1}});
    PlayerFrame();
    EXPECT_EQ(game->score, 1000);
    EXPECT_EQ(game->civiliansKilled + game->oilFieldsRobbed + game->housesDestroyed +
                  game->dollarBundlesRobbed,
              0);
}

TEST_F(Play, WavesSpawnFromTheGeneratorSeededByTheClock)
{
    game_clock::SetFixed(1700000000, 0);
    PlayerFrame();
    const int first = game->activeSpriteCount;
    std::vector<Sprite> wave(game->sprites, game->sprites + first);
    // The same second gives the same wave.
    game->activeSpriteCount = 0;
    PlayerFrame();
    ASSERT_EQ(game->activeSpriteCount, first);
    for (int i = 0; i < first; ++i) {
        EXPECT_EQ(game->sprites[i].type, wave[i].type);
        EXPECT_EQ(game->sprites[i].y, wave[i].y);
        EXPECT_EQ(game->sprites[i].speed, wave[i].speed);
        EXPECT_LT(game->sprites[i].type, 10);
        EXPECT_GE(game->sprites[i].speed, 2);
        EXPECT_LE(game->sprites[i].speed, 9);
    }
    game_clock::ReleaseFixed();
}

TEST_F(Play, MissingPicturesAreSkipped)
{
    for (cv::Mat& picture : game->spriteImages) picture.release();
    Wave({{5, OverPlayer(), 60, 2}});
    for (int i = 0; i < 10; ++i) PlayerFrame();
    EXPECT_EQ(game->score, 0);                         // nothing drawn, nothing hit
    EXPECT_EQ(game->sprites[0].x, OverPlayer() + 20);  // but it moves on
}

// Two runs of 30 and 10 pixels in one row share the box-wide target row,
// squeezed to 40: the first 30 pixels fill the first run, the last 10 the
// second.
TEST_F(Play, StretchedRowIsSplitOverTheRuns)
{
    const int bw = 50;
    for (int i = 0; i < bw; ++i)
        for (int c = 0; c < 3; ++c)
            game->targetPixels[3 * i + c] = static_cast<unsigned char>(i * 5 + c);
    game->targetSpans[0] = {0, 0, bw};
    game->silhouetteSpans[0] = {0, 0, 30};
    game->silhouetteSpans[1] = {35, 0, 10};
    game->StretchSpans(1, 2, {0, 0, bw, 1});
    cv::Mat canvas = cv::Mat::zeros(4, 80, CV_8UC3);
    game->PasteSpans(game->silhouettePixels, 2, canvas, 40 * 3, 10, 2);
    for (int j = 0; j < 40; ++j) {
        const int source = j * bw / 40;
        const int column = 10 + (j < 30 ? j : 35 + (j - 30));
        EXPECT_EQ(canvas.at<cv::Vec3b>(2, column)[0], source * 5) << j;
    }
    EXPECT_EQ(canvas.at<cv::Vec3b>(2, 10 + 32), cv::Vec3b(0, 0, 0));  // the gap stays
    EXPECT_EQ(cv::countNonZero(canvas.reshape(1).row(0)), 0);
}

TEST_F(Play, ScoreLinesKeepTheirFields)
{
    game->score = 1234567;
    game->energy = 0;
    const auto lines = game->ScoreLines();
    EXPECT_EQ(lines[0], "SCORE 1234567");
    EXPECT_EQ(lines[1], "ENERGY     0");
    // Right-aligned in the top right corner of the shown picture: after the
    // half turn the glyphs lie near buffer column 0... and the last rows.
    TestFrame black(kWidth, kHeight, cv::Scalar::all(0));
    game->frameImage = black.Image();
    game->DrawScoreLines();
    cv::Mat ink;
    cv::cvtColor(black.Image(), ink, cv::COLOR_BGR2GRAY);
    const cv::Rect drawn = cv::boundingRect(ink);
    EXPECT_LT(drawn.x, 6);  // right edge of the screen before the final mirror
    EXPECT_GT(drawn.y, kHeight / 2);
}

// The lines are drawn in a strip of the picture only; the result must be
// that of drawing on the whole picture, turning it and XOR-ing it in.
TEST(ScoreLines, StripDrawingEqualsWholePictureDrawing)
{
    ScratchDirectory dir;
    for (auto [w, h] : {std::pair{352, 288}, std::pair{160, 120}, std::pair{200, 60}}) {
        orvexSetImageGeometry(w, h);
        auto game = std::make_unique<CGameFilter>();
        game->FilterStart();
        for (auto [score, energy] : {std::pair{0, 100}, std::pair{1234567, 0}}) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << " " << score);
            game->score = score;
            game->energy = energy;
            cv::Mat picture(h, w, CV_8UC3);
            cv::randu(picture, 0, 256);
            cv::Mat expected = picture.clone(), hud = cv::Mat::zeros(h, w, CV_8UC3);
            const auto lines = game->ScoreLines();
            int d1 = 0, d2 = 0;
            const int font = cv::FONT_HERSHEY_SIMPLEX;
            const cv::Size s1 = cv::getTextSize(lines[0], font, 1.0, 2, &d1);
            const cv::Size s2 = cv::getTextSize(lines[1], font, 1.0, 2, &d2);
            cv::putText(hud, lines[0], {w - s1.width, s1.height + d1}, font, 1.0,
                        cv::Scalar::all(255), 2, cv::LINE_8);
            cv::putText(hud, lines[1], {w - s2.width, d2 + 2 * s2.height}, font, 1.0,
                        cv::Scalar::all(255), 2, cv::LINE_8);
            cv::flip(hud, hud, -1);
            cv::bitwise_xor(hud, expected, expected);

            game->frameImage = picture;
            game->DrawScoreLines();
            EXPECT_EQ(cv::norm(picture, expected, cv::NORM_INF), 0);
        }
        game->FilterStop();
    }
}

TEST_F(Play, ShrinkOutTakesOneHundredFortyFourFrames)
{
    CGameFilter::shrinkRect = {};
    game->gameState = kShrinkOut;
    int frames = 0;
    while (game->gameState == kShrinkOut && frames < 1000) {
        PlayerFrame();
        ++frames;
    }
    EXPECT_EQ(frames, 144);
    EXPECT_EQ(game->gameState, kBonusTally);
    EXPECT_EQ(CGameFilter::shrinkRect, cv::Rect(0, 0, kWidth, kHeight));
}

// A silhouette of more runs than the lists start with: the lists grow and
// every run is painted.
TEST_F(Play, ComplexSilhouetteGrowsTheSpanLists)
{
    game->levelImages[0] = cv::Mat(50, 50, CV_8UC3, cv::Scalar(10, 200, 30));
    game->levelIndex = 0;
    game->multipleShapes = 0;
    // A comb: 1-pixel teeth 1 pixel apart joined by a bar, about 170 runs a row.
    TestFrame comb = Room();
    comb.Fill({10, 10, 340, 8}, kPlayer);
    for (int x = 10; x < 350; x += 2) comb.Fill({x, 18, 1, 200}, kPlayer);
    const std::size_t before = game->silhouetteSpans.size();
    Run(comb);
    EXPECT_GT(game->silhouetteSpans.size(), before);
}
