// The virtual device declarations: good lines, bad lines, and a file mixing
// both.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dshow/virtual_devices.h"

namespace {

TEST(VirtualDeviceLine, GoodLines)
{
    struct Case {
        const char* line;
        void (*check)(const VirtualDevice&);
    };
    const Case cases[] = {
        {"name=Bars; kind=pattern",
         [](const VirtualDevice& d) {
             EXPECT_EQ(d.name, "Bars");
             EXPECT_EQ(d.kind, VirtualKind::Pattern);
             EXPECT_EQ(d.pattern, "smpte");
             EXPECT_TRUE(d.sizes.empty());
             EXPECT_TRUE(d.Accepts(352, 288));
             EXPECT_TRUE(d.Accepts(1, 4096));
             EXPECT_FALSE(d.Accepts(0, 10));
             EXPECT_FALSE(d.Accepts(4097, 10));
             EXPECT_TRUE(d.videoInfo);
             EXPECT_FALSE(d.videoPort || d.dvDecoder || d.nameUnreadable || d.compressedOnly);
         }},
        {"  name = Tuner card ; kind=pattern; pattern=ball; sizes=320x240, 160x120 ;",
         [](const VirtualDevice& d) {
             EXPECT_EQ(d.name, "Tuner card");
             EXPECT_EQ(d.pattern, "ball");
             EXPECT_EQ(d.sizes, (std::vector<FrameSize>{{320, 240}, {160, 120}}));
             EXPECT_TRUE(d.Accepts(160, 120));
             EXPECT_FALSE(d.Accepts(352, 288));
         }},
        {"name=Clip; kind=file; file=/tmp/clip.avi; sizes=any",
         [](const VirtualDevice& d) {
             EXPECT_EQ(d.kind, VirtualKind::File);
             EXPECT_EQ(d.path, "/tmp/clip.avi");
         }},
        {"name=Demo; kind=demo; script=assets/demo/walk.script; fail-after=90",
         [](const VirtualDevice& d) {
             EXPECT_EQ(d.kind, VirtualKind::Demo);
             EXPECT_EQ(d.path, "assets/demo/walk.script");
             EXPECT_EQ(d.failAfter, 90);
         }},
        {"name=Demo; kind=demo", [](const VirtualDevice& d) { EXPECT_EQ(d.path, ""); }},
        {"name=Capture board; kind=pattern; crossbar=Composite,S-Video,Tuner; video-port=yes; "
         "dv-decoder=true; name-unreadable=1; format=other; compressed-only=yes",
         [](const VirtualDevice& d) {
             EXPECT_EQ(d.crossbarInputs,
                       (std::vector<std::string>{"Composite", "S-Video", "Tuner"}));
             EXPECT_TRUE(d.videoPort && d.dvDecoder && d.nameUnreadable && d.compressedOnly);
             EXPECT_FALSE(d.videoInfo);
         }},
        {"name=Caméra ünïcode; kind=pattern; video-port=no",
         [](const VirtualDevice& d) {
             EXPECT_EQ(d.name, "Caméra ünïcode");
             EXPECT_FALSE(d.videoPort);
         }},
    };
    for (const Case& c : cases) {
        VirtualDevice d;
        std::string error;
        ASSERT_TRUE(ParseVirtualDeviceLine(c.line, &d, &error)) << c.line << ": " << error;
        EXPECT_EQ(error, "");
        c.check(d);
    }
}

TEST(VirtualDeviceLine, BlankAndCommentLinesDeclareNothing)
{
    for (const char* line : {"", "   ", "\t\r", "# name=X; kind=pattern", "   # note"}) {
        VirtualDevice d;
        std::string error = "stale";
        EXPECT_FALSE(ParseVirtualDeviceLine(line, &d, &error)) << line;
        EXPECT_EQ(error, "") << line;
    }
}

TEST(VirtualDeviceLine, BadLines)
{
    struct Case {
        std::string line;
        const char* reason;  // a part of the message
    };
    const Case cases[] = {
        {"kind=pattern", "no name"},
        {"name=X", "no kind"},
        {"name=; kind=pattern", "name must be"},
        {"name=" + std::string(256, 'a') + "; kind=pattern", "name must be"},
        {"name=Bad\xC3; kind=pattern", "name must be"},
        {"name=Bad\xFF" "x; kind=pattern", "name must be"},
        {"name=Tab\there; kind=pattern", "name must be"},
        {"name=X; kind=camera", "kind must be"},
        {"name=X; kind=pattern; kind=demo", "given twice"},
        {"name=X; kind=pattern; colour=red", "unknown field"},
        {"name=X; kind=pattern; sizes", "not key=value"},
        {"name=X; kind=pattern; sizes=", "sizes must be"},
        {"name=X; kind=pattern; sizes=320", "sizes must be"},
        {"name=X; kind=pattern; sizes=320x", "sizes must be"},
        {"name=X; kind=pattern; sizes=0x240", "sizes must be"},
        {"name=X; kind=pattern; sizes=4097x240", "sizes must be"},
        {"name=X; kind=pattern; sizes=-320x240", "sizes must be"},
        {"name=X; kind=pattern; sizes=99999999999999999999x1", "sizes must be"},
        {"name=X; kind=pattern; sizes=320x240,,160x120", "sizes must be"},
        {"name=X; kind=pattern; pattern=plaid", "unknown pattern"},
        {"name=X; kind=demo; pattern=ball", "belongs to kind pattern"},
        {"name=X; kind=file", "needs file"},
        {"name=X; kind=file; file=", "needs a path"},
        {"name=X; kind=pattern; file=/tmp/a", "belongs to kind file"},
        {"name=X; kind=pattern; script=/tmp/a", "belongs to kind demo"},
        {"name=X; kind=pattern; crossbar=", "crossbar must"},
        {"name=X; kind=pattern; crossbar=A,,B", "crossbar must"},
        {"name=X; kind=pattern; video-port=maybe", "yes or no"},
        {"name=X; kind=pattern; format=yuv", "format must be"},
        {"name=X; kind=pattern; fail-after=0", "fail-after must"},
        {"name=X; kind=pattern; fail-after=10s", "fail-after must"},
    };
    for (const Case& c : cases) {
        VirtualDevice d;
        d.name = "untouched";
        std::string error;
        EXPECT_FALSE(ParseVirtualDeviceLine(c.line, &d, &error)) << c.line;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.line << " -> " << error;
        EXPECT_EQ(d.name, "untouched") << c.line;
    }
    std::string many = "name=X; kind=pattern; sizes=1x1";
    for (int i = 0; i < 64; ++i)
        many += ",2x2";
    VirtualDevice d;
    std::string error;
    EXPECT_FALSE(ParseVirtualDeviceLine(many, &d, &error));
}

TEST(VirtualDeviceFile, BadLinesAreReportedAndSkipped)
{
    testing::internal::CaptureStderr();
    const std::vector<VirtualDevice> devices = ParseVirtualDevices(
        "# devices\n"
        "name=One; kind=pattern\n"
        "name=Broken; kind=nothing\n"
        "\n"
        "name=Two; kind=demo\n"
        "garbage\n",
        "devices.txt");
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].name, "One");
    EXPECT_EQ(devices[1].name, "Two");
    EXPECT_NE(err.find("devices.txt:3: kind must be"), std::string::npos) << err;
    EXPECT_NE(err.find("devices.txt:6: "), std::string::npos) << err;
}

TEST(VirtualDeviceFile, BinaryJunkNeverCrashes)
{
    std::string junk;
    unsigned x = 12345;
    for (int i = 0; i < 20000; ++i) {
        x = x * 1103515245u + 12345u;
        junk += static_cast<char>(x >> 16);
    }
    testing::internal::CaptureStderr();
    ParseVirtualDevices(junk, "junk");
    testing::internal::GetCapturedStderr();
}

}  // namespace
