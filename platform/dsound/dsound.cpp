// DirectSound-shaped sound output over OpenAL Soft (see dsound.h).
//
// Mapping: a device is an ALC device with one context, distance attenuation
// off and head-related filtering off. A secondary buffer is a pair of OpenAL
// sources placed hard left and hard right, started and stopped together, so
// that volume and pan become one exact gain per side: the left source plays
// the left channel (or the mono channel), the right source the right channel
// (or the same mono channel). The buffer's bytes live in a block shared with
// its duplicates; Unlock copies them into the OpenAL buffers (one for mono,
// one per side for stereo), which the shared block owns.
#include "dsound.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

struct Device;
struct Buffer;

// The bytes of one clip and their OpenAL copies; shared by a buffer and its
// duplicates.
struct Samples {
    WAVEFORMATEX format{};
    std::vector<std::uint8_t> bytes;
    ALuint sides[2] = {};  // mono: sides[0] only; stereo: left, right
    std::vector<Buffer*> users;

    int SideCount() const { return format.nChannels == 2 ? 2 : 1; }
};

struct Device final : IDirectSound8 {
    ULONG refs = 1;
    ALCdevice* alDevice = nullptr;
    ALCcontext* context = nullptr;
    LPALCRENDERSAMPLESSOFT render = nullptr;  // loopback devices only
    HWND window = nullptr;
    DWORD level = 0;
    // DirectSound's primary format until the owner sets another: 22.05 kHz,
    // 8-bit stereo. Recorded and checked; OpenAL mixes at its own rate.
    WAVEFORMATEX primaryFormat{WAVE_FORMAT_PCM, 2, 22050, 44100, 2, 8, 0};
    std::vector<Buffer*> buffers;  // live secondary buffers

    ~Device();
    void MakeCurrent()
    {
        if (alcGetCurrentContext() != context)
            alcMakeContextCurrent(context);
    }

    ULONG AddRef() override { return ++refs; }
    ULONG Release() override;
    HRESULT SetCooperativeLevel(HWND window, DWORD level) override;
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer,
                              void* outer) override;
    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original,
                                 IDirectSoundBuffer** duplicate) override;
};

struct Buffer final : IDirectSoundBuffer {
    ULONG refs = 1;
    Device* device;
    DWORD flags;
    std::shared_ptr<Samples> samples;  // null for the primary buffer
    ALuint sources[2] = {};            // left, right
    LONG volume = 0;
    LONG pan = 0;
    DWORD frequency = DSBFREQUENCY_ORIGINAL;
    bool looping = false;
    bool lost = false;
    std::uint8_t* lockedAt = nullptr;

    Buffer(Device* d, DWORD f) : device(d), flags(f) { device->AddRef(); }
    ~Buffer();
    bool Primary() const { return samples == nullptr; }
    bool Playing()
    {
        ALint state = AL_STOPPED;
        alGetSourcei(sources[0], AL_SOURCE_STATE, &state);
        return state == AL_PLAYING;
    }
    HRESULT MakeSources();
    void ApplyGains();
    void ApplyPitch();

    ULONG AddRef() override { return ++refs; }
    ULONG Release() override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT GetFormat(WAVEFORMATEX* format) override;
    HRESULT SetFormat(const WAVEFORMATEX* format) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT Stop() override;
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetFrequency(DWORD frequency) override;
    HRESULT SetPan(LONG pan) override;
    HRESULT Restore() override;
    HRESULT Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2,
                 DWORD* bytes2, DWORD flags) override;
    HRESULT Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) override;
};

// 8- or 16-bit PCM, one or two channels, a rate DirectSound accepts and a
// block alignment that matches; anything else is refused.
bool IsPlayablePcm(const WAVEFORMATEX& f)
{
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
           f.nSamplesPerSec >= DSBFREQUENCY_MIN && f.nSamplesPerSec <= DSBFREQUENCY_MAX &&
           f.nBlockAlign == f.nChannels * (f.wBitsPerSample / 8);
}

float Attenuation(LONG hundredthsDb)
{
    if (hundredthsDb <= DSBVOLUME_MIN)
        return 0.0f;
    return static_cast<float>(std::pow(10.0, hundredthsDb / 2000.0));
}

