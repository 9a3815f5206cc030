// The performance dialog: frame rate, processing time and cycles of the
// filter stack, averaged over the last 100 frames. The dispatch records the
// counters on the streaming thread and posts WM_PERF_FRAME; each message
// becomes one sample here, on the UI thread.
#include <gtk/gtk.h>

#include <cstdio>
#include <iterator>

#include "capture_internal.h"
#include "devices.h"

namespace {

constexpr int kRing = 100;

// Value fields by their control ids.
enum PerfField : int {
    kProcessingTime = 1001,
    kFps = 1002,
    kCyclesPerFrame = 1003,
    kFilters = 1004,
    kFrames = 1005,
    kCyclesPerElement = 1006,
    kResolution = 1007,
    kFrameDuration = 1008,
    kProcessingShare = 1009,
};

struct PerfRow {
    const char* label;
    PerfField field;
};
constexpr PerfRow kRows[] = {
    {"FPS:", kFps},
    {"Frame Duration:", kFrameDuration},
    {"Processing Time:", kProcessingTime},
    {"Processing %:", kProcessingShare},
    {"Image Resolution:", kResolution},
    {"Cycles Per Frame:", kCyclesPerFrame},
    {"Cycles Per Element:", kCyclesPerElement},
    {"No. of Filters:", kFilters},
    {"No. of Frames:", kFrames},
};

struct PerfDialogState {
    GtkWidget* window = nullptr;
    GMainLoop* loop = nullptr;
    GtkWidget* values[std::size(kRows)] = {};
    std::int64_t frequency = 0;
};
PerfDialogState g_perf;

}  // namespace

int g_nPerfFrames = 0;
int g_nPerfSamples = 0;
int g_nPerfPos = 0;
float g_fProcTimeMs[kRing];
float g_fFps[kRing];
int g_nCyclesPerElement[kRing];

namespace {

void SetField(PerfField field, const char* text)
{
    for (std::size_t i = 0; i < std::size(kRows); ++i)
        if (kRows[i].field == field)
            gtk_label_set_text(GTK_LABEL(g_perf.values[i]), text);
}

// One sample from the performance record, then the means of this opening's
// samples.
void TakeSample()
{
    constexpr auto relaxed = std::memory_order_relaxed;
    ++g_nPerfFrames;
    if (g_nPerfSamples < kRing)
        ++g_nPerfSamples;
    const int n = g_nPerfSamples, p = g_nPerfPos;
    const double frequency = static_cast<double>(g_perf.frequency);
    const std::int64_t busy = g_qpcFrameEnd.load(relaxed) - g_qpcFrameStart.load(relaxed);
    const std::int64_t period = g_qpcFrameStart.load(relaxed) - g_qpcPrevFrameStart.load(relaxed);
    const std::int64_t cycles = g_tscFrameEnd.load(relaxed) - g_tscFrameStart.load(relaxed);
    const std::int64_t pixels = static_cast<std::int64_t>(g_nFrameWidth) * g_nFrameHeight;
    g_fProcTimeMs[p] = static_cast<float>(static_cast<double>(busy) / frequency * 1000.0);
    g_fFps[p] = static_cast<float>(frequency / static_cast<double>(period));
    // Without a known frame size there is no per-pixel figure: 0, shown "n/a".
    g_nCyclesPerElement[p] = pixels > 0 ? static_cast<int>(cycles / pixels) : 0;

    float procSum = 0.0f, fpsSum = 0.0f;
    int cycleSum = 0;
    for (int i = 0; i < n; ++i) {
        procSum += g_fProcTimeMs[i];
        fpsSum += g_fFps[i];
        cycleSum += g_nCyclesPerElement[i];
    }
    const float meanProc = procSum * (1.0f / static_cast<float>(n));
    const float meanFps = fpsSum * (1.0f / static_cast<float>(n));
    const int meanCycles = cycleSum / n;

    int enabled = 0;
    const int count = orvexGetFilterCount();
    for (int i = 0; i < count; ++i)
        if (COrvexFilter* f = orvexFilterAt(i); f != nullptr && f->IsEnabled())
            ++enabled;
    g_nPerfPos = (p + 1) % kRing;

    char text[200];
    std::snprintf(text, sizeof text, "%.2f", meanFps);
    SetField(kFps, text);
    std::snprintf(text, sizeof text, "%.2fms", 1000.0f / meanFps);
    SetField(kFrameDuration, text);
    std::snprintf(text, sizeof text, "%.2fms", meanProc);
    SetField(kProcessingTime, text);
    std::snprintf(text, sizeof text, "%.2f", meanFps * meanProc * 0.1f);
    SetField(kProcessingShare, text);
    std::snprintf(text, sizeof text, "%d x %d", g_nFrameWidth, g_nFrameHeight);
    SetField(kResolution, text);
    if (pixels > 0) {
        std::snprintf(text, sizeof text, "%d", meanCycles * g_nFrameHeight * g_nFrameWidth);
        SetField(kCyclesPerFrame, text);
        std::snprintf(text, sizeof text, "%d", meanCycles);
        SetField(kCyclesPerElement, text);
    } else {
        SetField(kCyclesPerFrame, "n/a");
        SetField(kCyclesPerElement, "n/a");
    }
    std::snprintf(text, sizeof text, "%d(%d)", enabled, count);
    SetField(kFilters, text);
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(g_nPerfFrames));
    SetField(kFrames, text);
}

