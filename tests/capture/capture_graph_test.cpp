// Capture control over real pipelines: virtual devices, the registered
// frame-tap module, the platform's graph; error texts through the box's hook.
#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture_graph.h"
#include "capture_internal.h"
#include "com/com.h"
#include "devices.h"
#include "temp_registry.h"

namespace {

using Clock = std::chrono::steady_clock;

// Records what each call reached, and with which geometry and rows.
class RecordingFilter : public COrvexFilter {
public:
    std::vector<std::string> calls;  // UI thread only
    std::atomic<int> frames{0};
    std::atomic<int> width{0}, height{0};
    std::mutex rowsLock;
    std::vector<unsigned char> firstRow, lastRow;

protected:
    void FilterStart() override { calls.push_back("start"); }
    void FilterStop() override { calls.push_back("stop"); }
    void Transform(unsigned char* frame) override
    {
        const int w = OrvexFilterAccess::Width(), h = OrvexFilterAccess::Height();
        const int step = OrvexFilterAccess::WidthStep();
        width = w;
        height = h;
        if (h > 0) {
            std::lock_guard lock(rowsLock);
            firstRow.assign(frame, frame + 3 * w);
            lastRow.assign(frame + std::size_t(step) * (h - 1),
                           frame + std::size_t(step) * (h - 1) + 3 * w);
        }
        ++frames;
    }
};

class CaptureGraphTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry_ = std::make_unique<TempRegistry>();
        const std::string module = registry_->CopyModule(PROXY_MODULE, "OrvexProxy.ax");
        ASSERT_EQ(CallRegistration(module, true), S_OK);
        setenv("ORVEX_REAL_DEVICES", "0", 1);
        previousHook_ = SetErrorBoxHook([this](const char*, const char* text) {
            boxes_.push_back(text);
            return IDOK;
        });
        orvexSetResolution(320, 240);
        orvexSetImageGeometry(0, 0);
        g_nFrameWidth = g_nFrameHeight = 0;
        g_nCurrentSource = 0;
    }
    void TearDown() override
    {
        orvexFinalize();
        while (orvexGetFilterCount() > 0)
            orvexPopFilter();
        g_hWnd = nullptr;  // a new load of the library, as far as the tests go
        SetErrorBoxHook(previousHook_);
        unsetenv("ORVEX_VIRTUAL_DEVICES");
        unsetenv("ORVEX_STALL_TIMEOUT_MS");
        if (!devices_.empty())
            std::filesystem::remove(devices_);
    }

    // Declares the virtual devices and reads the list again, as a load would.
    void Devices(const std::string& lines)
    {
        devices_ = registry_->Folder() / "devices";
        std::ofstream(devices_) << lines;
        setenv("ORVEX_VIRTUAL_DEVICES", devices_.c_str(), 1);
        orvexEnumerateSources();
    }

    HWND Window() { return reinterpret_cast<HWND>(&window_); }

    // Runs the UI thread's loop until done() or the time is up.
    template <class Done>
    bool RunUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        const auto end = Clock::now() + limit;
        while (!done() && Clock::now() < end) {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }

    bool HasFilter(const char* name)
    {
        IBaseFilter* f = nullptr;
        if (g_pGraphBuilder == nullptr || FAILED(g_pGraphBuilder->FindFilterByName(name, &f)))
            return false;
        f->Release();
        return true;
    }

    // Filters outlive the stack that points at them.
    RecordingFilter& NewFilter()
    {
        filters_.push_back(std::make_unique<RecordingFilter>());
        return *filters_.back();
    }

    std::vector<std::unique_ptr<RecordingFilter>> filters_;
    std::unique_ptr<TempRegistry> registry_;
    std::filesystem::path devices_;
    std::vector<std::string> boxes_;
    ErrorBoxHook previousHook_;
    char window_ = 0;
};

const char* kPattern = "name=Bars; kind=pattern; pattern=smpte\n";

TEST_F(CaptureGraphTest, NoDeviceThenStartThenSecondInitialise)
{
    Devices("");
    EXPECT_EQ(orvexInitialize(Window()), E_FAIL);
    EXPECT_EQ(orvexStartCapture(), E_FAIL);
    EXPECT_EQ(orvexInitialize(Window()), E_FAIL);
    EXPECT_EQ(boxes_, (std::vector<std::string>{"No Capture Devices Found!",
                                                "Incorrect Capture Device!",
                                                "Orvex has already been initiated!"}));
    EXPECT_EQ(orvexIsRunning(), 0);
}

