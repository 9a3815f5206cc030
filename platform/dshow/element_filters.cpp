// The overlay mixer, the decoders and the converters.
#include "element_filters.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "com/com.h"
#include "gst_support.h"

CElementFilter::CElementFilter(const char* objectName, REFCLSID clsid, std::string description)
    : CGraphFilterBase(objectName, clsid), m_description(std::move(description))
{
    m_pins.Add(this, "Input", PINDIR_INPUT, "sink");
    m_pins.Add(this, "Output", PINDIR_OUTPUT, "src");
}

CElementFilter::~CElementFilter()
{
    m_pins.DisconnectAll();
    if (m_pElement)
        gst_object_unref(m_pElement);
}

void* CElementFilter::GetElement()
{
    CAutoLock lock(&m_csFilter);
    if (m_pElement == nullptr && EnsureGstreamer()) {
        RegisterVerticalFlip();
        GError* error = nullptr;
        GstElement* e = gst_parse_bin_from_description(m_description.c_str(), TRUE, &error);
        if (error) {
            std::fprintf(stderr, "orvex: cannot make \"%s\": %s\n", m_description.c_str(),
                         error->message);
            g_error_free(error);
        }
        if (e)
            m_pElement = GST_ELEMENT(gst_object_ref_sink(e));
    }
    return m_pElement;
}

namespace {

// The DV decoder. The display size shrinks the picture by 1, 2, 4 or 8 on
// each side; it takes effect when the stream's size becomes known.
class CDVDecoder final : public CElementFilter, public IIPDVDec {
public:
    CDVDecoder()
        : CElementFilter("DV video decoder", CLSID_DVVideoCodec,
                         "videoscale name=scale ! capsfilter name=size")
    {
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IIPDVDec)
            return GetInterface(static_cast<IIPDVDec*>(this), ppv);
        return CElementFilter::NonDelegatingQueryInterface(riid, ppv);
    }
    void* GetElement() override
    {
        void* e = CElementFilter::GetElement();
        std::call_once(m_watch, [this, e] {
            if (e == nullptr)
                return;
            GstPad* pad = gst_element_get_static_pad(GST_ELEMENT(e), "sink");
            gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnCaps, this, nullptr);
            gst_object_unref(pad);
        });
        return e;
    }
    HRESULT get_IPDisplay(int* display) override
    {
        if (display == nullptr)
            return E_POINTER;
        *display = m_display.load();
        return S_OK;
    }
    HRESULT put_IPDisplay(int display) override
    {
        if (Divisor(display) == 0)
            return E_INVALIDARG;
        m_display.store(display);
        return S_OK;
    }

private:
    static int Divisor(int display)
    {
        switch (display) {
            case DVRESOLUTION_FULL: return 1;
            case DVRESOLUTION_HALF: return 2;
            case DVRESOLUTION_QUARTER: return 4;
            case DVRESOLUTION_DC: return 8;
        }
        return 0;
    }
    // Streaming thread: the incoming size is known; the outgoing size follows.
    static GstPadProbeReturn OnCaps(GstPad*, GstPadProbeInfo* info, gpointer self)
    {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
            return GST_PAD_PROBE_OK;
        auto* decoder = static_cast<CDVDecoder*>(self);
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        int width = 0, height = 0;
        const GstStructure* s = gst_caps_get_structure(caps, 0);
        if (gst_structure_get_int(s, "width", &width) &&
            gst_structure_get_int(s, "height", &height)) {
            const int d = Divisor(decoder->m_display.load());
            GstCaps* out = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT,
                                               std::max(1, width / d), "height", G_TYPE_INT,
                                               std::max(1, height / d), nullptr);
            GstElement* size = gst_bin_get_by_name(GST_BIN(decoder->Element()), "size");
            g_object_set(size, "caps", out, nullptr);
            gst_object_unref(size);
            gst_caps_unref(out);
        }
        return GST_PAD_PROBE_OK;
    }

    std::atomic<int> m_display{DVRESOLUTION_FULL};
    std::once_flag m_watch;
};

IBaseFilter* AsFilter(CElementFilter* filter)
{
    IBaseFilter* out = nullptr;
    HandOutNewObject(filter, IID_IBaseFilter, reinterpret_cast<void**>(&out));
    return out;
}

// The video port's picture goes through unchanged to its renderer.
CElementFilter* NewOverlayMixer()
{
    return new CElementFilter("Overlay mixer", CLSID_OverlayMixer, "identity");
}

HRESULT CreateOverlayMixer(REFIID riid, void** ppv)
{
    return HandOutNewObject(NewOverlayMixer(), riid, ppv);
}

const bool g_mixerRegistered = (CoRegisterBuiltinClass(CLSID_OverlayMixer, CreateOverlayMixer), true);

}  // namespace

IBaseFilter* MakeElementFilter(REFCLSID clsid)
{
    if (clsid == CLSID_MjpegDec)
        return AsFilter(new CElementFilter("MJPEG decompressor", clsid, "jpegdec"));
    if (clsid == CLSID_DVVideoCodec)
        return AsFilter(new CDVDecoder);
    if (clsid == CLSID_OverlayMixer)
        return AsFilter(NewOverlayMixer());
    return nullptr;
}

IBaseFilter* MakeFrameConverter(int width, int height)
{
    std::string size;
    if (width > 0 && height > 0)
        size = ",width=" + std::to_string(width) + ",height=" + std::to_string(height);
    return AsFilter(new CElementFilter(
        "Frame converter", CLSID_FrameConverter,
        "videoconvert ! videoscale ! video/x-raw,format=BGR" + size +
            " ! orvexflip"));
}

IBaseFilter* MakeDisplayConverter()
{
    return AsFilter(new CElementFilter("Display converter", CLSID_FrameConverter,
                                       "orvexflip"));
}

IBaseFilter* MakeColourConverter()
{
    return AsFilter(new CElementFilter("Colour space converter", CLSID_FrameConverter,
                                       "videoconvert"));
}
