// Clips and the sound device: buffer choice and the game's generator, loss
// and refill, filling, loading (with a recording device and with the real
// layer over the loopback device), and the levels the game's clips come out at.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "play/game_random.h"
#include "sound/sound_device.h"
#include "wave_cases.h"

namespace fs = std::filesystem;
using wav::Bytes;

namespace {

// ---- a buffer and a device that record what is asked of them -----------------

struct FakeBuffer final : IDirectSoundBuffer {
    ULONG refs = 1;
    bool playing = false;
    bool lost = false;
    bool statusFails = false;
    int restoreFailures = 0;  // Restore answers "still lost" this many times
    int restores = 0, plays = 0;
    LONG volume = 1, pan = 1;
    DWORD frequency = 1, playFlags = 99, playPriority = 99;
    Bytes memory;

    explicit FakeBuffer(size_t size = 16) : memory(size, 0xEE) {}
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }  // owned by the test
    HRESULT GetStatus(DWORD* s) override
    {
        if (statusFails)
            return E_FAIL;
        *s = (playing ? DSBSTATUS_PLAYING : 0) | (lost ? DSBSTATUS_BUFFERLOST : 0);
        return DS_OK;
    }
    HRESULT GetFormat(WAVEFORMATEX*) override { return E_NOTIMPL; }
    HRESULT SetFormat(const WAVEFORMATEX*) override { return E_NOTIMPL; }
    HRESULT Play(DWORD, DWORD priority, DWORD flags) override
    {
        ++plays;
        playPriority = priority;
        playFlags = flags;
        return lost ? DSERR_BUFFERLOST : DS_OK;
    }
    HRESULT Stop() override { return DS_OK; }
    HRESULT SetVolume(LONG v) override
    {
        volume = v;
        return DS_OK;
    }
    HRESULT SetFrequency(DWORD f) override
    {
        frequency = f;
        return DS_OK;
    }
    HRESULT SetPan(LONG p) override
    {
        pan = p;
        return DS_OK;
    }
    HRESULT Restore() override
    {
        ++restores;
        if (restoreFailures > 0) {
            --restoreFailures;
            return DSERR_BUFFERLOST;
        }
        lost = false;
        return DS_OK;
    }
    HRESULT Lock(DWORD offset, DWORD bytes, void** p1, DWORD* n1, void**, DWORD*, DWORD) override
    {
        if (lost)
            return DSERR_BUFFERLOST;
        if (offset != 0 || bytes > memory.size())
            return DSERR_INVALIDPARAM;
        *p1 = memory.data();
        *n1 = bytes;
        return DS_OK;
    }
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DS_OK; }
};

struct RecordingDevice final : IDirectSound8 {
    std::vector<FakeBuffer*> created;
    Bytes formatBlock;  // what the first description pointed at: 18 + cbSize bytes
    DWORD flags = 0, bytes = 0;
    int creates = 0, duplicates = 0;
    HRESULT createResult = DS_OK;
    int failDuplicateNumber = -1;

    ~RecordingDevice()
    {
        for (FakeBuffer* b : created) delete b;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return DS_OK; }
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* d, IDirectSoundBuffer** out, void*) override
    {
        ++creates;
        if (FAILED(createResult))
            return createResult;
        if (formatBlock.empty()) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(d->lpwfxFormat);
            formatBlock.assign(p, p + 18 + d->lpwfxFormat->cbSize);
            flags = d->dwFlags;
            bytes = d->dwBufferBytes;
        }
        created.push_back(new FakeBuffer(d->dwBufferBytes));
        *out = created.back();
        return createResult;
    }
    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer*, IDirectSoundBuffer** out) override
    {
        if (duplicates++ == failDuplicateNumber)
            return DSERR_OUTOFMEMORY;
        created.push_back(new FakeBuffer(bytes));
        *out = created.back();
        return DS_OK;
    }
};

