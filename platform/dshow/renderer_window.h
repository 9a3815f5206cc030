// Where the video renderer's picture is shown: inside its owner's client
// area, alone on the whole screen, or in a window of its own. GTK, UI thread
// only; never included by the system's own code.
//
// The owner's client area is the GtkFixed that is the owner window's child
// (one is made when the window has none). The video is placed there but
// does not ask the container for its size: a host window stays free to
// become smaller than its video, as a window with a child window would.
#pragma once

#include <gtk/gtk.h>

#include <functional>

#include "win/win.h"

// What the renderer's window has been told.
struct VideoWindowValues {
    HWND owner = nullptr;
    HWND drain = nullptr;  // where input on the video goes
    long style = 0;
    bool visible = false;
    bool autoShow = true;  // becomes visible when the renderer starts
    // In the owner's client coordinates, or on the screen without an owner;
    // a width or height of 0 takes the video's own.
    long left = 0, top = 0, width = 0, height = 0;
    bool fullScreen = false;
};

// A widget pointer that turns null when the widget goes.
class WeakWidget {
  public:
    WeakWidget() = default;
    WeakWidget(const WeakWidget&) = delete;
    WeakWidget& operator=(const WeakWidget&) = delete;
    ~WeakWidget() { Set(nullptr); }
    void Set(GtkWidget* widget);
    GtkWidget* Get() const { return m_widget; }

  private:
    GtkWidget* m_widget = nullptr;
};

class RendererWindow {
  public:
    // Told of an owner or drain window destroyed while it was one (the
    // handle is stale from then on).
    using GoneCallback = std::function<void(HWND window)>;

    // video: the widget the sink draws on; a reference is taken.
    RendererWindow(GtkWidget* video, GoneCallback gone);
    ~RendererWindow();
    RendererWindow(const RendererWindow&) = delete;
    RendererWindow& operator=(const RendererWindow&) = delete;

    // Whether window can be an owner or a drain: a GtkWindow; an owner's
    // child must also be a GtkFixed, or missing.
    static bool CanOwn(HWND window);
    static bool CanDrain(HWND window);

    void Update(const VideoWindowValues& values);

  private:
    void Embed();
    void EnterFullScreen();
    void LeaveFullScreen();
    void MoveVideo(GtkWidget* container);
    void DetachFromFixed();
    GtkWidget* OwnWindow();
    void HideOwnWindow();
    // An owner or drain window, followed until it is destroyed.
    struct Watched {
        WeakWidget widget;
        gulong destroyId = 0;
    };
    void Watch(Watched& slot, GtkWidget* window);
    void Forget(GtkWidget* window);
    bool Drain(GdkEvent* event);
    void ToDrainCoordinates(GdkEvent* event, GtkWidget* drain);

    static void OnFixedAllocate(GtkWidget* fixed, GdkRectangle* allocation, gpointer self);
    static void OnWindowDestroy(GtkWidget* window, gpointer self);
    static gboolean OnInput(GtkWidget* receiver, GdkEvent* event, gpointer self);
    void ConnectInput(GtkWidget* widget);

    GtkWidget* m_video;
    GoneCallback m_gone;
    VideoWindowValues m_values;
    Watched m_owner;
    Watched m_drain;
    WeakWidget m_fixed;  // the owner's client area while the video is in it
    gulong m_allocateId = 0;
    GtkWidget* m_own = nullptr;         // the window of its own, once made
    GtkWidget* m_fullScreen = nullptr;  // while in full-screen mode
};
