// Window handles and the few window calls of the capture library, over GTK.
//
// A window handle is a top-level GtkWindow of the host. Its client area is
// the window's content: the window inside its border, where its child goes.
// The window rectangle is the window with whatever frame the window manager
// put around it, in screen coordinates; the host windows are undecorated, so
// both have the same size there.
//
// GTK changes windows asynchronously. The calls that move, size, show or
// focus a mapped window wait (at most a second, running the UI thread's main
// context) until the display has done it, so that what a caller reads back
// right after is the new state. All of them run on the UI thread.
//
// Implemented: GetSystemMetrics (screen size, border sizes), GetWindowRect,
// GetClientRect, SetWindowPos (size, position, top or bottom of the stack),
// SetFocus, GetFocus, IsZoomed, ShowWindow (hide, show, maximise, restore).
// Not implemented: child windows, minimising, activation by SetWindowPos.
#pragma once

#include "win.h"

struct _GtkWidget;

inline HWND HwndFromWidget(_GtkWidget* window)
{
    return reinterpret_cast<HWND>(window);
}
// The top-level window behind a handle; null for a null handle and for any
// handle that is not a live top-level window of this process (a headless
// host's token, a window already destroyed), which is never dereferenced.
WIN_API _GtkWidget* WidgetFromHwnd(HWND window);

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;
// Where SetWindowPos puts the window in the stacking order.
inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(1);

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOW = 5;
constexpr int SW_RESTORE = 9;

// SM_CXSCREEN, SM_CYSCREEN: the primary monitor's size (0 without a
// display); SM_CXBORDER, SM_CYBORDER: 1; anything else 0.
WIN_API int GetSystemMetrics(int index);

// FALSE for a null handle or a null rectangle.
WIN_API BOOL GetWindowRect(HWND window, RECT* rect);
// left and top are 0, right and bottom the client area's width and height.
WIN_API BOOL GetClientRect(HWND window, RECT* rect);
// x, y: the window rectangle's new top-left corner; cx, cy: its new size,
// from which the client area keeps its frame. A size below what the
// window's content needs at least is raised to that.
WIN_API BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
// Raises the window and gives it the keyboard focus. Returns the window that
// had it (null when none of ours had it).
WIN_API HWND SetFocus(HWND window);
// The window of ours that has the keyboard focus, or null.
WIN_API HWND GetFocus();
WIN_API BOOL IsZoomed(HWND window);
// SW_MAXIMIZE and SW_RESTORE also show the window. Without a window manager
// maximising makes the window cover its monitor's work area, and restoring
// puts it back where it was. Returns whether the window was visible before.
WIN_API BOOL ShowWindow(HWND window, int command);