fs::path WriteFile(const std::string& name, const Bytes& bytes)
{
    const fs::path path = fs::temp_directory_path() / ("orvex_clip_" + name + ".wav");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

CWaveReader* MemoryReader(const Bytes& file)
{
    auto* r = new CWaveReader;
    EXPECT_EQ(r->OpenMemory(file.data(), file.size()), S_OK);
    return r;
}

// How many draws the game's generator made since it was seeded with `seed`.
int DrawsSince(std::uint32_t seed)
{
    GameRandom probe;
    probe.Seed(seed);
    // The generator has no accessor for its state: compare the next values.
    const int next = GameRng().Next();
    for (int draws = 0; draws < 8; ++draws) {
        if (probe.Next() == next)
            return draws;
    }
    return -1;
}

constexpr DWORD kClipFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

}  // namespace

// ---- choosing a buffer ----------------------------------------------------------

TEST(PickIdleBuffer, FirstIdleElseADrawFromTheGamesGenerator)
{
    enum State { kIdle, kPlays, kStatusFails, kNull };
    struct PickCase {
        const char* name;
        std::vector<State> buffers;
        int expected;  // index; -2: the draw decides
        int draws;
    } cases[] = {
        {"first idle", {kIdle, kPlays, kIdle}, 0, 0},
        {"skips playing", {kPlays, kPlays, kIdle}, 2, 0},
        {"a failed query counts as idle", {kPlays, kStatusFails, kPlays}, 1, 0},
        {"null entries are skipped", {kNull, kIdle}, 1, 0},
        {"all play: one draw", {kPlays, kPlays, kPlays}, -2, 1},
        {"the single buffer plays: one draw", {kPlays}, 0, 1},
    };
    for (const PickCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FakeBuffer> fakes(c.buffers.size());
        std::vector<IDirectSoundBuffer*> array;
        for (size_t i = 0; i < c.buffers.size(); ++i) {
            fakes[i].playing = c.buffers[i] == kPlays;
            fakes[i].statusFails = c.buffers[i] == kStatusFails;
            array.push_back(c.buffers[i] == kNull ? nullptr : &fakes[i]);
        }
        CSoundClip clip(array.data(), 16, static_cast<DWORD>(array.size()), nullptr, 0);
        for (std::uint32_t seed : {1u, 77u, 12345u}) {
            GameRng().Seed(seed);
            GameRandom expect;
            expect.Seed(seed);
            IDirectSoundBuffer* picked = clip.PickIdleBuffer();
            const int index =
                c.expected == -2 ? expect.Next() % static_cast<int>(array.size()) : c.expected;
            EXPECT_EQ(picked, array[index]) << "seed " << seed;
            EXPECT_EQ(DrawsSince(seed), c.draws) << "seed " << seed;
        }
    }
}

// ---- loss ----------------------------------------------------------------------

TEST(RecoverLostBuffer, RestoresUntilTheDeviceGivesItBack)
{
    CSoundClip clip(nullptr, 0, 0, nullptr, 0);
    bool restored = true;
    EXPECT_EQ(clip.RecoverLostBuffer(nullptr, &restored), CO_E_NOTINITIALIZED);

    FakeBuffer fine;
    EXPECT_EQ(clip.RecoverLostBuffer(&fine, &restored), S_FALSE);
    EXPECT_FALSE(restored);
    EXPECT_EQ(fine.restores, 0);

    for (int failures : {0, 1, 4}) {
        FakeBuffer lost;
        lost.lost = true;
        lost.restoreFailures = failures;
        restored = false;
        EXPECT_EQ(clip.RecoverLostBuffer(&lost, &restored), S_OK);
        EXPECT_TRUE(restored);
        EXPECT_FALSE(lost.lost);
        EXPECT_EQ(lost.restores, failures + 1 + (failures % 2 == 0 ? 1 : 0)) << failures;
    }

    FakeBuffer broken;
    broken.statusFails = true;
    EXPECT_EQ(clip.RecoverLostBuffer(&broken, &restored), E_FAIL);
    EXPECT_FALSE(restored);
}

