// A new game's values, and the tally of misdeeds after a game.
#include <cstdio>
#include <opencv2/imgproc.hpp>

#include "game_filter.h"
#include "pictures.h"

namespace {

constexpr int kClipNotListed = 5;
constexpr int kClipListed = 6;
constexpr int kTallyFrames = 200;
// The backdrop's size when its file cannot be read: the lines then show on
// black, and they fit.
const cv::Size kBlankBackdrop{1024, 768};

}  // namespace

void CGameFilter::ResetGame()
{
    gameOverImage = LoadPicture("gameover.png", false);
    if (gameOverImage.empty())
        gameOverImage = cv::Mat(kBlankBackdrop, CV_8UC3, cv::Scalar::all(0));
    activeSpriteCount = 0;
    score = 0;
    energy = 100;
    static constexpr int kValues[kSpriteTypes] = {-5, -5, -10, -5, -10, 100, 5000, 500, 100, 1000, 0};
    std::copy(std::begin(kValues), std::end(kValues), spriteValues);
    civiliansKilled = oilFieldsRobbed = housesDestroyed = dollarBundlesRobbed = 0;
}

int CGameFilter::Bonus() const
{
    return 10 * (civiliansKilled + oilFieldsRobbed + housesDestroyed + dollarBundlesRobbed);
}

void CGameFilter::BonusTallyScreen()
{
    const int font = cv::FONT_HERSHEY_SIMPLEX;
    const cv::Scalar white = cv::Scalar::all(255);
    char line[160];
    auto draw = [&](int row, double scale, int thickness) {
        cv::putText(gameOverImage, line, {0, row}, font, scale, white, thickness, cv::LINE_8);
    };
    const int bonus = Bonus();
    std::snprintf(line, sizeof line,
                  " you killed     %5d civilian(s)................................--> 10x_bonus = %7d",
                  civiliansKilled, 10 * civiliansKilled);
    int b = 0;
    const int h = cv::getTextSize(line, font, 0.5, 1, &b).height;
    draw(100, 0.5, 1);
    std::snprintf(line, sizeof line,
                  " you robbed    %5d oil field(s)..............................--> 10x_bonus = %7d",
                  oilFieldsRobbed, 10 * oilFieldsRobbed);
    draw(b + 2 * h + 100, 0.5, 1);
    std::snprintf(line, sizeof line,
                  " you destroyed %5d family house(s).......................--> 10x_bonus = %7d",
                  housesDestroyed, 10 * housesDestroyed);
    draw(b + 4 * h + 100, 0.5, 1);
    std::snprintf(line, sizeof line,
                  " you robbed    %5d bundle(s) of dollars...............--> 10x_bonus = %7d",
                  dollarBundlesRobbed, 10 * dollarBundlesRobbed);
    draw(b + 6 * h + 100, 0.5, 1);
    std::snprintf(line, sizeof line,
                  " your overall bonus for this senseless war...............--> bonus     = %6d",
                  bonus);
    draw(b + 10 * h + 100, 0.5, 1);
    std::snprintf(line, sizeof line, " your score............................--> %8d", score + bonus);
    draw(b + 15 * h + 100, 1.0, 2);

    // Loaded top row first: flipped, it stands upright on the bottom-up display.
    cv::resize(gameOverImage, frameImage, frameImage.size(), 0, 0, cv::INTER_LINEAR);
    cv::flip(frameImage, frameImage, 0);

    if (++screens.tallyFrames < kTallyFrames)
        return;
    score += bonus;
    screens.tallyFrames = 0;
    if (QualifiesForHighScores(score)) {
        PlayClip(kClipListed, 0, -500);
        gameState = kNameEntry;
    } else {
        PlayClip(kClipNotListed, 0, -500);
        ResetGame();
        gameState = kAttract;
    }
}
