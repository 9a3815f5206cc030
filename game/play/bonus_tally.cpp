// A new game's values, and the tally of misdeeds after a game.
#include <array>
#include <cstdio>
#include <string>
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
    ++pictureLoads;
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

std::array<std::string, 6> CGameFilter::TallyLines() const
{
    char line[6][160];
    std::snprintf(line[0], sizeof line[0],
                  " you killed     %5d civilian(s)................................--> 10x_bonus = %7d",
                  civiliansKilled, 10 * civiliansKilled);
    std::snprintf(line[1], sizeof line[1],
                  " you robbed    %5d oil field(s)..............................--> 10x_bonus = %7d",
                  oilFieldsRobbed, 10 * oilFieldsRobbed);
    std::snprintf(line[2], sizeof line[2],
                  " you destroyed %5d family house(s).......................--> 10x_bonus = %7d",
                  housesDestroyed, 10 * housesDestroyed);
    std::snprintf(line[3], sizeof line[3],
                  " you robbed    %5d bundle(s) of dollars...............--> 10x_bonus = %7d",
                  dollarBundlesRobbed, 10 * dollarBundlesRobbed);
    std::snprintf(line[4], sizeof line[4],
                  " your overall bonus for this senseless war...............--> bonus     = %6d",
                  Bonus());
    std::snprintf(line[5], sizeof line[5], " your score............................--> %8d",
                  score + Bonus());
    return {line[0], line[1], line[2], line[3], line[4], line[5]};
}

void CGameFilter::BonusTallyScreen()
{
    // Drawn into the picture itself, in its own pixels; the same lines drawn
    // again change nothing.
    if (gameOverImage.empty()) {
        gameOverImage = cv::Mat(kBlankBackdrop, CV_8UC3, cv::Scalar::all(0));
        ++pictureLoads;
    }
    const int font = cv::FONT_HERSHEY_SIMPLEX;
    const cv::Scalar white = cv::Scalar::all(255);
    const std::array<std::string, 6> lines = TallyLines();
    // The same lines drawn again change nothing: the picture is drawn,
    // scaled and flipped only when they differ from the last ones drawn
    // into this picture.
    if (!tallyFrame.Holds(gameOverImage, pictureLoads, frameImage.size()) || lines != tallyDrawn) {
        int b = 0;
        const int h = cv::getTextSize(lines[0], font, 0.5, 1, &b).height;
        const int rows[6] = {100,
                             b + 2 * h + 100,
                             b + 4 * h + 100,
                             b + 6 * h + 100,
                             b + 10 * h + 100,
                             b + 15 * h + 100};
        for (int i = 0; i < 5; ++i)
            cv::putText(gameOverImage, lines[i], {0, rows[i]}, font, 0.5, white, 1, cv::LINE_8);
        cv::putText(gameOverImage, lines[5], {0, rows[5]}, font, 1.0, white, 2, cv::LINE_8);
        // Loaded top row first: flipped, it stands upright on the bottom-up
        // display.
        cv::Mat& shown = tallyFrame.picture;
        cv::resize(gameOverImage, shown, frameImage.size(), 0, 0, cv::INTER_LINEAR);
        cv::flip(shown, shown, 0);
        tallyFrame.Remember(gameOverImage, pictureLoads);
        tallyDrawn = lines;
    }
    tallyFrame.picture.copyTo(frameImage);

    if (++screens.tallyFrames < kTallyFrames)
        return;
    const int bonus = Bonus();
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
