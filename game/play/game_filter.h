// The game: one frame filter whose Transform runs the whole game on every
// camera frame, on the streaming thread.
//
// Game states (gameState) and what leaves them:
//
//   8 attract ──silhouette seen long enough──▶ 2 start screen
//   2 start screen ──its button──▶ 3 level choice        (no shape ──▶ 8)
//   3 level choice ──"Choose"──▶ 7 play                   (no shape ──▶ 8)
//   7 play ──energy below 1──▶ 0 shrink-out               (no shape ──▶ 8)
//   0 shrink-out ──animation finished──▶ 5 bonus tally
//   5 bonus tally ──after 200 frames──▶ 4 name entry, or 8
//   4 name entry ──its end──▶ 8
//
// The frame loop evaluates the state blocks in a fixed order (name entry,
// shrink-out, tally, attract trigger, start screen, level choice, attract,
// play without and with a shape); a state entered by an earlier block runs
// in the same frame.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "ipp/ipp.h"
#include "orvex.h"

class CMotionButton;

enum GameState : int {
    kShrinkOut = 0,
    kStartScreen = 2,
    kLevelChoice = 3,
    kNameEntry = 4,
    kBonusTally = 5,
    kPlay = 7,
    kAttract = 8,
};

struct Sprite {
    int type = 0;
    int x = 0;
    int y = 0;
    int speed = 0;
};

// A finished frame that is shown again as long as what it was made from is
// unchanged: the source picture's pixels and a version of everything else.
struct CachedFrame {
    cv::Mat picture;
    const unsigned char* source = nullptr;
    std::uint64_t version = 0;

    bool Holds(const cv::Mat& from, std::uint64_t v, cv::Size size) const
    {
        return !picture.empty() && picture.size() == size && source == from.data && version == v;
    }
    void Remember(const cv::Mat& from, std::uint64_t v)
    {
        source = from.data;
        version = v;
    }
};

// One horizontal run of a silhouette or picture, in rows of its box.
struct Span {
    int start;
    int row;
    int length;
};

// The screens' class-wide state.
struct ScreenState {
    bool startNeedsReset = true;
    bool levelChoiceStarted = false;
    int tallyFrames = 0;
    bool nameEntryStarted = false;
    char typedName[10] = {};  // positions 0..8 are written, 9 stays 0
    int letterIndex = 0;      // in "A..Z_"
    int namePos = 0;          // 0..8
};

struct HighScoreEntry {
    int score = 0;
    char name[12] = {};  // at most 11 characters and the terminator
};

// One frame's contours; cleared at the end of every frame.
struct ContourStorage {
    std::vector<std::vector<cv::Point>> contours;  // outer contours of the mask
    std::vector<std::vector<cv::Point>> joined;    // outer contour of the joined shapes
    void Release()
    {
        contours.clear();
        joined.clear();
    }
    bool Empty() const { return contours.empty() && joined.empty(); }
};

// The chosen contour of a frame: an index into one of the storage's lists.
struct Shape {
    const std::vector<std::vector<cv::Point>>* list = nullptr;
    int index = -1;
    explicit operator bool() const { return list != nullptr && index >= 0; }
};

class CGameFilter : public COrvexFilter {
public:
    static constexpr int kLevelCount = 19;
    static constexpr int kSpriteTypes = 11;
    static constexpr int kMinShapeArea = 2000;  // a bounding box must exceed it

    CGameFilter();
    ~CGameFilter() override;

    // Called only by the capture library (and by tests standing in for it).
    void Transform(unsigned char* frame) override;
    void FilterStart() override;
    void FilterStop() override;

    // Safe from any thread: the next extraction takes its frame as background.
    void RequestBackgroundCapture() { backgroundRequested.store(1, std::memory_order_release); }

    void ReadSetupParams();

    // ---- members, in the game's order ------------------------------------
    int levelIndex = 0;
    CMotionButton* buttons = nullptr;
    // Settings and display switches: written by the setup dialog on the
    // window thread while frames flow, read whole by the frame loop.
    std::atomic<int> buttonThresh{0};
    std::atomic<float> buttonSensitivity{0.0f};
    std::atomic<int> autoReset{0};
    std::atomic<int> resetTime{0};
    std::atomic<int> multipleShapes{0};
    std::atomic<int> flip{0};
    std::atomic<int> cleanSize{0};
    std::atomic<int> yThresh{0}, uThresh{0}, vThresh{0};
    std::atomic<int> showMask{0};
    std::atomic<int> dilateIterations{0};
    std::atomic<int> showPlain{0};
    std::atomic<int> erode{0}, dilate{0};

    cv::Mat frameImage;  // header over the current frame
    unsigned char* currentFrame = nullptr;  // what the motion buttons read
    cv::Mat maskImage;   // header over maskPlane
    cv::Mat canvasImage, shrinkImage, silhouetteImage, hudImage;
    cv::Mat spriteLayer;  // (W + 120) x H
    cv::Mat spriteImages[kSpriteTypes];
    cv::Mat titleImage, gameOverImage;
    cv::Mat shapesImage;
    cv::Mat levelImages[kLevelCount];
    cv::Mat levelPreview;  // 120 x 80
    ContourStorage contourStorage;

