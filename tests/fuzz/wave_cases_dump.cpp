// Writes the WAV files of the reader tests' case table, so the fuzzer can
// replay them: `wave_cases_dump bad DIR` writes every malformed and odd
// case, `wave_cases_dump seeds DIR` a few well-formed files to start from.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "wave_cases.h"

namespace {

void Write(const std::string& dir, const std::string& name, const wav::Bytes& bytes)
{
    std::ofstream(dir + "/" + name + ".wav", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "bad") != 0 && std::strcmp(argv[1], "seeds") != 0)) {
        std::fprintf(stderr, "usage: wave_cases_dump bad|seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[2];
    if (std::strcmp(argv[1], "bad") == 0) {
        for (const wav::Case& c : wav::MalformedCases()) Write(dir, c.name, c.bytes);
        return 0;
    }
    using namespace wav;
    Bytes adpcm = FormatRecord({.tag = 2, .channels = 1, .rate = 8000, .bits = 4});
    Put16(adpcm, 4);
    adpcm.insert(adpcm.end(), {1, 2, 3, 4});
    Write(dir, "pcm16_mono", File({}, Ramp(64)));
    Write(dir, "pcm8_stereo", File({.channels = 2, .rate = 22050, .bits = 8}, Ramp(40)));
    Write(dir, "extra_format_bytes", Riff(Cat({Chunk("fmt ", adpcm), Chunk("data", Ramp(9))})));
    Write(dir, "list_and_odd_chunk",
          Riff(Cat({Chunk("fmt ", FormatRecord({})), Chunk("LIST", Ramp(13)),
                    Chunk("fact", Bytes{0, 1, 0, 0}), Chunk("data", Ramp(32))})));
    Write(dir, "data_first", Riff(Cat({Chunk("data", Ramp(8)), Chunk("fmt ", FormatRecord({}))})));
    return 0;
}
