// The system device enumerator over GStreamer's device monitor and the
// virtual device declarations.
#include "devices.h"

#include <gst/gst.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "device_sources.h"
#include "graph.h"
#include "gst_support.h"
#include "virtual_devices.h"

// {C5CBFBD0-A9A7-4A5F-B451-15A1737146BA}: the format of devices that do not
// describe their frames with a VIDEOINFOHEADER.
inline constexpr GUID FORMAT_VideoInfo2{0xC5CBFBD0, 0xA9A7, 0x4A5F,
                                        {0xB4, 0x51, 0x15, 0xA1, 0x73, 0x71, 0x46, 0xBA}};

// ---- strings and variants ---------------------------------------------------

BSTR SysAllocString(const char* text)
{
    if (text == nullptr)
        return nullptr;
    const std::size_t n = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(std::malloc(n));
    if (copy)
        std::memcpy(copy, text, n);
    return copy;
}

void SysFreeString(BSTR text) { std::free(text); }

void VariantInit(VARIANT* v)
{
    v->vt = VT_EMPTY;
    v->bstrVal = nullptr;
}

HRESULT VariantClear(VARIANT* v)
{
    if (v == nullptr)
        return E_POINTER;
    if (v->vt == VT_BSTR)
        SysFreeString(v->bstrVal);
    VariantInit(v);
    return S_OK;
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) { delete static_cast<CMediaType*>(mt); }

namespace {

constexpr double kWantedRate = 30.0;

// The highest frame rate of a framerate field: a fraction, a range or a list.
double MaxRate(const GValue* v)
{
    if (v == nullptr)
        return 0;
    if (GST_VALUE_HOLDS_FRACTION(v))
        return gst_value_get_fraction_denominator(v) == 0
                   ? 0
                   : double(gst_value_get_fraction_numerator(v)) /
                         gst_value_get_fraction_denominator(v);
    if (GST_VALUE_HOLDS_FRACTION_RANGE(v))
        return MaxRate(gst_value_get_fraction_range_max(v));
    if (GST_VALUE_HOLDS_LIST(v)) {
        double best = 0;
        for (guint i = 0; i < gst_value_list_get_size(v); ++i)
            best = std::max(best, MaxRate(gst_value_list_get_value(v, i)));
        return best;
    }
    return 0;
}

// The best frame rate caps offer for media at size; 0 when none.
double BestRate(GstCaps* caps, const char* media, FrameSize size)
{
    double best = 0;
    GstCaps* want = gst_caps_new_simple(media, "width", G_TYPE_INT, size.width, "height",
                                        G_TYPE_INT, size.height, nullptr);
    GstCaps* both = gst_caps_intersect(want, caps);
    for (guint i = 0; i < gst_caps_get_size(both); ++i) {
        const GstStructure* st = gst_caps_get_structure(both, i);
        const GValue* rate = gst_structure_get_value(st, "framerate");
        // A node that names no rate delivers what it can; take it as enough.
        best = std::max(best, rate ? MaxRate(rate) : kWantedRate);
    }
    gst_caps_unref(both);
    gst_caps_unref(want);
    return best;
}

// One device as enumerated: a camera (device set) or a virtual device.
struct DeviceEntry {
    ~DeviceEntry()
    {
        if (device)
            gst_object_unref(device);
        if (caps)
            gst_caps_unref(caps);
    }
    std::string name;
    GstDevice* device = nullptr;
    GstCaps* caps = nullptr;  // what the camera offers
    VirtualDevice virt;

