// The window calls over GTK top-level windows (see window.h).
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <algorithm>

#include "gtk_windows.h"
#include "window.h"

namespace {

// How long a call waits for the display to carry out a change.
constexpr int kSettleMs = 1000;
// Where a window maximised without a window manager goes back to.
constexpr char kRestoreKey[] = "orvex-restore-rect";

GtkWidget* TopLevel(HWND handle) { return WidgetFromHwnd(handle); }

GdkRectangle Rect(int x, int y, int width, int height)
{
    return {x, y, width, height};
}

// The window's own size (its content plus border, without a manager's frame):
// as the display has it once mapped, else as it will be shown.
GdkRectangle WindowSize(GtkWidget* w)
{
    if (gtk_widget_get_mapped(w))
        return Rect(0, 0, gtk_widget_get_allocated_width(w), gtk_widget_get_allocated_height(w));
    int width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(w), &width, &height);
    return Rect(0, 0, width, height);
}

// What the window gives its child: itself inside its border. (The child's
// own allocation lags behind until the next layout, e.g. for a child just
// added.)
GdkRectangle ClientSize(GtkWidget* w)
{
    const int border = static_cast<int>(gtk_container_get_border_width(GTK_CONTAINER(w)));
    GdkRectangle r = WindowSize(w);
    return Rect(0, 0, std::max(0, r.width - 2 * border), std::max(0, r.height - 2 * border));
}

// The window with its manager's frame, in screen coordinates.
GdkRectangle FrameRect(GtkWidget* w)
{
    GdkRectangle r{};
    if (gtk_widget_get_mapped(w)) {
        gdk_window_get_frame_extents(gtk_widget_get_window(w), &r);
        return r;
    }
    gtk_window_get_position(GTK_WINDOW(w), &r.x, &r.y);
    const GdkRectangle size = WindowSize(w);
    r.width = size.width;
    r.height = size.height;
    return r;
}

// The display has mapped the window (GTK marks it mapped at once).
bool Viewable(GtkWidget* w)
{
    GdkWindow* gw = gtk_widget_get_window(w);
    return gtk_widget_get_mapped(w) && gw != nullptr &&
           (gdk_window_get_state(gw) & GDK_WINDOW_STATE_WITHDRAWN) == 0;
}

// Moves (pos non-null) and sizes (size non-null: the window's own size) the
// window, then waits for the display while it is mapped.
void MoveResize(GtkWidget* w, const GdkPoint* pos, const GdkRectangle* size)
{
    GdkRectangle want{};
    if (size != nullptr) {
        // The window cannot get smaller than its content needs.
        GtkRequisition min{};
        gtk_widget_get_preferred_size(w, &min, nullptr);
        want.width = std::max({size->width, min.width, 1});
        want.height = std::max({size->height, min.height, 1});
        gtk_window_resize(GTK_WINDOW(w), want.width, want.height);
    }
    if (pos != nullptr)
        gtk_window_move(GTK_WINDOW(w), pos->x, pos->y);
    if (!gtk_widget_get_mapped(w))
        return;
    gdk_display_flush(gtk_widget_get_display(w));
    PumpUntil(
        [&] {
            if (size != nullptr) {
                const GdkRectangle now = WindowSize(w);
                if (now.width != want.width || now.height != want.height)
                    return false;
            }
            if (pos != nullptr) {
                const GdkRectangle frame = FrameRect(w);
                if (frame.x != pos->x || frame.y != pos->y)
                    return false;
            }
            return true;
        },
        kSettleMs);
}

void Show(GtkWidget* w)
{
    gtk_widget_show(w);
    PumpUntil([w] { return Viewable(w); }, kSettleMs);
}

bool Zoomed(GtkWidget* w)
{
    return gtk_window_is_maximized(GTK_WINDOW(w)) || g_object_get_data(G_OBJECT(w), kRestoreKey);
}

void Maximize(GtkWidget* w)
{
    if (Zoomed(w))
        return;
    if (WindowManagerSupports(w, "_NET_WM_STATE_MAXIMIZED_VERT")) {
        gtk_window_maximize(GTK_WINDOW(w));
        PumpUntil([w] { return gtk_window_is_maximized(GTK_WINDOW(w)); }, kSettleMs);
        return;
    }
    const GdkRectangle frame = FrameRect(w);
    const GdkRectangle size = WindowSize(w);
    auto* restore = g_new(GdkRectangle, 1);
    *restore = Rect(frame.x, frame.y, size.width, size.height);
    g_object_set_data_full(G_OBJECT(w), kRestoreKey, restore, g_free);
    PlaceWindow(w, MonitorWorkarea(w));
}

void Restore(GtkWidget* w)
{
    gtk_window_deiconify(GTK_WINDOW(w));
    if (auto* saved = static_cast<GdkRectangle*>(g_object_get_data(G_OBJECT(w), kRestoreKey))) {
        const GdkRectangle to = *saved;
        g_object_set_data(G_OBJECT(w), kRestoreKey, nullptr);
        PlaceWindow(w, to);
    } else if (gtk_window_is_maximized(GTK_WINDOW(w))) {
        gtk_window_unmaximize(GTK_WINDOW(w));
        PumpUntil([w] { return !gtk_window_is_maximized(GTK_WINDOW(w)); }, kSettleMs);
    }
}

GdkMonitor* MonitorOf(GtkWidget* w)
{
    GdkDisplay* display = gtk_widget_get_display(w);
    GdkWindow* gw = gtk_widget_get_window(w);
    GdkMonitor* m = gw != nullptr ? gdk_display_get_monitor_at_window(display, gw) : nullptr;
    if (m == nullptr)
        m = gdk_display_get_primary_monitor(display);
    if (m == nullptr)
        m = gdk_display_get_monitor(display, 0);
    return m;
}

}  // namespace

