// Media types as the filters read them: major type, subtype, format type and
// a format block, which for video is a VIDEOINFOHEADER. The graph builds them
// from the negotiated GStreamer caps; in this system raw video frames are
// bottom-up (a positive biHeight), BGR bytes are MEDIASUBTYPE_RGB24 and every
// other raw format has a subtype of its own.
#pragma once

#include <cstdint>

#include "com/unknown.h"
#include "win/win.h"

using REFERENCE_TIME = std::int64_t;  // 100 ns units

// Subtypes named by a four-character code: {XXXXXXXX-E929-4821-A1D3-3D066FD4F571}, the code
// in the first field.
constexpr GUID FourCCGuid(std::uint32_t fourcc)
{
    return {fourcc, 0xE929, 0x4821, {0xA1, 0xD3, 0x3D, 0x06, 0x6F, 0xD4, 0xF5, 0x71}};
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

inline constexpr GUID MEDIASUBTYPE_RGB8{0xA03996AF, 0x66CD, 0x4DAC,
                                        {0xBA, 0x13, 0x01, 0xFD, 0x4A, 0xA6, 0xA5, 0xA1}};
inline constexpr GUID MEDIASUBTYPE_RGB565{0xA47FA7A8, 0xD234, 0x4103,
                                          {0xA0, 0x49, 0xF9, 0xE2, 0x69, 0x44, 0x21, 0x94}};
inline constexpr GUID MEDIASUBTYPE_RGB555{0xCF862BC5, 0x9A50, 0x47C8,
                                          {0xAE, 0x7A, 0x58, 0xFA, 0x36, 0x5D, 0xDF, 0x73}};
inline constexpr GUID MEDIASUBTYPE_RGB24{0xE91A2D49, 0x371D, 0x4CF9,
                                         {0xBB, 0xB5, 0xEA, 0xD8, 0x34, 0xBA, 0xC0, 0xF8}};
inline constexpr GUID MEDIASUBTYPE_RGB32{0xBB7CE3A6, 0x566C, 0x4DF7,
                                         {0xB6, 0xEE, 0x10, 0x75, 0xBC, 0x90, 0x41, 0xFC}};
inline constexpr GUID MEDIASUBTYPE_YUY2 = FourCCGuid(MakeFourCC('Y', 'U', 'Y', '2'));
inline constexpr GUID MEDIASUBTYPE_UYVY = FourCCGuid(MakeFourCC('U', 'Y', 'V', 'Y'));
inline constexpr GUID MEDIASUBTYPE_I420 = FourCCGuid(MakeFourCC('I', '4', '2', '0'));
inline constexpr GUID MEDIASUBTYPE_YV12 = FourCCGuid(MakeFourCC('Y', 'V', '1', '2'));
inline constexpr GUID MEDIASUBTYPE_NV12 = FourCCGuid(MakeFourCC('N', 'V', '1', '2'));
inline constexpr GUID MEDIASUBTYPE_MJPG = FourCCGuid(MakeFourCC('M', 'J', 'P', 'G'));

inline constexpr GUID FORMAT_None{0x5B00F2E2, 0x7E9A, 0x4C25,
                                  {0xA4, 0x7E, 0xD8, 0x28, 0xF0, 0xA3, 0x92, 0x1A}};
inline constexpr GUID FORMAT_VideoInfo{0xAAF45FB8, 0xA732, 0x4E02,
                                       {0xAC, 0x8D, 0x38, 0xA7, 0x24, 0x98, 0x72, 0xC7}};
inline constexpr GUID FORMAT_WaveFormatEx{0x4D898CF2, 0x1340, 0x4708,
                                          {0x80, 0xF0, 0xBF, 0x98, 0xDC, 0x1F, 0xF0, 0x54}};

constexpr DWORD BI_RGB = 0;

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
