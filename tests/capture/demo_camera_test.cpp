// The demo camera: its script, its pictures, and its GStreamer source.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "demo_camera.h"
#include "dshow/device_sources.h"
#include "frame_puller.h"

namespace {

TEST(DemoScript, Parsing)
{
    struct Case {
        const char* text;
        std::size_t keys;
        std::size_t errors;
        bool loop;
    };
    const Case cases[] = {
        {"", 0, 0, false},
        {"# only a comment\n\n   \n", 0, 0, false},
        {"0 10 270 216 0 0 0 0\n1.5 20 270 216 10 170 -5 5\n", 2, 0, false},
        {"0 10 270 216 0 0 0 0", 1, 0, false},  // no final line feed
        {"loop\r\n0 1 2 3 4 5 6 7\r\n", 1, 0, true},
        {"colour 10 20 30\n", 0, 0, false},
        {"colour 10 20\n", 0, 1, false},
        {"colour 10 20 256\n", 0, 1, false},
        {"loop now\n", 0, 1, false},
        {"0 10 270 216 0 0 0\n", 0, 1, false},          // 7 numbers
        {"0 10 270 216 0 0 0 0 0\n", 0, 1, false},      // 9 numbers
        {"0 10 270 216 0 0 0 x\n", 0, 1, false},
        {"0 10 270 216 0 0 0 5deg\n", 0, 1, false},
        {"0 nan 270 216 0 0 0 0\n", 0, 1, false},
        {"0 inf 270 216 0 0 0 0\n", 0, 1, false},
        {"-1 10 270 216 0 0 0 0\n", 0, 1, false},
        {"0 10 270 -5 0 0 0 0\n", 0, 1, false},
        {"0 10 270 216 361 0 0 0\n", 0, 1, false},
        {"0 1e300 270 216 0 0 0 0\n", 0, 1, false},
        {"1 0 0 0 0 0 0 0\n1 0 0 0 0 0 0 0\n0.5 0 0 0 0 0 0 0\n2 0 0 0 0 0 0 0\n", 2, 2, false},
        {"walk\n0 0 0 0 0 0 0 0\n", 1, 1, false},
        {"0,5 10 270 216 0 0 0 0\n", 0, 1, false},  // the point is a point in every locale
        {"+1 10 270 216 0 0 0 0\n", 0, 1, false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> errors;
        const DemoScript s = ParseDemoScript(c.text, &errors);
        EXPECT_EQ(s.keys.size(), c.keys) << c.text;
        EXPECT_EQ(errors.size(), c.errors) << c.text;
        EXPECT_EQ(s.loop, c.loop) << c.text;
    }
    std::vector<std::string> errors;
    ParseDemoScript("0 0 0 0 0 0 0 0\n\nbad\n", &errors);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("line 3: ", 0), 0u) << errors[0];
}

TEST(DemoScript, PosesAreInterpolatedAndHeld)
{
    const DemoScript s = ParseDemoScript("1 100 270 200 0 10 0 0\n3 200 270 200 0 170 20 -20\n",
                                         nullptr);
    struct Case {
        double t, x, rightArm, leftLeg;
    };
    const Case cases[] = {{0, 100, 10, 0}, {1, 100, 10, 0}, {2, 150, 90, 10},
                          {2.5, 175, 130, 15}, {3, 200, 170, 20}, {99, 200, 170, 20}};
    for (const Case& c : cases) {
        DemoKeyframe k;
        ASSERT_TRUE(s.PoseAt(c.t, &k));
        EXPECT_DOUBLE_EQ(k.x, c.x) << c.t;
        EXPECT_DOUBLE_EQ(k.rightArm, c.rightArm) << c.t;
        EXPECT_DOUBLE_EQ(k.leftLeg, c.leftLeg) << c.t;
    }
    DemoScript looped = s;
    looped.loop = true;
    DemoKeyframe k;
    ASSERT_TRUE(looped.PoseAt(3.0 + 2.0, &k));  // 5 s is 2 s into the loop
    EXPECT_DOUBLE_EQ(k.x, 150);
    EXPECT_FALSE(ParseDemoScript("0 10 270 0 0 0 0 0\n", nullptr).PoseAt(0, &k));
    EXPECT_FALSE(DemoScript{}.PoseAt(0, &k));
}

double Luma(const cv::Vec3b& p) { return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]; }

TEST(DemoCamera, FigureDiffersFromTheRoomInLuminance)
{
    for (auto [w, h] : {std::pair{352, 288}, std::pair{350, 289}, std::pair{640, 480}}) {
        DemoCamera empty(w, h, ParseDemoScript("", nullptr));
        DemoCamera person(w, h, DefaultDemoScript());
        const int stride = (3 * w + 3) & ~3;
        std::vector<std::uint8_t> a(static_cast<std::size_t>(stride) * h, 0xEE);
        std::vector<std::uint8_t> b = a;
        empty.RenderTopDown(0, a.data(), stride);
        person.RenderTopDown(0, b.data(), stride);
        cv::Mat room(h, w, CV_8UC3, a.data(), stride), shown(h, w, CV_8UC3, b.data(), stride);
        // Padding stays untouched.
        if (stride > 3 * w) {
            EXPECT_EQ(a[3 * w], 0xEE);
        }
        Figure f;
        ASSERT_TRUE(person.FigureAt(0, &f));
        // The torso's middle: far darker than the wall behind it.
        const cv::Point torso(f.x, f.footRow - f.height * 6 / 10);
        EXPECT_GT(Luma(room.at<cv::Vec3b>(torso)) - Luma(shown.at<cv::Vec3b>(torso)), 60.0)
            << w << " x " << h;
        // Away from the figure the two agree up to the noise.
        cv::Mat diff;
        cv::absdiff(room.row(0), shown.row(0), diff);
        double most;
        cv::minMaxLoc(diff.reshape(1), nullptr, &most);
        EXPECT_LE(most, 4.0);
    }
}

