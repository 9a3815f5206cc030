#include <time.h>

#include "win.h"

namespace {

std::int64_t MonotonicNanoseconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace

std::uint32_t GetTickCount() { return static_cast<std::uint32_t>(MonotonicNanoseconds() / 1000000); }

std::int64_t QueryPerformanceCounter() { return MonotonicNanoseconds(); }

std::int64_t QueryPerformanceFrequency() { return 1000000000; }
