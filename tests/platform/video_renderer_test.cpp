// The video renderer on a virtual display: a real pipeline into its widget,
// embedded in a host window, switched to full screen and back, with input
// handed to the drain window.
#include <gdk/gdk.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "renderer_pipeline.h"
#include "screenshot.h"
#include "win/window.h"

namespace {

struct Input {
    std::vector<GdkEventType> types;
    double x = -1, y = -1;  // of the last pointer event
    guint keyval = 0;
};

class Renderer : public ::testing::Test {
  protected:
    void SetUp() override
    {
        // The simulated clicks are core X events, which GDK reads only
        // without the input extension.
        g_setenv("GDK_CORE_DEVICE_EVENTS", "1", TRUE);
        if (!gtk_init_check(nullptr, nullptr))
            GTEST_SKIP() << "no display";
        SetHeadless(false);
        host_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_decorated(GTK_WINDOW(host_), FALSE);
        gtk_window_set_default_size(GTK_WINDOW(host_), 640, 480);
        gtk_widget_add_events(host_, GDK_BUTTON_PRESS_MASK | GDK_KEY_PRESS_MASK);
        g_signal_connect(host_, "button-press-event", G_CALLBACK(OnButton), &input_);
        g_signal_connect(host_, "key-press-event", G_CALLBACK(OnKey), &input_);
    }
    void TearDown() override
    {
        if (host_)
            gtk_widget_destroy(host_);
    }

    HWND Host() const { return HwndFromWidget(host_); }
    void ShowHost() { ShowWindow(Host(), SW_SHOW); }

    // The renderer embedded in the host, filling its client area, running.
    void Embed(RendererPipeline& r)
    {
        ShowHost();
        ASSERT_EQ(r.window->put_Owner(Host()), S_OK);
        ASSERT_EQ(r.window->put_MessageDrain(Host()), S_OK);
        FitToHost(r);
        ASSERT_TRUE(r.Play());
        ASSERT_TRUE(r.WaitFrames(3));
    }
    void FitToHost(RendererPipeline& r)
    {
        RECT c;
        GetClientRect(Host(), &c);
        r.window->SetWindowPosition(0, 0, c.right, c.bottom);
    }
    GtkWidget* Fixed() const { return gtk_bin_get_child(GTK_BIN(host_)); }
    // The video widget inside the host's client area, or null.
    GtkWidget* VideoInHost() const
    {
        GtkWidget* fixed = Fixed();
        if (fixed == nullptr || !GTK_IS_FIXED(fixed))
            return nullptr;
        GList* children = gtk_container_get_children(GTK_CONTAINER(fixed));
        GtkWidget* video = children ? GTK_WIDGET(children->data) : nullptr;
        g_list_free(children);
        return video;
    }
    // Visible top-level windows other than the host.
    std::vector<GtkWidget*> OtherWindows() const
    {
        std::vector<GtkWidget*> found;
        GList* all = gtk_window_list_toplevels();
        for (GList* l = all; l; l = l->next)
            if (l->data != host_ && gtk_widget_get_visible(GTK_WIDGET(l->data)))
                found.push_back(GTK_WIDGET(l->data));
        g_list_free(all);
        return found;
    }
    static bool HasAllocation(GtkWidget* w, int x, int y, int width, int height)
    {
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        return gtk_widget_get_mapped(w) && a.x == x && a.y == y && a.width == width &&
               a.height == height;
    }
    static void WaitAllocation(GtkWidget* w, int x, int y, int width, int height)
    {
        RendererPipeline::Pump([&] { return HasAllocation(w, x, y, width, height); }, 2000);
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        EXPECT_EQ((std::vector<int>{a.x, a.y, a.width, a.height}),
                  (std::vector<int>{x, y, width, height}));
        EXPECT_TRUE(gtk_widget_get_mapped(w));
    }
    // A real click (through the X server) at (x, y) of widget's window.
    static void Click(GtkWidget* w, int x, int y)
    {
        gdk_test_simulate_button(gtk_widget_get_window(w), x, y, 1, GdkModifierType(0),
                                 GDK_BUTTON_PRESS);
    }
    bool WaitInput(GdkEventType type)
    {
        return RendererPipeline::Pump(
            [&] {
                for (GdkEventType t : input_.types)
                    if (t == type)
                        return true;
                return false;
            },
            2000);
    }

    static gboolean OnButton(GtkWidget*, GdkEventButton* e, gpointer data)
    {
        auto* in = static_cast<Input*>(data);
        in->types.push_back(e->type);
        in->x = e->x;
        in->y = e->y;
        return TRUE;
    }
    static gboolean OnKey(GtkWidget*, GdkEventKey* e, gpointer data)
    {
        auto* in = static_cast<Input*>(data);
        in->types.push_back(e->type);
        in->keyval = e->keyval;
        return TRUE;
    }

