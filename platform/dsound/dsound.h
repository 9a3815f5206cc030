// DirectSound-shaped sound output over OpenAL Soft.
//
// Implemented: the default playback device (DirectSoundCreate8), the
// cooperative level (recorded), the primary buffer and its format (recorded
// and checked), secondary buffers holding a whole clip of 8- or 16-bit PCM,
// mono or stereo, at any rate from 100 to 200000 Hz, duplicates sharing the
// samples, Play (looping or once; priority, which OpenAL does not need),
// Stop, volume, frequency, pan, status, Restore, Lock and Unlock.
// Not implemented: 3-D buffers and listener, effects, notifications,
// streaming positions (GetCurrentPosition, SetCurrentPosition), capture.
//
// Levels: volume v and pan p are in hundredths of a decibel. A buffer plays
// at gain 10^(v/2000) on both sides; a pan attenuates the far side by |p|
// (p < 0 turns the right side down, p > 0 the left). -10000 is silence.
// Frequency f plays the samples at f / (the format's own rate) of their
// speed.
//
// Buffer loss: OpenAL keeps its samples, so a buffer is lost only when a test
// says so (DirectSoundTestLoseBuffers); Restore then succeeds at once and the
// owner refills the buffer.
//
// Threads: a device and its buffers are used by one thread at a time (the
// window thread while setting up, the streaming thread while playing).
#pragma once

#include <cstdint>

#include "com/guid.h"
#include "com/hresult.h"
#include "win/win.h"

#define DSOUND_API __attribute__((visibility("default")))

using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using WORD = std::uint16_t;

// The platform's wave format record: 18 bytes, followed in memory by cbSize
// bytes of format-specific data.
#pragma pack(push, 2)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr WORD WAVE_FORMAT_PCM = 1;

struct DSBUFFERDESC {
    DWORD dwSize;  // sizeof(DSBUFFERDESC)
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    GUID guid3DAlgorithm;
};

// Cooperative levels.
constexpr DWORD DSSCL_NORMAL = 1;
constexpr DWORD DSSCL_PRIORITY = 2;
constexpr DWORD DSSCL_EXCLUSIVE = 3;
constexpr DWORD DSSCL_WRITEPRIMARY = 4;

// Buffer capabilities.
constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x1;
constexpr DWORD DSBCAPS_STATIC = 0x2;
constexpr DWORD DSBCAPS_LOCHARDWARE = 0x4;
constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x8;
constexpr DWORD DSBCAPS_CTRL3D = 0x10;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x100;
constexpr DWORD DSBCAPS_CTRLFX = 0x200;
constexpr DWORD DSBCAPS_STICKYFOCUS = 0x4000;
constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x8000;
constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x10000;
constexpr DWORD DSBCAPS_MUTE3DATMAXDISTANCE = 0x20000;
constexpr DWORD DSBCAPS_LOCDEFER = 0x40000;

// Play flags, status bits, lock flags.
constexpr DWORD DSBPLAY_LOOPING = 0x1;
constexpr DWORD DSBSTATUS_PLAYING = 0x1;
constexpr DWORD DSBSTATUS_BUFFERLOST = 0x2;
constexpr DWORD DSBSTATUS_LOOPING = 0x4;
constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x1;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x2;

// Ranges.
constexpr LONG DSBVOLUME_MIN = -10000;
constexpr LONG DSBVOLUME_MAX = 0;
constexpr LONG DSBPAN_LEFT = -10000;
constexpr LONG DSBPAN_CENTER = 0;
constexpr LONG DSBPAN_RIGHT = 10000;
constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;
constexpr DWORD DSBFREQUENCY_MIN = 100;
constexpr DWORD DSBFREQUENCY_MAX = 200000;
constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

// Result codes.
constexpr HRESULT DS_OK = S_OK;
constexpr HRESULT DS_NO_VIRTUALIZATION = 0x0878000A;
constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
constexpr HRESULT DSERR_BUFFERLOST = static_cast<HRESULT>(0x88780096u);
constexpr HRESULT DSERR_NOAGGREGATION = CLASS_E_NOAGGREGATION;

// A sound buffer: the primary buffer (its format only) or a secondary buffer
// holding one whole clip. Reference counted; the last Release frees it.
struct DSOUND_API IDirectSoundBuffer {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    // Fills *format with the first min(size, 18) bytes of the buffer's format.
    virtual HRESULT GetFormat(WAVEFORMATEX* format) = 0;
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT SetFrequency(DWORD frequency) = 0;
    virtual HRESULT SetPan(LONG pan) = 0;
    virtual HRESULT Restore() = 0;
    // One region of bytes from offset, or two when it wraps past the end
    // (the second then starts at the buffer's beginning).
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2,
                         DWORD* bytes2, DWORD flags) = 0;
    // Hands the written bytes back; from then on they are what plays.
    virtual HRESULT Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) = 0;

protected:
    ~IDirectSoundBuffer() = default;
};

// The sound device. Reference counted; its buffers hold a reference to it.
struct DSOUND_API IDirectSound8 {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer,
                                      void* outer) = 0;
    virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original,
                                         IDirectSoundBuffer** duplicate) = 0;

protected:
    ~IDirectSound8() = default;
};

// Opens the default playback device. `device` must be null (the default
// device) and `outer` null. With no usable audio output: DSERR_NODRIVER.
DSOUND_API HRESULT DirectSoundCreate8(const GUID* device, IDirectSound8** ds, void* outer);

// ---- test seams ---------------------------------------------------------------

// A device that plays into memory: nothing sounds until
// DirectSoundRenderLoopback mixes the next `frames` stereo frames of 32-bit
// float samples (left, right) at `rate` samples per second into `out`.
DSOUND_API HRESULT DirectSoundCreateLoopback(DWORD rate, IDirectSound8** ds);
DSOUND_API HRESULT DirectSoundRenderLoopback(IDirectSound8* ds, float* out, DWORD frames);

// Loses every secondary buffer of the device, as when another program takes
// the device: they stop, their samples are overwritten, GetStatus reports
// DSBSTATUS_BUFFERLOST and Play and Lock fail with DSERR_BUFFERLOST until
// Restore.
DSOUND_API HRESULT DirectSoundTestLoseBuffers(IDirectSound8* ds);