// ---- filling ---------------------------------------------------------------------

TEST(FillFromWave, ShortDataIsFollowedBySilenceOrRepeated)
{
    struct FillCase {
        const char* name;
        WORD bits;
        bool repeat;
    } cases[] = {
        {"8-bit, silence", 8, false}, {"16-bit, silence", 16, false}, {"8-bit, repeat", 8, true}};
    const Bytes data = wav::Ramp(6);
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = wav::File({.channels = 1, .bits = c.bits}, data);
        FakeBuffer b(16);
        IDirectSoundBuffer* array[] = {&b};
        CSoundClip clip(array, 16, 1, MemoryReader(file), 0);  // fills once, no repeat
        Bytes expected = data;
        expected.resize(16, c.bits == 8 ? 0x80 : 0x00);
        EXPECT_EQ(b.memory, expected);
        if (c.repeat) {
            EXPECT_EQ(clip.FillFromWave(&b, true), S_OK);
            const Bytes repeated = wav::Cat({data, data, Bytes(data.begin(), data.begin() + 4)});
            EXPECT_EQ(b.memory, repeated);
        }
    }
    CSoundClip none(nullptr, 0, 0, nullptr, 0);
    EXPECT_EQ(none.FillFromWave(nullptr, false), CO_E_NOTINITIALIZED);
}

// ---- playing -----------------------------------------------------------------------

TEST(SoundClip, PlaySetsOnlyTheControlsItWasMadeWith)
{
    const Bytes file = wav::File({}, wav::Ramp(16));
    struct ControlCase {
        DWORD flags;
        LONG frequency;
        bool volumeSet, frequencySet, panSet;
    } cases[] = {
        {kClipFlags, -1, true, false, true},
        {kClipFlags, 22050, true, true, true},
        {DSBCAPS_CTRLVOLUME, 22050, true, false, false},
        {0, 22050, false, false, false},
    };
    for (const ControlCase& c : cases) {
        FakeBuffer b(16);
        IDirectSoundBuffer* array[] = {&b};
        CSoundClip clip(array, 16, 1, MemoryReader(file), c.flags);
        EXPECT_EQ(clip.Play(0, DSBPLAY_LOOPING, -1500, c.frequency, -300), DS_OK);
        EXPECT_EQ(b.plays, 1);
        EXPECT_EQ(b.playFlags, DSBPLAY_LOOPING);
        EXPECT_EQ(b.playPriority, 0u);
        EXPECT_EQ(b.volume, c.volumeSet ? -1500 : 1);
        EXPECT_EQ(b.frequency, c.frequencySet ? 22050u : 1u);
        EXPECT_EQ(b.pan, c.panSet ? -300 : 1);
    }
    CSoundClip empty(nullptr, 0, 0, nullptr, 0);
    EXPECT_EQ(empty.Play(0, 0, 0, -1, 0), CO_E_NOTINITIALIZED);
}

TEST(SoundClip, LostBufferIsRestoredAndRefilledFromTheFile)
{
    const Bytes samples = wav::Ramp(32);
    const fs::path path = WriteFile("refill", wav::File({}, samples));
    RecordingDevice recorder;
    CSoundDevice device;
    device.device = &recorder;
    CSoundClip* clip = nullptr;
    ASSERT_EQ(device.CreateClip(&clip, path.c_str(), kClipFlags, GUID_NULL, 1), S_OK);
    FakeBuffer& b = *recorder.created[0];
    EXPECT_EQ(b.memory, samples);

    // The device takes the memory away, and gives it back on the second try.
    b.lost = true;
    b.restoreFailures = 1;
    std::fill(b.memory.begin(), b.memory.end(), 0x5A);
    EXPECT_EQ(clip->Play(0, 0, -500, -1, 0), DS_OK);
    EXPECT_EQ(b.memory, samples);
    EXPECT_EQ(b.plays, 1);
    delete clip;
    device.device = nullptr;
    fs::remove(path);
}