// Copies the shared bytes into the OpenAL buffers. OpenAL refuses new data
// for a buffer that a source holds, so every user lets go first and takes it
// back afterwards, a playing one at the sample where it was.
HRESULT Upload(Samples& s)
{
    struct Held {
        ALint offset = 0;
        bool playing = false;
    };
    std::vector<Held> held(s.users.size());
    for (size_t i = 0; i < s.users.size(); ++i) {
        Buffer* b = s.users[i];
        ALint state = AL_STOPPED;
        alGetSourcei(b->sources[0], AL_SOURCE_STATE, &state);
        held[i].playing = state == AL_PLAYING;
        if (state == AL_PLAYING || state == AL_PAUSED)
            alGetSourcei(b->sources[0], AL_SAMPLE_OFFSET, &held[i].offset);
        alSourceStopv(2, b->sources);
        alSourcei(b->sources[0], AL_BUFFER, 0);
        alSourcei(b->sources[1], AL_BUFFER, 0);
    }

    const WAVEFORMATEX& f = s.format;
    const size_t frames = s.bytes.size() / f.nBlockAlign;
    const size_t sampleBytes = f.wBitsPerSample / 8;
    const ALenum alFormat = sampleBytes == 1 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    alGetError();
    if (s.SideCount() == 1) {
        alBufferData(s.sides[0], alFormat, s.bytes.data(),
                     static_cast<ALsizei>(frames * sampleBytes),
                     static_cast<ALsizei>(f.nSamplesPerSec));
    } else {
        std::vector<std::uint8_t> side(frames * sampleBytes);
        for (int c = 0; c < 2; ++c) {
            for (size_t i = 0; i < frames; ++i)
                std::memcpy(&side[i * sampleBytes], &s.bytes[i * f.nBlockAlign + c * sampleBytes],
                            sampleBytes);
            alBufferData(s.sides[c], alFormat, side.data(), static_cast<ALsizei>(side.size()),
                         static_cast<ALsizei>(f.nSamplesPerSec));
        }
    }
    const bool uploaded = alGetError() == AL_NO_ERROR;

    for (size_t i = 0; i < s.users.size(); ++i) {
        Buffer* b = s.users[i];
        alSourcei(b->sources[0], AL_BUFFER, static_cast<ALint>(s.sides[0]));
        alSourcei(b->sources[1], AL_BUFFER, static_cast<ALint>(s.sides[s.SideCount() - 1]));
        if (held[i].offset > 0 && static_cast<size_t>(held[i].offset) < frames) {
            alSourcei(b->sources[0], AL_SAMPLE_OFFSET, held[i].offset);
            alSourcei(b->sources[1], AL_SAMPLE_OFFSET, held[i].offset);
        }
        if (held[i].playing)
            alSourcePlayv(2, b->sources);
    }
    return uploaded ? DS_OK : E_FAIL;
}

// ---- device -------------------------------------------------------------------

Device::~Device()
{
    if (alcGetCurrentContext() == context)
        alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
    alcCloseDevice(alDevice);
}

ULONG Device::Release()
{
    const ULONG left = --refs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT Device::SetCooperativeLevel(HWND w, DWORD l)
{
    if (l < DSSCL_NORMAL || l > DSSCL_WRITEPRIMARY)
        return DSERR_INVALIDPARAM;
    window = w;
    level = l;
    return DS_OK;
}

HRESULT Device::CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out, void* outer)
{
    if (out == nullptr)
        return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (desc == nullptr || desc->dwSize != sizeof(DSBUFFERDESC))
        return DSERR_INVALIDPARAM;
    if (outer != nullptr)
        return DSERR_NOAGGREGATION;
    const DWORD f = desc->dwFlags;

    if (f & DSBCAPS_PRIMARYBUFFER) {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr ||
            (f & (DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLFX | DSBCAPS_CTRLPOSITIONNOTIFY)))
            return DSERR_INVALIDPARAM;
        Buffer* primary = new (std::nothrow) Buffer(this, f);
        if (primary == nullptr)
            return DSERR_OUTOFMEMORY;
        *out = primary;
        return DS_OK;
    }

    if (f & (DSBCAPS_CTRL3D | DSBCAPS_CTRLPOSITIONNOTIFY))
        return E_NOTIMPL;
    if (desc->lpwfxFormat == nullptr)
        return DSERR_INVALIDPARAM;
    if (!IsPlayablePcm(*desc->lpwfxFormat))
        return DSERR_BADFORMAT;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX)
        return DSERR_INVALIDPARAM;

    MakeCurrent();
    auto samples = std::shared_ptr<Samples>(new (std::nothrow) Samples);
    Buffer* b = samples ? new (std::nothrow) Buffer(this, f) : nullptr;
    if (b == nullptr)
        return DSERR_OUTOFMEMORY;
    b->samples = samples;
    samples->format = *desc->lpwfxFormat;
    samples->format.cbSize = 0;
    try {
        samples->bytes.assign(desc->dwBufferBytes, samples->format.wBitsPerSample == 8 ? 0x80 : 0);
        samples->users.reserve(1);
    } catch (const std::bad_alloc&) {
        b->Release();
        return DSERR_OUTOFMEMORY;
    }
    alGetError();
    alGenBuffers(samples->SideCount(), samples->sides);
    if (alGetError() != AL_NO_ERROR) {
        samples->sides[0] = samples->sides[1] = 0;
        b->Release();
        return DSERR_OUTOFMEMORY;
    }
    HRESULT hr = b->MakeSources();
    if (SUCCEEDED(hr))
        hr = Upload(*samples);
    if (FAILED(hr)) {
        b->Release();
        return hr;
    }
    *out = b;
    return DS_OK;
}

