// The video renderer's window over GTK (see renderer_window.h).
#include "renderer_window.h"

#include <algorithm>
#include <utility>

#include "win/gtk_windows.h"
#include "win/window.h"

namespace {

constexpr int kSettleMs = 1000;
constexpr char kTitle[] = "Video";
constexpr GdkEventMask kInputMask = static_cast<GdkEventMask>(
    GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK | GDK_SCROLL_MASK |
    GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK);

GtkWidget* MakeTopLevel()
{
    GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(w), kTitle);
    gtk_widget_add_events(w, kInputMask);
    return w;
}

// The owner's client area: its GtkFixed child, made when it has no child.
GtkWidget* ClientArea(GtkWidget* owner)
{
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(owner));
    if (child == nullptr) {
        child = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(owner), child);
        gtk_widget_show(child);
    }
    return GTK_IS_FIXED(child) ? child : nullptr;
}

// The event's position fields, null for events without one.
void Coordinates(GdkEvent* e, gdouble** x, gdouble** y, gdouble** xRoot, gdouble** yRoot)
{
    switch (e->type) {
        case GDK_BUTTON_PRESS:
        case GDK_2BUTTON_PRESS:
        case GDK_3BUTTON_PRESS:
        case GDK_BUTTON_RELEASE:
            *x = &e->button.x, *y = &e->button.y;
            *xRoot = &e->button.x_root, *yRoot = &e->button.y_root;
            return;
        case GDK_MOTION_NOTIFY:
            *x = &e->motion.x, *y = &e->motion.y;
            *xRoot = &e->motion.x_root, *yRoot = &e->motion.y_root;
            return;
        case GDK_SCROLL:
            *x = &e->scroll.x, *y = &e->scroll.y;
            *xRoot = &e->scroll.x_root, *yRoot = &e->scroll.y_root;
            return;
        default:
            *x = *y = *xRoot = *yRoot = nullptr;
    }
}

}  // namespace

void WeakWidget::Set(GtkWidget* widget)
{
    if (widget == m_widget)
        return;
    if (m_widget)
        g_object_remove_weak_pointer(G_OBJECT(m_widget), reinterpret_cast<gpointer*>(&m_widget));
    m_widget = widget;
    if (m_widget)
        g_object_add_weak_pointer(G_OBJECT(m_widget), reinterpret_cast<gpointer*>(&m_widget));
}

RendererWindow::RendererWindow(GtkWidget* video, GoneCallback gone)
    : m_video(GTK_WIDGET(g_object_ref(video))), m_gone(std::move(gone))
{
    gtk_widget_add_events(m_video, kInputMask);
    ConnectInput(m_video);
    // The sink opens a window of its own for a widget without one; this
    // keeps the video in ours, hidden until it is shown.
    Update(m_values);
}

RendererWindow::~RendererWindow()
{
    g_signal_handlers_disconnect_by_data(m_video, this);
    DetachFromFixed();
    Watch(m_owner, nullptr);
    Watch(m_drain, nullptr);
    if (GtkWidget* parent = gtk_widget_get_parent(m_video))
        gtk_container_remove(GTK_CONTAINER(parent), m_video);
    if (m_fullScreen)
        gtk_widget_destroy(m_fullScreen);
    if (m_own)
        gtk_widget_destroy(m_own);
    g_object_unref(m_video);
}

bool RendererWindow::CanDrain(HWND window)
{
    return window == nullptr || WidgetFromHwnd(window) != nullptr;
}

bool RendererWindow::CanOwn(HWND window)
{
    if (!CanDrain(window))
        return false;
    GtkWidget* w = WidgetFromHwnd(window);
    GtkWidget* child = w ? gtk_bin_get_child(GTK_BIN(w)) : nullptr;
    return child == nullptr || GTK_IS_FIXED(child);
}

void RendererWindow::Update(const VideoWindowValues& values)
{
    m_values = values;
    Watch(m_owner, WidgetFromHwnd(values.owner));
    Watch(m_drain, WidgetFromHwnd(values.drain));
    if (values.fullScreen) {
        EnterFullScreen();
    } else {
        Embed();
        LeaveFullScreen();
    }
    gtk_widget_set_visible(m_video, values.visible || values.fullScreen);
}

// ---- windowed -------------------------------------------------------------------

