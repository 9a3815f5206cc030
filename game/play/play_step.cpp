// The pictures, and play: waves of sprites crossing the screen, hit by the
// player's silhouette.
#include <opencv2/imgproc.hpp>
#include <string>

#include "game_clock.h"
#include "game_filter.h"
#include "game_random.h"
#include "pictures.h"

namespace {

constexpr int kClipScoringHit = 7;
constexpr int kClipDamagingHit = 8;
constexpr int kSpentType = 10;
constexpr int kMargin = 60;  // the sprite layer's columns either side of the frame

const char* const kLevelFiles[CGameFilter::kLevelCount] = {
    "darrow.png",   "umlev2.jpg",    "crovan.jpg",    "ostrand.jpg", "usa.jpg",
    "uk.jpg",       "iran.jpg",      "irak.jpg",      "syrien.jpg",  "libya.jpg",
    "northkorea.jpg", "israel.jpg",  "cuba.jpg",      "palestine.png", "dollar.jpg",
    "spain.jpg",    "poland.jpg",    "pakistan.png",  "turkey.png"};

}  // namespace

void CGameFilter::LoadPictures()
{
    ++pictureLoads;
    titleImage = LoadPicture("Kragmoor.png", true);
    gameOverImage = LoadPicture("gameover.png", false);  // ResetGame reloads it anyway
    for (int i = 0; i < kLevelCount; ++i)
        levelImages[i] = LoadPicture(kLevelFiles[i], true);
    for (int t = 0; t < kSpriteTypes; ++t)
        spriteImages[t] = LoadPicture("sprite" + std::to_string(t + 1) + ".png", true);
}

void CGameFilter::PlayStep()
{
    const int w = Width(), h = Height();
    GameRng().Seed(static_cast<std::uint32_t>(game_clock::CalendarSeconds()));
    spriteLayer.setTo(cv::Scalar::all(0));
    if (activeSpriteCount == 0)
        SpawnWave();
    else if (MoveDrawAndHit() == 0)
        activeSpriteCount = 0;  // the whole wave has left: the next frame spawns
    spriteLayer(cv::Rect(kMargin, 0, w, h)).copyTo(frameImage);
}

void CGameFilter::SpawnWave()
{
    GameRandom& rng = GameRng();
    activeSpriteCount = rng.Next() % 4;
    for (int i = 0; i < activeSpriteCount; ++i) {
        Sprite& s = sprites[i];
        s.type = rng.Next() % 10;
        s.x = 0;
        // A picture as tall as the frame (or taller) starts on row 0.
        const int room = Height() - spriteImages[s.type].rows;
        const int draw = rng.Next();
        s.y = room > 0 ? draw % room : 0;
        s.speed = rng.Next() % 8 + 2;
    }
}

int CGameFilter::MoveDrawAndHit()
{
    const int w = Width(), h = Height();
    const cv::Rect layerArea(0, 0, spriteLayer.cols, spriteLayer.rows);
    float best = 0.0f;
    int overlap = 0;  // silhouette pixels under the sprites drawn so far
    int active = 0;
    for (int i = 0; i < activeSpriteCount; ++i) {
        Sprite& s = sprites[i];
        if (s.x >= w + kMargin)
            continue;  // gone
        ++active;
        const cv::Mat& picture = spriteImages[s.type];
        const int row = std::min(s.y, h - picture.rows);
        // Pictures wider than the margin, or missing, are clipped or skipped;
        // a sprite that draws nothing adds no overlap, so it cannot hit.
        const cv::Rect place = cv::Rect(s.x, row, picture.cols, picture.rows) & layerArea;
        const cv::Point from(place.x - s.x, place.y - row);
        s.x += s.speed;
        if (place.empty())
            continue;
        overlap += DrawSprite(picture, from, place);
        // The overlap only grows along the loop: a sprite hits when it brings
        // silhouette pixels that no earlier sprite of this frame covered.
        if (static_cast<float>(overlap) > best) {
            best = static_cast<float>(overlap);
            Hit(s);
        }
    }
    return active;
}

// ORs the picture (from its pixel `from` on) into the layer at `place` and
// returns how many pixels of the visible window under the silhouette it
// turned from a zero to a non-zero blue value. Summed over the frame's
// sprites, that is the count of non-zero blue values of silhouette AND
// layer, without a whole-frame pass per sprite.
int CGameFilter::DrawSprite(const cv::Mat& picture, cv::Point from, cv::Rect place)
{
    const int w = Width();
    int added = 0;
    for (int r = 0; r < place.height; ++r) {
        unsigned char* layer = spriteLayer.ptr(place.y + r) + 3 * place.x;
        const unsigned char* pic = picture.ptr(from.y + r) + 3 * from.x;
        const unsigned char* sil = silhouetteImage.ptr(place.y + r);
        for (int c = 0; c < place.width; ++c, layer += 3, pic += 3) {
            const bool was = layer[0] != 0;
            layer[0] |= pic[0];
            layer[1] |= pic[1];
            layer[2] |= pic[2];
            const int column = place.x + c - kMargin;  // in the frame
            if (!was && layer[0] != 0 && column >= 0 && column < w && sil[3 * column] != 0)
                ++added;
        }
    }
    return added;
}

void CGameFilter::Hit(Sprite& s)
{
    if (s.type < 5) {
        PlayClip(kClipDamagingHit, 0, -1000);
        if (energy > 0)
            energy = std::max(0, energy + spriteValues[s.type]);
        s.type = kSpentType;
        return;
    }
    switch (s.type) {
        case 5: ++civiliansKilled; break;
        case 6: ++oilFieldsRobbed; break;
        case 7: ++housesDestroyed; break;
        case 8: ++dollarBundlesRobbed; break;
    }
    score += spriteValues[s.type];
    if (s.type < kSpentType) {
        s.x = Width() + kMargin;  // removed from the next frame on
        PlayClip(kClipScoringHit, 0, -500);
    }
}
