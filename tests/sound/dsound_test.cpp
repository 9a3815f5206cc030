// The DirectSound-shaped layer, heard through OpenAL Soft's loopback device:
// levels, pan, looping, frequency, shared samples, loss, and what it refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dsound/dsound.h"

namespace {

constexpr DWORD kRate = 44100;

struct Rms {
    double left = 0, right = 0;
};

class Loopback : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(DirectSoundCreateLoopback(kRate, &ds), DS_OK); }
    void TearDown() override
    {
        for (IDirectSoundBuffer* b : made) b->Release();
        if (ds != nullptr) {
            EXPECT_EQ(ds->Release(), 0u);
        }
    }

    static WAVEFORMATEX Format(WORD channels, WORD bits, DWORD rate = kRate)
    {
        WAVEFORMATEX f{};
        f.wFormatTag = WAVE_FORMAT_PCM;
        f.nChannels = channels;
        f.nSamplesPerSec = rate;
        f.wBitsPerSample = bits;
        f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
        f.nAvgBytesPerSec = rate * f.nBlockAlign;
        return f;
    }

    HRESULT Make(WAVEFORMATEX f, DWORD bytes, DWORD flags, IDirectSoundBuffer** out)
    {
        DSBUFFERDESC d{};
        d.dwSize = sizeof d;
        d.dwFlags = flags;
        d.dwBufferBytes = bytes;
        d.lpwfxFormat = &f;
        const HRESULT hr = ds->CreateSoundBuffer(&d, out, nullptr);
        if (SUCCEEDED(hr))
            made.push_back(*out);
        return hr;
    }

    // A 16-bit buffer of `frames` frames holding a 441 Hz sine at `amp` of
    // full scale on the left (and `rightAmp` on the right when stereo).
    IDirectSoundBuffer* Sine(WORD channels, DWORD frames, double amp, double rightAmp = -1)
    {
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(Make(Format(channels, 16), frames * channels * 2,
                       DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY, &b),
                  DS_OK);
        void* p = nullptr;
        DWORD n = 0;
        EXPECT_EQ(b->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
        auto* s = static_cast<std::int16_t*>(p);
        for (DWORD i = 0; i < frames; ++i) {
            const double v = std::sin(2 * M_PI * 441.0 * i / kRate);
            s[i * channels] = static_cast<std::int16_t>(std::lround(32767 * amp * v));
            if (channels == 2)
                s[i * 2 + 1] = static_cast<std::int16_t>(
                    std::lround(32767 * (rightAmp < 0 ? amp : rightAmp) * v));
        }
        EXPECT_EQ(b->Unlock(p, n, nullptr, 0), DS_OK);
        return b;
    }

    std::vector<float> Render(DWORD frames)
    {
        std::vector<float> out(frames * 2);
        EXPECT_EQ(DirectSoundRenderLoopback(ds, out.data(), frames), DS_OK);
        return out;
    }

    // RMS of each side over frames [from, to) of a rendered block.
    static Rms Level(const std::vector<float>& out, size_t from, size_t to)
    {
        Rms r;
        for (size_t i = from; i < to; ++i) {
            r.left += out[2 * i] * out[2 * i];
            r.right += out[2 * i + 1] * out[2 * i + 1];
        }
        r.left = std::sqrt(r.left / (to - from));
        r.right = std::sqrt(r.right / (to - from));
        return r;
    }

    // The steady level of a buffer played once at volume and pan.
    Rms PlayedLevel(IDirectSoundBuffer* b, LONG volume, LONG pan)
    {
        EXPECT_EQ(b->SetVolume(volume), DS_OK);
        EXPECT_EQ(b->SetPan(pan), DS_OK);
        EXPECT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
        Render(1000);  // OpenAL glides to a new gain within the first block it mixes
        const auto out = Render(7000);
        b->Stop();
        return Level(out, 0, 7000);
    }

    IDirectSound8* ds = nullptr;
    std::vector<IDirectSoundBuffer*> made;
};

double Gain(LONG hundredthsDb)
{
    return std::pow(10.0, hundredthsDb / 2000.0);
}

