// With ORVEX_SCREENSHOTS naming a folder, a window as drawn is saved there as
// a PNG: for looking at dialogs after a test run under a virtual display.
#pragma once

#include <gtk/gtk.h>

#include <cstdlib>
#include <string>

inline void SaveScreenshot(GtkWidget* window, const char* name)
{
    const char* dir = std::getenv("ORVEX_SCREENSHOTS");
    if (dir == nullptr || window == nullptr)
        return;
    // Let the window paint what changed: a frame or two of the frame clock.
    gtk_widget_queue_draw(window);
    for (int i = 0; i < 20; ++i) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(10000);
    }
    GdkWindow* w = gtk_widget_get_window(window);
    GdkPixbuf* shot =
        gdk_pixbuf_get_from_window(w, 0, 0, gdk_window_get_width(w), gdk_window_get_height(w));
    if (shot) {
        gdk_pixbuf_save(shot, (std::string(dir) + "/" + name).c_str(), "png", nullptr, nullptr);
        g_object_unref(shot);
    }
}

// The same for an area of the whole screen, where a window and the popup
// menus open over it are seen together.
inline void SaveScreenAreaShot(int x, int y, int width, int height, const char* name)
{
    const char* dir = std::getenv("ORVEX_SCREENSHOTS");
    if (dir == nullptr)
        return;
    for (int i = 0; i < 20; ++i) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(10000);
    }
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), x, y, width, height);
    if (shot) {
        gdk_pixbuf_save(shot, (std::string(dir) + "/" + name).c_str(), "png", nullptr, nullptr);
        g_object_unref(shot);
    }
}