    GtkWidget* host_ = nullptr;
    Input input_;
};

// The host may bring its own client area (a GtkFixed) or none, in which
// case the renderer makes one; either way the video fills what it is given,
// also when the host gets smaller than the video was.
TEST_F(Renderer, FillsTheHostsClientAreaAndFollowsItsSize)
{
    for (bool givenFixed : {false, true}) {
        SCOPED_TRACE(givenFixed ? "host's own GtkFixed" : "host without a child");
        TearDown();
        SetUp();
        GtkWidget* own = nullptr;
        if (givenFixed) {
            own = gtk_fixed_new();
            gtk_container_add(GTK_CONTAINER(host_), own);
            gtk_widget_show(own);
        }
        RendererPipeline r(352, 288);
        Embed(r);
        ASSERT_NE(VideoInHost(), nullptr);
        if (own) {
            EXPECT_EQ(Fixed(), own);
        }
        WaitAllocation(VideoInHost(), 0, 0, 640, 480);
        long w = 0, h = 0;
        EXPECT_EQ(r.basic->GetVideoSize(&w, &h), S_OK);
        EXPECT_EQ(w, 352);
        EXPECT_EQ(h, 288);
        if (!givenFixed)
            SaveScreenshot(host_, "renderer-windowed.png");

        SetWindowPos(Host(), nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
        RECT c;
        GetClientRect(Host(), &c);
        EXPECT_EQ(c.right, 300) << "the video does not hold the host at its size";
        FitToHost(r);
        WaitAllocation(VideoInHost(), 0, 0, 300, 200);
        r.window->SetWindowPosition(10, 20, 100, 50);
        WaitAllocation(VideoInHost(), 10, 20, 100, 50);
    }
}

TEST_F(Renderer, RefusesAnOwnerItCannotEmbedIn)
{
    gtk_container_add(GTK_CONTAINER(host_), gtk_box_new(GTK_ORIENTATION_VERTICAL, 0));
    RendererPipeline r(64, 48);
    EXPECT_EQ(r.window->put_Owner(Host()), E_INVALIDARG);
    HWND owner = Host();
    r.window->get_Owner(&owner);
    EXPECT_EQ(owner, nullptr);
}

// Full screen: the video alone on the whole monitor, frames still flowing;
// back: the video in the host again, the full-screen window gone, and the
// host can take the focus.
TEST_F(Renderer, FullScreenAndBack)
{
    RendererPipeline r(352, 288);
    Embed(r);
    GtkWidget* video = VideoInHost();
    ASSERT_NE(video, nullptr);

    ASSERT_EQ(r.window->put_FullScreenMode(OATRUE), S_OK);
    long mode = 0;
    r.window->get_FullScreenMode(&mode);
    EXPECT_EQ(mode, OATRUE);
    EXPECT_EQ(VideoInHost(), nullptr);
    const std::vector<GtkWidget*> others = OtherWindows();
    ASSERT_EQ(others.size(), 1u);
    GtkWidget* fs = others[0];
    EXPECT_EQ(gtk_widget_get_parent(video), fs);
    EXPECT_FALSE(gtk_window_get_decorated(GTK_WINDOW(fs)));
    RECT fr;
    GetWindowRect(HwndFromWidget(fs), &fr);
    EXPECT_EQ((std::vector<LONG>{fr.left, fr.top, fr.right, fr.bottom}),
              (std::vector<LONG>{0, 0, 1280, 1024}));
    WaitAllocation(video, 0, 0, 1280, 1024);
    const int before = r.frames.load();
    EXPECT_TRUE(r.WaitFrames(before + 3)) << "frames go on in full screen";
    SaveScreenshot(fs, "renderer-fullscreen.png");

    ASSERT_EQ(r.window->put_FullScreenMode(OAFALSE), S_OK);
    r.window->get_FullScreenMode(&mode);
    EXPECT_EQ(mode, OAFALSE);
    EXPECT_EQ(VideoInHost(), video);
    EXPECT_TRUE(OtherWindows().empty());
    WaitAllocation(video, 0, 0, 640, 480);
    SetFocus(Host());
    EXPECT_EQ(GetFocus(), Host());
}

// The owner is only noted while in full screen: the video stays there.
TEST_F(Renderer, OwnerGivenInFullScreenTakesEffectWhenItEnds)
{
    RendererPipeline r(64, 48);
    Embed(r);
    GtkWidget* video = VideoInHost();
    r.window->put_FullScreenMode(OATRUE);
    r.window->put_Owner(Host());
    EXPECT_EQ(VideoInHost(), nullptr);
    r.window->put_FullScreenMode(OAFALSE);
    EXPECT_EQ(VideoInHost(), video);
}

// Clicks on the video reach the drain window's handler at the same spot of
// the host's client area, in full screen too; keys pressed in full screen
// reach it as well.
TEST_F(Renderer, InputReachesTheDrainWindow)
{
    RendererPipeline r(352, 288);
    Embed(r);
    GtkWidget* video = VideoInHost();
    WaitAllocation(video, 0, 0, 640, 480);

    Click(video, 100, 50);
    ASSERT_TRUE(WaitInput(GDK_BUTTON_PRESS));
    EXPECT_DOUBLE_EQ(input_.x, 100);
    EXPECT_DOUBLE_EQ(input_.y, 50);

    input_ = {};
    r.window->put_FullScreenMode(OATRUE);
    WaitAllocation(video, 0, 0, 1280, 1024);
    Click(video, 640, 512);
    ASSERT_TRUE(WaitInput(GDK_BUTTON_PRESS));
    EXPECT_DOUBLE_EQ(input_.x, 320) << "half way across the host's video";
    EXPECT_DOUBLE_EQ(input_.y, 240);
    gdk_test_simulate_key(gtk_widget_get_window(gtk_widget_get_toplevel(video)), -1, -1,
                          GDK_KEY_Escape, GdkModifierType(0), GDK_KEY_PRESS);
    ASSERT_TRUE(WaitInput(GDK_KEY_PRESS));
    EXPECT_EQ(input_.keyval, guint(GDK_KEY_Escape));

    // Without a drain, input on the full-screen video goes nowhere.
    input_ = {};
    r.window->put_MessageDrain(nullptr);
    Click(video, 10, 10);
    RendererPipeline::PumpFor(200);
    EXPECT_TRUE(input_.types.empty());
    r.window->put_FullScreenMode(OAFALSE);
}

// The renderer shows itself when it starts (AutoShow); one made invisible,
// not shown on start and without an owner shows nothing anywhere, while one
// without an owner that is shown gets a window of its own.
TEST_F(Renderer, ShowsItselfOnStartUnlessHidden)
{
    ShowHost();
    {
        RendererPipeline r(64, 48);
        r.window->put_Owner(Host());
        GtkWidget* video = VideoInHost();
        ASSERT_NE(video, nullptr);
        EXPECT_FALSE(gtk_widget_get_visible(video)) << "not before it starts";
        ASSERT_TRUE(r.Play());
        RendererPipeline::Pump([&] { return gtk_widget_get_mapped(video); }, 2000);
        EXPECT_TRUE(gtk_widget_get_mapped(video));
        long visible = 0;
        r.window->get_Visible(&visible);
        EXPECT_EQ(visible, OATRUE);
    }
    {
        RendererPipeline hidden(64, 48);
        hidden.window->put_Visible(OAFALSE);
        hidden.window->put_AutoShow(OAFALSE);
        hidden.window->put_Owner(nullptr);
        ASSERT_TRUE(hidden.Play());
        ASSERT_TRUE(hidden.WaitFrames(5));
        RendererPipeline::PumpFor(100);
        EXPECT_TRUE(OtherWindows().empty());
        EXPECT_EQ(VideoInHost(), nullptr);
    }
    {
        RendererPipeline alone(64, 48);
        alone.window->SetWindowPosition(50, 60, 160, 120);
        ASSERT_TRUE(alone.Play());
        RendererPipeline::Pump([&] { return !OtherWindows().empty(); }, 2000);
        ASSERT_EQ(OtherWindows().size(), 1u);
        RECT r;
        GetWindowRect(HwndFromWidget(OtherWindows()[0]), &r);
        EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}),
                  (std::vector<LONG>{50, 60, 210, 180}));
    }
    EXPECT_TRUE(OtherWindows().empty()) << "released renderers leave no window behind";
}

// A renderer released while embedded takes its video out of the host.
TEST_F(Renderer, ReleaseLeavesTheHostEmpty)
{
    {
        RendererPipeline r(64, 48);
        Embed(r);
        ASSERT_NE(VideoInHost(), nullptr);
    }
    EXPECT_EQ(VideoInHost(), nullptr);
    EXPECT_TRUE(OtherWindows().empty());
}

// A host destroyed before its renderer was detached does not take the
// renderer's video down with it.
TEST_F(Renderer, SurvivesItsOwnerGoingFirst)
{
    RendererPipeline r(64, 48);
    Embed(r);
    gtk_widget_destroy(host_);
    host_ = nullptr;
    const int before = r.frames.load();
    EXPECT_TRUE(r.WaitFrames(before + 3));
    EXPECT_TRUE(OtherWindows().empty()) << "nothing pops up";
    r.Stop();
    ASSERT_TRUE(r.Play());
    RendererPipeline::PumpFor(200);
    EXPECT_TRUE(OtherWindows().empty()) << "nor on the next start";
}

}  // namespace
