// The filter stack, the frame dispatch and the filters' start and stop.
#include <array>

#include "capture_internal.h"

namespace {

// Slots 0 .. count - 1 hold the pushed filters in push order; the rest are
// null. The stack changes only while capture is not running, so the
// streaming thread reads it without a lock.
std::array<COrvexFilter*, kMaxFilters> g_filterStack{};
int g_nFilterCount = 0;

bool CaptureRunning() { return g_nCaptureState.load(std::memory_order_acquire) == 2; }

}  // namespace

std::atomic<int> g_nCaptureState{0};

std::atomic<HWND> g_hPerfDlg{nullptr};
std::atomic<std::int64_t> g_qpcPrevFrameStart{0};
std::atomic<std::int64_t> g_qpcFrameStart{0};
std::atomic<std::int64_t> g_qpcFrameEnd{0};
std::atomic<std::int64_t> g_tscFrameStart{0};
std::atomic<std::int64_t> g_tscFrameEnd{0};

COrvexFilter::~COrvexFilter() = default;
void COrvexFilter::Transform(unsigned char*) {}
void COrvexFilter::FilterStart() {}
void COrvexFilter::FilterStop() {}

int orvexPushFilter(COrvexFilter* filter)
{
    if (CaptureRunning())
        return orvexReportError("Cannot Push Filter. Capture is Running!");
    if (g_nFilterCount == kMaxFilters)
        return orvexReportError("Filter Stack if Full!");
    g_filterStack[g_nFilterCount] = filter;
    return ++g_nFilterCount;
}

void orvexPopFilter()
{
    if (CaptureRunning()) {
        orvexReportError("Cannot Pop Filter. Capture is Running!");
        return;
    }
    if (g_nFilterCount > 0)
        g_filterStack[--g_nFilterCount] = nullptr;
}

int orvexGetFilterCount() { return g_nFilterCount; }

COrvexFilter* orvexFilterAt(int index)
{
    return index >= 0 && index < g_nFilterCount ? g_filterStack[index] : nullptr;
}

void orvexDispatchFrame(unsigned char* frame)
{
    constexpr auto relaxed = std::memory_order_relaxed;
    const bool timed = g_hPerfDlg.load(relaxed) != nullptr;
    std::uint64_t tscStart = 0;
    if (timed) {
        g_qpcPrevFrameStart.store(g_qpcFrameStart.load(relaxed), relaxed);
        g_qpcFrameStart.store(QueryPerformanceCounter(), relaxed);
        tscStart = ReadCycleCounter();
    }

    for (int i = 0; i < g_nFilterCount; ++i) {
        COrvexFilter* filter = g_filterStack[i];
        if (filter != nullptr && filter->IsEnabled())
            OrvexFilterAccess::Transform(filter, frame);
    }

    // Tested again: the dialog may have closed during the frame. A frame
    // whose start was not timed (the dialog opened meanwhile) publishes
    // nothing, so a record never pairs an end with a missing start.
    HWND dialog = g_hPerfDlg.load(relaxed);
    if (timed && dialog != nullptr) {
        std::uint64_t tscEnd = ReadCycleCounter();
        g_qpcFrameEnd.store(QueryPerformanceCounter(), relaxed);
        g_tscFrameStart.store(static_cast<std::int64_t>(tscStart), relaxed);
        g_tscFrameEnd.store(static_cast<std::int64_t>(tscEnd), relaxed);
        PostMessage(dialog, WM_PERF_FRAME, 0, 0);
    }
}

void orvexStartFilters()
{
    for (int i = 0; i < g_nFilterCount; ++i)
        if (g_filterStack[i] != nullptr)
            OrvexFilterAccess::Start(g_filterStack[i]);
}

void orvexStopFilters()
{
    for (int i = 0; i < g_nFilterCount; ++i)
        if (g_filterStack[i] != nullptr)
            OrvexFilterAccess::Stop(g_filterStack[i]);
}
