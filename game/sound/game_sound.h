// The game's sound state: one device and the nine clips, made by the game
// filter's start and kept to the end of the program. Clip n (1 to 9) is
// loaded from sounds/sound<n>.wav below the working directory; clip 9 is the
// background loop.
#pragma once

#include "sound_device.h"

struct GameSound {
    static constexpr int kClipCount = 9;

    CSoundDevice* device = nullptr;
    CSoundClip* clips[kClipCount] = {};

    ~GameSound() { Release(); }
    // Clips first, then the device they were made on.
    void Release();
};

// The program's one sound state.
GameSound& GameSoundState();
