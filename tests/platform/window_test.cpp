// The window calls over real GTK windows on a virtual display without a
// window manager: what a caller reads back right after a change.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <vector>

#include "win/window.h"

namespace {

std::vector<LONG> Rect(const RECT& r)
{
    return {r.left, r.top, r.right, r.bottom};
}

class Windows : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (!gtk_init_check(nullptr, nullptr))
            GTEST_SKIP() << "no display";
    }
    void TearDown() override
    {
        for (GtkWidget* w : windows_) gtk_widget_destroy(w);
    }

    // An undecorated window of the given size at (x, y), shown or not.
    HWND Make(int x, int y, int width, int height, bool show = true)
    {
        GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_decorated(GTK_WINDOW(w), FALSE);
        gtk_window_set_default_size(GTK_WINDOW(w), width, height);
        gtk_window_move(GTK_WINDOW(w), x, y);
        windows_.push_back(w);
        if (show)
            ShowWindow(HwndFromWidget(w), SW_SHOW);
        return HwndFromWidget(w);
    }
    static RECT WindowRect(HWND w)
    {
        RECT r{};
        EXPECT_TRUE(GetWindowRect(w, &r));
        return r;
    }
    static RECT ClientRect(HWND w)
    {
        RECT r{};
        EXPECT_TRUE(GetClientRect(w, &r));
        return r;
    }

    std::vector<GtkWidget*> windows_;
};

TEST_F(Windows, MetricsAndBadHandles)
{
    EXPECT_EQ(GetSystemMetrics(SM_CYBORDER), 1);
    EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), 1);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    RECT r{};
    GtkWidget* notAWindow = g_object_ref_sink(gtk_label_new("x"));
    for (HWND bad : {static_cast<HWND>(nullptr), HwndFromWidget(notAWindow)}) {
        EXPECT_FALSE(GetWindowRect(bad, &r));
        EXPECT_FALSE(GetClientRect(bad, &r));
        EXPECT_FALSE(SetWindowPos(bad, nullptr, 0, 0, 10, 10, 0));
        EXPECT_FALSE(IsZoomed(bad));
        EXPECT_FALSE(ShowWindow(bad, SW_SHOW));
    }
    EXPECT_FALSE(GetClientRect(Make(0, 0, 10, 10), nullptr));
    g_object_unref(notAWindow);
}