TEST_F(CaptureGraphTest, SourceChosenBeforeInitialiseIsTheOneOpened)
{
    // The second device has a name that cannot be read: its slot stays
    // empty, and the third keeps index 2.
    Devices(std::string(kPattern) +
            "name=Hidden; kind=pattern; name-unreadable=yes\n"
            "name=Small; kind=pattern; sizes=160x120\n");
    EXPECT_EQ(orvexGetSourceCount(), 2);
    EXPECT_EQ(orvexGetSourceName(1), nullptr);
    EXPECT_EQ(orvexSetSource(2), S_OK);
    EXPECT_EQ(g_pGraphBuilder, nullptr);  // only kept
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    EXPECT_EQ(g_nCaptureState, 1);
    EXPECT_EQ(orvexGetCurrentSource(), 2);
    EXPECT_EQ(g_nFrameWidth, 160);
    EXPECT_EQ(g_nFrameHeight, 120);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(CaptureGraphTest, IndexPastTheDevicesFailsInCreateGraph)
{
    Devices(kPattern);
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    for (int index : {1, 7}) {
        boxes_.clear();
        EXPECT_EQ(orvexSetSource(index), E_FAIL);
        EXPECT_EQ(boxes_, (std::vector<std::string>{
                              "FAILED(lastHRESULT=0x80004005) in orvexCreateGraph()\n"}));
        EXPECT_EQ(g_nCaptureState, 0);
        // Without a graph nothing may run.
        EXPECT_EQ(orvexStartCapture(), E_FAIL);
    }
    // A device that is there can be chosen again.
    boxes_.clear();
    EXPECT_EQ(orvexSetSource(0), S_OK);
    EXPECT_EQ(g_nCaptureState, 1);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(CaptureGraphTest, GraphHoldsTheCapturePathByName)
{
    Devices(kPattern);
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    for (const char* name : {"Video Capture", "OrvexProxy Filter", "Video Renderer"})
        EXPECT_TRUE(HasFilter(name)) << name;
    EXPECT_FALSE(HasFilter("Overlay Mixer"));
    EXPECT_EQ(g_bOverlay, 0);
    EXPECT_EQ(orvexIsSourceCrossBar(), 0);
    EXPECT_EQ(g_pDVDecoder, nullptr);
    EXPECT_NE(g_pMediaControl, nullptr);
    EXPECT_NE(g_pVideoWindow, nullptr);
    EXPECT_NE(g_pBasicVideo, nullptr);
}

TEST_F(CaptureGraphTest, VideoPortGoesToAnOverlayRendererNeverShown)
{
    Devices("name=Port; kind=pattern; video-port=yes\n");
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    EXPECT_EQ(g_bOverlay, 1);
    EXPECT_TRUE(HasFilter("Overlay Mixer"));
    IBaseFilter* renderer = nullptr;
    ASSERT_EQ(g_pGraphBuilder->FindFilterByName("Overlay Video Renderer", &renderer), S_OK);
    IVideoWindow* window = nullptr;
    ASSERT_EQ(renderer->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&window)), S_OK);
    long visible = OATRUE;
    OAHWND owner = Window();
    window->get_Visible(&visible);
    window->get_Owner(&owner);
    EXPECT_EQ(visible, OAFALSE);
    EXPECT_EQ(owner, nullptr);
    window->Release();
    renderer->Release();
    // The capture path still reaches the filters.
    RecordingFilter& filter = NewFilter();
    orvexPushFilter(&filter);
    ASSERT_EQ(orvexStartCapture(), S_OK);
    EXPECT_TRUE(RunUntil([&] { return filter.frames > 2; }));
    orvexStopCapture();
}

TEST_F(CaptureGraphTest, CrossbarAndDvDecoderAreFound)
{
    Devices("name=Board; kind=pattern; crossbar=Composite,S-Video\n"
            "name=Camcorder; kind=pattern; dv-decoder=yes\n");
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    EXPECT_EQ(orvexIsSourceCrossBar(), 1);
    EXPECT_EQ(g_pDVDecoder, nullptr);
    ASSERT_EQ(orvexSetSource(1), S_OK);
    EXPECT_EQ(orvexIsSourceCrossBar(), 0);
    ASSERT_NE(g_pDVDecoder, nullptr);
    EXPECT_TRUE(HasFilter("DV Video Decoder"));
}

