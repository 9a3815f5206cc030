// The capture library's exported interface: the host program's whole view of
// it. Frames reach the host as bottom-up BGR24 buffers (rows padded to 4
// bytes, the first row in memory shown at the bottom) and run, in place,
// through a stack of up to ten filters derived from COrvexFilter.
#pragma once

#include <atomic>

#include "com/hresult.h"
#include "win/win.h"

#define ORVEX_API __attribute__((visibility("default")))

class ORVEX_API COrvexFilter {
public:
    COrvexFilter() = default;
    COrvexFilter(const COrvexFilter& other) : enabled(other.enabled.load()) {}
    COrvexFilter& operator=(const COrvexFilter& other)
    {
        enabled.store(other.enabled.load());
        return *this;
    }
    virtual ~COrvexFilter();

    int IsEnabled() const { return enabled.load(std::memory_order_relaxed); }
    // May be called from any thread; takes effect from the next frame.
    void SetEnable(int enable) { enabled.store(enable, std::memory_order_relaxed); }

protected:
    // Non-zero: the frame dispatch calls Transform.
    std::atomic<int> enabled{1};

    // One frame, changed in place; runs on the streaming thread.
    virtual void Transform(unsigned char* frame);
    // Capture starts: no frame arrives before every filter's start returned.
    virtual void FilterStart();
    // Capture stopped. May come without a start, or twice in a row.
    virtual void FilterStop();

    // The frame geometry, 0 until a device accepted a frame size.
    static int imageWidth;
    static int imageHeight;
    static int imageChannels;
    static int imageBitDepth;
    static int imageByteDepth;
    static int imageAlign;
    static int imagePixelCount;
    static int imagePixelSize;
    static int imageWidthStep;  // 3 * width rounded up to a multiple of 4
    static int imageSize;       // 3 * width * height, not imageWidthStep * height

    friend struct OrvexFilterAccess;
};

extern "C" {

// ---- capture control --------------------------------------------------------
// A window handle is the host's GtkWindow (see win/window.h). All of these
// run on the UI thread.

// Builds the capture graph for the current device, its video shown in
// window. Once per load of the library.
ORVEX_API HRESULT orvexInitialize(HWND window);
// Stops capture, tears the graph down and empties the device list.
ORVEX_API void orvexFinalize();
// Starts every pushed filter, then the graph. 0, or E_FAIL without a graph.
ORVEX_API HRESULT orvexStartCapture();
// Stops the graph, then every pushed filter. Always 0.
ORVEX_API HRESULT orvexStopCapture();
// Chooses device index; rebuilds the graph (and restarts capture) when one
// was built.
ORVEX_API HRESULT orvexSetSource(int index);
ORVEX_API int orvexIsRunning();
ORVEX_API int orvexIsSourceCrossBar();

// ---- the video window ---------------------------------------------------------

// Makes the video fill the host window's client area; the host calls it
// whenever its window moves or changes size.
ORVEX_API HRESULT orvexResizeVideoWindow();
ORVEX_API void orvexToggleFullScreen();
ORVEX_API int orvexIsFullScreen();
// Without a display: graphs built from now on record the shown video to
// path (Motion-JPEG AVI); null or empty discards it again.
ORVEX_API void orvexRecordVideo(const char* path);

// Pushes a filter (which may be null) on top of the stack. Returns the new
// count, or the error box's result when capture runs or the stack is full.
ORVEX_API int orvexPushFilter(COrvexFilter* filter);
// Removes the last pushed filter without stopping or destroying it.
ORVEX_API void orvexPopFilter();
ORVEX_API int orvexGetFilterCount();

// The frame size asked of the next device bound (320 x 240 at load); the
// nearest size the device accepts replaces it.
ORVEX_API void orvexSetResolution(int width, int height);
// The video input devices found when the library was loaded (at most ten).
ORVEX_API int orvexGetSourceCount();
// The UTF-8 name of device index (0..9), owned by the library; null for an
// empty slot or a device whose name could not be read.
ORVEX_API const char* orvexGetSourceName(int index);
ORVEX_API int orvexGetCurrentSource();

// Opens the performance dialog and returns when it is closed; while it is
// open, a second call brings it to the front. The host's windows stay usable.
ORVEX_API void orvexShowPerformanceDlg();

// The library's error box: a printf-style message captioned "Orvex - ERROR".
// Returns the box's result (1 when confirmed).
ORVEX_API int orvexReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // extern "C"