// ---- loading ------------------------------------------------------------------------

TEST(CreateClip, ArgumentsAndFilesThatYieldNothing)
{
    CSoundDevice none;
    CSoundClip* clip = nullptr;
    EXPECT_EQ(none.CreateClip(&clip, "x.wav", 0, GUID_NULL, 1), CO_E_NOTINITIALIZED);
    EXPECT_EQ(none.SetPrimaryFormat(2, 44100, 16), CO_E_NOTINITIALIZED);

    RecordingDevice recorder;
    CSoundDevice device;
    device.device = &recorder;
    const fs::path good = WriteFile("good", wav::File({}, wav::Ramp(8)));
    const fs::path empty =
        WriteFile("empty", wav::Riff(wav::Cat({wav::Chunk("fmt ", wav::FormatRecord({})),
                                               wav::Chunk("data", Bytes{})})));
    EXPECT_EQ(device.CreateClip(nullptr, good.c_str(), 0, GUID_NULL, 1), E_INVALIDARG);
    EXPECT_EQ(device.CreateClip(&clip, nullptr, 0, GUID_NULL, 1), E_INVALIDARG);
    EXPECT_EQ(device.CreateClip(&clip, good.c_str(), 0, GUID_NULL, 0), E_INVALIDARG);
    EXPECT_EQ(device.CreateClip(&clip, "/nonexistent/sound5.wav", 0, GUID_NULL, 1), E_FAIL);
    EXPECT_EQ(device.CreateClip(&clip, empty.c_str(), 0, GUID_NULL, 1), E_FAIL);
    EXPECT_EQ(recorder.creates, 0);
    EXPECT_EQ(clip, nullptr);
    device.device = nullptr;
    fs::remove(good);
    fs::remove(empty);
}

TEST(CreateClip, HandsTheWholeFormatBlockAndSizeToTheDevice)
{
    Bytes record = wav::FormatRecord({.tag = 2, .channels = 1, .rate = 8000, .bits = 4});
    wav::Put16(record, 4);
    record.insert(record.end(), {0xC1, 0xC2, 0xC3, 0xC4});
    const fs::path path = WriteFile(
        "adpcm",
        wav::Riff(wav::Cat({wav::Chunk("fmt ", record), wav::Chunk("data", wav::Ramp(50))})));
    RecordingDevice recorder;
    CSoundDevice device;
    device.device = &recorder;
    CSoundClip* clip = nullptr;
    ASSERT_EQ(device.CreateClip(&clip, path.c_str(), kClipFlags, GUID_NULL, 1), S_OK);
    EXPECT_EQ(recorder.formatBlock, record);
    EXPECT_EQ(recorder.bytes, 50u);
    EXPECT_EQ(recorder.flags, kClipFlags);
    delete clip;
    device.device = nullptr;
    fs::remove(path);
}

TEST(CreateClip, MoreBuffersAreDuplicatesOrCopiesAndFailuresLeakNothing)
{
    const fs::path path = WriteFile("multi", wav::File({}, wav::Ramp(20)));
    struct MultiCase {
        const char* name;
        DWORD flags;
        HRESULT createResult;
        int failDuplicate;
        HRESULT expected;
        int creates, duplicates;
    } cases[] = {
        {"duplicates", kClipFlags, DS_OK, -1, S_OK, 1, 3},
        {"effects: copies", kClipFlags | DSBCAPS_CTRLFX, DS_OK, -1, S_OK, 4, 0},
        {"no virtualization passes", kClipFlags, DS_NO_VIRTUALIZATION, -1, DS_NO_VIRTUALIZATION, 1,
         3},
        {"the third fails", kClipFlags, DS_OK, 1, DSERR_OUTOFMEMORY, 1, 2},
        {"the first fails", kClipFlags, DSERR_BADFORMAT, -1, DSERR_BADFORMAT, 1, 0},
    };
    for (const MultiCase& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDevice recorder;
        recorder.createResult = c.createResult;
        recorder.failDuplicateNumber = c.failDuplicate;
        CSoundDevice device;
        device.device = &recorder;
        CSoundClip* clip = nullptr;
        EXPECT_EQ(device.CreateClip(&clip, path.c_str(), c.flags, GUID_NULL, 4), c.expected);
        EXPECT_EQ(recorder.creates, c.creates);
        EXPECT_EQ(recorder.duplicates, c.duplicates);
        if (SUCCEEDED(c.expected)) {
            ASSERT_NE(clip, nullptr);
            EXPECT_EQ(clip->BufferCount(), 4u);
            delete clip;
        }
        // Every buffer made was released, by the clip or by the failed load.
        for (FakeBuffer* b : recorder.created) EXPECT_EQ(b->refs, 0u);
        device.device = nullptr;
    }
    fs::remove(path);
}