TEST_F(CaptureGraphTest, SizeFallbackDescribesTheFrames)
{
    Devices("name=Board; kind=pattern; sizes=320x240,160x120\n");
    orvexSetResolution(352, 288);
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    EXPECT_EQ(g_nRequestedWidth, 320);
    EXPECT_EQ(g_nRequestedHeight, 240);
    EXPECT_EQ(OrvexFilterAccess::WidthStep(), 960);
    EXPECT_EQ(OrvexFilterAccess::Size(), 230400);
    RecordingFilter& filter = NewFilter();
    orvexPushFilter(&filter);
    ASSERT_EQ(orvexStartCapture(), S_OK);
    EXPECT_TRUE(RunUntil([&] { return filter.frames > 0; }));
    EXPECT_EQ(filter.width, 320);
    EXPECT_EQ(filter.height, 240);
}

// Left as they were by the build; filters still never run with a geometry
// that does not describe their frames.
TEST_F(CaptureGraphTest, DeviceRefusingEverySizeKeepsItsFormat)
{
    for (const char* line : {"name=Odd; kind=pattern; sizes=100x80\n",
                             "name=Other; kind=pattern; sizes=100x80; format=other\n"}) {
        SCOPED_TRACE(line);
        Devices(line);
        orvexSetImageGeometry(0, 0);
        orvexSetResolution(320, 240);
        ASSERT_EQ(orvexInitialize(Window()), S_OK);
        EXPECT_EQ(g_nCaptureState, 1);
        EXPECT_EQ(OrvexFilterAccess::Width(), 0);
        EXPECT_EQ(g_nFrameWidth, 0);
        EXPECT_EQ(g_nRequestedWidth, 320);
        IOrvexFormatLog* log = nullptr;
        ASSERT_EQ(g_pStreamConfig->QueryInterface(IID_IOrvexFormatLog,
                                                  reinterpret_cast<void**>(&log)),
                  S_OK);
        // A format block of another kind is not written at all.
        const bool other = std::string(line).find("format=other") != std::string::npos;
        EXPECT_EQ(log->SetFormatCalls(), other ? 0 : 5);
        log->Release();

        RecordingFilter& filter = NewFilter();
        orvexPushFilter(&filter);
        ASSERT_EQ(orvexStartCapture(), S_OK);
        EXPECT_TRUE(RunUntil([&] { return filter.frames > 0; }));
        EXPECT_EQ(filter.width, 100);
        EXPECT_EQ(filter.height, 80);
        orvexFinalize();
        orvexPopFilter();
        g_hWnd = nullptr;
    }
}

TEST_F(CaptureGraphTest, FramesArriveBottomUp)
{
    // The test picture's top rows are bars from white on the left; its bottom
    // row starts dark.
    Devices(kPattern);
    orvexSetResolution(352, 288);
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    RecordingFilter& filter = NewFilter();
    orvexPushFilter(&filter);
    ASSERT_EQ(orvexStartCapture(), S_OK);
    ASSERT_TRUE(RunUntil([&] { return filter.frames > 2; }));
    orvexStopCapture();
    EXPECT_EQ(filter.width, 352);
    EXPECT_EQ(filter.height, 288);
    std::lock_guard lock(filter.rowsLock);
    const unsigned char* top = filter.lastRow.data();  // the last row in memory
    const unsigned char* bottom = filter.firstRow.data();
    EXPECT_GT(top[0] + top[1] + top[2], 3 * 150);
    EXPECT_LT(bottom[0] + bottom[1] + bottom[2], 3 * 100);
}

TEST_F(CaptureGraphTest, DemoCameraReachesThePushedFilter)
{
    Devices("name=Demo; kind=demo\n");
    orvexSetResolution(352, 288);
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    RecordingFilter& filter = NewFilter();
    orvexPushFilter(&filter);
    ASSERT_EQ(orvexStartCapture(), S_OK);
    ASSERT_TRUE(RunUntil([&] { return filter.frames >= 10; }));
    orvexStopCapture();
    EXPECT_EQ(filter.width, 352);
    EXPECT_EQ(filter.height, 288);
}

