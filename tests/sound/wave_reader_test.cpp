// The WAV reader: well-formed files, every malformed case from a file and
// from memory, reading in pieces, and write mode's bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "sound/wave_reader.h"
#include "wave_cases.h"

namespace fs = std::filesystem;
using wav::Bytes;

namespace {

fs::path WriteFile(const std::string& name, const Bytes& bytes)
{
    const fs::path path = fs::temp_directory_path() / ("orvex_wave_" + name + ".wav");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

Bytes ReadAll(CWaveReader& r, DWORD piece)
{
    Bytes out;
    std::vector<std::uint8_t> buf(piece);
    for (;;) {
        DWORD got = 0;
        EXPECT_EQ(r.Read(buf.data(), piece, &got), S_OK);
        if (got == 0)
            return out;
        out.insert(out.end(), buf.begin(), buf.begin() + got);
    }
}

Bytes ReadFileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(WaveReader, ReadsPcmFormatAndSamplesInAnyPieces)
{
    const Bytes samples = wav::Ramp(1001);
    const Bytes file = wav::File({.channels = 2, .rate = 22050, .bits = 8}, samples);
    const fs::path path = WriteFile("stereo8", file);
    for (DWORD piece : {1u, 7u, 1000u, 4096u}) {
        CWaveReader r;
        ASSERT_EQ(r.Open(path.c_str(), nullptr, CWaveReader::kModeRead), S_OK);
        ASSERT_NE(r.Format(), nullptr);
        EXPECT_EQ(r.FormatSize(), 18u);
        EXPECT_EQ(r.Format()->wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(r.Format()->nChannels, 2);
        EXPECT_EQ(r.Format()->nSamplesPerSec, 22050u);
        EXPECT_EQ(r.Format()->nBlockAlign, 2);
        EXPECT_EQ(r.Format()->wBitsPerSample, 8);
        EXPECT_EQ(r.Format()->cbSize, 0);
        EXPECT_EQ(r.DataSize(), 1001u);
        EXPECT_EQ(ReadAll(r, piece), samples) << "piece " << piece;
        // Rewind starts over; the data size stays what Open found.
        ASSERT_EQ(r.Rewind(), S_OK);
        EXPECT_EQ(ReadAll(r, 300), samples);
        EXPECT_EQ(r.DataSize(), 1001u);
    }
    fs::remove(path);
}

TEST(WaveReader, NonPcmKeepsItsExtraFormatBytes)
{
    Bytes record = wav::FormatRecord({.tag = 2, .channels = 1, .rate = 8000, .bits = 4});
    wav::Put16(record, 5);
    const Bytes extra = {9, 8, 7, 6, 5};
    record.insert(record.end(), extra.begin(), extra.end());
    const Bytes file =
        wav::Riff(wav::Cat({wav::Chunk("fmt ", record), wav::Chunk("data", wav::Ramp(10))}));

    CWaveReader r;
    ASSERT_EQ(r.OpenMemory(file.data(), file.size()), S_OK);
    ASSERT_EQ(r.FormatSize(), 23u);
    EXPECT_EQ(r.Format()->wFormatTag, 2);
    EXPECT_EQ(r.Format()->cbSize, 5);
    const auto* block = reinterpret_cast<const std::uint8_t*>(r.Format());
    EXPECT_EQ(Bytes(block + 18, block + 23), extra);
    EXPECT_EQ(ReadAll(r, 64), wav::Ramp(10));
}

TEST(WaveReader, MalformedAndOddFilesFromFileAndMemory)
{
    for (const wav::Case& c : wav::MalformedCases()) {
        SCOPED_TRACE(c.name);
        const fs::path path = WriteFile(c.name, c.bytes);
        for (bool fromMemory : {false, true}) {
            SCOPED_TRACE(fromMemory ? "memory" : "file");
            CWaveReader r;
            const HRESULT hr = fromMemory ? r.OpenMemory(c.bytes.data(), c.bytes.size())
                                          : r.Open(path.c_str(), nullptr, CWaveReader::kModeRead);
            switch (c.expect) {
                case wav::Expect::kFails:
                    EXPECT_EQ(hr, E_FAIL);
                    EXPECT_EQ(r.DataSize(), 0u);
                    break;
                case wav::Expect::kEmpty:
                    EXPECT_EQ(hr, S_OK);
                    EXPECT_EQ(r.DataSize(), 0u);
                    EXPECT_EQ(ReadAll(r, 16), Bytes{});
                    break;
                case wav::Expect::kLoads:
                    EXPECT_EQ(hr, S_OK);
                    EXPECT_EQ(ReadAll(r, 16), c.data);
                    break;
                case wav::Expect::kDeviceRefuses:
                    EXPECT_EQ(hr, S_OK);
                    EXPECT_GT(r.DataSize(), 0u);
                    break;
            }
            // Whatever happened, reading on is safe and bounded.
            std::uint8_t buf[256];
            DWORD got = 0;
            const HRESULT read = r.Read(buf, sizeof buf, &got);
            EXPECT_TRUE(read == S_OK || read == CO_E_NOTINITIALIZED);
            EXPECT_LE(got, r.DataSize());
        }
        fs::remove(path);
    }
}

TEST(WaveReader, ArgumentsAndMissingFiles)
{
    CWaveReader r;
    std::uint8_t buf[4];
    DWORD got = 7;
    EXPECT_EQ(r.Open(nullptr, nullptr, CWaveReader::kModeRead), E_INVALIDARG);
    EXPECT_EQ(r.Read(buf, 4, &got), CO_E_NOTINITIALIZED);
    EXPECT_EQ(r.Rewind(), CO_E_NOTINITIALIZED);
    EXPECT_EQ(r.Read(nullptr, 4, &got), E_INVALIDARG);
    EXPECT_EQ(r.Read(buf, 4, nullptr), E_INVALIDARG);
    EXPECT_EQ(r.Open("/nonexistent/sound.wav", nullptr, CWaveReader::kModeRead), E_FAIL);
    EXPECT_EQ(r.Open(fs::temp_directory_path().c_str(), nullptr, CWaveReader::kModeRead), E_FAIL);
    EXPECT_EQ(r.DataSize(), 0u);
    EXPECT_EQ(r.Format(), nullptr);
}

TEST(WaveReader, OpeningAgainForgetsTheEarlierFile)
{
    const Bytes a = wav::File({.channels = 1}, wav::Ramp(40));
    const Bytes b = wav::File({.channels = 2, .bits = 8}, wav::Ramp(6, 100));
    CWaveReader r;
    ASSERT_EQ(r.OpenMemory(a.data(), a.size()), S_OK);
    ASSERT_EQ(r.OpenMemory(b.data(), b.size()), S_OK);
    EXPECT_EQ(r.Format()->nChannels, 2);
    EXPECT_EQ(r.DataSize(), 6u);
    EXPECT_EQ(ReadAll(r, 100), wav::Ramp(6, 100));
    // A failed open leaves no samples of the earlier one behind.
    const Bytes noData = wav::Riff(wav::Chunk("fmt ", wav::FormatRecord({})));
    EXPECT_EQ(r.OpenMemory(noData.data(), noData.size()), E_FAIL);
    EXPECT_EQ(r.DataSize(), 0u);
    EXPECT_EQ(ReadAll(r, 100), Bytes{});
    const Bytes notWave = wav::Ramp(40);
    EXPECT_EQ(r.OpenMemory(notWave.data(), notWave.size()), E_FAIL);
    EXPECT_EQ(r.Format(), nullptr);
}

// A file that shrinks after Open reads as a failure, not as stale memory.
TEST(WaveReader, FileCutShortAfterOpenFailsToRead)
{
    const Bytes file = wav::File({}, wav::Ramp(200000));
    const fs::path path = WriteFile("shrinks", file);
    CWaveReader r;
    ASSERT_EQ(r.Open(path.c_str(), nullptr, CWaveReader::kModeRead), S_OK);
    fs::resize_file(path, 100);
    std::vector<std::uint8_t> buf(200000);
    DWORD got = 0;
    EXPECT_EQ(r.Read(buf.data(), 200000, &got), E_FAIL);
    EXPECT_EQ(got, 0u);
    fs::remove(path);
}

TEST(WaveReader, WriteModeMakesHeaderFactAndEmptyData)
{
    struct WriteCase {
        const char* name;
        Bytes record;   // the format block handed to Open
        Bytes fmtData;  // what the "fmt " chunk must hold
    };
    Bytes pcm = wav::FormatRecord({.channels = 2, .rate = 44100, .bits = 16});
    Bytes pcmBlock = pcm;
    wav::Put16(pcmBlock, 0);
    Bytes adpcm = wav::FormatRecord({.tag = 2, .bits = 4});
    wav::Put16(adpcm, 3);
    adpcm.insert(adpcm.end(), {0xA1, 0xA2, 0xA3});
    const WriteCase cases[] = {
        {"pcm", pcmBlock, pcm}, {"with_extra", adpcm, adpcm},  // 21 bytes: padded
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path =
            fs::temp_directory_path() / (std::string("orvex_write_") + c.name + ".wav");
        {
            CWaveReader w;
            ASSERT_EQ(
                w.Open(path.c_str(), reinterpret_cast<const WAVEFORMATEX*>(c.record.data()), 0),
                S_OK);
            ASSERT_EQ(w.Close(), S_OK);
        }
        Bytes fact = {0, 0, 0, 0};
        const Bytes expected =
            wav::Riff(wav::Cat({wav::Chunk("fmt ", c.fmtData), wav::Chunk("fact", fact),
                                wav::Chunk("data", Bytes{})}));
        EXPECT_EQ(ReadFileBytes(path), expected);
        // Read back: the header parses, there are no samples.
        CWaveReader r;
        EXPECT_EQ(r.Open(path.c_str(), nullptr, CWaveReader::kModeRead), S_OK);
        EXPECT_EQ(r.DataSize(), 0u);
        EXPECT_EQ(r.FormatSize(), c.record[0] == 1 ? 18u : c.record.size());
        fs::remove(path);
    }
    CWaveReader w;
    EXPECT_EQ(
        w.Open("/nonexistent/dir/x.wav", reinterpret_cast<const WAVEFORMATEX*>(pcmBlock.data()), 0),
        E_FAIL);
    EXPECT_EQ(w.Open("/tmp/x.wav", nullptr, 0), E_INVALIDARG);
}

// The game's own clips as committed: the format the game asks for, a sound
// level well inside full scale, silence at both ends of each effect, and a
// background loop whose end joins its start without a jump.
TEST(GameClips, FormatLevelsAndClickFreeEnds)
{
    for (int n = 1; n <= 9; ++n) {
        SCOPED_TRACE(n);
        const fs::path path = fs::path(ORVEX_SOUNDS_DIR) / ("sound" + std::to_string(n) + ".wav");
        CWaveReader r;
        ASSERT_EQ(r.Open(path.c_str(), nullptr, CWaveReader::kModeRead), S_OK);
        const WAVEFORMATEX& f = *r.Format();
        EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(f.nSamplesPerSec, 44100u);
        EXPECT_EQ(f.wBitsPerSample, 16);
        EXPECT_EQ(f.nChannels, n == 9 ? 2 : 1);
        const Bytes bytes = ReadAll(r, 65536);
        ASSERT_EQ(bytes.size(), r.DataSize());
        const size_t channels = f.nChannels, frames = bytes.size() / (2 * channels);
        auto sample = [&](size_t frame, size_t c) {
            const size_t i = 2 * (frame * channels + c);
            return static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8) / 32768.0;
        };
        const double seconds = double(frames) / 44100;
        if (n == 9) {
            EXPECT_GE(seconds, 2.0);
        } else {
            EXPECT_GT(seconds, 0.05);
            EXPECT_LT(seconds, 2.0);
        }
        double peak = 0, largestStep = 0;
        for (size_t i = 0; i < frames; ++i)
            for (size_t c = 0; c < channels; ++c) {
                peak = std::max(peak, std::fabs(sample(i, c)));
                if (i > 0)
                    largestStep = std::max(largestStep, std::fabs(sample(i, c) - sample(i - 1, c)));
            }
        EXPECT_GT(20 * std::log10(peak), -7.0);
        EXPECT_LT(20 * std::log10(peak), -1.0);
        for (size_t c = 0; c < channels; ++c) {
            if (n == 9) {
                EXPECT_LE(std::fabs(sample(0, c) - sample(frames - 1, c)), largestStep);
            } else {
                EXPECT_LT(std::fabs(sample(0, c)), 0.002);
                EXPECT_LT(std::fabs(sample(frames - 1, c)), 0.002);
            }
        }
    }
}
