// The game filter's life cycle and its frame loop.
#include "game_filter.h"

#include <opencv2/imgproc.hpp>

#include "shell/setup_params.h"

int CGameFilter::idleFrames = 100;
int CGameFilter::attractCycle = 0;
ScreenState CGameFilter::screens;

namespace {

constexpr int kClipGameOver = 4;
constexpr int kClipBackground = 9;
constexpr int kPlayLooping = 1;

}  // namespace

CGameFilter::CGameFilter()
{
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b)
            absDiffTable[a][b] = static_cast<unsigned char>(a > b ? a - b : b - a);
}

// Everything is released by FilterStop.
CGameFilter::~CGameFilter() = default;

void CGameFilter::ReadSetupParams()
{
    SetupParams p;
    p.buttonThresh = buttonThresh;
    p.yThresh = yThresh;
    p.uThresh = uThresh;
    p.vThresh = vThresh;
    p.dilateIterations = dilateIterations;
    p.erode = erode;
    p.dilate = dilate;
    p.multipleShapes = multipleShapes;
    p.autoReset = autoReset;
    p.resetTime = resetTime;
    p.flip = flip;
    p.cleanSize = cleanSize;
    ReadSetupFile(p);
    buttonThresh = p.buttonThresh;
    buttonSensitivity = p.ButtonSensitivity();
    yThresh = p.yThresh;
    uThresh = p.uThresh;
    vThresh = p.vThresh;
    dilateIterations = p.dilateIterations;
    erode = p.erode;
    dilate = p.dilate;
    multipleShapes = p.multipleShapes;
    autoReset = p.autoReset;
    resetTime = p.resetTime;
    flip = p.flip;
    cleanSize = p.cleanSize;
}

void CGameFilter::FilterStart()
{
    paintSilhouette = 1;
    levelIndex = 0;
    ReadSetupParams();
    ReadHighScores();
    // Without sound the game goes on silent; clips that never loaded do not play.
    StartSound();
    PlayClip(kClipBackground, kPlayLooping, -1500);
    LoadPictures();
    ResetGame();
    gameState = kAttract;
    AllocateBuffers();
    RequestBackgroundCapture();
}

void CGameFilter::AllocateBuffers()
{
    ReleaseBuffers();  // a start without a stop before it must not leak
    const int w = Width(), h = Height();
    for (int i = 0; i < 3; ++i) {
        yuvPlanes[i] = ippiMalloc_8u_C1(w, h, &planeStep);
        backgroundPlanes[i] = ippiMalloc_8u_C1(w, h, &planeStep);
    }
    maskPlane = ippiMalloc_8u_C1(w, h, &maskPlaneStep);
    pyramidBuffer = ippiMalloc_8u_C3(w, h, &pyramidStep);

    silhouetteImage.create(h, w, CV_8UC3);
    spriteLayer.create(h, w + 120, CV_8UC3);
    hudImage.create(h, w, CV_8UC3);
    canvasImage.create(h, w, CV_8UC3);
    shrinkImage.create(h, w, CV_8UC3);
    levelPreview.create(80, 120, CV_8UC3);
    shapesImage.create(h, w, CV_8UC1);
    for (cv::Mat* m : {&silhouetteImage, &spriteLayer, &hudImage, &canvasImage,
                       &shrinkImage, &levelPreview, &shapesImage})
        m->setTo(cv::Scalar::all(0));

    const std::size_t spans = static_cast<std::size_t>(h) * 25;
    const std::size_t pixelBytes = static_cast<std::size_t>(w) * h * 3;
    targetSpans.assign(spans, Span{});
    targetPixels.assign(pixelBytes, 0);
    silhouetteSpans.assign(spans, Span{});
    silhouettePixels.assign(pixelBytes, 0);
}

void CGameFilter::FilterStop()
{
    ReleaseBuffers();
    ReleasePictures();
    ReleaseMotionButtons();
    contourStorage.Release();
    shape = {};
}

void CGameFilter::ReleaseBuffers()
{
    for (Ipp8u** plane : {&yuvPlanes[0], &yuvPlanes[1], &yuvPlanes[2], &backgroundPlanes[0],
                          &backgroundPlanes[1], &backgroundPlanes[2], &maskPlane, &pyramidBuffer}) {
        ippiFree(*plane);
        *plane = nullptr;
    }
    for (cv::Mat* m : {&canvasImage, &shrinkImage, &silhouetteImage, &hudImage,
                       &spriteLayer, &shapesImage, &levelPreview, &maskImage, &frameImage})
        m->release();
    // swap, not clear: the memory goes back, not just the contents
    std::vector<unsigned char>().swap(targetPixels);
    std::vector<unsigned char>().swap(silhouettePixels);
    std::vector<Span>().swap(targetSpans);
    std::vector<Span>().swap(silhouetteSpans);
}

