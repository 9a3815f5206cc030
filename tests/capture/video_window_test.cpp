// The video window of the capture library on a virtual display: a real
// renderer in a plain pipeline stands where the capture graph's would, with
// the capture record pointing at it.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "capture_graph.h"
#include "capture_internal.h"
#include "renderer_pipeline.h"
#include "screenshot.h"
#include "win/window.h"

namespace {

// Stop and Run counted, and passed on to a pipeline when there is one.
class Control final : public IMediaControl {
  public:
    explicit Control(RendererPipeline* pipeline = nullptr) : pipeline_(pipeline) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Run() override
    {
        ++runs;
        return pipeline_ && !pipeline_->Play() ? E_FAIL : S_OK;
    }
    HRESULT Pause() override { return E_NOTIMPL; }
    HRESULT Stop() override
    {
        ++stops;
        if (pipeline_)
            pipeline_->Stop();
        return S_OK;
    }
    HRESULT GetState(long, OAFilterState*) override { return E_NOTIMPL; }

    int runs = 0, stops = 0;

  private:
    RendererPipeline* pipeline_;
};

// A video window whose full-screen calls answer what the test says.
class FakeWindow final : public IVideoWindow {
  public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT put_Owner(OAHWND owner) override
    {
        owners.push_back(owner);
        return S_OK;
    }
    HRESULT get_Owner(OAHWND*) override { return S_OK; }
    HRESULT put_WindowStyle(long) override { return S_OK; }
    HRESULT put_MessageDrain(OAHWND) override { return S_OK; }
    HRESULT put_Visible(long) override { return S_OK; }
    HRESULT get_Visible(long*) override { return S_OK; }
    HRESULT put_AutoShow(long) override { return S_OK; }
    HRESULT SetWindowPosition(long, long, long, long) override { return S_OK; }
    HRESULT GetWindowPosition(long*, long*, long*, long*) override { return S_OK; }
    HRESULT get_FullScreenMode(long* m) override
    {
        *m = mode;
        return getResult;
    }
    HRESULT put_FullScreenMode(long) override { return putResult; }

    long mode = OAFALSE;
    HRESULT getResult = S_OK, putResult = S_OK;
    std::vector<HWND> owners;
};

class VideoWindow : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (!gtk_init_check(nullptr, nullptr))
            GTEST_SKIP() << "no display";
        SetHeadless(false);
        SetErrorBoxHook([this](const char*, const char* text) {
            boxes_.push_back(text);
            return IDOK;
        });
        host_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_decorated(GTK_WINDOW(host_), FALSE);
        gtk_window_set_default_size(GTK_WINDOW(host_), 640, 480);
        gtk_window_move(GTK_WINDOW(host_), 50, 40);
        ShowWindow(Host(), SW_SHOW);
        g_hWnd = Host();
    }
    void TearDown() override
    {
        g_hWnd = nullptr;
        g_pVideoWindow = nullptr;
        g_pBasicVideo = nullptr;
        g_pMediaControl = nullptr;
        g_bOverlay = 0;
        g_nCaptureState = 0;
        SetErrorBoxHook(nullptr);
        if (host_)
            gtk_widget_destroy(host_);
    }

    HWND Host() const { return HwndFromWidget(host_); }
    // The capture record pointing at the pipeline's renderer.
    void Record(RendererPipeline& r, Control& control)
    {
        g_pVideoWindow = r.window;
        g_pBasicVideo = r.basic;
        g_pMediaControl = &control;
    }
    static std::vector<LONG> Client(HWND w)
    {
        RECT r;
        GetClientRect(w, &r);
        return {r.right, r.bottom};
    }
    // The video widget's place, once laid out as the host has it.
    std::vector<int> VideoPlace(GtkWidget* video, std::vector<int> want) const
    {
        std::vector<int> got;
        RendererPipeline::Pump(
            [&] {
                GtkAllocation a;
                gtk_widget_get_allocation(video, &a);
                got = {a.x, a.y, a.width, a.height};
                return got == want;
            },
            2000);
        return got;
    }
    GtkWidget* VideoInHost() const
    {
        GtkWidget* fixed = gtk_bin_get_child(GTK_BIN(host_));
        if (fixed == nullptr)
            return nullptr;
        GList* children = gtk_container_get_children(GTK_CONTAINER(fixed));
        GtkWidget* video = children ? GTK_WIDGET(children->data) : nullptr;
        g_list_free(children);
        return video;
    }

    GtkWidget* host_ = nullptr;
    std::vector<std::string> boxes_;
};

