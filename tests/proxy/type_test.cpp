// The frame tap's type test: 24-bit RGB video only, judged on major type,
// subtype and the bit count of a whole VIDEOINFOHEADER; and the media types
// the graph derives from caps, so that only BGR frames pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "proxy_fixture.h"

namespace {

struct TypeSpec {
    const char* name;
    GUID major;
    GUID subtype;
    GUID formatType;
    int formatBytes;  // -1: a whole VIDEOINFOHEADER
    WORD bits;
    LONG width, height;
    HRESULT expected;
};

CMediaType Make(const TypeSpec& spec)
{
    CMediaType mt;
    mt.SetType(&spec.major);
    mt.SetSubtype(&spec.subtype);
    mt.SetFormatType(&spec.formatType);
    VIDEOINFOHEADER vih{};
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = spec.width;
    vih.bmiHeader.biHeight = spec.height;
    vih.bmiHeader.biBitCount = spec.bits;
    int bytes = spec.formatBytes < 0 ? int(sizeof vih) : spec.formatBytes;
    std::vector<BYTE> block(std::max(bytes, 1), 0);
    std::memcpy(block.data(), &vih, std::min<std::size_t>(bytes, sizeof vih));
    if (bytes > 0)
        mt.SetFormat(block.data(), bytes);
    return mt;
}

using TypeTest = FrameTapFixture;

TEST_F(TypeTest, AcceptsOnly24BitRgbVideo)
{
    const int whole = -1;
    // clang-format off
    const TypeSpec cases[] = {
        {"RGB24 352x288 bottom-up", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, whole, 24, 352, 288, S_OK},
        {"RGB24 top-down", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, whole, 24, 352, -288, S_OK},
        {"RGB24 385x289", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, whole, 24, 385, 289, S_OK},
        {"RGB24 1x1", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, whole, 24, 1, 1, S_OK},
        {"RGB24 size 0", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, whole, 24, 0, 0, S_OK},
        {"RGB24 larger block", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, 200, 24, 64, 48, S_OK},
        {"RGB32", MEDIATYPE_Video, MEDIASUBTYPE_RGB32, FORMAT_VideoInfo, whole, 32, 352, 288, S_FALSE},
        {"RGB565", MEDIATYPE_Video, MEDIASUBTYPE_RGB565, FORMAT_VideoInfo, whole, 16, 352, 288, S_FALSE},
        {"RGB555", MEDIATYPE_Video, MEDIASUBTYPE_RGB555, FORMAT_VideoInfo, whole, 16, 352, 288, S_FALSE},
        {"YUY2", MEDIATYPE_Video, MEDIASUBTYPE_YUY2, FORMAT_VideoInfo, whole, 16, 352, 288, S_FALSE},
        {"I420 claiming 24", MEDIATYPE_Video, MEDIASUBTYPE_I420, FORMAT_VideoInfo, whole, 24, 352, 288, S_FALSE},
        {"RGB24 claiming 32 bits", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, whole, 32, 352, 288, S_FALSE},
        {"RGB24 claiming 16 bits", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, whole, 16, 352, 288, S_FALSE},
        {"RGB24 no format block", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, 0, 24, 352, 288, S_FALSE},
        {"RGB24 short block", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, 60, 24, 352, 288, S_FALSE},
        {"RGB24 foreign block", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_WaveFormatEx, whole, 24, 352, 288, S_FALSE},
        {"RGB24 no format type", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_None, whole, 24, 352, 288, S_FALSE},
        {"audio major", MEDIATYPE_Audio, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, whole, 24, 352, 288, S_FALSE},
        {"null major", MEDIATYPE_NULL, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, whole, 24, 352, 288, S_FALSE},
    };
    // clang-format on
    for (const TypeSpec& c : cases) {
        CMediaType mt = Make(c);
        EXPECT_EQ(base_->CheckInputType(&mt), c.expected) << c.name;
    }
    EXPECT_EQ(base_->CheckInputType(nullptr), E_POINTER);
}

TEST(CapsMediaType, BgrIsRgb24WithItsGeometry)
{
    CMediaType mt;
    ASSERT_EQ(MediaTypeFromCapsString(
                  "video/x-raw, format=BGR, width=385, height=289, framerate=25/1", &mt),
              S_OK);
    EXPECT_EQ(*mt.Type(), MEDIATYPE_Video);
    EXPECT_EQ(*mt.Subtype(), MEDIASUBTYPE_RGB24);
    EXPECT_EQ(*mt.FormatType(), FORMAT_VideoInfo);
    ASSERT_EQ(mt.FormatLength(), sizeof(VIDEOINFOHEADER));
    VIDEOINFOHEADER vih;
    std::memcpy(&vih, mt.Format(), sizeof vih);
    EXPECT_EQ(vih.bmiHeader.biBitCount, 24);
    EXPECT_EQ(vih.bmiHeader.biWidth, 385);
    EXPECT_EQ(vih.bmiHeader.biHeight, 289);  // bottom-up
    EXPECT_EQ(vih.bmiHeader.biCompression, BI_RGB);
    EXPECT_EQ(vih.bmiHeader.biSizeImage, 1156u * 289u);  // 3 * 385 padded to 1156
    EXPECT_EQ(vih.AvgTimePerFrame, 400000);
}

TEST(CapsMediaType, EachRawFormatHasItsOwnSubtypeAndBits)
{
    struct Case {
        const char* format;
        GUID subtype;
        WORD bits;
    };
    const Case cases[] = {
        {"BGR", MEDIASUBTYPE_RGB24, 24},  {"BGRx", MEDIASUBTYPE_RGB32, 32},
        {"BGRA", MEDIASUBTYPE_RGB32, 32}, {"RGB16", MEDIASUBTYPE_RGB565, 16},
        {"RGB15", MEDIASUBTYPE_RGB555, 16}, {"YUY2", MEDIASUBTYPE_YUY2, 16},
        {"UYVY", MEDIASUBTYPE_UYVY, 16},  {"I420", MEDIASUBTYPE_I420, 12},
        {"YV12", MEDIASUBTYPE_YV12, 12},  {"NV12", MEDIASUBTYPE_NV12, 12},
    };
    for (const Case& c : cases) {
        std::string caps = std::string("video/x-raw, format=") + c.format + ", width=64, height=48";
        CMediaType mt;
        ASSERT_EQ(MediaTypeFromCapsString(caps.c_str(), &mt), S_OK) << c.format;
        EXPECT_EQ(*mt.Subtype(), c.subtype) << c.format;
        VIDEOINFOHEADER vih;
        ASSERT_EQ(mt.FormatLength(), sizeof vih);
        std::memcpy(&vih, mt.Format(), sizeof vih);
        EXPECT_EQ(vih.bmiHeader.biBitCount, c.bits) << c.format;
    }
    // Red-first 24-bit and the other raw formats are never RGB24.
    for (const char* format : {"RGB", "xRGB", "GRAY8", "v308", "IYU2", "ABGR"}) {
        std::string caps = std::string("video/x-raw, format=") + format + ", width=64, height=48";
        CMediaType mt;
        ASSERT_EQ(MediaTypeFromCapsString(caps.c_str(), &mt), S_OK) << format;
        EXPECT_NE(*mt.Subtype(), MEDIASUBTYPE_RGB24) << format;
    }
    CMediaType mt;
    ASSERT_EQ(MediaTypeFromCapsString("image/jpeg, width=64, height=48", &mt), S_OK);
    EXPECT_EQ(*mt.Subtype(), MEDIASUBTYPE_MJPG);
    ASSERT_EQ(MediaTypeFromCapsString("audio/x-raw, format=S16LE", &mt), S_OK);
    EXPECT_EQ(*mt.Type(), MEDIATYPE_Audio);
    EXPECT_EQ(MediaTypeFromCapsString("not caps at all (", &mt), E_INVALIDARG);
}

}  // namespace
