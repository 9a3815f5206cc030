// libFuzzer target: the WAV reader over an in-memory file. Whatever the
// bytes, Open either fails cleanly or yields a format block and a data size
// that lie inside the input, and reading gives exactly that many bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sound/wave_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CWaveReader reader;
    if (reader.OpenMemory(data, size) != S_OK)
        return 0;
    const WAVEFORMATEX* format = reader.Format();
    if (format == nullptr || reader.DataSize() > size || reader.FormatSize() > size)
        std::abort();
    if (format->wFormatTag != WAVE_FORMAT_PCM && reader.FormatSize() != 18u + format->cbSize)
        std::abort();

    // Read twice, in pieces whose size the input chooses.
    const DWORD piece = 1 + (size > 20 ? data[20] : 0) * 3;
    std::vector<std::uint8_t> buffer(piece);
    for (int pass = 0; pass < 2; ++pass) {
        DWORD total = 0, got = 0;
        do {
            if (reader.Read(buffer.data(), piece, &got) != S_OK)
                std::abort();
            total += got;
        } while (got != 0);
        if (total != reader.DataSize())
            std::abort();
        if (reader.Rewind() != S_OK)
            std::abort();
    }
    return 0;
}