// The graph is built (not yet running) when the window is embedded: the
// host becomes the video's size, one border taller, wherever it started,
// stays where it was, and has the focus.
TEST_F(VideoWindow, InitSizesTheHostToTheVideoWithABorder)
{
    for (std::vector<int> start : {std::vector<int>{640, 480}, {200, 100}}) {
        SCOPED_TRACE(start[0]);
        SetWindowPos(Host(), nullptr, 0, 0, start[0], start[1], SWP_NOMOVE | SWP_NOZORDER);
        RendererPipeline r(352, 288);
        Control control(&r);
        Record(r, control);
        ASSERT_EQ(orvexInitVideoWindow(), 0);
        EXPECT_EQ(Client(Host()), (std::vector<LONG>{352, 289}));
        RECT w;
        GetWindowRect(Host(), &w);
        EXPECT_EQ(w.left, 50);
        EXPECT_EQ(w.top, 40);
        EXPECT_EQ(GetFocus(), Host());
        HWND owner = nullptr;
        r.window->get_Owner(&owner);
        EXPECT_EQ(owner, Host());
        ASSERT_TRUE(r.Play());
        ASSERT_TRUE(r.WaitFrames(3));
        ASSERT_NE(VideoInHost(), nullptr);
        EXPECT_EQ(VideoPlace(VideoInHost(), {0, 0, 352, 289}), (std::vector<int>{0, 0, 352, 289}));
        SaveScreenshot(host_, "video-window-windowed.png");
    }
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(VideoWindow, TheVideoFollowsTheHostsSize)
{
    RendererPipeline r(352, 288);
    Control control(&r);
    Record(r, control);
    orvexInitVideoWindow();
    ASSERT_TRUE(r.Play());
    ASSERT_TRUE(r.WaitFrames(3));
    for (std::vector<int> size : {std::vector<int>{800, 600}, {120, 90}, {352, 289}}) {
        SetWindowPos(Host(), nullptr, 0, 0, size[0], size[1], SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_EQ(orvexResizeVideoWindow(), S_OK);
        EXPECT_EQ(VideoPlace(VideoInHost(), {0, 0, size[0], size[1]}),
                  (std::vector<int>{0, 0, size[0], size[1]}));
    }
}

// Without a host window nothing is embedded; without a video window the
// switch does nothing and the query answers 0.
TEST_F(VideoWindow, NothingToDoWithoutAWindow)
{
    {
        RendererPipeline r(352, 288);
        Control control(&r);
        Record(r, control);
        g_hWnd = nullptr;
        EXPECT_EQ(orvexInitVideoWindow(), 0);
        HWND owner = Host();
        r.window->get_Owner(&owner);
        EXPECT_EQ(owner, nullptr);
        EXPECT_EQ(orvexResizeVideoWindow(), 0);
    }
    g_hWnd = Host();
    g_pVideoWindow = nullptr;
    for (unsigned char overlay : {0, 1}) {
        g_bOverlay = overlay;
        orvexToggleFullScreen();
        EXPECT_EQ(orvexIsFullScreen(), 0);
        EXPECT_FALSE(IsZoomed(Host()));
        EXPECT_EQ(orvexResizeVideoWindow(), 0);
    }
    EXPECT_TRUE(boxes_.empty());
}

// Twice toggled while capture runs: full screen, then windowed again with
// the host focused; the graph stopped and run each time, frames flowing.
TEST_F(VideoWindow, ToggleTwiceReturnsToTheHostWindow)
{
    RendererPipeline r(352, 288);
    Control control(&r);
    Record(r, control);
    orvexInitVideoWindow();
    g_nCaptureState = 2;
    ASSERT_TRUE(r.Play());
    ASSERT_TRUE(r.WaitFrames(3));
    GtkWidget* video = VideoInHost();
    ASSERT_NE(video, nullptr);

    orvexToggleFullScreen();
    EXPECT_EQ(orvexIsFullScreen(), 1);
    EXPECT_EQ(VideoInHost(), nullptr);
    GtkWidget* fs = gtk_widget_get_toplevel(video);
    EXPECT_NE(fs, host_);
    EXPECT_EQ(VideoPlace(video, {0, 0, 1280, 1024}), (std::vector<int>{0, 0, 1280, 1024}));
    EXPECT_EQ(control.stops, 1);
    EXPECT_EQ(control.runs, 1);
    int before = r.frames.load();
    EXPECT_TRUE(r.WaitFrames(before + 3));
    SaveScreenshot(fs, "video-window-fullscreen.png");

    orvexToggleFullScreen();
    EXPECT_EQ(orvexIsFullScreen(), 0);
    EXPECT_EQ(VideoInHost(), video);
    EXPECT_EQ(VideoPlace(video, {0, 0, 352, 289}), (std::vector<int>{0, 0, 352, 289}));
    EXPECT_EQ(GetFocus(), Host());
    EXPECT_EQ(control.stops, 2);
    EXPECT_EQ(control.runs, 2);
    before = r.frames.load();
    EXPECT_TRUE(r.WaitFrames(before + 3));
    EXPECT_EQ(g_nCaptureState.load(), 2);
    EXPECT_TRUE(boxes_.empty());
}

// A stopped graph is switched but not started: its filters were never
// started.
TEST_F(VideoWindow, ToggleLeavesAStoppedGraphStopped)
{
    RendererPipeline r(352, 288);
    Control control(&r);
    Record(r, control);
    orvexInitVideoWindow();
    g_nCaptureState = 1;
    orvexToggleFullScreen();
    EXPECT_EQ(orvexIsFullScreen(), 1);
    orvexToggleFullScreen();
    EXPECT_EQ(orvexIsFullScreen(), 0);
    EXPECT_EQ(control.runs, 0);
    EXPECT_EQ(r.frames.load(), 0);
}

// On the overlay path, or when the renderer cannot tell its mode, the host
// window is maximised and restored instead, and the query reports that;
// the graph is left alone and nothing is reported.
TEST_F(VideoWindow, OverlayPathAndUnknownModeSwitchTheHostWindow)
{
    RendererPipeline r(352, 288);
    Control control(&r);
    FakeWindow unknown;
    unknown.getResult = E_NOTIMPL;
    for (bool overlay : {true, false}) {
        SCOPED_TRACE(overlay ? "overlay" : "mode unknown");
        Record(r, control);
        orvexInitVideoWindow();
        g_bOverlay = overlay;
        if (!overlay)
            g_pVideoWindow = &unknown;
        g_nCaptureState = 2;

        orvexToggleFullScreen();
        EXPECT_TRUE(IsZoomed(Host()));
        EXPECT_EQ(orvexIsFullScreen(), 1);
        EXPECT_EQ(Client(Host()), (std::vector<LONG>{1280, 1024}));
        if (!overlay) {
            EXPECT_EQ(g_lastHRESULT, E_NOTIMPL);
        }
        long mode = OATRUE;
        r.window->get_FullScreenMode(&mode);
        EXPECT_EQ(mode, OAFALSE) << "the renderer's own mode is not used";

        orvexToggleFullScreen();
        EXPECT_FALSE(IsZoomed(Host()));
        EXPECT_EQ(orvexIsFullScreen(), 0);
        EXPECT_EQ(Client(Host()), (std::vector<LONG>{352, 289}));
    }
    EXPECT_EQ(control.stops + control.runs, 0);
    EXPECT_TRUE(boxes_.empty());
}

// A switch the renderer refuses is reported with its result; the graph runs
// again and the host is made the owner (on) or focused (off) all the same.
TEST_F(VideoWindow, ARefusedSwitchIsReported)
{
    struct Case {
        long mode;
        const char* box;
    };
    for (const Case& c : {Case{OAFALSE,
                               "FAILED(lastHRESULT=0x80004005) in "
                               "g_pVideoWindow->put_FullScreenMode(OATRUE)\n"},
                          Case{OATRUE,
                               "FAILED(lastHRESULT=0x80004005) in "
                               "g_pVideoWindow->put_FullScreenMode(OAFALSE)\n"}}) {
        SCOPED_TRACE(c.mode);
        boxes_.clear();
        FakeWindow window;
        window.mode = c.mode;
        window.putResult = E_FAIL;
        Control control;
        g_pVideoWindow = &window;
        g_pMediaControl = &control;
        g_nCaptureState = 2;
        orvexToggleFullScreen();
        EXPECT_EQ(boxes_, std::vector<std::string>{c.box});
        EXPECT_EQ(g_lastHRESULT, E_FAIL);
        EXPECT_EQ(control.stops, 1);
        EXPECT_EQ(control.runs, 1);
        EXPECT_EQ(window.owners,
                  c.mode == OAFALSE ? std::vector<HWND>{Host()} : std::vector<HWND>{});
    }
}

}  // namespace