    bool NameReadable() const { return device != nullptr || !virt.nameUnreadable; }
    bool VideoInfo() const { return device != nullptr || virt.videoInfo; }
    bool DeliversDV() const { return device == nullptr && virt.dvDecoder; }
    bool CompressedOnly() const
    {
        if (device == nullptr)
            return virt.compressedOnly;
        for (guint i = 0; i < gst_caps_get_size(caps); ++i)
            if (gst_structure_has_name(gst_caps_get_structure(caps, i), "video/x-raw"))
                return false;
        return true;
    }
    bool Accepts(int width, int height) const
    {
        if (device == nullptr)
            return virt.Accepts(width, height);
        for (const char* media : {"video/x-raw", "image/jpeg"}) {
            GstCaps* want = gst_caps_new_simple(media, "width", G_TYPE_INT, width, "height",
                                                G_TYPE_INT, height, nullptr);
            const bool ok = gst_caps_can_intersect(want, caps);
            gst_caps_unref(want);
            if (ok)
                return true;
        }
        return false;
    }
    // A camera is read as Motion-JPEG at this size when its raw frames
    // cannot come at 30 per second (USB cameras often offer raw frames
    // of their larger sizes only at a few per second) or not at all.
    bool PrefersMjpeg(FrameSize size) const
    {
        if (device == nullptr)
            return virt.compressedOnly;
        const double raw = BestRate(caps, "video/x-raw", size);
        const double jpeg = BestRate(caps, "image/jpeg", size);
        return jpeg > 0 && raw < kWantedRate && jpeg > raw;
    }
    FrameSize DefaultSize() const
    {
        if (device == nullptr)
            return virt.sizes.empty() ? FrameSize{320, 240} : virt.sizes.front();
        for (FrameSize s : {FrameSize{640, 480}, FrameSize{320, 240}})
            if (Accepts(s.width, s.height))
                return s;
        for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
            const GstStructure* st = gst_caps_get_structure(caps, i);
            FrameSize s;
            if (gst_structure_get_int(st, "width", &s.width) &&
                gst_structure_get_int(st, "height", &s.height))
                return s;
        }
        return {320, 240};
    }
};

using EntryPtr = std::shared_ptr<DeviceEntry>;

bool IsVideoCapture(GstCaps* caps)
{
    if (caps == nullptr)
        return false;
    // Metadata and output nodes offer no frames of a size.
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* s = gst_caps_get_structure(caps, i);
        if ((gst_structure_has_name(s, "video/x-raw") || gst_structure_has_name(s, "image/jpeg")) &&
            gst_structure_has_field(s, "width") && gst_structure_has_field(s, "height"))
            return true;
    }
    return false;
}

// The node a device stands for, so that a camera listed by two providers
// (or twice by one) is listed once.
std::string NodeKey(GstDevice* device)
{
    GstStructure* props = gst_device_get_properties(device);
    std::string key;
    if (props) {
        for (const char* field : {"api.v4l2.path", "device.path", "object.path"}) {
            const char* v = gst_structure_get_string(props, field);
            if (v && *v) {
                key = v;
                break;
            }
        }
        gst_structure_free(props);
    }
    if (key.empty()) {
        gchar* name = gst_device_get_display_name(device);
        key = name ? name : "";
        g_free(name);
    }
    return key;
}

void AddCameras(std::vector<EntryPtr>* entries)
{
    const char* real = std::getenv("ORVEX_REAL_DEVICES");
    if ((real && std::strcmp(real, "0") == 0) || !EnsureGstreamer())
        return;
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
    GList* devices = gst_device_monitor_get_devices(monitor);
    std::set<std::string> seen;
    for (GList* l = devices; l != nullptr; l = l->next) {
        GstDevice* device = GST_DEVICE(l->data);
        GstCaps* caps = gst_device_get_caps(device);
        if (!IsVideoCapture(caps) || !seen.insert(NodeKey(device)).second) {
            if (caps)
                gst_caps_unref(caps);
            continue;
        }
        auto e = std::make_shared<DeviceEntry>();
        gchar* name = gst_device_get_display_name(device);
        e->name = name ? name : "";
        g_free(name);
        e->device = GST_DEVICE(gst_object_ref(device));
        e->caps = caps;
        entries->push_back(std::move(e));
    }
    g_list_free_full(devices, gst_object_unref);
    gst_object_unref(monitor);
}

std::vector<EntryPtr> EnumerateDevices()
{
    std::vector<EntryPtr> entries;
    AddCameras(&entries);
    std::vector<VirtualDevice> virtuals = LoadVirtualDevices();
    // The built-in demo camera, for people without a camera.
    if (const char* demo = std::getenv("ORVEX_DEMO_CAMERA"); demo && std::strcmp(demo, "1") == 0) {
        VirtualDevice d;
        d.name = "Demo Camera";
        d.kind = VirtualKind::Demo;
        const char* script = std::getenv("ORVEX_DEMO_SCRIPT");
        d.path = script && *script ? script : "demo/walk.script";
        virtuals.push_back(std::move(d));
    }
    for (VirtualDevice& v : virtuals) {
        auto e = std::make_shared<DeviceEntry>();
        e->name = v.name;
        e->virt = std::move(v);
        entries.push_back(std::move(e));
    }
    return entries;
}

// ---- the objects --------------------------------------------------------------

