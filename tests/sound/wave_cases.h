// WAV files built byte by byte: well-formed ones and a table of malformed
// ones. Shared by the reader and clip tests and by the fuzzer's corpus tool.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace wav {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint32_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutId(Bytes& b, const char* id)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(id[i]));
}
inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A chunk with the given declared size; `pad` adds the byte that follows an
// odd size.
inline Bytes Chunk(const char* id, std::uint32_t declared, const Bytes& data, bool pad = true)
{
    Bytes b;
    PutId(b, id);
    Put32(b, declared);
    b.insert(b.end(), data.begin(), data.end());
    if (pad && (data.size() & 1))
        b.push_back(0);
    return b;
}
inline Bytes Chunk(const char* id, const Bytes& data, bool pad = true)
{
    return Chunk(id, static_cast<std::uint32_t>(data.size()), data, pad);
}

struct Pcm {
    std::uint16_t tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
    int blockAlign = -1;  // -1: channels * bits / 8
};

// The 16-byte format record.
inline Bytes FormatRecord(const Pcm& p)
{
    const std::uint32_t align =
        p.blockAlign >= 0 ? static_cast<std::uint32_t>(p.blockAlign) : p.channels * (p.bits / 8u);
    Bytes b;
    Put16(b, p.tag);
    Put16(b, p.channels);
    Put32(b, p.rate);
    Put32(b, p.rate * align);
    Put16(b, align);
    Put16(b, p.bits);
    return b;
}

// "RIFF" with the declared size (default: the real one) around "WAVE" and `body`.
inline Bytes Riff(const Bytes& body, std::int64_t declared = -1)
{
    Bytes b;
    PutId(b, "RIFF");
    Put32(b, declared >= 0 ? static_cast<std::uint32_t>(declared)
                           : static_cast<std::uint32_t>(body.size() + 4));
    PutId(b, "WAVE");
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// A ramp of `n` bytes: every byte tells where it stands.
inline Bytes Ramp(std::size_t n, std::uint8_t start = 1)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(start + i * 7);
    return b;
}

inline Bytes File(const Pcm& p, const Bytes& samples)
{
    return Riff(Cat({Chunk("fmt ", FormatRecord(p)), Chunk("data", samples)}));
}

enum class Expect {
    kFails,         // Open fails with E_FAIL; no format, data size 0
    kEmpty,         // Open succeeds but finds no samples (a clip fails to load)
    kLoads,         // Open succeeds; the samples are `data`
    kDeviceRefuses  // the reader is content, the sound device refuses the format
};

struct Case {
    std::string name;
    Bytes bytes;
    Expect expect;
    Bytes data = {};  // kLoads: the samples Read yields
};