TEST_F(Loopback, VolumeAndPanAreExactGainsPerSide)
{
    const double full = 0.5 / std::sqrt(2.0);  // RMS of a sine at half scale
    struct LevelCase {
        LONG volume, pan;
        double left, right;  // expected gains
    } cases[] = {
        {0, 0, 1, 1},
        {-500, 0, Gain(-500), Gain(-500)},  // 0.562
        {-1000, 0, Gain(-1000), Gain(-1000)},
        {-1500, 0, Gain(-1500), Gain(-1500)},
        {0, -2000, 1, 0.1},
        {0, 2000, 0.1, 1},
        {-500, 600, Gain(-500) * Gain(-600), Gain(-500)},
        {0, DSBPAN_LEFT, 1, 0},
        {0, DSBPAN_RIGHT, 0, 1},
        {DSBVOLUME_MIN, 0, 0, 0},
    };
    for (WORD channels : {1, 2}) {
        IDirectSoundBuffer* b = Sine(channels, kRate, 0.5);
        for (const LevelCase& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << channels << " ch, volume " << c.volume << " pan " << c.pan);
            const Rms r = PlayedLevel(b, c.volume, c.pan);
            EXPECT_NEAR(r.left, full * c.left, full * 0.01 + 1e-5);
            EXPECT_NEAR(r.right, full * c.right, full * 0.01 + 1e-5);
        }
    }
}

TEST_F(Loopback, StereoSidesStayApart)
{
    IDirectSoundBuffer* b = Sine(2, kRate, 0.5, 0.0);
    const Rms r = PlayedLevel(b, 0, 0);
    EXPECT_NEAR(r.left, 0.5 / std::sqrt(2.0), 0.004);
    EXPECT_LT(r.right, 1e-4);
}

