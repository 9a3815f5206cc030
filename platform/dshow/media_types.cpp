// CMediaType, and the media types that the graph derives from caps.
#include <gst/gst.h>
#include <gst/video/video.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "gst_support.h"
#include "media_types.h"

CMediaType::CMediaType() : AM_MEDIA_TYPE{} { bFixedSizeSamples = 1; }

CMediaType::CMediaType(const CMediaType& other) : AM_MEDIA_TYPE(other)
{
    pbFormat = nullptr;
    cbFormat = 0;
    if (pUnk != nullptr)
        pUnk->AddRef();
    SetFormat(other.pbFormat, other.cbFormat);
}

CMediaType& CMediaType::operator=(const CMediaType& other)
{
    if (this == &other)
        return *this;
    if (other.pUnk != nullptr)
        other.pUnk->AddRef();
    if (pUnk != nullptr)
        pUnk->Release();
    ResetFormatBuffer();
    static_cast<AM_MEDIA_TYPE&>(*this) = other;
    pbFormat = nullptr;
    cbFormat = 0;
    SetFormat(other.pbFormat, other.cbFormat);
    return *this;
}

CMediaType::~CMediaType()
{
    ResetFormatBuffer();
    if (pUnk != nullptr)
        pUnk->Release();
}

bool CMediaType::SetFormat(const BYTE* format, ULONG length)
{
    ResetFormatBuffer();
    if (format == nullptr || length == 0)
        return true;
    pbFormat = static_cast<BYTE*>(std::malloc(length));
    if (pbFormat == nullptr)
        return false;
    std::memcpy(pbFormat, format, length);
    cbFormat = length;
    return true;
}

void CMediaType::ResetFormatBuffer()
{
    std::free(pbFormat);
    pbFormat = nullptr;
    cbFormat = 0;
}

namespace {

// A subtype for a raw format that has no published one: its name's first
// four characters as a FOURCC when the name has exactly four, else a hash of
// the name in a family of our own.
GUID SubtypeForName(const char* name)
{
    if (std::strlen(name) == 4)
        return FourCCGuid(MakeFourCC(name[0], name[1], name[2], name[3]));
    std::uint32_t hash = 2166136261u;
    for (const char* p = name; *p; ++p)
        hash = (hash ^ static_cast<std::uint8_t>(*p)) * 16777619u;
    return {hash, 0x4F52, 0x5658, {0x9E, 0x1D, 0x52, 0x41, 0x57, 0x56, 0x49, 0x44}};
}

// Bits per pixel as a bitmap header counts them: the pixel stride of packed
// formats (BGRx counts 32), the sum over the subsampled planes of the rest
// (I420 counts 12).
int BitsPerPixel(const GstVideoFormatInfo* info)
{
    if (GST_VIDEO_FORMAT_INFO_N_PLANES(info) == 1 && GST_VIDEO_FORMAT_INFO_PSTRIDE(info, 0) > 0)
        return GST_VIDEO_FORMAT_INFO_PSTRIDE(info, 0) * 8;
    int bits = 0;
    for (unsigned c = 0; c < GST_VIDEO_FORMAT_INFO_N_COMPONENTS(info); ++c)
        bits += GST_VIDEO_FORMAT_INFO_DEPTH(info, c) >> (GST_VIDEO_FORMAT_INFO_W_SUB(info, c) +
                                                         GST_VIDEO_FORMAT_INFO_H_SUB(info, c));
    return bits;
}

void FillVideoInfo(const GstStructure* s, int bits, DWORD compression, CMediaType* mt)
{
    int width = 0, height = 0, num = 0, den = 0;
    gst_structure_get_int(s, "width", &width);
    gst_structure_get_int(s, "height", &height);
    VIDEOINFOHEADER vih{};
    if (gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0)
        vih.AvgTimePerFrame = gst_util_uint64_scale_int(10000000, den, num);
    BITMAPINFOHEADER& bmi = vih.bmiHeader;
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = width;
    bmi.biHeight = height;  // raw frames here are bottom-up
    bmi.biPlanes = 1;
    bmi.biBitCount = static_cast<WORD>(bits);
    bmi.biCompression = compression;
    if (compression == BI_RGB) {
        // Rows are padded to four bytes.
        std::uint64_t stride = ((std::uint64_t(width) * bits / 8) + 3) & ~std::uint64_t{3};
        std::uint64_t size = stride * std::uint64_t(height);
        bmi.biSizeImage = size > 0xFFFFFFFFu ? 0 : static_cast<DWORD>(size);
    }
    mt->SetFormatType(&FORMAT_VideoInfo);
    mt->SetFormat(reinterpret_cast<const BYTE*>(&vih), sizeof vih);
    mt->bFixedSizeSamples = 1;
    mt->lSampleSize = bmi.biSizeImage;
}

}  // namespace

void MediaTypeFromStructure(const GstStructure* s, CMediaType* mt)
{
    *mt = CMediaType();
    const char* name = gst_structure_get_name(s);
    if (gst_structure_has_name(s, "video/x-raw")) {
        mt->SetType(&MEDIATYPE_Video);
        const char* formatName = gst_structure_get_string(s, "format");
        GstVideoFormat format =
            formatName ? gst_video_format_from_string(formatName) : GST_VIDEO_FORMAT_UNKNOWN;
        if (format == GST_VIDEO_FORMAT_UNKNOWN) {
            mt->SetSubtype(&MEDIASUBTYPE_NULL);
            return;
        }
        const GstVideoFormatInfo* info = gst_video_format_get_info(format);
        GUID subtype;
        DWORD compression = BI_RGB;
        switch (format) {
        case GST_VIDEO_FORMAT_BGR: subtype = MEDIASUBTYPE_RGB24; break;
        case GST_VIDEO_FORMAT_BGRx:
        case GST_VIDEO_FORMAT_BGRA: subtype = MEDIASUBTYPE_RGB32; break;
        case GST_VIDEO_FORMAT_RGB16: subtype = MEDIASUBTYPE_RGB565; break;
        case GST_VIDEO_FORMAT_RGB15: subtype = MEDIASUBTYPE_RGB555; break;
        default:
            subtype = SubtypeForName(formatName);
            compression = subtype.Data1;
            break;
        }
        mt->SetSubtype(&subtype);
        FillVideoInfo(s, BitsPerPixel(info), compression, mt);
    } else if (gst_structure_has_name(s, "image/jpeg")) {
        mt->SetType(&MEDIATYPE_Video);
        mt->SetSubtype(&MEDIASUBTYPE_MJPG);
        mt->bTemporalCompression = 0;
        FillVideoInfo(s, 24, MEDIASUBTYPE_MJPG.Data1, mt);
        mt->bFixedSizeSamples = 0;
    } else if (g_str_has_prefix(name, "audio/")) {
        mt->SetType(&MEDIATYPE_Audio);
        mt->SetFormatType(&FORMAT_None);
    } else {
        mt->SetFormatType(&FORMAT_None);
    }
}

HRESULT MediaTypeFromCapsString(const char* text, CMediaType* mt)
{
    if (text == nullptr || mt == nullptr)
        return E_POINTER;
    if (!EnsureGstreamer())
        return E_FAIL;
    GstCaps* caps = gst_caps_from_string(text);
    if (caps == nullptr || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) {
        if (caps)
            gst_caps_unref(caps);
        return E_INVALIDARG;
    }
    MediaTypeFromStructure(gst_caps_get_structure(caps, 0), mt);
    gst_caps_unref(caps);
    return S_OK;
}
