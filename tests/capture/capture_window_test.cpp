// The capture graph's video in a real host window on a virtual display: the
// host sized to the video, full screen on and off, the query without a graph.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "capture_graph.h"
#include "capture_internal.h"
#include "devices.h"
#include "screenshot.h"
#include "temp_registry.h"
#include "win/window.h"

namespace {

class CaptureWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!gtk_init_check(nullptr, nullptr))
            GTEST_SKIP() << "no display";
        registry_ = std::make_unique<TempRegistry>();
        const std::string module = registry_->CopyModule(PROXY_MODULE, "OrvexProxy.ax");
        ASSERT_EQ(CallRegistration(module, true), S_OK);
        SetErrorBoxHook([this](const char*, const char* text) {
            boxes_.push_back(text);
            return IDOK;
        });
        const auto devices = registry_->Folder() / "devices";
        std::ofstream(devices) << "name=Bars; kind=pattern; pattern=smpte\n";
        setenv("ORVEX_VIRTUAL_DEVICES", devices.c_str(), 1);
        orvexEnumerateSources();

        host_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_decorated(GTK_WINDOW(host_), FALSE);
        gtk_window_set_default_size(GTK_WINDOW(host_), 320, 240);
        gtk_window_move(GTK_WINDOW(host_), 100, 100);
        ShowWindow(Host(), SW_SHOW);
    }
    void TearDown() override
    {
        orvexFinalize();
        g_hWnd = nullptr;
        SetErrorBoxHook(nullptr);
        unsetenv("ORVEX_VIRTUAL_DEVICES");
        if (host_)
            gtk_widget_destroy(host_);
    }

    HWND Host() const { return HwndFromWidget(host_); }
    static void Pump(int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    std::unique_ptr<TempRegistry> registry_;
    std::vector<std::string> boxes_;
    GtkWidget* host_ = nullptr;
};

TEST_F(CaptureWindowTest, HostIsSizedToTheVideoAndFullScreenComesBack)
{
    EXPECT_EQ(orvexIsFullScreen(), 0);  // no graph yet
    orvexToggleFullScreen();            // does nothing
    EXPECT_EQ(orvexIsFullScreen(), 0);

    orvexSetResolution(352, 288);
    ASSERT_EQ(orvexInitialize(Host()), S_OK);
    ASSERT_EQ(GetSystemMetrics(SM_CYBORDER), 1);
    RECT client{};
    ASSERT_TRUE(GetClientRect(Host(), &client));
    EXPECT_EQ(client.right - client.left, 352);
    EXPECT_EQ(client.bottom - client.top, 289);

    ASSERT_EQ(orvexStartCapture(), S_OK);
    Pump(500);
    SaveScreenshot(host_, "capture-window.png");
    orvexToggleFullScreen();
    Pump(300);
    EXPECT_NE(orvexIsFullScreen(), 0);
    orvexToggleFullScreen();
    Pump(300);
    EXPECT_EQ(orvexIsFullScreen(), 0);
    EXPECT_EQ(GetFocus(), Host());
    EXPECT_EQ(orvexIsRunning(), 1);  // the game goes on where it was
    EXPECT_TRUE(boxes_.empty());
}

}  // namespace