TEST_F(Loopback, OnceStopsAtTheEndLoopingGoesOn)
{
    const DWORD frames = 4410;  // 0.1 s
    IDirectSoundBuffer* once = Sine(1, frames, 0.5);
    DWORD status = 0;
    ASSERT_EQ(once->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(once->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
    auto out = Render(3 * frames);
    ASSERT_EQ(once->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    EXPECT_GT(Level(out, 100, frames - 100).left, 0.3);
    EXPECT_LT(Level(out, frames + 100, 3 * frames).left, 1e-6);

    IDirectSoundBuffer* loop = Sine(1, frames, 0.5);
    ASSERT_EQ(loop->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    out = Render(5 * frames);
    ASSERT_EQ(loop->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    // Every pass sounds the same, and the join has no gap.
    for (DWORD i = 200; i < 4 * frames; i += 37)
        ASSERT_NEAR(out[2 * (i + frames)], out[2 * i], 1e-4) << i;
    EXPECT_GT(Level(out, 4 * frames, 5 * frames).left, 0.3);
    EXPECT_EQ(loop->Stop(), DS_OK);
    ASSERT_EQ(loop->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
}

TEST_F(Loopback, PlayingAgainGoesOnInsteadOfRestarting)
{
    // A rising ramp: the level tells the play position.
    const DWORD frames = 20000;
    IDirectSoundBuffer* b = nullptr;
    ASSERT_EQ(Make(Format(1, 16), frames * 2, 0, &b), DS_OK);
    void* p = nullptr;
    DWORD n = 0;
    ASSERT_EQ(b->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    for (DWORD i = 0; i < frames; ++i)
        static_cast<std::int16_t*>(p)[i] = static_cast<std::int16_t>(i);
    ASSERT_EQ(b->Unlock(p, n, nullptr, 0), DS_OK);

    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    Render(10000);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    const auto out = Render(100);
    EXPECT_NEAR(out[0], 10000 / 32768.0, 2 / 32768.0);
    EXPECT_NEAR(out[2 * 99], 10099 / 32768.0, 2 / 32768.0);
}

TEST_F(Loopback, FrequencyChangesTheSpeed)
{
    const DWORD frames = 8820;  // 0.2 s at its own rate
    IDirectSoundBuffer* b = Sine(1, frames, 0.5);
    ASSERT_EQ(b->SetFrequency(2 * kRate), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    auto out = Render(frames / 2 + 200);
    DWORD status = 0;
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);  // done in half the time
    // Back to the clip's own rate.
    ASSERT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    out = Render(frames / 2 + 200);
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
}

TEST_F(Loopback, DuplicatesShareSamplesButNotVoices)
{
    IDirectSoundBuffer* b = Sine(1, kRate, 0.5);
    IDirectSoundBuffer* dup = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(b, &dup), DS_OK);
    made.push_back(dup);
    // Silence written through the original is what the duplicate plays.
    void* p = nullptr;
    DWORD n = 0;
    ASSERT_EQ(b->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    std::memset(p, 0, n);
    ASSERT_EQ(b->Unlock(p, n, nullptr, 0), DS_OK);
    ASSERT_EQ(dup->Play(0, 0, 0), DS_OK);
    DWORD status = 0;
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);  // its own voice
    const auto out = Render(4410);
    EXPECT_LT(Level(out, 0, 4410).left, 1e-6);
}

TEST_F(Loopback, LostBuffersRefuseUntilRestored)
{
    IDirectSoundBuffer* b = Sine(1, kRate, 0.5);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    ASSERT_EQ(DirectSoundTestLoseBuffers(ds), DS_OK);
    DWORD status = 0;
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(b->Play(0, 0, 0), DSERR_BUFFERLOST);
    void* p = nullptr;
    DWORD n = 0;
    EXPECT_EQ(b->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DSERR_BUFFERLOST);
    EXPECT_LT(Level(Render(4410), 0, 4410).left, 1e-6);  // a lost buffer is silent
    EXPECT_EQ(b->Restore(), DS_OK);
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(b->Play(0, 0, 0), DS_OK);
}

TEST_F(Loopback, LockWrapsIntoASecondRegion)
{
    IDirectSoundBuffer* b = nullptr;
    ASSERT_EQ(Make(Format(1, 8), 100, 0, &b), DS_OK);
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(b->Lock(80, 50, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 20u);
    EXPECT_EQ(n2, 30u);
    EXPECT_EQ(static_cast<std::uint8_t*>(p1) - static_cast<std::uint8_t*>(p2), 80);
    EXPECT_EQ(static_cast<std::uint8_t*>(p2)[0], 0x80);  // 8-bit silence
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    // Without room for the second region, or past the end: refused.
    EXPECT_EQ(b->Lock(80, 50, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(100, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 101, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, n1, nullptr, 0), DSERR_INVALIDPARAM);  // not locked
}

TEST_F(Loopback, RefusesWhatItCannotPlay)
{
    struct FormatCase {
        const char* name;
        WAVEFORMATEX format;
        DWORD bytes;
        HRESULT expected;
    };
    auto with = [](WAVEFORMATEX f, auto change) {
        change(f);
        return f;
    };
    const WAVEFORMATEX ok = Format(2, 16);
    const FormatCase cases[] = {
        {"float", with(ok, [](auto& f) { f.wFormatTag = 3; }), 400, DSERR_BADFORMAT},
        {"0 channels", with(ok, [](auto& f) { f.nChannels = 0; }), 400, DSERR_BADFORMAT},
        {"3 channels",
         with(ok,
              [](auto& f) {
                  f.nChannels = 3;
                  f.nBlockAlign = 6;
              }),
         600, DSERR_BADFORMAT},
        {"24 bits",
         with(ok,
              [](auto& f) {
                  f.wBitsPerSample = 24;
                  f.nBlockAlign = 6;
              }),
         600, DSERR_BADFORMAT},
        {"4 bits",
         with(ok,
              [](auto& f) {
                  f.wBitsPerSample = 4;
                  f.nBlockAlign = 1;
              }),
         400, DSERR_BADFORMAT},
        {"rate 0", with(ok, [](auto& f) { f.nSamplesPerSec = 0; }), 400, DSERR_BADFORMAT},
        {"rate 99", with(ok, [](auto& f) { f.nSamplesPerSec = 99; }), 400, DSERR_BADFORMAT},
        {"rate 200001", with(ok, [](auto& f) { f.nSamplesPerSec = 200001; }), 400, DSERR_BADFORMAT},
        {"block align 0", with(ok, [](auto& f) { f.nBlockAlign = 0; }), 400, DSERR_BADFORMAT},
        {"block align 3", with(ok, [](auto& f) { f.nBlockAlign = 3; }), 400, DSERR_BADFORMAT},
        {"3 bytes", ok, 3, DSERR_INVALIDPARAM},
        {"256 MB", ok, DSBSIZE_MAX + 1, DSERR_INVALIDPARAM},
        {"8-bit mono, one frame", Format(1, 8), 4, DS_OK},
        {"stereo, a partial frame", ok, 401, DS_OK},
        {"100 Hz", Format(1, 16, 100), 400, DS_OK},
        {"200 kHz", Format(1, 16, 200000), 400, DS_OK},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        IDirectSoundBuffer* b = reinterpret_cast<IDirectSoundBuffer*>(1);
        EXPECT_EQ(Make(c.format, c.bytes, DSBCAPS_CTRLVOLUME, &b), c.expected);
        if (FAILED(c.expected)) {
            EXPECT_EQ(b, nullptr);
        }
    }

    DSBUFFERDESC d{};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(nullptr, &b, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);  // dwSize 0
    d.dwSize = sizeof d;
    d.dwBufferBytes = 400;
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);  // no format
    WAVEFORMATEX f = ok;
    d.lpwfxFormat = &f;
    d.dwFlags = DSBCAPS_CTRL3D;
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), E_NOTIMPL);
    d.dwFlags = 0;
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, reinterpret_cast<void*>(1)), DSERR_NOAGGREGATION);
    EXPECT_EQ(ds->CreateSoundBuffer(&d, nullptr, nullptr), DSERR_INVALIDPARAM);
}

TEST_F(Loopback, ControlsNeedTheirFlagsAndRanges)
{
    IDirectSoundBuffer* plain = nullptr;
    ASSERT_EQ(Make(Format(1, 16), 400, 0, &plain), DS_OK);
    EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetPan(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->Play(1, 0, 0), DSERR_INVALIDPARAM);  // reserved
    EXPECT_EQ(plain->Play(0, 1, 0), DSERR_INVALIDPARAM);  // priority needs a deferred voice
    EXPECT_EQ(plain->Play(0, 0, 0x10), DSERR_INVALIDPARAM);

    IDirectSoundBuffer* b = Sine(1, 400, 0.5);
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetPan(10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetPan(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(99), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(200001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(200000), DS_OK);
    EXPECT_EQ(b->SetFormat(nullptr), DSERR_INVALIDCALL);  // only the primary has a settable format
}

TEST_F(Loopback, PrimaryFormatNeedsPriorityLevel)
{
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&d, &primary, nullptr), DS_OK);
    made.push_back(primary);
    const WAVEFORMATEX cd = Format(2, 16, 44100);
    EXPECT_EQ(primary->SetFormat(&cd), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    EXPECT_EQ(primary->SetFormat(&cd), DS_OK);
    WAVEFORMATEX got{};
    ASSERT_EQ(primary->GetFormat(&got), DS_OK);
    EXPECT_EQ(got.nSamplesPerSec, 44100u);
    EXPECT_EQ(got.nBlockAlign, 4);
    WAVEFORMATEX bad = cd;
    bad.wBitsPerSample = 12;
    EXPECT_EQ(primary->SetFormat(&bad), DSERR_BADFORMAT);
    EXPECT_EQ(ds->SetCooperativeLevel(nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->SetCooperativeLevel(nullptr, 5), DSERR_INVALIDPARAM);
    d.dwBufferBytes = 4;
    IDirectSoundBuffer* other = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &other, nullptr), DSERR_INVALIDPARAM);
}

TEST(DirectSoundCreate, RefusesOtherDevicesAndAggregation)
{
    IDirectSound8* ds = reinterpret_cast<IDirectSound8*>(1);
    const GUID other{1, 2, 3, {4}};
    EXPECT_EQ(DirectSoundCreate8(&other, &ds, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(ds, nullptr);
    EXPECT_EQ(DirectSoundCreate8(nullptr, &ds, reinterpret_cast<void*>(1)), DSERR_NOAGGREGATION);
    EXPECT_EQ(DirectSoundCreate8(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
}

// Runs where OpenAL is given no backend at all (ALSOFT_DRIVERS=none).
TEST(NoDevice, CreationFails)
{
    const char* drivers = std::getenv("ALSOFT_DRIVERS");
    if (drivers == nullptr || std::strcmp(drivers, "none") != 0)
        GTEST_SKIP() << "OpenAL has a backend here";
    IDirectSound8* ds = reinterpret_cast<IDirectSound8*>(1);
    EXPECT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(ds, nullptr);
}

}  // namespace