void Close()
{
    if (g_perf.window == nullptr)
        return;
    // Recording stops before the window goes; a message still queued for it
    // finds no procedure and is dropped.
    HWND handle = g_hPerfDlg.exchange(nullptr);
    UnregisterWindowProc(handle);
    gtk_widget_destroy(g_perf.window);
    g_perf.window = nullptr;
    if (g_perf.loop)
        g_main_loop_quit(g_perf.loop);
}

GtkWidget* BuildDialog()
{
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Orvex Performance");
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_container_set_border_width(GTK_CONTAINER(window), 10);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_add(GTK_CONTAINER(window), box);

    GtkWidget* header = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
    gtk_box_pack_start(GTK_BOX(header),
                       gtk_image_new_from_icon_name("video-display", GTK_ICON_SIZE_DIALOG), FALSE,
                       FALSE, 0);
    GtkWidget* titles = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
    for (const char* t : {"Orvex - Video Version 1.0", "Processing Performance Metrics"}) {
        GtkWidget* label = gtk_label_new(t);
        gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        gtk_box_pack_start(GTK_BOX(titles), label, FALSE, FALSE, 0);
    }
    gtk_box_pack_start(GTK_BOX(header), titles, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), header, FALSE, FALSE, 0);

    GtkWidget* frame = gtk_frame_new(nullptr);
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_column_spacing(GTK_GRID(grid), 16);
    gtk_grid_set_row_spacing(GTK_GRID(grid), 3);
    gtk_container_set_border_width(GTK_CONTAINER(grid), 8);
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        GtkWidget* label = gtk_label_new(kRows[i].label);
        gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        GtkWidget* value = gtk_label_new("");
        gtk_label_set_xalign(GTK_LABEL(value), 1.0f);
        gtk_label_set_width_chars(GTK_LABEL(value), 14);  // room for the widest value
        gtk_widget_set_hexpand(value, TRUE);
        gtk_grid_attach(GTK_GRID(grid), label, 0, static_cast<int>(i), 1, 1);
        gtk_grid_attach(GTK_GRID(grid), value, 1, static_cast<int>(i), 1, 1);
        g_perf.values[i] = value;
    }
    gtk_container_add(GTK_CONTAINER(frame), grid);
    gtk_box_pack_start(GTK_BOX(box), frame, TRUE, TRUE, 0);

    GtkWidget* ok = gtk_button_new_with_label("OK");
    gtk_widget_set_halign(ok, GTK_ALIGN_CENTER);
    gtk_widget_set_size_request(ok, 80, -1);
    gtk_widget_set_can_default(ok, TRUE);
    g_signal_connect(ok, "clicked", G_CALLBACK(+[](GtkButton*, gpointer) { Close(); }), nullptr);
    gtk_box_pack_start(GTK_BOX(box), ok, FALSE, FALSE, 0);
    gtk_window_set_default(GTK_WINDOW(window), ok);

    // The window manager's close and Escape act as Cancel.
    g_signal_connect(window, "delete-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer) -> gboolean {
                         Close();
                         return TRUE;
                     }),
                     nullptr);
    g_signal_connect(window, "key-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventKey* key, gpointer) -> gboolean {
                         if (key->keyval != GDK_KEY_Escape)
                             return FALSE;
                         Close();
                         return TRUE;
                     }),
                     nullptr);
    return window;
}

}  // namespace

void orvexShowPerformanceDlg()
{
    if (g_perf.window != nullptr) {
        gtk_window_present(GTK_WINDOW(g_perf.window));
        return;
    }
    // Without a display there is nothing to show.
    if (IsHeadless() || gdk_display_get_default() == nullptr)
        return;
    g_perf.window = BuildDialog();
    g_perf.frequency = QueryPerformanceFrequency();
    g_nPerfFrames = g_nPerfPos = g_nPerfSamples = 0;
    gtk_window_move(GTK_WINDOW(g_perf.window), 300, 300);
    gtk_widget_show_all(g_perf.window);

    HWND handle = reinterpret_cast<HWND>(g_perf.window);
    RegisterWindowProc(handle, [](UINT message, WPARAM, LPARAM) {
        if (message == WM_PERF_FRAME && g_perf.window != nullptr)
            TakeSample();
    });
    g_hPerfDlg = handle;  // the dispatch records from the next frame on

    // Modal to the caller, who waits here; the dialog has no owner, so the
    // host's windows go on taking input meanwhile.
    g_perf.loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(g_perf.loop);
    g_main_loop_unref(g_perf.loop);
    g_perf.loop = nullptr;
}

GtkWidget* orvexPerformanceDialogWindow() { return g_perf.window; }
const char* orvexPerformanceDialogValue(int field)
{
    for (std::size_t i = 0; i < std::size(kRows); ++i)
        if (kRows[i].field == field && g_perf.values[i] != nullptr && g_perf.window != nullptr)
            return gtk_label_get_text(GTK_LABEL(g_perf.values[i]));
    return nullptr;
}
