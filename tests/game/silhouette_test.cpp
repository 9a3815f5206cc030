// The silhouette extraction: the mask's exact comparisons, the shape rules,
// the display switches and the background capture.
#include <gtest/gtest.h>

#include "game_fixture.h"
#include "ipp/yuv_fixed_point.h"
#include "vision/segmentation_pass.h"

namespace {

using namespace yuv_fixed_point;

struct Yuv {
    int y, u, v;
};
Yuv Convert(cv::Scalar c)
{
    int c0 = static_cast<int>(c[0]), c1 = static_cast<int>(c[1]), c2 = static_cast<int>(c[2]);
    return {Luma(c0, c1, c2), ChromaU(c0, c1, c2), ChromaV(c0, c1, c2)};
}

// A colour of the same luminance as `base` whose U differs from it by `du`.
cv::Scalar SameLumaWithU(cv::Scalar base, int du)
{
    const Yuv b = Convert(base);
    for (int c0 = 0; c0 < 256; ++c0)
        for (int c2 = 0; c2 < 256; ++c2)
            for (int c1 = 0; c1 < 256; c1 += 1) {
                Yuv p = Convert(cv::Scalar(c0, c1, c2));
                if (p.y == b.y && p.u - b.u == du)
                    return cv::Scalar(c0, c1, c2);
            }
    ADD_FAILURE() << "no colour with U difference " << du;
    return base;
}

class Silhouette : public GameFixture {};

}  // namespace

TEST_F(Silhouette, BackgroundIsTheFirstFrameAfterAStart)
{
    // A player standing in view when capture starts becomes part of the room.
    Run(RoomWith(Person()));
    EXPECT_EQ(MaskCount(), 0);
    EXPECT_FALSE(SilhouetteFilled());
    Run(RoomWith(Person()));
    EXPECT_EQ(MaskCount(), 0);
    // Where the player was, the empty room now differs.
    Run(Room());
    EXPECT_EQ(MaskCount(), Person().area());
}

TEST_F(Silhouette, LuminanceEqualToTheThresholdIsForegroundChromaEqualIsNot)
{
    game->yThresh = 50;
    game->uThresh = 10;
    game->vThresh = 255;  // V differences play no part here
    CaptureEmptyRoom();
    const Yuv room = Convert(kRoom);
    struct Case {
        const char* what;
        cv::Scalar colour;
        bool foreground;
    } cases[] = {
        {"dY = yThresh", cv::Scalar::all(room.y + 50), true},
        {"dY = yThresh - 1", cv::Scalar::all(room.y + 49), false},
        {"dY = -yThresh", cv::Scalar::all(room.y - 50), true},
        {"dU = uThresh", SameLumaWithU(kRoom, 10), false},
        {"dU = uThresh + 1", SameLumaWithU(kRoom, 11), true},
        {"dU = -(uThresh + 1)", SameLumaWithU(kRoom, -11), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Run(Room().Fill({10, 10, 5, 5}, c.colour));
        EXPECT_EQ(MaskCount(), c.foreground ? 25 : 0);
    }
}

TEST_F(Silhouette, BoundingBoxMustExceedTwoThousandPixels)
{
    CaptureEmptyRoom();
    Run(RoomWith({100, 50, 40, 50}));  // 2000 pixels: no shape
    EXPECT_FALSE(SilhouetteFilled());
    EXPECT_EQ(game->maskImage.rows, kHeight);

    cv::Rect box{100, 50, 41, 50};  // 2050 pixels: the shape
    Run(RoomWith(box));
    EXPECT_EQ(cv::countNonZero(game->silhouetteImage.reshape(1)), 3 * box.area());
    EXPECT_EQ(game->silhouetteImage.at<cv::Vec3b>(box.y, box.x), cv::Vec3b(255, 255, 255));
}

TEST_F(Silhouette, TwoPeopleApartWithAndWithoutMultipleShapes)
{
    const cv::Rect tall{40, 20, 50, 200}, small{250, 30, 40, 120};
    CaptureEmptyRoom();

    // Without: the larger bounding box alone is the shape.
    Run(Room().Fill(tall, kPlayer).Fill(small, kPlayer));
    EXPECT_EQ(game->silhouetteImage.at<cv::Vec3b>(100, 60)[0], 255);
    EXPECT_EQ(game->silhouetteImage.at<cv::Vec3b>(100, 270)[0], 0);

    // With: both filled and joined by one line from the left point of the
    // shape with the larger right-point x (small: its corner nearest (0, 0)
    // is (250, 30)) to the right point of the other (tall: nearest (W, 0) is
    // (89, 20)).
    game->multipleShapes = 1;
    Run(Room().Fill(tall, kPlayer).Fill(small, kPlayer));
    const cv::Mat& s = game->silhouetteImage;
    EXPECT_EQ(s.at<cv::Vec3b>(100, 60)[0], 255);
    EXPECT_EQ(s.at<cv::Vec3b>(100, 270)[0], 255);
    cv::Mat expectedLine = cv::Mat::zeros(kHeight, kWidth, CV_8UC1);
    cv::line(expectedLine, {250, 30}, {89, 20}, cv::Scalar(255), 1, cv::LINE_8);
    const cv::Point mid{170, 25};
    ASSERT_EQ(expectedLine.at<uchar>(mid), 255);
    EXPECT_EQ(s.at<cv::Vec3b>(mid)[0], 255);
    EXPECT_EQ(s.at<cv::Vec3b>(mid.y + 3, mid.x)[0], 0);
    // The joined region is the shape: its box spans both people.
    EXPECT_EQ(game->shapeBox, cv::Rect(40, 20, 250, 200));
}

// More large shapes than a fixed table of 19 would hold: every one is filled
// and joined, so the shape spans them all.
TEST_F(Silhouette, JoinsMoreShapesThanNineteen)
{
    CaptureEmptyRoom();
    game->multipleShapes = 1;
    TestFrame crowd = Room();
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 6; ++col)
            crowd.Fill({10 + col * 56, 10 + row * 66, 46, 46}, kPlayer);  // 2116 pixels each
    Run(crowd);
    EXPECT_EQ(game->shapeBox, cv::Rect(10, 10, 5 * 56 + 46, 3 * 66 + 46));
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 6; ++col)
            EXPECT_EQ(game->silhouetteImage.at<cv::Vec3b>(33 + row * 66, 33 + col * 56)[1], 255);
}

