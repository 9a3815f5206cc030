// The device list and the frame size choice over virtual devices.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "capture_internal.h"
#include "com/com.h"
#include "devices.h"

namespace {

using Size = std::pair<int, int>;

// Writes a virtual device file for the test's lifetime and hides real
// cameras, so that the list holds exactly what the test declares.
class VirtualDeviceFile {
public:
    explicit VirtualDeviceFile(const std::string& text)
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "orvex-devices-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        close(fd);
        path_ = pattern;
        std::ofstream(path_) << text;
        setenv("ORVEX_VIRTUAL_DEVICES", path_.c_str(), 1);
        setenv("ORVEX_REAL_DEVICES", "0", 1);
    }
    ~VirtualDeviceFile()
    {
        unsetenv("ORVEX_VIRTUAL_DEVICES");
        std::filesystem::remove(path_);
    }

private:
    std::string path_;
};

class DevicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        setenv("ORVEX_REAL_DEVICES", "0", 1);
        orvexFreeSources();
        g_nRequestedWidth = 320;
        g_nRequestedHeight = 240;
        orvexSetImageGeometry(0, 0);
    }
    void TearDown() override
    {
        if (g_pStreamConfig) {
            g_pStreamConfig->Release();
            g_pStreamConfig = nullptr;
        }
        orvexFreeSources();
        CoUninitialize();
    }

    // Binds device index of the current list and looks up its format control
    // into g_pStreamConfig, as the graph's source step does.
    void BindDevice(int index)
    {
        ICreateDevEnum* devEnum = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ICreateDevEnum, reinterpret_cast<void**>(&devEnum)),
                  S_OK);
        IEnumMoniker* monikers = nullptr;
        ASSERT_EQ(devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0),
                  S_OK);
        IMoniker* moniker = nullptr;
        for (int i = 0; i <= index; ++i) {
            if (moniker)
                moniker->Release();
            ASSERT_EQ(monikers->Next(1, &moniker, nullptr), S_OK);
        }
        IBaseFilter* source = nullptr;
        ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                        reinterpret_cast<void**>(&source)),
                  S_OK);
        ASSERT_EQ(source->QueryInterface(IID_IAMStreamConfig,
                                         reinterpret_cast<void**>(&g_pStreamConfig)),
                  S_OK);
        source->Release();
        moniker->Release();
        monikers->Release();
        devEnum->Release();
    }

    // Runs the chooser on the bound device's current format.
    bool Choose()
    {
        AM_MEDIA_TYPE* mt = nullptr;
        EXPECT_EQ(g_pStreamConfig->GetFormat(&mt), S_OK);
        const bool chosen = orvexChooseResolution(mt);
        DeleteMediaType(mt);
        return chosen;
    }

    std::vector<Size> Attempts(std::vector<bool>* accepted = nullptr)
    {
        IOrvexFormatLog* log = nullptr;
        EXPECT_EQ(
            g_pStreamConfig->QueryInterface(IID_IOrvexFormatLog, reinterpret_cast<void**>(&log)),
            S_OK);
        std::vector<Size> sizes;
        int w, h;
        bool ok;
        for (int i = 0; log->Attempt(i, &w, &h, &ok); ++i) {
            sizes.emplace_back(w, h);
            if (accepted)
                accepted->push_back(ok);
        }
        EXPECT_EQ(log->SetFormatCalls(), static_cast<int>(sizes.size()));
        log->Release();
        return sizes;
    }
};

std::vector<std::string> Names()
{
    std::vector<std::string> names;
    for (int i = 0; i < kMaxSources; ++i)
        names.push_back(orvexGetSourceName(i) ? orvexGetSourceName(i) : "(null)");
    return names;
}

TEST_F(DevicesTest, LoadStateIsTheDefaultRequest)
{
    EXPECT_EQ(g_nCurrentSource, 0);
    EXPECT_EQ(orvexGetCurrentSource(), 0);
    orvexSetResolution(352, 288);
    EXPECT_EQ(g_nRequestedWidth, 352);
    EXPECT_EQ(g_nRequestedHeight, 288);
}

TEST_F(DevicesTest, NoDeviceLeavesEverySlotEmpty)
{
    unsetenv("ORVEX_VIRTUAL_DEVICES");
    orvexEnumerateSources();
    EXPECT_EQ(orvexGetSourceCount(), 0);
    for (int i = -1; i <= kMaxSources; ++i)
        EXPECT_EQ(orvexGetSourceName(i), nullptr) << i;
}

