#include "game_clock.h"

#include <atomic>
#include <ctime>

#include "win/win.h"

namespace {

std::atomic<bool> g_fixed{false};
std::atomic<std::int64_t> g_fixedMilliseconds{0};  // calendar time in ms while fixed
std::atomic<std::uint32_t> g_fixedTick{0};

}  // namespace

namespace game_clock {

std::int64_t CalendarSeconds()
{
    if (g_fixed.load(std::memory_order_acquire))
        return g_fixedMilliseconds.load(std::memory_order_relaxed) / 1000;
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::uint32_t TickMilliseconds()
{
    if (g_fixed.load(std::memory_order_acquire))
        return g_fixedTick.load(std::memory_order_relaxed);
    return GetTickCount();
}

void SetFixed(std::int64_t calendarSeconds, std::uint32_t tickMilliseconds)
{
    g_fixedMilliseconds.store(calendarSeconds * 1000, std::memory_order_relaxed);
    g_fixedTick.store(tickMilliseconds, std::memory_order_relaxed);
    g_fixed.store(true, std::memory_order_release);
}

void Advance(std::uint32_t milliseconds)
{
    g_fixedMilliseconds.fetch_add(milliseconds, std::memory_order_relaxed);
    g_fixedTick.fetch_add(milliseconds, std::memory_order_relaxed);
}

void ReleaseFixed() { g_fixed.store(false, std::memory_order_release); }

}  // namespace game_clock