GtkWidget* WidgetFromHwnd(HWND window)
{
    if (window == nullptr)
        return nullptr;
    // Compared as addresses only: the handle is trusted no further than the
    // list of windows GTK has.
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* l = windows; l != nullptr && found == nullptr; l = l->next)
        if (static_cast<void*>(l->data) == static_cast<void*>(window))
            found = GTK_WIDGET(l->data);
    g_list_free(windows);
    return found;
}

// ---- shared with the video renderer -------------------------------------------

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    const gint64 end = g_get_monotonic_time() + gint64(timeoutMs) * 1000;
    while (!done()) {
        if (g_get_monotonic_time() >= end)
            return false;
        if (!g_main_context_iteration(nullptr, FALSE))
            g_usleep(1000);
    }
    return true;
}

bool WindowManagerSupports(GtkWidget* window, const char* hint)
{
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_DISPLAY(gtk_widget_get_display(window)))
        return gdk_x11_screen_supports_net_wm_hint(gtk_widget_get_screen(window),
                                                   gdk_atom_intern_static_string(hint));
#endif
    (void)window;
    (void)hint;
    return true;
}

GdkRectangle MonitorGeometry(GtkWidget* window)
{
    GdkRectangle r{0, 0, 0, 0};
    if (GdkMonitor* m = MonitorOf(window))
        gdk_monitor_get_geometry(m, &r);
    return r;
}

GdkRectangle MonitorWorkarea(GtkWidget* window)
{
    GdkRectangle r{0, 0, 0, 0};
    if (GdkMonitor* m = MonitorOf(window))
        gdk_monitor_get_workarea(m, &r);
    return r;
}

void PlaceWindow(GtkWidget* window, const GdkRectangle& rect)
{
    const GdkPoint pos{rect.x, rect.y};
    MoveResize(window, &pos, &rect);
}

// ---- the window calls ---------------------------------------------------------

int GetSystemMetrics(int index)
{
    switch (index) {
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXSCREEN:
        case SM_CYSCREEN: {
            GdkDisplay* display = gdk_display_get_default();
            GdkMonitor* m = display ? gdk_display_get_primary_monitor(display) : nullptr;
            if (m == nullptr && display != nullptr)
                m = gdk_display_get_monitor(display, 0);
            if (m == nullptr)
                return 0;
            GdkRectangle r;
            gdk_monitor_get_geometry(m, &r);
            return index == SM_CXSCREEN ? r.width : r.height;
        }
        default:
            return 0;
    }
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    GtkWidget* w = TopLevel(window);
    if (w == nullptr || rect == nullptr)
        return FALSE;
    const GdkRectangle r = FrameRect(w);
    *rect = {r.x, r.y, r.x + r.width, r.y + r.height};
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect)
{
    GtkWidget* w = TopLevel(window);
    if (w == nullptr || rect == nullptr)
        return FALSE;
    const GdkRectangle r = ClientSize(w);
    *rect = {0, 0, r.width, r.height};
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    GtkWidget* w = TopLevel(window);
    if (w == nullptr)
        return FALSE;
    if (!(flags & SWP_NOZORDER) && gtk_widget_get_realized(w)) {
        if (insertAfter == HWND_BOTTOM)
            gdk_window_lower(gtk_widget_get_window(w));
        else
            gdk_window_raise(gtk_widget_get_window(w));
    }
    // cx, cy include the manager's frame, which the window keeps.
    const GdkRectangle frame = FrameRect(w);
    const GdkRectangle own = WindowSize(w);
    const GdkRectangle size =
        Rect(0, 0, cx - (frame.width - own.width), cy - (frame.height - own.height));
    const GdkPoint pos{x, y};
    MoveResize(w, (flags & SWP_NOMOVE) ? nullptr : &pos, (flags & SWP_NOSIZE) ? nullptr : &size);
    return TRUE;
}

HWND GetFocus()
{
    HWND focused = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* l = windows; l != nullptr && focused == nullptr; l = l->next)
        if (gtk_window_is_active(GTK_WINDOW(l->data)))
            focused = HwndFromWidget(GTK_WIDGET(l->data));
    g_list_free(windows);
    return focused;
}

HWND SetFocus(HWND window)
{
    const HWND previous = GetFocus();
    GtkWidget* w = TopLevel(window);
    if (w == nullptr || !gtk_widget_get_visible(w))
        return previous;
    // The display refuses the focus to a window it has not mapped yet.
    PumpUntil([w] { return Viewable(w); }, kSettleMs);
    gtk_window_present(GTK_WINDOW(w));
    gdk_display_flush(gtk_widget_get_display(w));
    PumpUntil([w] { return gtk_window_is_active(GTK_WINDOW(w)) != FALSE; }, kSettleMs);
    return previous;
}

BOOL IsZoomed(HWND window)
{
    GtkWidget* w = TopLevel(window);
    return w != nullptr && Zoomed(w) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command)
{
    GtkWidget* w = TopLevel(window);
    if (w == nullptr)
        return FALSE;
    const BOOL wasVisible = gtk_widget_get_visible(w) ? TRUE : FALSE;
    switch (command) {
        case SW_HIDE:
            gtk_widget_hide(w);
            break;
        case SW_SHOW:
            Show(w);
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
            Show(w);
            Restore(w);
            break;
        case SW_MAXIMIZE:
            Show(w);
            Maximize(w);
            break;
        default:
            break;
    }
    return wasVisible;
}