class CStreamConfig final : public CUnknown, public IAMStreamConfig, public IOrvexFormatLog {
public:
    explicit CStreamConfig(EntryPtr entry)
        : CUnknown("Stream config", nullptr), m_entry(std::move(entry)),
          m_size(m_entry->DefaultSize())
    {
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IAMStreamConfig)
            return GetInterface(static_cast<IAMStreamConfig*>(this), ppv);
        if (riid == IID_IOrvexFormatLog)
            return GetInterface(static_cast<IOrvexFormatLog*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    HRESULT SetFormat(AM_MEDIA_TYPE* mt) override
    {
        std::lock_guard lock(m_lock);
        if (mt == nullptr) {
            m_attempts.push_back({{0, 0}, false});
            return E_POINTER;
        }
        const bool videoInfo = mt->formattype == FORMAT_VideoInfo && mt->pbFormat != nullptr &&
                               mt->cbFormat >= sizeof(VIDEOINFOHEADER);
        FrameSize size;
        if (videoInfo) {
            const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
            size = {vih->bmiHeader.biWidth, std::abs(vih->bmiHeader.biHeight)};
        }
        const bool subtypeOk =
            !m_entry->CompressedOnly() || mt->subtype == MEDIASUBTYPE_MJPG;
        const bool ok = videoInfo && subtypeOk && m_entry->Accepts(size.width, size.height);
        m_attempts.push_back({size, ok});
        if (!videoInfo)
            return E_INVALIDARG;
        if (!ok)
            return VFW_E_INVALIDMEDIATYPE;
        m_size = size;
        return S_OK;
    }

    HRESULT GetFormat(AM_MEDIA_TYPE** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        std::lock_guard lock(m_lock);
        auto* mt = new CMediaType;
        mt->SetType(&MEDIATYPE_Video);
        const bool mjpeg = CompressedLocked();
        mt->SetSubtype(mjpeg                        ? &MEDIASUBTYPE_MJPG
                       : m_entry->DeliversDV() ? &MEDIASUBTYPE_dvsd
                                               : &MEDIASUBTYPE_RGB24);
        if (m_entry->VideoInfo()) {
            VIDEOINFOHEADER vih{};
            vih.AvgTimePerFrame = 10000000 / 30;
            vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            vih.bmiHeader.biWidth = m_size.width;
            vih.bmiHeader.biHeight = m_size.height;
            vih.bmiHeader.biPlanes = 1;
            vih.bmiHeader.biBitCount = 24;
            vih.bmiHeader.biCompression =
                mjpeg ? MakeFourCC('M', 'J', 'P', 'G') : BI_RGB;
            vih.bmiHeader.biSizeImage =
                static_cast<DWORD>(((m_size.width * 3 + 3) & ~3) * m_size.height);
            mt->SetFormatType(&FORMAT_VideoInfo);
            if (!mt->SetFormat(reinterpret_cast<const BYTE*>(&vih), sizeof(vih))) {
                delete mt;
                return E_OUTOFMEMORY;
            }
        } else {
            // A block laid out otherwise than a VIDEOINFOHEADER.
            const BYTE other[112] = {};
            mt->SetFormatType(&FORMAT_VideoInfo2);
            if (!mt->SetFormat(other, sizeof(other))) {
                delete mt;
                return E_OUTOFMEMORY;
            }
        }
        *out = mt;
        return S_OK;
    }

    int SetFormatCalls() override
    {
        std::lock_guard lock(m_lock);
        return static_cast<int>(m_attempts.size());
    }
    bool Attempt(int i, int* width, int* height, bool* accepted) override
    {
        std::lock_guard lock(m_lock);
        if (i < 0 || i >= static_cast<int>(m_attempts.size()))
            return false;
        *width = m_attempts[i].size.width;
        *height = m_attempts[i].size.height;
        *accepted = m_attempts[i].accepted;
        return true;
    }

    FrameSize Size()
    {
        std::lock_guard lock(m_lock);
        return m_size;
    }
    // Frames come as Motion-JPEG at the current size.
    bool Compressed()
    {
        std::lock_guard lock(m_lock);
        return CompressedLocked();
    }

private:
    bool CompressedLocked() const
    {
        return m_entry->CompressedOnly() || m_entry->PrefersMjpeg(m_size);
    }
    struct Try {
        FrameSize size;
        bool accepted;
    };
    EntryPtr m_entry;
    std::mutex m_lock;
    FrameSize m_size;
    std::vector<Try> m_attempts;
};

// {5A3C6E2B-1D84-4F71-9B0E-7C2D9A41E366}
constexpr CLSID CLSID_OrvexDeviceSource{0x5A3C6E2B, 0x1D84, 0x4F71,
                                        {0x9B, 0x0E, 0x7C, 0x2D, 0x9A, 0x41, 0xE3, 0x66}};

// A device's source filter. Its element is made at the first GetElement,
// at the size the capture pin's format control holds then. Its pins:
// "Capture" (pad src) and, on devices that have one, "VP", a video port
// (pad vp) carrying the same picture.
class CDeviceSourceFilter final : public CGraphFilterBase {
public:
    explicit CDeviceSourceFilter(EntryPtr entry)
        : CGraphFilterBase("Video capture source", CLSID_OrvexDeviceSource), m_entry(entry)
    {
        m_pConfig = new CStreamConfig(entry);
        m_pConfig->NonDelegatingAddRef();
        m_pins.Add(this, "Capture", PINDIR_OUTPUT, "src", PIN_CATEGORY_CAPTURE);
        if (entry->device == nullptr && entry->virt.videoPort)
            m_pins.Add(this, "VP", PINDIR_OUTPUT, "vp", PIN_CATEGORY_VIDEOPORT);
        if (entry->device == nullptr && !entry->virt.crossbarInputs.empty())
            m_pCrossbar = MakeCrossbar(entry->virt.crossbarInputs);
    }
    ~CDeviceSourceFilter() override
    {
        m_pins.DisconnectAll();
        if (m_pElement)
            gst_object_unref(m_pElement);
        if (m_pCrossbar)
            m_pCrossbar->Release();
        m_pConfig->NonDelegatingRelease();
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        // The capture pin's format control.
        if (riid == IID_IAMStreamConfig)
            return m_pConfig->NonDelegatingQueryInterface(riid, ppv);
        // The crossbar in front of a capture board's decoder.
        if (riid == IID_IAMCrossbar && m_pCrossbar)
            return m_pCrossbar->QueryInterface(riid, ppv);
        return CGraphFilterBase::NonDelegatingQueryInterface(riid, ppv);
    }
    void* GetElement() override
    {
        std::lock_guard lock(m_lock);
        if (m_pElement == nullptr) {
            const FrameSize size = m_pConfig->Size();
            GstElement* e = m_entry->device
                                ? MakeCameraElement(size, m_pConfig->Compressed())
                                : MakeVirtualSourceElement(m_entry->virt, size.width, size.height);
            if (e)
                m_pElement = GST_ELEMENT(gst_object_ref_sink(e));
        }
        return m_pElement;
    }

private:
    GstElement* MakeCameraElement(FrameSize size, bool mjpeg)
    {
        GstElement* src = gst_device_create_element(m_entry->device, nullptr);
        if (src == nullptr)
            return nullptr;
        GstElement* bin = gst_bin_new(nullptr);
        GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
        if (filter == nullptr) {
            gst_object_unref(gst_object_ref_sink(src));
            gst_object_unref(gst_object_ref_sink(bin));
            return nullptr;
        }
        GstCaps* caps = gst_caps_new_simple(mjpeg ? "image/jpeg" : "video/x-raw", "width",
                                            G_TYPE_INT, size.width, "height", G_TYPE_INT,
                                            size.height, nullptr);
        g_object_set(filter, "caps", caps, nullptr);
        gst_caps_unref(caps);
        gst_bin_add_many(GST_BIN(bin), src, filter, nullptr);
        gst_element_link(src, filter);
        GstPad* pad = gst_element_get_static_pad(filter, "src");
        gst_element_add_pad(bin, gst_ghost_pad_new("src", pad));
        gst_object_unref(pad);
        return bin;
    }