// Before it is shown a window already has the rectangles it will be shown with.
TEST_F(Windows, RectanglesOfAHiddenWindow)
{
    HWND w = Make(10, 20, 300, 200, /*show=*/false);
    EXPECT_EQ(Rect(WindowRect(w)), (std::vector<LONG>{10, 20, 310, 220}));
    EXPECT_EQ(Rect(ClientRect(w)), (std::vector<LONG>{0, 0, 300, 200}));
    SetWindowPos(w, nullptr, 0, 0, 352, 289, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(Rect(ClientRect(w)), (std::vector<LONG>{0, 0, 352, 289}));
    ShowWindow(w, SW_SHOW);
    EXPECT_EQ(Rect(WindowRect(w)), (std::vector<LONG>{10, 20, 362, 309}));
}

// The client area is the window's content, inside the window's border.
TEST_F(Windows, ClientAreaLiesInsideTheBorder)
{
    HWND w = Make(0, 0, 300, 200, false);
    gtk_container_set_border_width(GTK_CONTAINER(WidgetFromHwnd(w)), 5);
    gtk_container_add(GTK_CONTAINER(WidgetFromHwnd(w)), gtk_fixed_new());
    gtk_widget_show_all(WidgetFromHwnd(w));
    EXPECT_EQ(Rect(ClientRect(w)), (std::vector<LONG>{0, 0, 290, 190}));
    EXPECT_EQ(Rect(WindowRect(w)), (std::vector<LONG>{0, 0, 300, 200}));
}

TEST_F(Windows, SetWindowPosIsDoneWhenItReturns)
{
    struct Case {
        const char* name;
        UINT flags;
        int x, y, cx, cy;
        std::vector<LONG> window;
    };
    const Case cases[] = {
        {"size only", SWP_NOMOVE | SWP_NOZORDER, 99, 99, 352, 289, {40, 30, 392, 319}},
        {"move only", SWP_NOSIZE | SWP_NOZORDER, 100, 50, 9, 9, {100, 50, 400, 250}},
        {"both", SWP_NOZORDER, 5, 6, 200, 100, {5, 6, 205, 106}},
        {"bigger than before", SWP_NOMOVE, 0, 0, 700, 500, {40, 30, 740, 530}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND w = Make(40, 30, 300, 200);
        ASSERT_TRUE(SetWindowPos(w, HWND_TOP, c.x, c.y, c.cx, c.cy, c.flags));
        EXPECT_EQ(Rect(WindowRect(w)), c.window);
        EXPECT_EQ(Rect(ClientRect(w)),
                  (std::vector<LONG>{0, 0, c.window[2] - c.window[0], c.window[3] - c.window[1]}));
    }
}

TEST_F(Windows, AWindowIsNeverSmallerThanItsContentNeeds)
{
    HWND w = Make(0, 0, 300, 200, false);
    GtkWidget* content = gtk_fixed_new();
    gtk_widget_set_size_request(content, 200, 100);
    gtk_container_add(GTK_CONTAINER(WidgetFromHwnd(w)), content);
    ShowWindow(w, SW_SHOW);
    gtk_widget_show(content);
    SetWindowPos(w, nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(Rect(ClientRect(w)), (std::vector<LONG>{0, 0, 200, 100}));
}

// Without a window manager maximising covers the screen's work area, and
// restoring goes back to where the window was.
TEST_F(Windows, MaximiseAndRestore)
{
    HWND w = Make(30, 40, 352, 289, false);
    EXPECT_FALSE(ShowWindow(w, SW_MAXIMIZE)) << "was hidden";
    EXPECT_TRUE(IsZoomed(w));
    EXPECT_EQ(Rect(WindowRect(w)), (std::vector<LONG>{0, 0, 1280, 1024}));
    EXPECT_EQ(Rect(ClientRect(w)), (std::vector<LONG>{0, 0, 1280, 1024}));
    EXPECT_TRUE(ShowWindow(w, SW_MAXIMIZE));
    EXPECT_TRUE(IsZoomed(w)) << "a second maximise changes nothing";
    EXPECT_TRUE(ShowWindow(w, SW_RESTORE));
    EXPECT_FALSE(IsZoomed(w));
    EXPECT_EQ(Rect(WindowRect(w)), (std::vector<LONG>{30, 40, 382, 329}));
    EXPECT_TRUE(ShowWindow(w, SW_RESTORE));
    EXPECT_EQ(Rect(WindowRect(w)), (std::vector<LONG>{30, 40, 382, 329}));
}

TEST_F(Windows, ShowAndHide)
{
    HWND w = Make(0, 0, 100, 100, false);
    EXPECT_FALSE(ShowWindow(w, SW_SHOW));
    EXPECT_TRUE(gtk_widget_get_mapped(WidgetFromHwnd(w)));
    EXPECT_TRUE(ShowWindow(w, SW_HIDE));
    EXPECT_FALSE(gtk_widget_get_visible(WidgetFromHwnd(w)));
    EXPECT_FALSE(ShowWindow(w, SW_HIDE));
}

TEST_F(Windows, SetFocusMovesTheKeyboardFocusAndNamesItsOldHolder)
{
    HWND a = Make(0, 0, 100, 100);
    HWND b = Make(200, 0, 100, 100);
    SetFocus(a);
    EXPECT_EQ(GetFocus(), a);
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(GetFocus(), b);
    EXPECT_TRUE(gtk_window_is_active(GTK_WINDOW(WidgetFromHwnd(b))));
    EXPECT_FALSE(gtk_window_is_active(GTK_WINDOW(WidgetFromHwnd(a))));
}

}  // namespace