TEST_F(CaptureGraphTest, StartAndStopReachEveryPushedFilterOnce)
{
    Devices(std::string(kPattern) + "name=Second; kind=pattern; pattern=ball\n");
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    RecordingFilter& a = NewFilter();
    RecordingFilter& b = NewFilter();
    orvexPushFilter(&a);
    orvexPushFilter(&b);
    b.SetEnable(0);  // enabled or not
    ASSERT_EQ(orvexStartCapture(), S_OK);
    EXPECT_EQ(orvexStartCapture(), S_OK);  // a second start changes nothing
    EXPECT_EQ(a.calls, std::vector<std::string>{"start"});

    // While running the stack does not change; the push refusal comes before
    // the capacity test.
    EXPECT_EQ(orvexPushFilter(nullptr), IDOK);
    orvexPopFilter();
    EXPECT_EQ(orvexGetFilterCount(), 2);
    EXPECT_EQ(boxes_, (std::vector<std::string>{"Cannot Push Filter. Capture is Running!",
                                                "Cannot Pop Filter. Capture is Running!"}));

    ASSERT_EQ(orvexSetSource(1), S_OK);
    EXPECT_EQ(orvexIsRunning(), 1);
    for (RecordingFilter* f : {&a, &b})
        EXPECT_EQ(f->calls, (std::vector<std::string>{"start", "stop", "start"}));
    const int before = a.frames;
    EXPECT_TRUE(RunUntil([&] { return a.frames > before + 2; }));
    EXPECT_EQ(b.frames, 0);
}

TEST_F(CaptureGraphTest, VanishingDeviceGivesOneBoxAndRestartsWhenChosenAgain)
{
    Devices("name=Loose; kind=pattern; fail-after=5\n");
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    RecordingFilter& filter = NewFilter();
    orvexPushFilter(&filter);
    ASSERT_EQ(orvexStartCapture(), S_OK);
    ASSERT_TRUE(RunUntil([&] { return !boxes_.empty(); }));
    RunUntil([] { return false; }, std::chrono::milliseconds(300));  // nothing more comes
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].find("has been removed"), std::string::npos) << boxes_[0];
    EXPECT_EQ(orvexIsRunning(), 0);
    EXPECT_EQ(filter.calls, (std::vector<std::string>{"start", "stop"}));

    // The device is plugged in again: capture comes back by itself (until
    // this device fails again).
    orvexOnDeviceArrival();
    EXPECT_EQ(orvexIsRunning(), 1);
    ASSERT_TRUE(RunUntil([&] { return boxes_.size() == 2; }));

    const auto t0 = Clock::now();
    EXPECT_EQ(orvexStopCapture(), S_OK);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2));
    orvexOnDeviceArrival();  // stopped by the host: stays stopped
    ASSERT_EQ(orvexSetSource(0), S_OK);
    EXPECT_EQ(orvexIsRunning(), 0);

    ASSERT_EQ(orvexStartCapture(), S_OK);
    ASSERT_TRUE(RunUntil([&] { return boxes_.size() == 3; }));
    // After a fault, choosing the device again from the menu starts it again.
    ASSERT_EQ(orvexSetSource(0), S_OK);
    EXPECT_EQ(orvexIsRunning(), 1);
}

TEST_F(CaptureGraphTest, SilentDeviceIsNoticed)
{
    setenv("ORVEX_STALL_TIMEOUT_MS", "300", 1);
    Devices("name=Sleepy; kind=pattern; stall-after=3\n");
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    ASSERT_EQ(orvexStartCapture(), S_OK);
    ASSERT_TRUE(RunUntil([&] { return !boxes_.empty(); }));
    RunUntil([] { return false; }, std::chrono::milliseconds(600));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].find("stopped delivering frames"), std::string::npos) << boxes_[0];
    EXPECT_EQ(orvexIsRunning(), 0);
}

TEST_F(CaptureGraphTest, HundredStartStopCycles)
{
    Devices(kPattern);
    ASSERT_EQ(orvexInitialize(Window()), S_OK);
    RecordingFilter& filter = NewFilter();
    orvexPushFilter(&filter);
    const auto t0 = Clock::now();
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(orvexStartCapture(), S_OK);
        ASSERT_EQ(orvexStopCapture(), S_OK);
    }
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(60));
    EXPECT_EQ(filter.calls.size(), 200u);
    EXPECT_TRUE(boxes_.empty());
}

}  // namespace