    EntryPtr m_entry;
    CStreamConfig* m_pConfig;
    IAMCrossbar* m_pCrossbar = nullptr;
    std::mutex m_lock;
    GstElement* m_pElement = nullptr;
};

class CPropertyBag final : public CUnknown, public IPropertyBag {
public:
    explicit CPropertyBag(EntryPtr entry)
        : CUnknown("Property bag", nullptr), m_entry(std::move(entry))
    {
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IPropertyBag)
            return GetInterface(static_cast<IPropertyBag*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    HRESULT Read(const char* name, VARIANT* value, void*) override
    {
        if (name == nullptr || value == nullptr)
            return E_POINTER;
        if (std::strcmp(name, "FriendlyName") != 0 || !m_entry->NameReadable())
            return E_FAIL;
        BSTR text = SysAllocString(m_entry->name.c_str());
        if (text == nullptr)
            return E_OUTOFMEMORY;
        value->vt = VT_BSTR;
        value->bstrVal = text;
        return S_OK;
    }

private:
    EntryPtr m_entry;
};

class CDeviceMoniker final : public CUnknown, public IMoniker {
public:
    explicit CDeviceMoniker(EntryPtr entry)
        : CUnknown("Device moniker", nullptr), m_entry(std::move(entry))
    {
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IMoniker)
            return GetInterface(static_cast<IMoniker*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    HRESULT BindToStorage(void*, IMoniker*, REFIID riid, void** ppv) override
    {
        return HandOutNewObject(new CPropertyBag(m_entry), riid, ppv);
    }
    HRESULT BindToObject(void*, IMoniker*, REFIID riid, void** ppv) override
    {
        return HandOutNewObject(new CDeviceSourceFilter(m_entry), riid, ppv);
    }

private:
    EntryPtr m_entry;
};

class CEnumMoniker final : public CUnknown, public IEnumMoniker {
public:
    explicit CEnumMoniker(std::vector<EntryPtr> entries)
        : CUnknown("Moniker enumerator", nullptr), m_entries(std::move(entries))
    {
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IEnumMoniker)
            return GetInterface(static_cast<IEnumMoniker*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) override
    {
        if (monikers == nullptr || (count > 1 && fetched == nullptr))
            return E_POINTER;
        ULONG n = 0;
        for (; n < count && m_next < m_entries.size(); ++n, ++m_next) {
            auto* m = new CDeviceMoniker(m_entries[m_next]);
            m->NonDelegatingQueryInterface(IID_IMoniker, reinterpret_cast<void**>(&monikers[n]));
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        m_next = 0;
        return S_OK;
    }

private:
    std::vector<EntryPtr> m_entries;
    std::size_t m_next = 0;
};

class CSystemDeviceEnum final : public CUnknown, public ICreateDevEnum {
public:
    CSystemDeviceEnum() : CUnknown("System device enumerator", nullptr) {}
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_ICreateDevEnum)
            return GetInterface(static_cast<ICreateDevEnum*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** out, DWORD) override
    {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (category != CLSID_VideoInputDeviceCategory)
            return S_FALSE;
        std::vector<EntryPtr> entries = EnumerateDevices();
        if (entries.empty())
            return S_FALSE;
        auto* e = new CEnumMoniker(std::move(entries));
        return e->NonDelegatingQueryInterface(IID_IEnumMoniker, reinterpret_cast<void**>(out));
    }
};

}  // namespace

namespace {

struct ArrivalWatch {
    GstDeviceMonitor* monitor = nullptr;
    guint busWatch = 0;
    HWND window = nullptr;
    UINT message = 0;
};
ArrivalWatch g_arrivals;  // UI thread only

gboolean OnMonitorMessage(GstBus*, GstMessage* message, gpointer)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_DEVICE_ADDED && g_arrivals.window)
        PostMessage(g_arrivals.window, g_arrivals.message, DBT_DEVICEARRIVAL, 0);
    return G_SOURCE_CONTINUE;
}

}  // namespace