void RendererWindow::Embed()
{
    GtkWidget* fixed = m_owner.widget.Get() ? ClientArea(m_owner.widget.Get()) : nullptr;
    if (fixed == nullptr) {
        MoveVideo(OwnWindow());
        if (!m_values.visible) {
            HideOwnWindow();
            return;
        }
        if (m_values.width > 0 && m_values.height > 0)
            PlaceWindow(m_own, {int(m_values.left), int(m_values.top), int(m_values.width),
                                int(m_values.height)});
        gtk_widget_show(m_own);
        return;
    }
    HideOwnWindow();
    MoveVideo(fixed);
    gtk_fixed_move(GTK_FIXED(fixed), m_video, m_values.left, m_values.top);
    // A new size alone changes no request: have the area lay out again.
    gtk_widget_queue_resize(m_video);
}

// Moves the video into container (a GtkFixed of an owner, or a top-level
// window of the renderer's).
void RendererWindow::MoveVideo(GtkWidget* container)
{
    if (gtk_widget_get_parent(m_video) == container)
        return;
    g_object_ref(m_video);
    if (GtkWidget* parent = gtk_widget_get_parent(m_video)) {
        DetachFromFixed();
        gtk_container_remove(GTK_CONTAINER(parent), m_video);
    }
    if (GTK_IS_FIXED(container)) {
        gtk_fixed_put(GTK_FIXED(container), m_video, m_values.left, m_values.top);
        m_fixed.Set(container);
        m_allocateId =
            g_signal_connect_after(container, "size-allocate", G_CALLBACK(OnFixedAllocate), this);
    } else {
        gtk_container_add(GTK_CONTAINER(container), m_video);
    }
    g_object_unref(m_video);
}

void RendererWindow::DetachFromFixed()
{
    if (m_fixed.Get() && m_allocateId)
        g_signal_handler_disconnect(m_fixed.Get(), m_allocateId);
    m_allocateId = 0;
    m_fixed.Set(nullptr);
}

// The fixed container gives each child its minimum size (1 x 1 for the
// video), and asks that much of its window; the video gets its real place
// here, after the container's own layout.
void RendererWindow::OnFixedAllocate(GtkWidget* fixed, GdkRectangle* allocation, gpointer data)
{
    auto* self = static_cast<RendererWindow*>(data);
    GtkWidget* video = self->m_video;
    if (gtk_widget_get_parent(video) != fixed || !gtk_widget_get_visible(video))
        return;
    const VideoWindowValues& v = self->m_values;
    GtkRequisition natural{};
    gtk_widget_get_preferred_size(video, nullptr, &natural);
    const int border = static_cast<int>(gtk_container_get_border_width(GTK_CONTAINER(fixed)));
    const bool own = gtk_widget_get_has_window(fixed);
    GtkAllocation a;
    a.x = (own ? 0 : allocation->x) + border + int(v.left);
    a.y = (own ? 0 : allocation->y) + border + int(v.top);
    a.width = std::max(1, v.width > 0 ? int(v.width) : natural.width);
    a.height = std::max(1, v.height > 0 ? int(v.height) : natural.height);
    gtk_widget_size_allocate(video, &a);
}

GtkWidget* RendererWindow::OwnWindow()
{
    if (m_own == nullptr) {
        m_own = MakeTopLevel();
        ConnectInput(m_own);
    }
    return m_own;
}

void RendererWindow::HideOwnWindow()
{
    if (m_own)
        gtk_widget_hide(m_own);
}

void RendererWindow::Watch(Watched& slot, GtkWidget* window)
{
    if (window == slot.widget.Get())
        return;
    if (slot.widget.Get() && slot.destroyId)
        g_signal_handler_disconnect(slot.widget.Get(), slot.destroyId);
    slot.destroyId = 0;
    slot.widget.Set(window);
    if (window)
        slot.destroyId = g_signal_connect(window, "destroy", G_CALLBACK(OnWindowDestroy), this);
}

// An owner or drain destroyed before the renderer let go of it: forget its
// handle, and take the video out before the owner destroys its children,
// keeping it hidden.
void RendererWindow::OnWindowDestroy(GtkWidget* window, gpointer data)
{
    static_cast<RendererWindow*>(data)->Forget(window);
}

void RendererWindow::Forget(GtkWidget* window)
{
    const HWND handle = HwndFromWidget(window);
    if (window == m_drain.widget.Get()) {
        Watch(m_drain, nullptr);
        m_values.drain = nullptr;
    }
    if (window == m_owner.widget.Get()) {
        Watch(m_owner, nullptr);
        m_values.owner = nullptr;
        if (m_fullScreen == nullptr) {
            MoveVideo(OwnWindow());
            HideOwnWindow();
        }
    }
    if (m_gone)
        m_gone(handle);
}

