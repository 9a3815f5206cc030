// The game's sound: a device that loads WAV files into whole-clip buffers,
// and the clips, each played on demand with a volume, a frequency and a pan.
// Volumes and pans are in hundredths of a decibel, frequencies in samples per
// second (-1 leaves the clip's rate as it is).
#pragma once

#include <cstdint>
#include <memory>

#include "dsound/dsound.h"
#include "wave_reader.h"

class CSoundClip {
public:
    // Takes over the buffers (and the reader), then fills the first buffer
    // from the reader; duplicates share its samples.
    CSoundClip(IDirectSoundBuffer** buffers, DWORD bufferSize, DWORD bufferCount,
               CWaveReader* reader, DWORD creationFlags);
    virtual ~CSoundClip();
    CSoundClip(const CSoundClip&) = delete;
    CSoundClip& operator=(const CSoundClip&) = delete;

    // Plays on an idle buffer, or again on a busy one when all are busy (a
    // buffer that is still sounding goes on; no second voice starts).
    HRESULT Play(LONG priority, LONG flags, LONG volume, LONG frequency, LONG pan);

    // The first buffer that is not playing; when all play, one drawn with the
    // game's generator. Null without buffers.
    IDirectSoundBuffer* PickIdleBuffer();
    // Restores a lost buffer, waiting while the device is taken. S_FALSE when
    // it was not lost; *restored tells whether it was restored.
    HRESULT RecoverLostBuffer(IDirectSoundBuffer* buffer, bool* restored = nullptr);
    // Copies the clip's samples into the buffer from their start; the rest of
    // the buffer is the samples again (repeat) or silence.
    HRESULT FillFromWave(IDirectSoundBuffer* buffer, bool repeatIfLonger);

    DWORD BufferCount() const { return bufferCount; }
    IDirectSoundBuffer* Buffer(DWORD i) const { return i < bufferCount ? buffers[i] : nullptr; }

private:
    std::unique_ptr<IDirectSoundBuffer*[]> buffers;
    DWORD bufferSize;
    CWaveReader* reader;  // owned; kept open to refill a lost buffer
    DWORD bufferCount;
    DWORD creationFlags;
};

class CSoundDevice {
public:
    CSoundDevice() = default;
    ~CSoundDevice();
    CSoundDevice(const CSoundDevice&) = delete;
    CSoundDevice& operator=(const CSoundDevice&) = delete;

    // Opens the default output device and sets the cooperative level.
    HRESULT Initialize(HWND window, DWORD cooperativeLevel);
    HRESULT SetPrimaryFormat(DWORD channels, DWORD samplesPerSec, DWORD bitsPerSample);
    // Loads a WAV file into `bufferCount` buffers of one new clip.
    HRESULT CreateClip(CSoundClip** clip, const char* fileName, DWORD creationFlags,
                       const GUID& algorithm3D, DWORD bufferCount);

    // Null until Initialize succeeds; owned.
    IDirectSound8* device = nullptr;
};