HRESULT Device::DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** out)
{
    if (out == nullptr)
        return DSERR_INVALIDPARAM;
    *out = nullptr;
    auto* from = dynamic_cast<Buffer*>(original);
    if (from == nullptr || from->device != this || from->Primary())
        return DSERR_INVALIDPARAM;
    MakeCurrent();
    Buffer* b = new (std::nothrow) Buffer(this, from->flags);
    if (b == nullptr)
        return DSERR_OUTOFMEMORY;
    b->samples = from->samples;
    b->volume = from->volume;
    b->pan = from->pan;
    b->frequency = from->frequency;
    const HRESULT hr = b->MakeSources();
    if (FAILED(hr)) {
        b->Release();
        return hr;
    }
    const Samples& s = *b->samples;
    alSourcei(b->sources[0], AL_BUFFER, static_cast<ALint>(s.sides[0]));
    alSourcei(b->sources[1], AL_BUFFER, static_cast<ALint>(s.sides[s.SideCount() - 1]));
    *out = b;
    return DS_OK;
}

// ---- buffer -------------------------------------------------------------------

HRESULT Buffer::MakeSources()
{
    alGetError();
    alGenSources(2, sources);
    if (alGetError() != AL_NO_ERROR) {
        sources[0] = sources[1] = 0;
        return DSERR_OUTOFMEMORY;
    }
    for (int side = 0; side < 2; ++side) {
        const ALuint s = sources[side];
        alSourcei(s, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(s, AL_POSITION, side == 0 ? -1.0f : 1.0f, 0.0f, 0.0f);
        alSourcef(s, AL_ROLLOFF_FACTOR, 0.0f);
    }
    try {
        samples->users.push_back(this);
        device->buffers.push_back(this);
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    ApplyGains();
    ApplyPitch();
    return DS_OK;
}

Buffer::~Buffer()
{
    if (samples) {
        device->MakeCurrent();
        if (sources[0] != 0) {
            alSourceStopv(2, sources);
            alDeleteSources(2, sources);
        }
        std::erase(samples->users, this);
        std::erase(device->buffers, this);
        if (samples.use_count() == 1 && samples->sides[0] != 0)
            alDeleteBuffers(samples->SideCount(), samples->sides);
        samples.reset();
    }
    device->Release();
}

ULONG Buffer::Release()
{
    const ULONG left = --refs;
    if (left == 0)
        delete this;
    return left;
}

void Buffer::ApplyGains()
{
    const float gain = Attenuation(volume);
    const float left = pan > 0 ? Attenuation(-pan) : 1.0f;
    const float right = pan < 0 ? Attenuation(pan) : 1.0f;
    alSourcef(sources[0], AL_GAIN, gain * left);
    alSourcef(sources[1], AL_GAIN, gain * right);
}

void Buffer::ApplyPitch()
{
    const DWORD rate = samples->format.nSamplesPerSec;
    const float pitch = frequency == DSBFREQUENCY_ORIGINAL
                            ? 1.0f
                            : static_cast<float>(static_cast<double>(frequency) / rate);
    alSourcef(sources[0], AL_PITCH, pitch);
    alSourcef(sources[1], AL_PITCH, pitch);
}

HRESULT Buffer::GetStatus(DWORD* status)
{
    if (status == nullptr)
        return DSERR_INVALIDPARAM;
    *status = 0;
    if (Primary())
        return DS_OK;
    if (lost) {
        *status = DSBSTATUS_BUFFERLOST;
        return DS_OK;
    }
    device->MakeCurrent();
    if (Playing())
        *status = DSBSTATUS_PLAYING | (looping ? DSBSTATUS_LOOPING : 0);
    return DS_OK;
}

HRESULT Buffer::GetFormat(WAVEFORMATEX* format)
{
    if (format == nullptr)
        return DSERR_INVALIDPARAM;
    *format = Primary() ? device->primaryFormat : samples->format;
    return DS_OK;
}

HRESULT Buffer::SetFormat(const WAVEFORMATEX* format)
{
    if (!Primary())
        return DSERR_INVALIDCALL;
    if (format == nullptr)
        return DSERR_INVALIDPARAM;
    if (device->level < DSSCL_PRIORITY)
        return DSERR_PRIOLEVELNEEDED;
    if (!IsPlayablePcm(*format))
        return DSERR_BADFORMAT;
    device->primaryFormat = *format;
    device->primaryFormat.cbSize = 0;
    return DS_OK;
}

HRESULT Buffer::Play(DWORD reserved, DWORD priority, DWORD playFlags)
{
    if (reserved != 0 || (playFlags & ~DSBPLAY_LOOPING) != 0)
        return DSERR_INVALIDPARAM;
    // Voice priorities matter only to buffers whose voice is chosen at play
    // time; OpenAL has a voice for every buffer.
    if (priority != 0 && !(flags & DSBCAPS_LOCDEFER))
        return DSERR_INVALIDPARAM;
    if (Primary())
        return DS_OK;
    if (lost)
        return DSERR_BUFFERLOST;
    device->MakeCurrent();
    looping = (playFlags & DSBPLAY_LOOPING) != 0;
    alSourcei(sources[0], AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
    alSourcei(sources[1], AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
    // A buffer that is playing goes on from where it is.
    if (!Playing())
        alSourcePlayv(2, sources);
    return DS_OK;
}

HRESULT Buffer::Stop()
{
    if (Primary())
        return DS_OK;
    device->MakeCurrent();
    // Paused, not stopped: the next Play goes on from here.
    if (Playing())
        alSourcePausev(2, sources);
    return DS_OK;
}

HRESULT Buffer::SetVolume(LONG v)
{
    if (!(flags & DSBCAPS_CTRLVOLUME))
        return DSERR_CONTROLUNAVAIL;
    if (v < DSBVOLUME_MIN || v > DSBVOLUME_MAX)
        return DSERR_INVALIDPARAM;
    if (Primary())
        return DS_OK;
    device->MakeCurrent();
    volume = v;
    ApplyGains();
    return DS_OK;
}

HRESULT Buffer::SetPan(LONG p)
{
    if (!(flags & DSBCAPS_CTRLPAN))
        return DSERR_CONTROLUNAVAIL;
    if (p < DSBPAN_LEFT || p > DSBPAN_RIGHT)
        return DSERR_INVALIDPARAM;
    if (Primary())
        return DS_OK;
    device->MakeCurrent();
    pan = p;
    ApplyGains();
    return DS_OK;
}

HRESULT Buffer::SetFrequency(DWORD f)
{
    if (!(flags & DSBCAPS_CTRLFREQUENCY) || Primary())
        return DSERR_CONTROLUNAVAIL;
    if (f != DSBFREQUENCY_ORIGINAL && (f < DSBFREQUENCY_MIN || f > DSBFREQUENCY_MAX))
        return DSERR_INVALIDPARAM;
    device->MakeCurrent();
    frequency = f;
    ApplyPitch();
    return DS_OK;
}

HRESULT Buffer::Restore()
{
    // The samples of a restored buffer are whatever was left; the owner
    // writes them again.
    lost = false;
    return DS_OK;
}

HRESULT Buffer::Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2,
                     DWORD* bytes2, DWORD lockFlags)
{
    if (region1 == nullptr || bytes1 == nullptr)
        return DSERR_INVALIDPARAM;
    *region1 = nullptr;
    *bytes1 = 0;
    if (region2 != nullptr)
        *region2 = nullptr;
    if (bytes2 != nullptr)
        *bytes2 = 0;
    if (Primary() || lockedAt != nullptr)
        return DSERR_INVALIDCALL;
    if (lost)
        return DSERR_BUFFERLOST;
    if (lockFlags & DSBLOCK_FROMWRITECURSOR)
        return E_NOTIMPL;
    const DWORD size = static_cast<DWORD>(samples->bytes.size());
    if (lockFlags & DSBLOCK_ENTIREBUFFER) {
        offset = 0;
        bytes = size;
    }
    if (offset >= size || bytes == 0 || bytes > size)
        return DSERR_INVALIDPARAM;
    const DWORD first = std::min(bytes, size - offset);
    const DWORD second = bytes - first;
    if (second != 0 && (region2 == nullptr || bytes2 == nullptr))
        return DSERR_INVALIDPARAM;
    lockedAt = samples->bytes.data() + offset;
    *region1 = lockedAt;
    *bytes1 = first;
    if (second != 0) {
        *region2 = samples->bytes.data();
        *bytes2 = second;
    }
    return DS_OK;
}

HRESULT Buffer::Unlock(void* region1, DWORD, void*, DWORD)
{
    if (lockedAt == nullptr || region1 != lockedAt)
        return DSERR_INVALIDPARAM;
    lockedAt = nullptr;
    device->MakeCurrent();
    return Upload(*samples);
}

// ---- creation -----------------------------------------------------------------

HRESULT MakeDevice(ALCdevice* alDevice, const ALCint* attributes, IDirectSound8** out)
{
    ALCcontext* context = alcCreateContext(alDevice, attributes);
    if (context == nullptr) {
        alcCloseDevice(alDevice);
        return DSERR_NODRIVER;
    }
    Device* d = new (std::nothrow) Device;
    if (d == nullptr) {
        alcDestroyContext(context);
        alcCloseDevice(alDevice);
        return DSERR_OUTOFMEMORY;
    }
    d->alDevice = alDevice;
    d->context = context;
    d->MakeCurrent();
    alDistanceModel(AL_NONE);
    *out = d;
    return DS_OK;
}

}  // namespace

HRESULT DirectSoundCreate8(const GUID* deviceId, IDirectSound8** ds, void* outer)
{
    if (ds == nullptr)
        return DSERR_INVALIDPARAM;
    *ds = nullptr;
    if (outer != nullptr)
        return DSERR_NOAGGREGATION;
    if (deviceId != nullptr && !(*deviceId == GUID_NULL))
        return DSERR_NODRIVER;
    ALCdevice* alDevice = alcOpenDevice(nullptr);
    if (alDevice == nullptr)
        return DSERR_NODRIVER;
    // Panning must stay a plain gain per side, not a headphone filter.
    const bool hrtf = alcIsExtensionPresent(alDevice, "ALC_SOFT_HRTF") == ALC_TRUE;
    const ALCint attributes[] = {hrtf ? ALC_HRTF_SOFT : 0, ALC_FALSE, 0};
    return MakeDevice(alDevice, attributes, ds);
}

HRESULT DirectSoundCreateLoopback(DWORD rate, IDirectSound8** ds)
{
    if (ds == nullptr)
        return DSERR_INVALIDPARAM;
    *ds = nullptr;
    if (alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback") != ALC_TRUE)
        return DSERR_NODRIVER;
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    auto render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (open == nullptr || render == nullptr)
        return DSERR_NODRIVER;
    ALCdevice* alDevice = open(nullptr);
    if (alDevice == nullptr)
        return DSERR_NODRIVER;
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                 ALC_STEREO_SOFT,
                                 ALC_FORMAT_TYPE_SOFT,
                                 ALC_FLOAT_SOFT,
                                 ALC_FREQUENCY,
                                 static_cast<ALCint>(rate),
                                 ALC_HRTF_SOFT,
                                 ALC_FALSE,
                                 0};
    const HRESULT hr = MakeDevice(alDevice, attributes, ds);
    if (SUCCEEDED(hr))
        static_cast<Device*>(*ds)->render = render;
    return hr;
}

HRESULT DirectSoundRenderLoopback(IDirectSound8* ds, float* out, DWORD frames)
{
    auto* d = dynamic_cast<Device*>(ds);
    if (d == nullptr || d->render == nullptr || out == nullptr)
        return DSERR_INVALIDPARAM;
    d->render(d->alDevice, out, static_cast<ALCsizei>(frames));
    return DS_OK;
}

HRESULT DirectSoundTestLoseBuffers(IDirectSound8* ds)
{
    auto* d = dynamic_cast<Device*>(ds);
    if (d == nullptr)
        return DSERR_INVALIDPARAM;
    d->MakeCurrent();
    for (Buffer* b : d->buffers) {
        alSourceStopv(2, b->sources);
        alSourceRewindv(2, b->sources);
        b->lost = true;
    }
    for (Buffer* b : d->buffers) {
        std::fill(b->samples->bytes.begin(), b->samples->bytes.end(), 0x5A);
        Upload(*b->samples);
    }
    return DS_OK;
}
