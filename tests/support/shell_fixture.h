// The main window over stand-in capture calls and two virtual devices, under
// a virtual display, with helpers that feed it real key and mouse events.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "com/com.h"
#include "fake_capture.h"
#include "game_fixture.h"
#include "shell/main_window.h"

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (!gtk_init_check(nullptr, nullptr))
            GTEST_SKIP() << "no display";
        devices_ = scratch.Path() / "devices.txt";
        std::ofstream(devices_) << "name=First Camera; kind=pattern\n"
                                   "name=Second_Camera; kind=pattern\n";
        setenv("ORVEX_VIRTUAL_DEVICES", devices_.c_str(), 1);
        setenv("ORVEX_REAL_DEVICES", "0", 1);
        CoInitialize(nullptr);
        orvexEnumerateSources();
        FakeCapture::Reset();
        Capture() = FakeCapture::Calls();
        orvexSetImageGeometry(64, 48);
        game = std::make_unique<CGameFilter>();
        window = std::make_unique<MainWindow>(*game, nullptr);
        window->Menu().BuildDevicesMenu();
        Pump();
    }
    void TearDown() override
    {
        window.reset();
        game.reset();
        orvexFreeSources();
        unsetenv("ORVEX_VIRTUAL_DEVICES");
        Pump();
    }

    static void Pump()
    {
        for (int i = 0; i < 5; ++i) {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            g_usleep(2000);
        }
    }

    // Runs the main loop until `done` holds, for at most two seconds.
    static bool WaitFor(const std::function<bool()>& done)
    {
        for (int i = 0; i < 200 && !done(); ++i) Pump();
        return done();
    }

    // Runs `act` from the main loop once the next call has started (for
    // calls that run a dialog and return only once it is closed).
    static void Soon(std::function<void()> act)
    {
        auto* held = new std::function<void()>(std::move(act));
        g_idle_add(
            [](gpointer data) {
                auto* f = static_cast<std::function<void()>*>(data);
                (*f)();
                delete f;
                return G_SOURCE_REMOVE;
            },
            held);
    }

    GdkWindow* Surface() const { return gtk_widget_get_window(window->Widget()); }

    static GdkDevice* Device(bool keyboard)
    {
        GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
        return keyboard ? gdk_seat_get_keyboard(seat) : gdk_seat_get_pointer(seat);
    }

    static void Deliver(GdkEvent* event, bool keyboard)
    {
        gdk_event_set_device(event, Device(keyboard));
        gtk_main_do_event(event);
        gdk_event_free(event);
    }

    void Key(guint keyval, GdkModifierType state = GdkModifierType(0))
    {
        GdkEvent* e = gdk_event_new(GDK_KEY_PRESS);
        e->key.window = GDK_WINDOW(g_object_ref(Surface()));
        e->key.send_event = TRUE;
        e->key.time = GDK_CURRENT_TIME;
        e->key.keyval = keyval;
        e->key.state = state;
        GdkKeymapKey* keys = nullptr;
        gint n = 0;
        if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()),
                                              keyval, &keys, &n) &&
            n > 0)
            e->key.hardware_keycode = keys[0].keycode;
        g_free(keys);
        Deliver(e, true);
    }

    // A mouse event at (x, y) of the window's client area; the pointer is
    // moved there too, since a menu opens where the pointer is.
    void Mouse(GdkEventType type, guint button, double x, double y)
    {
        int left = 0, top = 0;
        gdk_window_get_origin(Surface(), &left, &top);
        gdk_device_warp(Device(false), gdk_screen_get_default(), left + int(x), top + int(y));
        GdkEvent* e = gdk_event_new(type);
        if (type == GDK_MOTION_NOTIFY) {
            e->motion.window = GDK_WINDOW(g_object_ref(Surface()));
            e->motion.x = x;
            e->motion.y = y;
            e->motion.x_root = left + x;
            e->motion.y_root = top + y;
            e->motion.state = GDK_BUTTON1_MASK;
            e->motion.time = GDK_CURRENT_TIME;
        } else {
            e->button.window = GDK_WINDOW(g_object_ref(Surface()));
            e->button.button = button;
            e->button.x = x;
            e->button.y = y;
            e->button.x_root = left + x;
            e->button.y_root = top + y;
            e->button.time = GDK_CURRENT_TIME;
        }
        Deliver(e, false);
    }

    ScratchDirectory scratch;
    std::filesystem::path devices_;
    std::unique_ptr<CGameFilter> game;
    std::unique_ptr<MainWindow> window;
};
