// Media types as the filters read them: major type, subtype, format type and
// a format block, which for video is a VIDEOINFOHEADER. The graph builds them
// from the negotiated GStreamer caps; in this system raw video frames are
// bottom-up (a positive biHeight), BGR bytes are MEDIASUBTYPE_RGB24 and every
// other raw format has a subtype of its own.
#pragma once

#include <cstdint>

#include "com/unknown.h"

using REFERENCE_TIME = std::int64_t;  // 100 ns units

// Subtypes of the FOURCC family: {XXXXXXXX-0000-0010-8000-00AA00389B71}.
constexpr GUID FourCCGuid(std::uint32_t fourcc)
{
    return {fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d)
{
    return static_cast<std::uint8_t>(a) | (static_cast<std::uint8_t>(b) << 8) |
           (static_cast<std::uint8_t>(c) << 16) | (static_cast<std::uint32_t>(d) << 24);
}

inline constexpr GUID MEDIATYPE_NULL{};
inline constexpr GUID MEDIASUBTYPE_NULL{};
inline constexpr GUID MEDIATYPE_Video = FourCCGuid(MakeFourCC('v', 'i', 'd', 's'));
inline constexpr GUID MEDIATYPE_Audio = FourCCGuid(MakeFourCC('a', 'u', 'd', 's'));

inline constexpr GUID MEDIASUBTYPE_RGB8{0xE436EB7A, 0x524F, 0x11CE,
                                        {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_RGB565{0xE436EB7B, 0x524F, 0x11CE,
                                          {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_RGB555{0xE436EB7C, 0x524F, 0x11CE,
                                          {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_RGB24{0xE436EB7D, 0x524F, 0x11CE,
                                         {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_RGB32{0xE436EB7E, 0x524F, 0x11CE,
                                         {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_YUY2 = FourCCGuid(MakeFourCC('Y', 'U', 'Y', '2'));
inline constexpr GUID MEDIASUBTYPE_UYVY = FourCCGuid(MakeFourCC('U', 'Y', 'V', 'Y'));
inline constexpr GUID MEDIASUBTYPE_I420 = FourCCGuid(MakeFourCC('I', '4', '2', '0'));
inline constexpr GUID MEDIASUBTYPE_YV12 = FourCCGuid(MakeFourCC('Y', 'V', '1', '2'));
inline constexpr GUID MEDIASUBTYPE_NV12 = FourCCGuid(MakeFourCC('N', 'V', '1', '2'));
inline constexpr GUID MEDIASUBTYPE_MJPG = FourCCGuid(MakeFourCC('M', 'J', 'P', 'G'));

inline constexpr GUID FORMAT_None{0x0F6417D6, 0xC318, 0x11D0,
                                  {0xA4, 0x3F, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
inline constexpr GUID FORMAT_VideoInfo{0x05589F80, 0xC356, 0x11CE,
                                       {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr GUID FORMAT_WaveFormatEx{0x05589F81, 0xC356, 0x11CE,
                                          {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

constexpr DWORD BI_RGB = 0;

struct RECT {
    LONG left, top, right, bottom;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // > 0: rows bottom-up; < 0: top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;  // BI_RGB or a FOURCC
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;
};

// An AM_MEDIA_TYPE that owns its format block.
class COM_API CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    CMediaType(const CMediaType& other);
    CMediaType& operator=(const CMediaType& other);
    ~CMediaType();

    const GUID* Type() const { return &majortype; }
    void SetType(const GUID* type) { majortype = *type; }
    const GUID* Subtype() const { return &subtype; }
    void SetSubtype(const GUID* type) { subtype = *type; }
    const GUID* FormatType() const { return &formattype; }
    void SetFormatType(const GUID* type) { formattype = *type; }
    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }
    // Copies length bytes into a new format block; false when out of memory.
    bool SetFormat(const BYTE* format, ULONG length);
    void ResetFormatBuffer();
};

// The media type the graph derives from a caps description such as
// "video/x-raw, format=BGR, width=352, height=288" (the first structure).
// E_INVALIDARG when the text is not caps.
COM_API HRESULT MediaTypeFromCapsString(const char* caps, CMediaType* mt);