TEST(DemoCamera, NoiseIsSmallAndChangesFromFrameToFrame)
{
    DemoCamera cam(64, 48, ParseDemoScript("", nullptr));
    const int stride = 192;
    std::vector<std::uint8_t> a(stride * 48), b(stride * 48);
    cam.RenderTopDown(0, a.data(), stride);
    cam.RenderTopDown(1, b.data(), stride);
    int differ = 0, most = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        differ += a[i] != b[i];
        most = std::max(most, std::abs(a[i] - b[i]));
    }
    EXPECT_GT(differ, static_cast<int>(a.size()) / 2);
    EXPECT_LE(most, 4);
}

class DemoSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
};

TEST_F(DemoSourceTest, FramesAreTopDownBgrAt30FramesASecond)
{
    const int w = 350, h = 289;  // rows of 1050 bytes, padded to 1052
    GstElement* demo = MakeDemoCameraElement("", w, h, false);
    ASSERT_NE(demo, nullptr);
    FramePuller puller(demo);
    DemoCamera reference(w, h, DefaultDemoScript());
    const int stride = (3 * w + 3) & ~3;
    std::vector<std::uint8_t> expected(static_cast<std::size_t>(stride) * h);
    const cv::Mat room = SyntheticScene(w, h).Room();
    for (int n = 0; n < 5; ++n) {
        PulledFrame f;
        ASSERT_TRUE(puller.Pull(&f));
        EXPECT_EQ(f.width, w);
        EXPECT_EQ(f.height, h);
        EXPECT_EQ(f.fpsNum, 30 * f.fpsDen);
        EXPECT_EQ(f.format, "BGR");
        EXPECT_EQ(f.pts, gst_util_uint64_scale(n, GST_SECOND, 30));
        EXPECT_EQ(f.pts + f.duration, gst_util_uint64_scale(n + 1, GST_SECOND, 30));
        ASSERT_EQ(f.bytes.size(), expected.size());
        // The same frame as the camera draws top-down: the wall (the room's
        // row 0) comes first in memory, the floor last.
        reference.RenderTopDown(n, expected.data(), stride);
        int wrong = 0;
        for (int r = 0; r < h; ++r)
            for (int i = 0; i < 3 * w; ++i)
                wrong += f.bytes[r * stride + i] != expected[r * stride + i];
        EXPECT_EQ(wrong, 0) << "frame " << n;
        EXPECT_NEAR(f.bytes[0], room.at<cv::Vec3b>(0, 0)[0], 2);
        EXPECT_NEAR(f.bytes[static_cast<std::size_t>(stride) * (h - 1)],
                    room.at<cv::Vec3b>(h - 1, 0)[0], 2);
    }
    EXPECT_GT(std::abs(room.at<cv::Vec3b>(0, 0)[0] - room.at<cv::Vec3b>(h - 1, 0)[0]), 20);
}

TEST_F(DemoSourceTest, LiveSourceKeepsTheFrameRate)
{
    GstElement* demo = MakeDemoCameraElement("", 80, 60, true);
    ASSERT_NE(demo, nullptr);
    FramePuller puller(demo);
    const gint64 start = g_get_monotonic_time();
    PulledFrame f;
    for (int n = 0; n < 10; ++n)
        ASSERT_TRUE(puller.Pull(&f));
    // Ten frames take at least nine frame times.
    EXPECT_GE(g_get_monotonic_time() - start, 9 * 1000000 / 30 - 5000);
}

TEST_F(DemoSourceTest, BadSizesMakeNoElement)
{
    EXPECT_EQ(MakeDemoCameraElement("", 0, 10), nullptr);
    EXPECT_EQ(MakeDemoCameraElement("", 10, -1), nullptr);
    EXPECT_EQ(MakeDemoCameraElement("", 5000, 10), nullptr);
}

// A pattern device's picture, top-down: SMPTE bars begin with a white
// bar in the top row and a dark blue block at the bottom left.
TEST_F(DemoSourceTest, PatternDeviceTopRowIsKnown)
{
    VirtualDevice d;
    d.kind = VirtualKind::Pattern;
    GstElement* src = MakeVirtualSourceElement(d, 352, 288);
    ASSERT_NE(src, nullptr);
    FramePuller puller(src, true);
    PulledFrame f;
    ASSERT_TRUE(puller.Pull(&f));
    ASSERT_EQ(f.bytes.size(), 352u * 3 * 288);
    const std::uint8_t* top = f.bytes.data();
    const std::uint8_t* bottom = top + 352 * 3 * 287;
    for (int c = 0; c < 3; ++c)
        EXPECT_GE(top[c], 235) << c;
    EXPECT_GT(bottom[0], bottom[2] + 30);  // blue over red
}

}  // namespace
