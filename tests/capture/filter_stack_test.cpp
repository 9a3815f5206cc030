#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_internal.h"

namespace {

// Records what the capture library did to it, and marks each frame it sees.
class ProbeFilter : public COrvexFilter {
public:
    explicit ProbeFilter(std::vector<std::string>* log = nullptr, char mark = 0)
        : log_(log), mark_(mark)
    {
    }
    int starts = 0, stops = 0, frames = 0;

protected:
    void Transform(unsigned char* frame) override
    {
        ++frames;
        if (mark_)
            frame[0] = static_cast<unsigned char>(frame[0] * 2 + mark_);
        if (log_)
            log_->push_back(std::string("transform ") + mark_);
    }
    void FilterStart() override { ++starts; }
    void FilterStop() override { ++stops; }

private:
    std::vector<std::string>* log_;
    char mark_;
};

// Empties the stack and records the error box's texts instead of showing them.
class FilterStackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_nCaptureState = 0;
        while (orvexGetFilterCount() > 0)
            orvexPopFilter();
        SetErrorBoxHook([this](const char* caption, const char* text) {
            boxes.push_back(std::string(caption) + "|" + text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetErrorBoxHook({});
        g_nCaptureState = 0;
        while (orvexGetFilterCount() > 0)
            orvexPopFilter();
    }
    std::vector<std::string> boxes;
};

}  // namespace

TEST_F(FilterStackTest, TenFitAndTheEleventhIsRefused)
{
    ProbeFilter filters[11];
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(orvexPushFilter(&filters[i]), i + 1);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(orvexPushFilter(&filters[10]), IDOK);
    EXPECT_EQ(orvexGetFilterCount(), 10);
    EXPECT_EQ(boxes, std::vector<std::string>{"Orvex - ERROR|Filter Stack if Full!"});
}

TEST_F(FilterStackTest, PopRemovesTheLastAndIsSilentWhenEmpty)
{
    std::vector<std::string> log;
    ProbeFilter a(&log, 'a'), b(&log, 'b');
    orvexPushFilter(&a);
    orvexPushFilter(&b);
    orvexPopFilter();
    unsigned char frame[4] = {1, 2, 3, 4};
    orvexDispatchFrame(frame);
    EXPECT_EQ(log, std::vector<std::string>{"transform a"});
    orvexPopFilter();
    orvexPopFilter();  // empty: nothing happens, nothing is said
    EXPECT_EQ(orvexGetFilterCount(), 0);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(b.stops, 0);  // a popped filter is neither stopped nor destroyed
}

TEST_F(FilterStackTest, RefusedWhileCaptureRuns)
{
    ProbeFilter a;
    orvexPushFilter(&a);
    g_nCaptureState = 2;
    // Running is tested before capacity.
    EXPECT_EQ(orvexPushFilter(&a), IDOK);
    orvexPopFilter();
    EXPECT_EQ(orvexGetFilterCount(), 1);
    EXPECT_EQ(boxes, (std::vector<std::string>{"Orvex - ERROR|Cannot Push Filter. Capture is Running!",
                                               "Orvex - ERROR|Cannot Pop Filter. Capture is Running!"}));
}

TEST_F(FilterStackTest, DispatchRunsEnabledFiltersInStackOrder)
{
    std::vector<std::string> log;
    ProbeFilter a(&log, 'a'), off(&log, 'x'), b(&log, 'b');
    off.SetEnable(0);
    orvexPushFilter(&a);
    orvexPushFilter(nullptr);  // occupies a slot, skipped everywhere
    orvexPushFilter(&off);
    orvexPushFilter(&b);
    EXPECT_EQ(orvexGetFilterCount(), 4);

    orvexStartFilters();
    unsigned char frame[3] = {1, 0, 0};
    orvexDispatchFrame(frame);
    orvexStopFilters();
    orvexStopFilters();  // a second stop reaches every filter again

    EXPECT_EQ(log, (std::vector<std::string>{"transform a", "transform b"}));
    // b sees what a left: (1 * 2 + 'a') * 2 + 'b'
    EXPECT_EQ(frame[0], static_cast<unsigned char>((1 * 2 + 'a') * 2 + 'b'));
    for (ProbeFilter* f : {&a, &off, &b}) {
        EXPECT_EQ(f->starts, 1);
        EXPECT_EQ(f->stops, 2);
    }
    EXPECT_EQ(off.frames, 0);
}

TEST_F(FilterStackTest, EmptyStackLeavesTheFrameUnchanged)
{
    std::vector<unsigned char> frame(1056 * 288);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<unsigned char>(i * 7);
    const auto before = frame;
    orvexDispatchFrame(frame.data());
    EXPECT_EQ(frame, before);
}

TEST(FrameGeometry, DescribesBottomUpRgb24Frames)
{
    struct Case {
        int width, height, step, size;
    } cases[] = {
        {352, 288, 1056, 304128},
        {350, 288, 1052, 302400},  // size is 3 * w * h, not step * h
        {320, 240, 960, 230400},
        {1, 1, 4, 3},
    };
    for (const Case& c : cases) {
        orvexSetImageGeometry(c.width, c.height);
        EXPECT_EQ(OrvexFilterAccess::Width(), c.width);
        EXPECT_EQ(OrvexFilterAccess::Height(), c.height);
        EXPECT_EQ(OrvexFilterAccess::WidthStep(), c.step);
        EXPECT_EQ(OrvexFilterAccess::Size(), c.size);
        EXPECT_EQ(OrvexFilterAccess::PixelCount(), c.width * c.height);
    }
}

// While the performance dialog is open every frame is timed and announced to
// it on the UI thread; while it is closed nothing is recorded.
TEST_F(FilterStackTest, PerformanceRecordWhileTheDialogIsOpen)
{
    HWND dialog = reinterpret_cast<HWND>(0x7000);
    int announced = 0;
    RegisterWindowProc(dialog, [&](UINT message, WPARAM, LPARAM) {
        EXPECT_EQ(message, WM_PERF_FRAME);
        ++announced;
    });
    ProbeFilter a;
    orvexPushFilter(&a);
    unsigned char frame[3] = {};

    g_qpcFrameStart = 0;
    orvexDispatchFrame(frame);
    EXPECT_EQ(g_qpcFrameStart.load(), 0);  // closed: not timed

    g_hPerfDlg = dialog;
    orvexDispatchFrame(frame);
    const std::int64_t firstStart = g_qpcFrameStart;
    EXPECT_EQ(g_qpcPrevFrameStart.load(), 0);
    orvexDispatchFrame(frame);
    EXPECT_EQ(g_qpcPrevFrameStart.load(), firstStart);
    EXPECT_GE(g_qpcFrameEnd.load(), g_qpcFrameStart.load());
    EXPECT_GT(g_qpcFrameStart.load(), firstStart - 1);
    EXPECT_GE(g_tscFrameEnd.load(), g_tscFrameStart.load());
    EXPECT_GT(g_tscFrameStart.load(), 0);
    g_hPerfDlg = nullptr;

    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_EQ(announced, 2);
    UnregisterWindowProc(dialog);
}

TEST(ErrorReport, FormatsLikePrintfAndCutsLongTexts)
{
    std::vector<std::string> texts;
    SetErrorBoxHook([&](const char*, const char* text) {
        texts.push_back(text);
        return IDOK;
    });
    orvexReportError("FAILED(lastHRESULT=0x%x) in AddFilter\n", 0x80004005u);
    orvexReportError("%s", std::string(2000, 'x').c_str());
    SetErrorBoxHook({});
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "FAILED(lastHRESULT=0x80004005) in AddFilter\n");
    EXPECT_EQ(texts[1].size(), 511u);
}
