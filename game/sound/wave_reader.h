// Reads a RIFF/WAVE file into a sound buffer, and writes the header of one.
//
// Read mode walks the file the way buffered RIFF I/O does: the outer "RIFF"
// chunk of form "WAVE" at the start, then a search of its subchunks for
// "fmt " and later for "data", skipping others (and the pad byte after an
// odd size). Every size is checked against the real length of the file
// before anything is allocated or copied: the RIFF chunk must lie inside the
// file, a chunk inside the RIFF chunk, the format record inside "fmt ".
// Nothing else about the format is judged here; the sound device accepts or
// refuses it.
//
// Write mode creates a file with a "fmt ", a "fact" and an empty "data"
// chunk; nothing writes samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "dsound/dsound.h"

class CWaveReader {
public:
    static constexpr int kModeRead = 1;  // any other mode writes

    CWaveReader() = default;
    ~CWaveReader();
    CWaveReader(const CWaveReader&) = delete;
    CWaveReader& operator=(const CWaveReader&) = delete;

    // Read mode: parses the header and stands at the start of "data"; failures
    // are E_FAIL. Write mode: creates the file with the given format.
    HRESULT Open(const char* fileName, const WAVEFORMATEX* format, int mode);
    // Read mode over a copy of a WAV file held in memory (an embedded
    // resource), with the same rules as a file.
    HRESULT OpenMemory(const void* data, std::size_t size);
    // Copies up to `bytes` of the samples still to read.
    HRESULT Read(std::uint8_t* dest, DWORD bytes, DWORD* bytesRead);
    // Read mode: back to the first sample. Write mode: starts the "data" chunk.
    HRESULT Rewind();
    HRESULT Close();

    // The format record of the open file (18 bytes and its extra bytes), or
    // null before a successful read-mode Open.
    const WAVEFORMATEX* Format() const
    {
        return reinterpret_cast<const WAVEFORMATEX*>(format.get());
    }
    std::size_t FormatSize() const { return formatSize; }
    // The size of "data" as found by Open; 0 when Open failed.
    DWORD DataSize() const { return dataSize; }

private:
    struct Chunk {
        DWORD id = 0;
        DWORD size = 0;            // bytes of data (for "data" while reading: still to read)
        DWORD type = 0;            // form type of a RIFF chunk
        std::uint64_t offset = 0;  // file offset of the chunk's data
    };

    HRESULT OpenForReading();
    HRESULT ParseRiffHeader();
    HRESULT WriteRiffHeader();
    HRESULT FinishFile();
    bool FindChunk(DWORD id, const Chunk& parent, std::uint64_t from, Chunk& found);
    bool ReadAt(std::uint64_t offset, void* dest, std::size_t bytes);
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t bytes);
    bool IsOpen() const { return file != nullptr || memoryFile; }

    std::unique_ptr<std::uint8_t[]> format;
    std::size_t formatSize = 0;
    std::FILE* file = nullptr;
    bool memoryFile = false;
    std::vector<std::uint8_t> resourceCopy;  // the memory file
    std::uint64_t fileLength = 0;
    Chunk current;  // read: "data", its size counting what is left; write: "data"
    Chunk riff;
    std::uint64_t readPosition = 0;
    DWORD dataSize = 0;
    int mode = kModeRead;
};