void WatchVideoDeviceArrivals(HWND window, UINT message)
{
    g_arrivals.window = window;
    g_arrivals.message = message;
    const char* real = std::getenv("ORVEX_REAL_DEVICES");
    const bool wanted = window != nullptr && !(real && std::strcmp(real, "0") == 0);
    if (wanted == (g_arrivals.monitor != nullptr) || (wanted && !EnsureGstreamer()))
        return;
    if (wanted) {
        g_arrivals.monitor = gst_device_monitor_new();
        gst_device_monitor_add_filter(g_arrivals.monitor, "Video/Source", nullptr);
        GstBus* bus = gst_device_monitor_get_bus(g_arrivals.monitor);
        g_arrivals.busWatch = gst_bus_add_watch(bus, OnMonitorMessage, nullptr);
        gst_object_unref(bus);
        gst_device_monitor_start(g_arrivals.monitor);
    } else {
        gst_device_monitor_stop(g_arrivals.monitor);
        g_source_remove(g_arrivals.busWatch);
        gst_object_unref(g_arrivals.monitor);
        g_arrivals = {};
    }
}

HRESULT CreateSystemDeviceEnum(REFIID riid, void** ppv)
{
    return HandOutNewObject(new CSystemDeviceEnum, riid, ppv);
}

namespace {
// The enumerator is part of the platform: no registry entry needed.
const bool g_systemDeviceEnumRegistered =
    (CoRegisterBuiltinClass(CLSID_SystemDeviceEnum, CreateSystemDeviceEnum), true);
}  // namespace