// ---- full screen ------------------------------------------------------------------

void RendererWindow::EnterFullScreen()
{
    if (m_fullScreen)
        return;
    GtkWidget* fs = MakeTopLevel();
    m_fullScreen = fs;
    gtk_window_set_decorated(GTK_WINDOW(fs), FALSE);
    ConnectInput(fs);
    MoveVideo(fs);
    HideOwnWindow();
    // Without a window manager nobody acts on the full-screen hint: the
    // window covers the monitor itself.
    const GdkRectangle screen = MonitorGeometry(m_owner.widget.Get() ? m_owner.widget.Get() : fs);
    if (WindowManagerSupports(fs, "_NET_WM_STATE_FULLSCREEN"))
        gtk_window_fullscreen(GTK_WINDOW(fs));
    PlaceWindow(fs, screen);
    gtk_widget_show(fs);
    PumpUntil(
        [fs, screen] {
            GdkWindow* w = gtk_widget_get_window(fs);
            return w != nullptr && !(gdk_window_get_state(w) & GDK_WINDOW_STATE_WITHDRAWN) &&
                   gtk_widget_get_allocated_width(fs) == screen.width &&
                   gtk_widget_get_allocated_height(fs) == screen.height;
        },
        kSettleMs);
    // Keys now go to the full-screen window, which passes them on.
    SetFocus(HwndFromWidget(fs));
}

void RendererWindow::LeaveFullScreen()
{
    if (m_fullScreen == nullptr)
        return;
    GtkWidget* fs = std::exchange(m_fullScreen, nullptr);
    if (gtk_widget_get_parent(m_video) == fs)
        Embed();
    gtk_widget_destroy(fs);
}

// ---- input --------------------------------------------------------------------------

void RendererWindow::ConnectInput(GtkWidget* widget)
{
    for (const char* signal : {"button-press-event", "button-release-event", "motion-notify-event",
                               "scroll-event", "key-press-event", "key-release-event"})
        g_signal_connect(widget, signal, G_CALLBACK(OnInput), this);
}

gboolean RendererWindow::OnInput(GtkWidget*, GdkEvent* event, gpointer self)
{
    return static_cast<RendererWindow*>(self)->Drain(event) ? TRUE : FALSE;
}

// Hands input on the video (or on the full-screen window) to the drain
// window's own handlers, as if it had happened there.
bool RendererWindow::Drain(GdkEvent* event)
{
    GtkWidget* drain = m_drain.widget.Get();
    if (drain == nullptr || !gtk_widget_get_realized(drain))
        return false;
    GdkEvent* copy = gdk_event_copy(event);
    if (copy->any.window)
        g_object_unref(copy->any.window);
    copy->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(drain)));
    ToDrainCoordinates(copy, drain);
    gtk_widget_event(drain, copy);
    gdk_event_free(copy);
    return true;
}

// A position on the video becomes the same spot of the video where it sits
// in its owner's client area (in full screen too, so that a click lands on
// what the host shows there), in the drain window's coordinates.
void RendererWindow::ToDrainCoordinates(GdkEvent* e, GtkWidget* drain)
{
    gdouble *x, *y, *xRoot, *yRoot;
    Coordinates(e, &x, &y, &xRoot, &yRoot);
    if (x == nullptr || gtk_widget_get_window(m_video) == nullptr)
        return;
    int videoX = 0, videoY = 0;
    gdk_window_get_origin(gtk_widget_get_window(m_video), &videoX, &videoY);
    GtkAllocation video;
    gtk_widget_get_allocation(m_video, &video);
    if (!gtk_widget_get_has_window(m_video))
        videoX += video.x, videoY += video.y;
    const double width = m_values.width > 0 ? m_values.width : video.width;
    const double height = m_values.height > 0 ? m_values.height : video.height;
    const double cx = m_values.left + (*xRoot - videoX) * width / std::max(1, video.width);
    const double cy = m_values.top + (*yRoot - videoY) * height / std::max(1, video.height);
    // The client area may sit inside the drain window's border.
    int offsetX = 0, offsetY = 0;
    if (GtkWidget* client = gtk_bin_get_child(GTK_BIN(drain))) {
        GtkAllocation a;
        gtk_widget_get_allocation(client, &a);
        offsetX = a.x, offsetY = a.y;
    }
    int drainX = 0, drainY = 0;
    gdk_window_get_origin(gtk_widget_get_window(drain), &drainX, &drainY);
    *x = offsetX + cx;
    *y = offsetY + cy;
    *xRoot = drainX + *x;
    *yRoot = drainY + *y;
}
