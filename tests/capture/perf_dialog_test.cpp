// The performance dialog's real window under a virtual display, fed by the
// frame dispatch.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "capture_internal.h"
#include "devices.h"
#include "screenshot.h"

extern float g_fProcTimeMs[100];
extern int g_nCyclesPerElement[100];

namespace {

class Nop : public COrvexFilter {};

class PerfDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!gtk_init_check(nullptr, nullptr))
            GTEST_SKIP() << "no display";
        while (orvexGetFilterCount() > 0)
            orvexPopFilter();
    }
    void TearDown() override
    {
        while (orvexGetFilterCount() > 0)
            orvexPopFilter();
    }

    // Opens the dialog (which returns once closed) and runs `act` inside.
    void Open(std::function<void()> act)
    {
        act_ = std::move(act);
        g_idle_add(
            [](gpointer self) {
                static_cast<PerfDialog*>(self)->act_();
                return G_SOURCE_REMOVE;
            },
            this);
        orvexShowPerformanceDlg();
    }
    static void Pump()
    {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
    static std::string Value(int field)
    {
        const char* v = orvexPerformanceDialogValue(field);
        return v ? v : "(none)";
    }
    static void Close()
    {
        GtkWidget* w = orvexPerformanceDialogWindow();
        ASSERT_NE(w, nullptr);
        GdkEvent* event = gdk_event_new(GDK_DELETE);
        event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(w)));
        gtk_main_do_event(event);
        gdk_event_free(event);
    }

    std::function<void()> act_;
};

}  // namespace

TEST_F(PerfDialog, ShowsTheStackAndTheMeansOfItsSamples)
{
    Nop on, off;
    off.SetEnable(0);
    orvexPushFilter(&on);
    orvexPushFilter(&off);
    g_nFrameWidth = 352;
    g_nFrameHeight = 288;
    unsigned char frame[4] = {};
    Open([&] {
        EXPECT_NE(g_hPerfDlg.load(), nullptr);  // recording from now on
        orvexDispatchFrame(frame);
        Pump();
        EXPECT_EQ(Value(1004), "1(2)");
        EXPECT_EQ(Value(1007), "352 x 288");
        EXPECT_EQ(Value(1005), "1");
        // After one frame every mean is that frame's sample.
        EXPECT_EQ(g_nPerfSamples, 1);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%d", g_nCyclesPerElement[0]);
        EXPECT_EQ(Value(1006), expected);
        std::snprintf(expected, sizeof expected, "%.2fms", g_fProcTimeMs[0]);
        EXPECT_EQ(Value(1001), expected);

        // Opening again only brings it to the front: still one dialog.
        GtkWidget* first = orvexPerformanceDialogWindow();
        orvexShowPerformanceDlg();
        EXPECT_EQ(orvexPerformanceDialogWindow(), first);

        for (int i = 0; i < 150; ++i)
            orvexDispatchFrame(frame);
        Pump();
        EXPECT_EQ(Value(1005), "151");
        EXPECT_EQ(g_nPerfSamples, 100);
        EXPECT_EQ(g_nPerfPos, 51);
        SaveScreenshot(orvexPerformanceDialogWindow(), "performance-dialog.png");
        Close();
    });
    EXPECT_EQ(g_hPerfDlg.load(), nullptr);  // closed: recording stops
    EXPECT_EQ(orvexPerformanceDialogWindow(), nullptr);
}

TEST_F(PerfDialog, WithoutAFrameSizeTheCyclesAreNotAvailable)
{
    g_nFrameWidth = g_nFrameHeight = 0;
    unsigned char frame[4] = {};
    Open([&] {
        orvexDispatchFrame(frame);
        Pump();
        EXPECT_EQ(Value(1006), "n/a");
        EXPECT_EQ(Value(1003), "n/a");
        EXPECT_EQ(Value(1004), "0(0)");
        Close();
    });
}