// ---- over the real layer, heard through the loopback device ---------------------------

class LoopbackClip : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(DirectSoundCreateLoopback(44100, &device.device), DS_OK); }
    void TearDown() override
    {
        for (CSoundClip* c : clips) delete c;
    }

    CSoundClip* Load(const std::string& path, HRESULT* result = nullptr)
    {
        CSoundClip* clip = nullptr;
        const HRESULT hr = device.CreateClip(&clip, path.c_str(), kClipFlags, GUID_NULL, 1);
        if (result != nullptr)
            *result = hr;
        else
            EXPECT_EQ(hr, S_OK) << path;
        if (clip != nullptr)
            clips.push_back(clip);
        return clip;
    }
    std::vector<float> Render(DWORD frames)
    {
        std::vector<float> out(2 * frames);
        EXPECT_EQ(DirectSoundRenderLoopback(device.device, out.data(), frames), DS_OK);
        return out;
    }
    // RMS of one side (0 left, 1 right) of a rendered block.
    static double Rms(const std::vector<float>& out, int side)
    {
        double sum = 0;
        for (size_t i = side; i < out.size(); i += 2) sum += out[i] * out[i];
        return std::sqrt(sum / (out.size() / 2));
    }

    CSoundDevice device;
    std::vector<CSoundClip*> clips;
};

TEST_F(LoopbackClip, AClipStillSoundingDoesNotStartASecondCopy)
{
    Bytes ramp;
    for (int i = 0; i < 30000; ++i) wav::Put16(ramp, static_cast<std::uint32_t>(i));
    const fs::path path = WriteFile("ramp", wav::File({}, ramp));
    CSoundClip* clip = Load(path.string());
    ASSERT_NE(clip, nullptr);

    GameRng().Seed(99);
    ASSERT_EQ(clip->Play(0, 0, 0, -1, 0), DS_OK);
    EXPECT_EQ(DrawsSince(99), 0);
    Render(10000);
    GameRng().Seed(99);
    ASSERT_EQ(clip->Play(0, 0, 0, -1, 0), DS_OK);
    EXPECT_EQ(DrawsSince(99), 1);  // every buffer was playing
    // One voice, going on: neither restarted (0) nor doubled (2 x 10000).
    const auto out = Render(10);
    EXPECT_NEAR(out[0] * 32768.0, 10000, 2);
    EXPECT_NEAR(out[1] * 32768.0, 10000, 2);
    fs::remove(path);
}

TEST_F(LoopbackClip, ALostClipPlaysFreshlyCopiedSamples)
{
    Bytes ramp;
    for (int i = 0; i < 4000; ++i) wav::Put16(ramp, static_cast<std::uint32_t>(i * 8));
    const fs::path path = WriteFile("lost", wav::File({}, ramp));
    CSoundClip* clip = Load(path.string());
    ASSERT_NE(clip, nullptr);
    ASSERT_EQ(DirectSoundTestLoseBuffers(device.device), DS_OK);
    ASSERT_EQ(clip->Play(0, 0, 0, -1, 0), DS_OK);
    const auto out = Render(3000);
    for (int i = 0; i < 3000; i += 97) ASSERT_NEAR(out[2 * i] * 32768.0, i * 8, 2) << i;
    fs::remove(path);
}

