// What the capture library's own parts share and do not export.
#pragma once

#include <atomic>
#include <cstdint>

#include "orvex.h"
#include "win/win.h"

constexpr int kMaxFilters = 10;
constexpr UINT WM_PERF_FRAME = 7000;

// Capture state: 0 no graph, 1 ready, 2 running.
extern std::atomic<int> g_nCaptureState;

// The performance record, written by the frame dispatch while the
// performance dialog is open and read by the dialog.
extern std::atomic<HWND> g_hPerfDlg;
extern std::atomic<std::int64_t> g_qpcPrevFrameStart;
extern std::atomic<std::int64_t> g_qpcFrameStart;
extern std::atomic<std::int64_t> g_qpcFrameEnd;
extern std::atomic<std::int64_t> g_tscFrameStart;
extern std::atomic<std::int64_t> g_tscFrameEnd;

// The filter in stack slot `index` (null for an empty or unknown slot).
COrvexFilter* orvexFilterAt(int index);

// Runs every enabled filter of the stack over one frame; the frame-tap
// filter's callback.
void orvexDispatchFrame(unsigned char* frame);

// The filter half of starting and stopping capture: every pushed filter,
// enabled or not, in stack order.
void orvexStartFilters();
void orvexStopFilters();

// Publishes the geometry of BGR24 frames of width x height to every filter.
void orvexSetImageGeometry(int width, int height);

// The performance dialog's state, and for tests its window and the text of a
// value field by control id (null while it is closed).
extern int g_nPerfFrames;
extern int g_nPerfSamples;
extern int g_nPerfPos;
struct _GtkWidget;
_GtkWidget* orvexPerformanceDialogWindow();
const char* orvexPerformanceDialogValue(int field);

// Reads the protected static geometry for the library's own parts.
struct OrvexFilterAccess {
    static int Width() { return COrvexFilter::imageWidth; }
    static int Height() { return COrvexFilter::imageHeight; }
    static int WidthStep() { return COrvexFilter::imageWidthStep; }
    static int Size() { return COrvexFilter::imageSize; }
    static int PixelCount() { return COrvexFilter::imagePixelCount; }
    static void SetGeometry(int width, int height);
    static void Start(COrvexFilter* f) { f->FilterStart(); }
    static void Stop(COrvexFilter* f) { f->FilterStop(); }
    static void Transform(COrvexFilter* f, unsigned char* frame) { f->Transform(frame); }
};