TEST_F(Silhouette, DisplaySwitches)
{
    CaptureEmptyRoom();
    const cv::Rect p = Person();

    // showMask shows the mask in black and white and ends the frame.
    game->showMask = 1;
    TestFrame masked = Run(RoomWith(p));
    EXPECT_EQ(masked.Image().at<cv::Vec3b>(p.y + 5, p.x + 5), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(masked.Image().at<cv::Vec3b>(5, 5), cv::Vec3b(0, 0, 0));
    EXPECT_FALSE(SilhouetteFilled());

    // showPlain wins over showMask: the camera picture stays as it was.
    game->showPlain = 1;
    TestFrame plain = RoomWith(p);
    const std::vector<unsigned char> before = plain.Bytes();
    Run(plain);
    EXPECT_EQ(plain.Bytes(), before);
    EXPECT_EQ(MaskCount(), p.area());  // the mask is still made
}

TEST_F(Silhouette, MorphologyNeedsIterations)
{
    // A two-row gap splits the player; dilation then erosion closes it.
    const cv::Rect upper{150, 120, 60, 60}, lower{150, 58, 60, 60};
    auto split = [&] { return Room().Fill(upper, kPlayer).Fill(lower, kPlayer); };
    CaptureEmptyRoom();
    struct Case {
        int iterations, dilate, erode;
        int maskCount;
    } cases[] = {
        {0, 1, 1, 2 * 60 * 60},                // no iterations: neither happens, whatever the flags
        {1, 1, 0, 62 * 124},                   // dilated: one pixel more on every side, gap closed
        {1, 1, 1, 60 * 122},                   // closed: the gap stays filled
        {1, 0, 1, 2 * 58 * 58},                // eroded: one pixel less on every side
        {2000000000, 1, 0, kWidth * kHeight},  // absurd: bounded, fills the frame
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.iterations << " " << c.dilate << c.erode);
        game->dilateIterations = c.iterations;
        game->dilate = c.dilate;
        game->erode = c.erode;
        Run(split());
        EXPECT_EQ(MaskCount(), c.maskCount);
    }
}

TEST_F(Silhouette, FusedPassMatchesTheConversionAndThePlaneMask)
{
    // Every frame after the background goes through the one-pass conversion;
    // its planes and mask must equal the plain conversion and the table mask.
    game->yThresh = 30;
    game->uThresh = 7;
    game->vThresh = 9;
    SyntheticScene scene(kWidth, kHeight);
    auto room = scene.Frame();
    game->Transform(room.data());
    Figure f{.x = 170, .footRow = 270, .height = 220, .armRaise = 120};
    auto frame = scene.Frame({f});
    game->Transform(frame.data());

    const int step = game->planeStep;
    std::vector<Ipp8u> y(step * kHeight), u(y.size()), v(y.size());
    Ipp8u* planes[3] = {y.data(), u.data(), v.data()};
    auto fresh = scene.Frame({f});
    ippiRGBToYUV_8u_C3P3R(fresh.data(), scene.Step(), planes, step, {kWidth, kHeight});
    int foreground = 0;
    for (int r = 0; r < kHeight; ++r)
        for (int x = 0; x < kWidth; ++x) {
            const int p = r * step + x;
            ASSERT_EQ(game->yuvPlanes[0][p], y[p]);
            ASSERT_EQ(game->yuvPlanes[1][p], u[p]);
            ASSERT_EQ(game->yuvPlanes[2][p], v[p]);
            const bool fg = std::abs(y[p] - game->backgroundPlanes[0][p]) >= 30 ||
                            std::abs(u[p] - game->backgroundPlanes[1][p]) > 7 ||
                            std::abs(v[p] - game->backgroundPlanes[2][p]) > 9;
            ASSERT_EQ(game->maskPlane[r * game->maskPlaneStep + x], fg ? 255 : 0) << x << "," << r;
            foreground += fg;
        }
    EXPECT_GT(foreground, 3000);
    EXPECT_TRUE(SilhouetteFilled());
}

