// The video renderer's element: a bin whose sink pad takes raw video and
// shows it on a GTK widget, discards it at the pace a display would, or
// records it as Motion-JPEG in an AVI file. Never included by the system's
// own code.
//
// A recording is one file per run: it starts when the element goes from
// READY to PAUSED (the file is created then) and is finished (index and
// header written) when the element goes back from PAUSED to READY, which a
// pipeline's way to NULL passes through; that wait is bounded by a second.
// An end of stream from upstream finishes the file's data early; the
// element's way down then only waits for the file to be complete.
#pragma once

#include <gst/gst.h>
#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>

// Who hears of the element's starts (see VideoOutput::OnStarted).
struct OutputNotice;

class VideoOutput {
  public:
    enum class Kind { Display, Discard, Record };

    // Null when an element it needs is missing. Display: on the UI thread,
    // with GTK initialised. Record: path names the file.
    static std::unique_ptr<VideoOutput> Make(Kind kind, const std::string& path = {});
    ~VideoOutput();
    VideoOutput(const VideoOutput&) = delete;
    VideoOutput& operator=(const VideoOutput&) = delete;

    // With the reference this object holds.
    GstElement* Element() const { return m_bin; }
    // The widget the video is drawn on (Display only), one reference held.
    GtkWidget* Widget() const { return m_widget; }
    // The frame size the sink pad carries or last carried; before any, what
    // the upstream element offers when that is one size. False when unknown.
    bool VideoSize(int* width, int* height) const;
    // started runs on the UI thread (from the default main context) after
    // each start of the element; never after this object is gone.
    void OnStarted(std::function<void()> started);

  private:
    explicit VideoOutput(GstElement* bin);

    GstElement* m_bin;
    GtkWidget* m_widget = nullptr;
    std::shared_ptr<OutputNotice> m_notice;
};
