// The game filter's sound: start-up of the device and the nine clips, and
// playing a clip by its number.
#include "game_sound.h"

#include <cstdio>

#include "play/game_filter.h"

namespace {

// The flags every clip is made with: volume, pan and frequency control.
constexpr DWORD kClipBufferFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

}  // namespace

void GameSound::Release()
{
    for (CSoundClip*& clip : clips) {
        delete clip;
        clip = nullptr;
    }
    delete device;
    device = nullptr;
}

GameSound& GameSoundState()
{
    static GameSound sound;
    return sound;
}

// Every start runs the sequence, but what an earlier start made is kept and
// used again: a second device would leave the first one's background loop
// sounding under the new one. Only the steps that have not yet succeeded
// run, in their order, and the first failure ends the sequence.
bool CGameFilter::StartSound()
{
    GameSound& sound = GameSoundState();
    if (sound.device == nullptr) {
        auto* device = new CSoundDevice;
        // There is no main window to hand over yet; the level is recorded.
        if (FAILED(device->Initialize(nullptr, DSSCL_PRIORITY)) ||
            FAILED(device->SetPrimaryFormat(2, 44100, 16))) {
            delete device;
            return false;
        }
        sound.device = device;
    }
    for (int n = 1; n <= GameSound::kClipCount; ++n) {
        if (sound.clips[n - 1] != nullptr)
            continue;
        char fileName[32];
        std::snprintf(fileName, sizeof fileName, "sounds/sound%d.wav", n);
        if (FAILED(sound.device->CreateClip(&sound.clips[n - 1], fileName, kClipBufferFlags,
                                            GUID_NULL, 1)))
            return false;
    }
    return true;
}

// A clip that never loaded plays nothing.
void CGameFilter::PlayClip(int clip, int flags, int volume)
{
    if (clip < 1 || clip > GameSound::kClipCount)
        return;
    CSoundClip* c = GameSoundState().clips[clip - 1];
    if (c != nullptr)
        c->Play(0, flags, volume, -1, 0);
}