TEST_F(Silhouette, SmoothingBlursOnlyWhenAsked)
{
    TestFrame edge = Room().Fill({0, 0, kWidth / 2, kHeight}, cv::Scalar(0, 0, 0));
    game->showPlain = 1;  // keep the camera picture to look at it
    const std::vector<unsigned char> sharp = edge.Bytes();
    Run(edge);
    EXPECT_EQ(edge.Bytes(), sharp);
    game->cleanSize = 1;
    Run(edge);
    const cv::Vec3b atEdge = edge.Image().at<cv::Vec3b>(100, kWidth / 2);
    EXPECT_GT(atEdge[0], 0);
    EXPECT_LT(atEdge[0], 100);
    EXPECT_EQ(edge.Image().at<cv::Vec3b>(100, 10), cv::Vec3b(0, 0, 0));
    // Row padding is never written.
    for (int r = 0; r < kHeight; ++r)
        for (int b = kWidth * 3; b < edge.Step(); ++b)
            ASSERT_EQ(edge.Bytes()[r * edge.Step() + b], 0xEE);
}

// Odd widths have padded rows and odd halves for the pyramid.
TEST(SilhouetteOddSize, WorksOnPaddedRows)
{
    ScratchDirectory dir;
    orvexSetImageGeometry(175, 143);
    auto game = std::make_unique<CGameFilter>();
    game->FilterStart();
    game->cleanSize = 2;
    TestFrame room(175, 143), person(175, 143);
    person.Fill({60, 20, 40, 100}, cv::Scalar(20, 20, 20));
    game->Transform(room.Data());
    game->Transform(person.Data());
    EXPECT_GT(cv::countNonZero(game->silhouetteImage.reshape(1)), 3 * 3000);
    for (int r = 0; r < 143; ++r)
        for (int b = 175 * 3; b < person.Step(); ++b)
            ASSERT_EQ(person.Bytes()[r * person.Step() + b], 0xEE);
    game->FilterStop();
}

// The fused pass (vectorised where the processor allows, one pixel at a time
// for a row's tail) against the plain conversion and the table mask, on
// random pictures of many widths and with thresholds at and beyond the ends.
TEST(SegmentationPass, FusedEqualsConversionThenMaskForAnyWidthAndThreshold)
{
    cv::RNG rng(7);
    unsigned char table[256][256];
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) table[a][b] = static_cast<unsigned char>(std::abs(a - b));
    const SegmentationThresholds thresholds[] = {{50, 10, 10}, {0, 0, 0},      {1, 255, 256},
                                                 {-5, 300, 3}, {256, -1, 255}, {255, 254, 253}};
    for (int width : {1, 7, 31, 32, 33, 63, 64, 65, 100, 175}) {
        const int height = 5, frameStep = (3 * width + 3) & ~3, step = width + 13;
        std::vector<std::uint8_t> frame(frameStep * height);
        rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
        std::vector<std::uint8_t> bg(3 * step * height);
        rng.fill(bg, cv::RNG::UNIFORM, 0, 256);
        for (const SegmentationThresholds& t : thresholds) {
            SCOPED_TRACE(testing::Message() << width << " " << t.y << " " << t.u << " " << t.v);
            std::vector<std::uint8_t> fused(4 * step * height, 0), plain(fused);
            auto planesOf = [&](std::vector<std::uint8_t>& out) {
                const std::ptrdiff_t n = step * height;
                return SegmentationPlanes{{out.data(), out.data() + n, out.data() + 2 * n},
                                          {bg.data(), bg.data() + n, bg.data() + 2 * n},
                                          out.data() + 3 * n,
                                          step};
            };
            const SegmentationPlanes f = planesOf(fused), p = planesOf(plain);
            ConvertAndSegment(frame.data(), frameStep, width, height, f, t);
            ippiRGBToYUV_8u_C3P3R(frame.data(), frameStep, const_cast<Ipp8u**>(p.yuv), step,
                                  {width, height});
            SegmentPlanes(width, height, p, t, table);
            ASSERT_EQ(fused, plain);
        }
    }
}
