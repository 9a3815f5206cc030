#include "wave_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr DWORD FourCC(const char (&s)[5])
{
    return static_cast<DWORD>(static_cast<std::uint8_t>(s[0])) |
           static_cast<DWORD>(static_cast<std::uint8_t>(s[1])) << 8 |
           static_cast<DWORD>(static_cast<std::uint8_t>(s[2])) << 16 |
           static_cast<DWORD>(static_cast<std::uint8_t>(s[3])) << 24;
}

constexpr DWORD kRiff = FourCC("RIFF");
constexpr DWORD kWave = FourCC("WAVE");
constexpr DWORD kFmt = FourCC("fmt ");
constexpr DWORD kFact = FourCC("fact");
constexpr DWORD kData = FourCC("data");

constexpr std::size_t kPcmRecord = 16;  // tag, channels, rate, bytes per second, alignment, bits
constexpr std::size_t kFormatRecord = sizeof(WAVEFORMATEX);

DWORD Le32(const std::uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24;
}
WORD Le16(const std::uint8_t* p)
{
    return static_cast<WORD>(p[0] | p[1] << 8);
}

void PutLe32(std::uint8_t* p, DWORD v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

CWaveReader::~CWaveReader()
{
    Close();
}

HRESULT CWaveReader::Open(const char* fileName, const WAVEFORMATEX* wfx, int openMode)
{
    if (fileName == nullptr)
        return E_INVALIDARG;
    Close();
    format.reset();
    formatSize = 0;
    dataSize = 0;
    mode = openMode;

    if (mode == kModeRead) {
        file = std::fopen(fileName, "rb");
        struct stat st {};
        if (file != nullptr && (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode))) {
            std::fclose(file);
            file = nullptr;
        }
        // The program carries no embedded sounds, so a file that cannot be
        // opened is not looked for elsewhere.
        if (file == nullptr)
            return E_FAIL;
        fileLength = static_cast<std::uint64_t>(st.st_size);
        return OpenForReading();
    }

    if (wfx == nullptr)
        return E_INVALIDARG;
    formatSize = wfx->wFormatTag == WAVE_FORMAT_PCM ? kPcmRecord : kFormatRecord + wfx->cbSize;
    format.reset(new (std::nothrow) std::uint8_t[std::max(formatSize, kFormatRecord)]());
    if (!format)
        return E_OUTOFMEMORY;
    std::memcpy(format.get(), wfx, formatSize);
    file = std::fopen(fileName, "w+b");
    if (file == nullptr)
        return E_FAIL;
    HRESULT hr = WriteRiffHeader();
    if (FAILED(hr)) {
        Close();
        return hr;
    }
    return Rewind();
}

HRESULT CWaveReader::OpenMemory(const void* data, std::size_t size)
{
    if (data == nullptr && size != 0)
        return E_INVALIDARG;
    Close();
    format.reset();
    formatSize = 0;
    dataSize = 0;
    mode = kModeRead;
    try {
        resourceCopy.assign(static_cast<const std::uint8_t*>(data),
                            static_cast<const std::uint8_t*>(data) + size);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    memoryFile = true;
    fileLength = size;
    return OpenForReading();
}

HRESULT CWaveReader::OpenForReading()
{
    HRESULT hr = ParseRiffHeader();
    if (FAILED(hr)) {
        Close();
        return hr;
    }
    hr = Rewind();
    if (SUCCEEDED(hr))
        dataSize = current.size;
    return hr;
}

HRESULT CWaveReader::ParseRiffHeader()
{
    std::uint8_t header[12];
    if (!ReadAt(0, header, sizeof header) || Le32(header) != kRiff || Le32(header + 8) != kWave)
        return E_FAIL;
    riff.id = kRiff;
    riff.size = Le32(header + 4);
    riff.type = kWave;
    riff.offset = 8;
    // The form type counts in the RIFF size, and the chunk must end inside the file.
    if (riff.size < 4 || riff.offset + riff.size > fileLength)
        return E_FAIL;

    Chunk fmt;
    if (!FindChunk(kFmt, riff, riff.offset + 4, fmt) || fmt.size < kPcmRecord)
        return E_FAIL;
    std::uint8_t record[kFormatRecord] = {};
    if (!ReadAt(fmt.offset, record, kPcmRecord))
        return E_FAIL;

    WORD extra = 0;
    if (Le16(record) != WAVE_FORMAT_PCM) {
        // The extra size and the bytes it counts must lie inside "fmt ".
        if (fmt.size < kFormatRecord || !ReadAt(fmt.offset + kPcmRecord, record + kPcmRecord, 2))
            return E_FAIL;
        extra = Le16(record + kPcmRecord);
        if (kFormatRecord + extra > fmt.size)
            return E_FAIL;
    }
    const std::size_t size = kFormatRecord + extra;
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[size]);
    if (!block)
        return E_FAIL;
    std::memcpy(block.get(), record, kFormatRecord);
    if (extra != 0 && !ReadAt(fmt.offset + kFormatRecord, block.get() + kFormatRecord, extra))
        return E_FAIL;
    format = std::move(block);
    formatSize = size;
    return S_OK;
}

