// What the platform's GTK side shares between the window calls and the video
// renderer; never included by the system's own code.
#pragma once

#include <gtk/gtk.h>

#include <functional>

// Runs the default main context until done() holds or timeoutMs passed;
// whether done() held.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

// Whether a window manager looks after the window's screen and supports the
// _NET_WM_STATE hint (e.g. "_NET_WM_STATE_FULLSCREEN"). Without one (a bare
// X server) the platform does the hint's work itself.
bool WindowManagerSupports(GtkWidget* window, const char* hint);

// The geometry (or work area) of the monitor the window is on, the primary
// one when it is not on any yet.
GdkRectangle MonitorGeometry(GtkWidget* window);
GdkRectangle MonitorWorkarea(GtkWidget* window);

// Moves and sizes a top-level window to the rectangle (its frame's top-left,
// its content's size) and waits until the display has done it.
void PlaceWindow(GtkWidget* window, const GdkRectangle& rect);