inline std::vector<Case> MalformedCases()
{
    const Bytes fmt = FormatRecord({});
    const Bytes samples = Ramp(64);
    const Bytes fmtChunk = Chunk("fmt ", fmt);
    const Bytes dataChunk = Chunk("data", samples);
    const Bytes good = Riff(Cat({fmtChunk, dataChunk}));
    auto withFmtSize = [&](std::uint32_t declared, std::size_t present) {
        Bytes record = fmt;
        record.resize(present, 0);
        return Riff(Cat({Chunk("fmt ", declared, record), dataChunk}));
    };
    auto nonPcm = [&](std::uint16_t extra, std::size_t present, std::uint32_t declared) {
        Bytes record = FormatRecord({.tag = 2});
        Put16(record, extra);
        Bytes extraBytes = Ramp(present);
        record.insert(record.end(), extraBytes.begin(), extraBytes.end());
        return Riff(Cat({Chunk("fmt ", declared, record), dataChunk}));
    };
    auto format = [&](const Pcm& p) { return File(p, samples); };
    Bytes tinyChunks;
    for (int i = 0; i < 10000; ++i) tinyChunks = Cat({tinyChunks, Chunk("junk", Bytes{})});
    Bytes oddJunk = Bytes{1, 2, 3};
    Bytes gigabytes = Riff(Cat({fmtChunk, Chunk("data", 0x7FFFFFF0u, Ramp(8))}));
    gigabytes.resize(100, 0);

    Bytes floatRecord = FormatRecord({.tag = 3, .bits = 32});
    Put16(floatRecord, 0);
    const Bytes floatFile = Riff(Cat({Chunk("fmt ", floatRecord), dataChunk}));

    Bytes riffStopsShort = good;
    riffStopsShort.resize(good.size() - 1);

    return {
        {"empty", {}, Expect::kFails},
        {"eleven_bytes", Bytes(good.begin(), good.begin() + 11), Expect::kFails},
        {"header_only", Bytes(good.begin(), good.begin() + 12), Expect::kFails},
        {"not_riff", Cat({Bytes{'R', 'I', 'F', 'X'}, Bytes(good.begin() + 4, good.end())}),
         Expect::kFails},
        {"not_wave",
         Cat({Bytes(good.begin(), good.begin() + 8), Bytes{'A', 'V', 'I', ' '},
              Bytes(good.begin() + 12, good.end())}),
         Expect::kFails},
        {"riff_size_0", Riff(Cat({fmtChunk, dataChunk}), 0), Expect::kFails},
        {"riff_size_past_end", Riff(Cat({fmtChunk, dataChunk}), good.size()), Expect::kFails},
        {"riff_size_4g", Riff(Cat({fmtChunk, dataChunk}), 0xFFFFFFFF), Expect::kFails},
        {"file_shorter_than_riff", riffStopsShort, Expect::kFails},
        {"no_fmt", Riff(dataChunk), Expect::kFails},
        {"fmt_size_0", withFmtSize(0, 0), Expect::kFails},
        {"fmt_size_14", withFmtSize(14, 14), Expect::kFails},
        {"fmt_size_15", withFmtSize(15, 15), Expect::kFails},
        {"fmt_size_FFFFFFF7", withFmtSize(0xFFFFFFF7u, 16), Expect::kFails},
        {"fmt_past_riff", Riff(Chunk("fmt ", 40, fmt)), Expect::kFails},
        {"non_pcm_fmt_16", nonPcm(0, 0, 16), Expect::kFails},
        {"non_pcm_fmt_17", nonPcm(0, 0, 17), Expect::kFails},
        {"non_pcm_extra_past_chunk", nonPcm(10, 4, 22), Expect::kFails},
        {"non_pcm_extra_65535", nonPcm(0xFFFF, 4, 22), Expect::kFails},
        {"no_data", Riff(fmtChunk), Expect::kFails},
        {"data_size_past_end", Riff(Cat({fmtChunk, Chunk("data", 65, samples)})), Expect::kFails},
        {"data_size_4g", Riff(Cat({fmtChunk, Chunk("data", 0xFFFFFFF8u, samples)})),
         Expect::kFails},
        {"gigabytes_in_100_bytes", gigabytes, Expect::kFails},
        {"skipped_size_4g", Riff(Cat({fmtChunk, Chunk("junk", 0xFFFFFFFFu, Ramp(8)), dataChunk})),
         Expect::kFails},
        {"odd_chunk_without_pad", Riff(Cat({fmtChunk, Chunk("junk", oddJunk, false), dataChunk})),
         Expect::kFails},
        {"empty_data", Riff(Cat({fmtChunk, Chunk("data", Bytes{})})), Expect::kEmpty},

        // Well-formed files that a strict reader might refuse; the RIFF rules take them.
        {"odd_chunk_with_pad", Riff(Cat({fmtChunk, Chunk("junk", oddJunk, true), dataChunk})),
         Expect::kLoads, samples},
        {"data_before_fmt", Riff(Cat({dataChunk, fmtChunk})), Expect::kLoads, samples},
        {"ten_thousand_tiny_chunks", Riff(Cat({fmtChunk, tinyChunks, dataChunk})), Expect::kLoads,
         samples},
        {"fmt_size_17", withFmtSize(17, 17), Expect::kLoads, samples},
        {"fmt_size_18", withFmtSize(18, 18), Expect::kLoads, samples},
        {"trailing_bytes_after_riff", Cat({good, Ramp(5)}), Expect::kLoads, samples},

        // Read without complaint, refused by the device.
        {"channels_0", format({.channels = 0}), Expect::kDeviceRefuses},
        {"channels_3", format({.channels = 3}), Expect::kDeviceRefuses},
        {"block_align_0", format({.blockAlign = 0}), Expect::kDeviceRefuses},
        {"block_align_wrong", format({.blockAlign = 4}), Expect::kDeviceRefuses},
        {"bits_0", format({.bits = 0}), Expect::kDeviceRefuses},
        {"bits_4", format({.bits = 4}), Expect::kDeviceRefuses},
        {"bits_24", format({.bits = 24}), Expect::kDeviceRefuses},
        {"rate_0", format({.rate = 0}), Expect::kDeviceRefuses},
        {"rate_4g", format({.rate = 0xFFFFFFFFu}), Expect::kDeviceRefuses},
        {"products_overflow",
         format({.channels = 0xFFFF, .rate = 0xFFFFFFFFu, .bits = 0xFFFF, .blockAlign = 0xFFFE}),
         Expect::kDeviceRefuses},
        {"float_samples", floatFile, Expect::kDeviceRefuses},
    };
}

}  // namespace wav
