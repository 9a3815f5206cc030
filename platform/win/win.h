// The few operating-system services the capture library and the game call by
// their platform names: the error box, window handles and posted messages,
// the millisecond tick, and the performance and cycle counters. The window
// calls themselves are in window.h.
#pragma once

#include <cstdint>
#include <functional>

#define WIN_API __attribute__((visibility("default")))

struct OrvexWindow;  // opaque: a window of the host, known to the UI layer only
using HWND = OrvexWindow*;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LONG = std::int32_t;
using BOOL = int;

// A rectangle in pixels; right and bottom lie just outside it.
struct RECT {
    LONG left, top, right, bottom;
};

constexpr int IDOK = 1;

// ---- error box ------------------------------------------------------------

// Shows text in a modal message box with the given caption and one OK button
// and returns IDOK once the user confirms it. While no display is open (or the
// program runs headless) the text goes to standard error instead. A hook
// installed by a test receives the text and its result is returned.
WIN_API int ShowErrorBox(const char* caption, const char* text);

using ErrorBoxHook = std::function<int(const char* caption, const char* text)>;
// Installs (or, with an empty hook, removes) the hook; returns the previous one.
WIN_API ErrorBoxHook SetErrorBoxHook(ErrorBoxHook hook);

// Headless: never open a display, even when one would be available.
WIN_API void SetHeadless(bool headless);
WIN_API bool IsHeadless();

// ---- posted window messages -----------------------------------------------

using WindowProc = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

// Binds a window handle to the procedure that receives its posted messages.
WIN_API void RegisterWindowProc(HWND window, WindowProc proc);
WIN_API void UnregisterWindowProc(HWND window);

// Queues a message for the window's procedure on the UI thread (the default
// GLib main context). Callable from any thread; a message for a window that
// is gone by the time it is delivered is dropped. Returns false for a null
// window.
WIN_API bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- clocks -----------------------------------------------------------------

// Milliseconds since an arbitrary start, wrapping at 2^32.
WIN_API std::uint32_t GetTickCount();

// The high-resolution performance counter: monotonic nanoseconds.
WIN_API std::int64_t QueryPerformanceCounter();
WIN_API std::int64_t QueryPerformanceFrequency();

// The processor's time-stamp counter, read behind a serialising fence so that
// earlier instructions have completed before the read.
inline std::uint64_t ReadCycleCounter()
{
#if defined(__x86_64__) || defined(__i386__)
    std::uint32_t lo, hi;
    asm volatile("lfence\n\trdtsc" : "=a"(lo), "=d"(hi)::"memory");
    return (static_cast<std::uint64_t>(hi) << 32) | lo;
#elif defined(__aarch64__)
    std::uint64_t v;
    asm volatile("isb\n\tmrs %0, cntvct_el0" : "=r"(v)::"memory");
    return v;
#else
    return static_cast<std::uint64_t>(QueryPerformanceCounter());
#endif
}