TEST_F(LoopbackClip, MalformedFilesFailToLoadAndOddOnesLoad)
{
    for (const wav::Case& c : wav::MalformedCases()) {
        SCOPED_TRACE(c.name);
        const fs::path path = WriteFile(c.name, c.bytes);
        HRESULT hr = S_OK;
        Load(path.string(), &hr);
        switch (c.expect) {
            case wav::Expect::kFails:
            case wav::Expect::kEmpty:
                EXPECT_EQ(hr, E_FAIL);
                break;
            case wav::Expect::kLoads:
                EXPECT_EQ(hr, S_OK);
                break;
            case wav::Expect::kDeviceRefuses:
                EXPECT_EQ(hr, DSERR_BADFORMAT);
                break;
        }
        fs::remove(path);
    }
}

#ifdef ORVEX_SOUNDS_DIR
// The game's own clips at the game's volumes: an effect at -500 comes out at
// 10^(-500/2000) of its full level on both sides, the background loop at
// -1500 keeps looping.
TEST_F(LoopbackClip, GameClipsComeOutAtTheirVolumesCentred)
{
    const std::string dir = ORVEX_SOUNDS_DIR;
    struct LevelCase {
        int clip;
        LONG volume;
        DWORD flags;
        DWORD frames;  // measured from the start
    } cases[] = {{7, -500, 0, 11000},
                 {8, -1000, 0, 12000},
                 {4, -500, 0, 60000},
                 {9, -1500, DSBPLAY_LOOPING, 176400}};
    for (const LevelCase& c : cases) {
        SCOPED_TRACE(c.clip);
        double full[2] = {}, played[2] = {};
        for (LONG volume : {LONG{0}, c.volume}) {
            CSoundClip* clip = Load(dir + "/sound" + std::to_string(c.clip) + ".wav");
            ASSERT_NE(clip, nullptr);
            ASSERT_EQ(clip->Play(0, c.flags, volume, -1, 0), DS_OK);
            const auto out = Render(c.frames);
            for (int side = 0; side < 2; ++side)
                (volume == 0 ? full : played)[side] = Rms(out, side);
            clips.pop_back();
            delete clip;
        }
        const double expected = std::pow(10.0, c.volume / 2000.0);
        for (int side = 0; side < 2; ++side) {
            EXPECT_GT(full[side], 0.01);
            EXPECT_NEAR(played[side] / full[side], expected, expected * 0.01) << "side " << side;
        }
        std::printf("clip %d at %d: gain left %.4f right %.4f (expected %.4f)\n", c.clip,
                    static_cast<int>(c.volume), played[0] / full[0], played[1] / full[1], expected);
        if (c.clip != 9) {  // a mono effect is centred: the same on both sides
            EXPECT_NEAR(full[0], full[1], full[0] * 1e-4);
        }
    }

    // The loop: four seconds of stereo, heard for eleven, without a gap.
    CSoundClip* loop = Load(dir + "/sound9.wav");
    ASSERT_EQ(loop->Play(0, DSBPLAY_LOOPING, -1500, -1, 0), DS_OK);
    const auto out = Render(11 * 44100);
    DWORD status = 0;
    ASSERT_EQ(loop->Buffer(0)->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    const size_t period = 4 * 44100;
    for (size_t i = 1000; i + period < out.size() / 2; i += 4999)
        ASSERT_NEAR(out[2 * (i + period)], out[2 * i], 1e-5) << i;
    for (int second = 0; second < 11; ++second) {
        const std::vector<float> part(out.begin() + 2 * 44100 * second,
                                      out.begin() + 2 * 44100 * (second + 1));
        EXPECT_GT(Rms(part, 0), 0.005) << "second " << second;
    }
}
#endif
