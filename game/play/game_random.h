// The game's pseudo-random generator: the classic linear congruential
// sequence (state = state * 214013 + 2531011 mod 2^32, result bits 16..30),
// our own so that a seed gives the same game on every system. Play and the
// sound clips draw from the one sequence.
#pragma once

#include <atomic>
#include <cstdint>

class GameRandom {
public:
    static constexpr int kMax = 32767;

    void Seed(std::uint32_t seed) { state.store(seed, std::memory_order_relaxed); }

    // 0 .. kMax.
    int Next()
    {
        std::uint32_t s = state.load(std::memory_order_relaxed) * 214013u + 2531011u;
        state.store(s, std::memory_order_relaxed);
        return static_cast<int>((s >> 16) & 0x7fff);
    }

private:
    // Atomic only so that a draw on the window thread (a clip started by a
    // filter start) and one on the streaming thread are not a data race; the
    // two never overlap in time.
    std::atomic<std::uint32_t> state{1};
};

// The program's one generator.
GameRandom& GameRng();
