// The game's clock: calendar seconds (what seeds each wave of sprites) and
// the millisecond tick (what times the automatic background reset). Tests
// set both; the program reads the system's.
#pragma once

#include <cstdint>

namespace game_clock {

std::int64_t CalendarSeconds();
std::uint32_t TickMilliseconds();

// Fixes both readings until ReleaseFixed; Advance moves the fixed readings.
void SetFixed(std::int64_t calendarSeconds, std::uint32_t tickMilliseconds);
void Advance(std::uint32_t milliseconds);
void ReleaseFixed();

}  // namespace game_clock