TEST_F(DevicesTest, UnreadableNameKeepsItsSlotAndLaterIndexes)
{
    VirtualDeviceFile file("name=First; kind=pattern\n"
                           "name=Hidden; kind=pattern; name-unreadable=yes\n"
                           "name=Third; kind=demo\n");
    orvexEnumerateSources();
    EXPECT_EQ(orvexGetSourceCount(), 2);
    const std::vector<std::string> names = Names();
    EXPECT_EQ(names[0], "First");
    EXPECT_EQ(names[1], "(null)");
    EXPECT_EQ(names[2], "Third");
    EXPECT_EQ(names[3], "(null)");
}

TEST_F(DevicesTest, TenSlotsAndNamesOfAtMost49Characters)
{
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += "name=Camera " + std::to_string(i) + "; kind=pattern\n";
    // 60 characters, some of two bytes: cut after the 49th character.
    std::string longName;
    for (int i = 0; i < 30; ++i)
        longName += "\xC3\xA9x";  // "éx"
    text = "name=" + longName + "; kind=pattern\n" + text;
    VirtualDeviceFile file(text);
    orvexEnumerateSources();
    EXPECT_EQ(orvexGetSourceCount(), kMaxSources);
    const std::string first = orvexGetSourceName(0);
    EXPECT_EQ(first, longName.substr(0, 24 * 3 + 2));  // 24 x "éx" and one more "é"
    EXPECT_EQ(orvexGetSourceName(9), std::string("Camera 8"));

    orvexFreeSources();
    EXPECT_EQ(orvexGetSourceCount(), 0);
    for (int i = 0; i < kMaxSources; ++i)
        EXPECT_EQ(orvexGetSourceName(i), nullptr);
}

TEST_F(DevicesTest, RepeatedEnumerationDoesNotAddUp)
{
    VirtualDeviceFile file("name=Only; kind=pattern\n");
    orvexEnumerateSources();
    orvexEnumerateSources();
    EXPECT_EQ(orvexGetSourceCount(), 1);
}

TEST_F(DevicesTest, DeviceRefusing352x288Takes320x240)
{
    VirtualDeviceFile file("name=Small; kind=pattern; sizes=320x240,160x120\n");
    BindDevice(0);
    orvexSetResolution(352, 288);
    ASSERT_TRUE(Choose());
    std::vector<bool> accepted;
    EXPECT_EQ(Attempts(&accepted), (std::vector<Size>{{352, 288}, {320, 240}}));
    EXPECT_EQ(accepted, (std::vector<bool>{false, true}));
    EXPECT_EQ(g_nRequestedWidth, 320);
    EXPECT_EQ(g_nRequestedHeight, 240);
    orvexSetImageGeometry(g_nRequestedWidth, g_nRequestedHeight);
    EXPECT_EQ(OrvexFilterAccess::WidthStep(), 960);
    EXPECT_EQ(OrvexFilterAccess::Size(), 230400);

    // The device now delivers the accepted size.
    AM_MEDIA_TYPE* mt = nullptr;
    ASSERT_EQ(g_pStreamConfig->GetFormat(&mt), S_OK);
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
    EXPECT_EQ(vih->bmiHeader.biWidth, 320);
    EXPECT_EQ(vih->bmiHeader.biHeight, 240);
    DeleteMediaType(mt);
}

TEST_F(DevicesTest, DeviceRefusingAllFiveSizes)
{
    VirtualDeviceFile file("name=Odd; kind=pattern; sizes=123x45\n");
    BindDevice(0);
    orvexSetResolution(352, 288);
    EXPECT_FALSE(Choose());
    EXPECT_EQ(Attempts().size(), 5u);
    EXPECT_EQ(g_nRequestedWidth, 352);
    EXPECT_EQ(g_nRequestedHeight, 288);
    EXPECT_EQ(OrvexFilterAccess::Width(), 0);
    EXPECT_EQ(OrvexFilterAccess::WidthStep(), 0);
}

