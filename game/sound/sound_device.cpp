#include "sound_device.h"

#include <unistd.h>

#include <cstring>
#include <new>
#include <vector>

#include "play/game_random.h"

// ---- device -------------------------------------------------------------------

CSoundDevice::~CSoundDevice()
{
    if (device != nullptr)
        device->Release();
}

HRESULT CSoundDevice::Initialize(HWND window, DWORD cooperativeLevel)
{
    if (device != nullptr) {
        device->Release();
        device = nullptr;
    }
    HRESULT hr = DirectSoundCreate8(nullptr, &device, nullptr);
    if (FAILED(hr))
        return hr;
    hr = device->SetCooperativeLevel(window, cooperativeLevel);
    if (FAILED(hr))
        return hr;
    return S_OK;
}

HRESULT CSoundDevice::SetPrimaryFormat(DWORD channels, DWORD samplesPerSec, DWORD bitsPerSample)
{
    if (device == nullptr)
        return CO_E_NOTINITIALIZED;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer* primary = nullptr;
    HRESULT hr = device->CreateSoundBuffer(&desc, &primary, nullptr);
    if (FAILED(hr))
        return hr;

    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = static_cast<WORD>(channels);
    wfx.nSamplesPerSec = samplesPerSec;
    wfx.wBitsPerSample = static_cast<WORD>(bitsPerSample);
    wfx.nBlockAlign = static_cast<WORD>(wfx.wBitsPerSample / 8 * wfx.nChannels);
    wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
    hr = primary->SetFormat(&wfx);
    primary->Release();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CSoundDevice::CreateClip(CSoundClip** clip, const char* fileName, DWORD creationFlags,
                                 const GUID& algorithm3D, DWORD bufferCount)
{
    if (device == nullptr)
        return CO_E_NOTINITIALIZED;
    if (fileName == nullptr || clip == nullptr || bufferCount < 1)
        return E_INVALIDARG;

    std::unique_ptr<IDirectSoundBuffer*[]> buffers(new (std::nothrow)
                                                       IDirectSoundBuffer*[bufferCount]());
    std::unique_ptr<CWaveReader> reader(new (std::nothrow) CWaveReader);
    if (!buffers || !reader)
        return E_OUTOFMEMORY;

    // What Open says is not looked at: a file that yields no samples, for
    // whatever reason, fails the same way.
    reader->Open(fileName, nullptr, CWaveReader::kModeRead);
    if (reader->DataSize() == 0)
        return E_FAIL;

    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = creationFlags;
    desc.dwBufferBytes = reader->DataSize();
    desc.lpwfxFormat = const_cast<WAVEFORMATEX*>(reader->Format());
    desc.guid3DAlgorithm = algorithm3D;

    // Buffers made so far are released when a later one fails.
    auto releaseMade = [&] {
        for (DWORD i = 0; i < bufferCount; ++i)
            if (buffers[i] != nullptr)
                buffers[i]->Release();
    };
    HRESULT result = device->CreateSoundBuffer(&desc, &buffers[0], nullptr);
    if (FAILED(result))
        return result;
    if (result != DS_NO_VIRTUALIZATION)
        result = S_OK;

    for (DWORD i = 1; i < bufferCount; ++i) {
        // Buffers with effects cannot share samples; the others are duplicates.
        const HRESULT hr = (creationFlags & DSBCAPS_CTRLFX)
                               ? device->CreateSoundBuffer(&desc, &buffers[i], nullptr)
                               : device->DuplicateSoundBuffer(buffers[0], &buffers[i]);
        if (FAILED(hr)) {
            releaseMade();
            return hr;
        }
    }

    *clip = new (std::nothrow)
        CSoundClip(buffers.get(), reader->DataSize(), bufferCount, reader.get(), creationFlags);
    if (*clip == nullptr) {
        releaseMade();
        return E_OUTOFMEMORY;
    }
    reader.release();
    return result;
}

// ---- clip ---------------------------------------------------------------------

CSoundClip::CSoundClip(IDirectSoundBuffer** from, DWORD size, DWORD count, CWaveReader* wave,
                       DWORD flags)
    : buffers(count > 0 ? new (std::nothrow) IDirectSoundBuffer*[count] : nullptr),
      bufferSize(size),
      reader(wave),
      bufferCount(buffers ? count : 0),
      creationFlags(flags)
{
    for (DWORD i = 0; i < bufferCount; ++i) buffers[i] = from[i];
    if (bufferCount > 0)
        FillFromWave(buffers[0], false);
}

CSoundClip::~CSoundClip()
{
    for (DWORD i = 0; i < bufferCount; ++i)
        if (buffers[i] != nullptr)
            buffers[i]->Release();
    delete reader;
}

HRESULT CSoundClip::Play(LONG priority, LONG flags, LONG volume, LONG frequency, LONG pan)
{
    if (!buffers)
        return CO_E_NOTINITIALIZED;
    IDirectSoundBuffer* buffer = PickIdleBuffer();
    if (buffer == nullptr)
        return E_FAIL;

    bool restored = false;
    HRESULT hr = RecoverLostBuffer(buffer, &restored);
    if (FAILED(hr))
        return hr;
    if (restored) {
        hr = FillFromWave(buffer, false);
        if (FAILED(hr))
            return hr;
    }

    if (creationFlags & DSBCAPS_CTRLVOLUME)
        buffer->SetVolume(volume);
    if (frequency != -1 && (creationFlags & DSBCAPS_CTRLFREQUENCY))
        buffer->SetFrequency(static_cast<DWORD>(frequency));
    if (creationFlags & DSBCAPS_CTRLPAN)
        buffer->SetPan(pan);
    return buffer->Play(0, static_cast<DWORD>(priority), static_cast<DWORD>(flags));
}

IDirectSoundBuffer* CSoundClip::PickIdleBuffer()
{
    if (!buffers || bufferCount == 0)
        return nullptr;
    for (DWORD i = 0; i < bufferCount; ++i) {
        if (buffers[i] == nullptr)
            continue;
        DWORD status = 0;
        if (FAILED(buffers[i]->GetStatus(&status)))
            status = 0;
        if (!(status & DSBSTATUS_PLAYING))
            return buffers[i];
    }
    // Every buffer plays: the draw comes from the game's own sequence.
    return buffers[static_cast<DWORD>(GameRng().Next()) % bufferCount];
}

HRESULT CSoundClip::RecoverLostBuffer(IDirectSoundBuffer* buffer, bool* restored)
{
    if (buffer == nullptr)
        return CO_E_NOTINITIALIZED;
    if (restored != nullptr)
        *restored = false;
    DWORD status = 0;
    HRESULT hr = buffer->GetStatus(&status);
    if (FAILED(hr))
        return hr;
    if (!(status & DSBSTATUS_BUFFERLOST))
        return S_FALSE;
    // While another program holds the device, Restore keeps failing.
    do {
        hr = buffer->Restore();
        if (hr == DSERR_BUFFERLOST)
            usleep(10 * 1000);
    } while ((hr = buffer->Restore()) == DSERR_BUFFERLOST);
    if (restored != nullptr)
        *restored = true;
    return S_OK;
}

HRESULT CSoundClip::FillFromWave(IDirectSoundBuffer* buffer, bool repeatIfLonger)
{
    if (buffer == nullptr)
        return CO_E_NOTINITIALIZED;
    HRESULT hr = RecoverLostBuffer(buffer);
    if (FAILED(hr))
        return hr;

    void* locked = nullptr;
    DWORD lockedBytes = 0;
    hr = buffer->Lock(0, bufferSize, &locked, &lockedBytes, nullptr, nullptr, 0);
    if (FAILED(hr))
        return hr;
    auto* region = static_cast<std::uint8_t*>(locked);
    const WAVEFORMATEX* wfx = reader != nullptr ? reader->Format() : nullptr;
    const std::uint8_t silence = wfx != nullptr && wfx->wBitsPerSample == 8 ? 0x80 : 0x00;

    DWORD read = 0;
    if (reader != nullptr) {
        reader->Rewind();
        hr = reader->Read(region, lockedBytes, &read);
        if (FAILED(hr)) {
            buffer->Unlock(locked, lockedBytes, nullptr, 0);
            return hr;
        }
    }
    if (read < lockedBytes && repeatIfLonger && read > 0) {
        // The samples again until the region is full.
        DWORD filled = read;
        while (filled < lockedBytes) {
            reader->Rewind();
            DWORD more = 0;
            hr = reader->Read(region + filled, lockedBytes - filled, &more);
            if (FAILED(hr)) {
                buffer->Unlock(locked, lockedBytes, nullptr, 0);
                return hr;
            }
            if (more == 0)
                break;  // a reader with nothing to give would never fill it
            filled += more;
        }
        read = filled;
    }
    if (read < lockedBytes)
        std::memset(region + read, silence, lockedBytes - read);
    buffer->Unlock(locked, lockedBytes, nullptr, 0);
    return S_OK;
}
