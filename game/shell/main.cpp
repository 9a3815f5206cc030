// orvex: the game program. Until the capture pipeline and the window exist,
// it plays the game filter headless over a synthetic clip (an empty room, a
// player walking in, standing, walking out) through the capture library's
// filter stack, and prints what the game did.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <string>

#include "capture_internal.h"
#include "play/game_filter.h"
#include "synthetic_scene.h"

namespace {

CGameFilter g_game;

const char* StateName(int state)
{
    switch (state) {
        case kShrinkOut: return "shrink-out";
        case kStartScreen: return "start screen";
        case kLevelChoice: return "level choice";
        case kNameEntry: return "name entry";
        case kBonusTally: return "bonus tally";
        case kPlay: return "play";
        case kAttract: return "attract";
    }
    return "unknown";
}

// The player's place in frame n: absent, walking in from the left, standing
// in the middle, walking out to the right.
bool PlayerAt(int n, int frames, int width, Figure& f)
{
    const int enter = frames / 6, stand = frames / 3, leave = frames * 2 / 3, gone = frames * 5 / 6;
    if (n < enter || n >= gone)
        return false;
    const int middle = width / 2;
    if (n < stand)
        f.x = middle * (n - enter) / (stand - enter);
    else if (n < leave)
        f.x = middle;
    else
        f.x = middle + (width - middle) * (n - leave) / (gone - leave);
    f.armRaise = (n >= stand && n < leave) ? 90 + 60 * ((n / 8) % 2) : 0;
    return true;
}

int Usage(FILE* out, int code)
{
    std::fprintf(out,
                 "usage: orvex [--frames N]\n"
                 "Plays the game headless over a synthetic clip of N frames (default 300)\n"
                 "at 352 x 288 and prints the game's states.\n");
    return code;
}

}  // namespace

int main(int argc, char** argv)
{
    int frames = 300;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
            if (frames < 1 || frames > 100000)
                return Usage(stderr, 2);
        } else if (std::strcmp(argv[i], "--help") == 0) {
            return Usage(stdout, 0);
        } else {
            return Usage(stderr, 2);
        }
    }
    SetHeadless(true);

    const int width = 352, height = 288;
    orvexSetImageGeometry(width, height);
    orvexPushFilter(&g_game);
    orvexStartFilters();

    SyntheticScene scene(width, height);
    std::vector<std::uint8_t> frame(scene.Bytes());
    int lastState = -1, shapeFrames = 0;
    bool hadShape = false;
    std::chrono::nanoseconds busy{0};
    for (int n = 0; n < frames; ++n) {
        Figure player{.footRow = height - 20, .height = height * 3 / 4};
        std::vector<Figure> figures;
        if (PlayerAt(n, frames, width, player))
            figures.push_back(player);
        scene.Render(frame.data(), figures);
        const auto t0 = std::chrono::steady_clock::now();
        orvexDispatchFrame(frame.data());
        busy += std::chrono::steady_clock::now() - t0;

        // The shape is gone once the frame is done; the filled silhouette stays.
        const bool hasShape = cv::countNonZero(g_game.silhouetteImage.reshape(1)) > 0;
        shapeFrames += hasShape;
        if (hasShape != hadShape)
            std::printf("frame %4d: player %s\n", n, hasShape ? "seen" : "gone");
        if (g_game.gameState != lastState)
            std::printf("frame %4d: state %d (%s)\n", n, g_game.gameState,
                        StateName(g_game.gameState));
        hadShape = hasShape;
        lastState = g_game.gameState;
    }
    orvexStopFilters();
    orvexPopFilter();
    std::printf("%d frames at %d x %d, player seen in %d; the game took %.0f us a frame\n", frames,
                width, height, shapeFrames,
                std::chrono::duration<double, std::micro>(busy).count() / frames);
    return 0;
}