TEST_F(DevicesTest, AttemptOrders)
{
    struct Case {
        Size request;
        std::vector<Size> order;
        std::vector<int> distances;
    };
    const Case cases[] = {
        {{352, 288},
         {{352, 288}, {320, 240}, {160, 120}, {80, 60}, {640, 480}},
         {205824, 0, 24576, 82176, 96576}},
        {{320, 240},
         {{320, 240}, {352, 288}, {160, 120}, {80, 60}, {640, 480}},
         {230400, 24576, 0, 57600, 72000}},
        // 89088 is 12288 from both 352 x 288 and 320 x 240: the later row first.
        {{348, 256},
         {{320, 240}, {352, 288}, {160, 120}, {80, 60}, {640, 480}},
         {218112, 12288, 12288, 69888, 84288}},
        {{640, 480},
         {{640, 480}, {352, 288}, {320, 240}, {160, 120}, {80, 60}},
         {0, 205824, 230400, 288000, 302400}},
        {{0, 0},
         {{80, 60}, {160, 120}, {320, 240}, {352, 288}, {640, 480}},
         {307200, 101376, 76800, 19200, 4800}},
    };
    for (const Case& c : cases) {
        VirtualDeviceFile file("name=Nothing fits; kind=pattern; sizes=1x1\n");
        BindDevice(0);
        orvexSetResolution(c.request.first, c.request.second);
        EXPECT_FALSE(Choose());
        EXPECT_EQ(Attempts(), c.order) << c.request.first << " x " << c.request.second;
        for (int r = 0; r < kResolutionCount; ++r) {
            EXPECT_EQ(g_ResolutionTable[r].distance, c.distances[r]) << r;
            EXPECT_TRUE(g_ResolutionTable[r].tried);
        }
        g_pStreamConfig->Release();
        g_pStreamConfig = nullptr;
    }
}

TEST_F(DevicesTest, HugeRequestPrefersTheLargestSize)
{
    VirtualDeviceFile file("name=Any; kind=pattern\n");
    BindDevice(0);
    orvexSetResolution(100000, 100000);  // an area past 32 bits
    ASSERT_TRUE(Choose());
    EXPECT_EQ(Attempts(), (std::vector<Size>{{640, 480}}));
    EXPECT_EQ(g_nRequestedWidth, 640);
}

TEST_F(DevicesTest, FormatThatIsNotVideoInfoIsNotWritten)
{
    VirtualDeviceFile file("name=Other; kind=pattern; format=other\n");
    BindDevice(0);
    AM_MEDIA_TYPE* mt = nullptr;
    ASSERT_EQ(g_pStreamConfig->GetFormat(&mt), S_OK);
    std::vector<BYTE> before(mt->pbFormat, mt->pbFormat + mt->cbFormat);
    orvexSetResolution(352, 288);
    EXPECT_FALSE(orvexChooseResolution(mt));
    EXPECT_EQ(std::vector<BYTE>(mt->pbFormat, mt->pbFormat + mt->cbFormat), before);
    DeleteMediaType(mt);
    EXPECT_TRUE(Attempts().empty());
    EXPECT_EQ(g_nRequestedWidth, 352);
}

TEST_F(DevicesTest, ChooserWithoutFormatControlOrType)
{
    g_pStreamConfig = nullptr;
    CMediaType mt;
    EXPECT_FALSE(orvexChooseResolution(&mt));
    VirtualDeviceFile file("name=Any; kind=pattern\n");
    BindDevice(0);
    EXPECT_FALSE(orvexChooseResolution(nullptr));
    EXPECT_FALSE(orvexChooseResolution(&mt));  // no format block
    EXPECT_TRUE(Attempts().empty());
}

TEST_F(DevicesTest, CompressedOnlyDeviceOffersMjpeg)
{
    VirtualDeviceFile file("name=Jpeg; kind=pattern; compressed-only=yes; sizes=352x288\n");
    BindDevice(0);
    AM_MEDIA_TYPE* mt = nullptr;
    ASSERT_EQ(g_pStreamConfig->GetFormat(&mt), S_OK);
    EXPECT_EQ(mt->subtype, MEDIASUBTYPE_MJPG);
    orvexSetResolution(352, 288);
    EXPECT_TRUE(orvexChooseResolution(mt));
    // Raw frames are not offered at all.
    mt->subtype = MEDIASUBTYPE_RGB24;
    EXPECT_EQ(g_pStreamConfig->SetFormat(mt), VFW_E_INVALIDMEDIATYPE);
    DeleteMediaType(mt);
}

}  // namespace