    Ipp8u* yuvPlanes[3] = {};
    Ipp8u* backgroundPlanes[3] = {};
    int pyramidStep = 0, planeStep = 0;
    Ipp8u* maskPlane = nullptr;
    Ipp8u* pyramidBuffer = nullptr;
    int maskPlaneStep = 0;
    std::atomic<int> backgroundRequested{0};
    unsigned char absDiffTable[256][256];

    int energy = 0, score = 0;
    Sprite sprites[5];
    int activeSpriteCount = 0;
    int gameState = kAttract;
    int spriteValues[kSpriteTypes] = {};
    int civiliansKilled = 0, oilFieldsRobbed = 0, housesDestroyed = 0, dollarBundlesRobbed = 0;
    unsigned char paintSilhouette = 0;
    std::vector<unsigned char> targetPixels, silhouettePixels;  // W * H * 3 bytes
    std::vector<Span> targetSpans, silhouetteSpans;             // room for 25 * H runs
    HighScoreEntry highScores[5];
    std::uint64_t highScoresVersion = 0;  // counts the changes of highScores
    std::uint64_t pictureLoads = 0;       // counts the loads of the pictures

    // Screens whose picture changes rarely are made once and copied.
    CachedFrame titleFrame, listFrame, tallyFrame;
    std::array<std::string, 6> tallyDrawn;  // the lines last drawn into gameOverImage
    cv::Mat scoreStrip;                     // the score lines, turned, ready to XOR
    std::array<std::string, 2> scoreStripLines;

    // The current frame's extraction result: the chosen contour and its
    // bounding box, (0, 0, 1, 1) when there is none.
    Shape shape;
    cv::Rect shapeBox{0, 0, 1, 1};

    // Class-wide counters of the attract loop.
    static int idleFrames;    // starts at 100
    static int attractCycle;  // 0..199: title up to 100, then the high scores
    static std::uint32_t lastMotionTick;  // tick of the last motion the reset saw
    static constexpr int kAutoResetSlot = 10;
    static ScreenState screens;
    static cv::Rect shrinkRect;  // (0, 0, W, H) at the start of each shrink-out
    static const char* const kLevelNames[kLevelCount];

    // ---- silhouette extraction --------------------------------------------
    void SmoothFrame();
    // Returns false when a display switch finished the frame (no game).
    bool ExtractSilhouette();
    Shape SelectLargestShape(const std::vector<std::vector<cv::Point>>& contours, cv::Rect& box,
                             cv::Mat& target);
    void JoinShapes(const std::vector<std::vector<cv::Point>>& contours, cv::Rect& box,
                    cv::Mat& target);

    // ---- operations of the screens, play and sound ------------------------
    void ReadHighScores();
    void DrawHighScoreList();
    void NameEntryScreen();
    void ResetGame();
    void BonusTallyScreen();
    void StartScreen();
    void LevelChoiceScreen();
    int AutoResetCheck(unsigned char* frame);
    void LoadPictures();
    void PlayStep();
    void TextureSilhouette(cv::Rect box);
    void DrawScoreLines();
    void ShrinkOut();
    void PrepareMotionButtons();
    void ReleaseMotionButtons();
    // Starts the sound device and loads the nine clips; false when it failed.
    bool StartSound();
    // Span helpers of TextureSilhouette; ExtractSpans returns the bytes packed.
    int ExtractSpans(const cv::Mat& colour, const cv::Mat& mask, std::vector<unsigned char>& pixels,
                     std::vector<Span>& spans, int& spanCount);
    void StretchSpans(int targetCount, int silhouetteCount, cv::Rect box);
    void PasteSpans(const std::vector<unsigned char>& pixels, int spanCount, cv::Mat& destination,
                    int bytes, int columnOffset, int rowOffset);
    int Bonus() const;
    std::array<std::string, 6> TallyLines() const;  // as the tally shows them
    std::array<std::string, 2> ScoreLines() const;  // score, energy
    bool QualifiesForHighScores(int finalScore) const;
    void EnterHighScore(int finalScore, const char* name);
    void PlayClip(int clip, int flags, int volume);

private:
    int Width() const { return imageWidth; }
    int Height() const { return imageHeight; }

    int GreyButton(cv::Rect r, float sensitivity, const char* label, cv::Point at, float fontScale,
                   int thickness, int fadeFrames, int slot);
    void ShowLevelPreview();
    void SpawnWave();
    int MoveDrawAndHit();  // returns how many sprites are still on their way
    int DrawSprite(const cv::Mat& picture, cv::Point from, cv::Rect place);
    void Hit(Sprite& sprite);

    void AllocateBuffers();
    void ReleaseBuffers();  // planes, work images and span buffers
    void ReleasePictures();

    // The state blocks of the frame loop, in their order.
    void NameEntryBlock();
    void ShrinkOutBlock();
    void BonusTallyBlock();
    void AttractTriggerBlock();
    void MenuBlock(int state, void (CGameFilter::*screen)());
    void AttractBlock();
    void PlayWithoutShapeBlock();
    void PlayBlock();

    void ClearFrame() { frameImage.setTo(cv::Scalar::all(0)); }
    void DrawOutline();
    void ShowTitle();
    void MirrorFrame();
};