// Searches the subchunks of `parent` from `from` on. A chunk that is found
// must end inside the parent; one that is skipped must leave room for the
// next header, else the search ends.
bool CWaveReader::FindChunk(DWORD id, const Chunk& parent, std::uint64_t from, Chunk& found)
{
    const std::uint64_t end = parent.offset + parent.size;
    std::uint64_t at = from;
    while (at <= end && end - at >= 8) {
        std::uint8_t header[8];
        if (!ReadAt(at, header, sizeof header))
            return false;
        const DWORD size = Le32(header + 4);
        if (Le32(header) == id) {
            if (size > end - at - 8)
                return false;
            found.id = id;
            found.size = size;
            found.type = 0;
            found.offset = at + 8;
            return true;
        }
        at += 8 + static_cast<std::uint64_t>(size) + (size & 1);
    }
    return false;
}

HRESULT CWaveReader::Rewind()
{
    if (!IsOpen())
        return CO_E_NOTINITIALIZED;
    if (mode != kModeRead) {
        // An empty "data" chunk after what is written; Close sets its size.
        std::uint8_t header[8] = {};
        PutLe32(header, kData);
        std::fseek(file, 0, SEEK_END);
        const long at = std::ftell(file);
        if (at < 0 || !WriteAt(static_cast<std::uint64_t>(at), header, sizeof header))
            return E_FAIL;
        current = Chunk{kData, 0, 0, static_cast<std::uint64_t>(at) + 8};
        return S_OK;
    }
    if (!FindChunk(kData, riff, riff.offset + 4, current))
        return E_FAIL;
    readPosition = current.offset;
    return S_OK;
}

HRESULT CWaveReader::Read(std::uint8_t* dest, DWORD bytes, DWORD* bytesRead)
{
    if (dest == nullptr || bytesRead == nullptr)
        return E_INVALIDARG;
    if (!IsOpen())
        return CO_E_NOTINITIALIZED;
    *bytesRead = 0;
    if (mode != kModeRead)
        return S_OK;
    const DWORD n = std::min(bytes, current.size);
    current.size -= n;
    if (n != 0 && !ReadAt(readPosition, dest, n))
        return E_FAIL;
    readPosition += n;
    *bytesRead = n;
    return S_OK;
}

HRESULT CWaveReader::Close()
{
    HRESULT hr = S_OK;
    if (file != nullptr) {
        if (mode != kModeRead)
            hr = FinishFile();
        if (std::fclose(file) != 0)
            hr = E_FAIL;
        file = nullptr;
    }
    memoryFile = false;
    resourceCopy = {};
    fileLength = 0;
    return hr;
}

HRESULT CWaveReader::WriteRiffHeader()
{
    // "RIFF" (size set by Close), "WAVE", "fmt " with the format record.
    std::vector<std::uint8_t> out(20, 0);
    PutLe32(&out[0], kRiff);
    PutLe32(&out[8], kWave);
    PutLe32(&out[12], kFmt);
    PutLe32(&out[16], static_cast<DWORD>(formatSize));
    out.insert(out.end(), format.get(), format.get() + formatSize);
    if (formatSize & 1)
        out.push_back(0);
    // "fact" with a sample count that Close sets.
    const std::uint8_t fact[12] = {'f', 'a', 'c', 't', 4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    out.insert(out.end(), fact, fact + sizeof fact);
    return WriteAt(0, out.data(), out.size()) ? S_OK : E_FAIL;
}

HRESULT CWaveReader::FinishFile()
{
    if (std::fseek(file, 0, SEEK_END) != 0)
        return E_FAIL;
    const long end = std::ftell(file);
    if (end < 12)
        return E_FAIL;
    const std::uint64_t length = static_cast<std::uint64_t>(end);
    std::uint8_t size[4];
    bool ok = true;
    if (current.id == kData) {
        PutLe32(size, static_cast<DWORD>(length - current.offset));
        ok = WriteAt(current.offset - 4, size, 4);
    }
    PutLe32(size, static_cast<DWORD>(length - 8));
    ok = ok && WriteAt(4, size, 4);
    // The sample count in "fact": nothing was written.
    fileLength = length;
    riff = Chunk{kRiff, static_cast<DWORD>(length - 8), kWave, 8};
    Chunk fact;
    ok = ok && FindChunk(kFact, riff, riff.offset + 4, fact) && fact.size >= 4;
    PutLe32(size, 0);
    ok = ok && WriteAt(fact.offset, size, 4);
    return ok && std::fflush(file) == 0 ? S_OK : E_FAIL;
}

bool CWaveReader::ReadAt(std::uint64_t offset, void* dest, std::size_t bytes)
{
    if (offset > fileLength || bytes > fileLength - offset)
        return false;
    if (memoryFile) {
        std::memcpy(dest, resourceCopy.data() + offset, bytes);
        return true;
    }
    if (file == nullptr || fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    return std::fread(dest, 1, bytes, file) == bytes;
}

bool CWaveReader::WriteAt(std::uint64_t offset, const void* data, std::size_t bytes)
{
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fwrite(data, 1, bytes, file) == bytes;
}