void CGameFilter::ReleasePictures()
{
    for (CachedFrame* cached : {&titleFrame, &listFrame, &tallyFrame})
        *cached = {};
    scoreStrip.release();
    scoreStripLines = {};
    titleImage.release();
    gameOverImage.release();
    for (cv::Mat& m : spriteImages)
        m.release();
    for (cv::Mat& m : levelImages)
        m.release();
}

void CGameFilter::Transform(unsigned char* frame)
{
    // Nothing to work on: a frame that arrives without a start (or after a
    // failed one) passes through untouched.
    if (maskPlane == nullptr)
        return;
    frameImage = cv::Mat(Height(), Width(), CV_8UC3, frame, imageWidthStep);
    currentFrame = frame;
    SmoothFrame();
    PrepareMotionButtons();
    if (autoReset == 1)
        AutoResetCheck(frame);
    if (ExtractSilhouette()) {
        NameEntryBlock();
        ShrinkOutBlock();
        BonusTallyBlock();
        AttractTriggerBlock();
        MenuBlock(kStartScreen, &CGameFilter::StartScreen);
        MenuBlock(kLevelChoice, &CGameFilter::LevelChoiceScreen);
        AttractBlock();
        PlayWithoutShapeBlock();
        PlayBlock();
        if (flip == 1)
            MirrorFrame();
    }
    contourStorage.Release();
    shape = {};
}

// ---- state blocks ----------------------------------------------------------

void CGameFilter::NameEntryBlock()
{
    if (gameState != kNameEntry)
        return;
    ClearFrame();
    DrawOutline();
    NameEntryScreen();
}

void CGameFilter::ShrinkOutBlock()
{
    if (gameState != kShrinkOut)
        return;
    levelIndex = 0;
    ShrinkOut();
    attractCycle = 101;
}

void CGameFilter::BonusTallyBlock()
{
    if (gameState != kBonusTally)
        return;
    levelIndex = 0;
    BonusTallyScreen();
}

void CGameFilter::AttractTriggerBlock()
{
    if (!shape || gameState != kAttract)
        return;
    if (++idleFrames > 100) {
        gameState = kStartScreen;
        idleFrames = 0;
    }
}

// The start screen and the level choice: black with the player's outline,
// and back to attract as soon as nobody is seen.
void CGameFilter::MenuBlock(int state, void (CGameFilter::*screen)())
{
    if (gameState != state)
        return;
    if (!shape) {
        gameState = kAttract;
        return;
    }
    ClearFrame();
    DrawOutline();
    (this->*screen)();
}

void CGameFilter::AttractBlock()
{
    if (gameState != kAttract)
        return;
    ++idleFrames;
    activeSpriteCount = 0;
    if (attractCycle <= 100)
        ShowTitle();
    else
        DrawHighScoreList();
    attractCycle = (attractCycle + 1) % 200;
}

void CGameFilter::PlayWithoutShapeBlock()
{
    if (gameState != kPlay || shape)
        return;
    activeSpriteCount = 0;
    levelIndex = 0;
    ResetGame();
    ShowTitle();
    gameState = kAttract;
}

void CGameFilter::PlayBlock()
{
    if (gameState != kPlay || !shape)
        return;
    PlayStep();
    if (paintSilhouette == 1)
        TextureSilhouette(shapeBox);
    DrawOutline();
    DrawScoreLines();
    if (energy < 1) {
        // The game-over frame itself is shown unmirrored; the copy kept for
        // the shrink-out is mirrored.
        frameImage.copyTo(canvasImage);
        ippiMirror_8u_C3IR(canvasImage.data, static_cast<int>(canvasImage.step),
                           {canvasImage.cols, canvasImage.rows}, ippAxsVertical);
        gameState = kShrinkOut;
        PlayClip(kClipGameOver, 0, -500);
    }
    if (gameState == kPlay)
        MirrorFrame();
}

// ---- drawing helpers -------------------------------------------------------

void CGameFilter::DrawOutline()
{
    if (!shape)
        return;
    cv::drawContours(frameImage, *shape.list, shape.index, cv::Scalar(255, 255, 255), 2,
                     cv::LINE_8);
}

void CGameFilter::ShowTitle()
{
    // The title never changes while capture runs: scaled and mirrored once.
    if (!titleFrame.Holds(titleImage, pictureLoads, frameImage.size())) {
        cv::Mat& title = titleFrame.picture;
        // A title that could not be loaded shows black.
        if (titleImage.empty())
            title = cv::Mat::zeros(frameImage.size(), CV_8UC3);
        else
            cv::resize(titleImage, title, frameImage.size(), 0, 0, cv::INTER_LINEAR);
        cv::flip(title, title, 1);
        titleFrame.Remember(titleImage, pictureLoads);
    }
    titleFrame.picture.copyTo(frameImage);
}

void CGameFilter::MirrorFrame()
{
    ippiMirror_8u_C3IR(frameImage.data, static_cast<int>(frameImage.step),
                       {frameImage.cols, frameImage.rows}, ippAxsVertical);
}
