// The capture graph builder: finds pins and interfaces around a filter and
// lays out a capture path, with the decoders and converters it needs.
#include <gst/gst.h>

#include <deque>
#include <vector>

#include "com/com.h"
#include "devices.h"
#include "element_filters.h"
#include "graph.h"
#include "gst_support.h"

namespace {

// The pins of filter, each with a reference.
std::vector<IPin*> PinsOf(IBaseFilter* filter)
{
    std::vector<IPin*> pins;
    IEnumPins* e = nullptr;
    if (FAILED(filter->EnumPins(&e)))
        return pins;
    IPin* pin = nullptr;
    while (e->Next(1, &pin, nullptr) == S_OK)
        pins.push_back(pin);
    e->Release();
    return pins;
}

void ReleaseAll(std::vector<IPin*>& pins)
{
    for (IPin* p : pins)
        p->Release();
    pins.clear();
}

// The filter of a filter or a pin, with a reference.
IBaseFilter* FilterOf(IUnknown* object)
{
    IBaseFilter* filter = nullptr;
    if (object == nullptr)
        return nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter))))
        return filter;
    IPin* pin = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IPin, reinterpret_cast<void**>(&pin)))) {
        PIN_INFO info{};
        if (SUCCEEDED(pin->QueryPinInfo(&info)))
            filter = info.pFilter;
        pin->Release();
    }
    return filter;
}

IPin* PinAt(IBaseFilter* filter, PIN_DIRECTION dir)
{
    std::vector<IPin*> pins = PinsOf(filter);
    IPin* found = nullptr;
    for (IPin* p : pins) {
        PIN_DIRECTION d;
        if (found == nullptr && SUCCEEDED(p->QueryDirection(&d)) && d == dir) {
            found = p;
            found->AddRef();
        }
    }
    ReleaseAll(pins);
    return found;
}

// The size and subtype of what the source's capture pin delivers.
struct SourceFormat {
    GUID subtype = MEDIASUBTYPE_NULL;
    int width = 0;
    int height = 0;
};

SourceFormat FormatOf(IBaseFilter* source, IPin* out)
{
    SourceFormat f;
    IAMStreamConfig* config = nullptr;
    if (SUCCEEDED(source->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config)))) {
        AM_MEDIA_TYPE* mt = nullptr;
        if (SUCCEEDED(config->GetFormat(&mt))) {
            f.subtype = mt->subtype;
            if (mt->formattype == FORMAT_VideoInfo && mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
                const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
                f.width = vih->bmiHeader.biWidth;
                f.height = std::abs(vih->bmiHeader.biHeight);
            }
            DeleteMediaType(mt);
        }
        config->Release();
    }
    if (f.width > 0 && f.height > 0)
        return f;
    // A format block of another kind: the size the pad offers.
    CGraphPin* pin = CGraphPin::FromPin(out);
    auto* element = static_cast<GstElement*>(source->GetElement());
    GstPad* pad = element && pin ? gst_element_get_static_pad(element, pin->PadName()) : nullptr;
    if (pad) {
        GstCaps* caps = gst_pad_query_caps(pad, nullptr);
        if (caps && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps)) {
            const GstStructure* s = gst_caps_get_structure(caps, 0);
            if (!gst_structure_get_int(s, "width", &f.width) ||
                !gst_structure_get_int(s, "height", &f.height))
                f.width = f.height = 0;
        }
        if (caps)
            gst_caps_unref(caps);
        gst_object_unref(pad);
    }
    return f;
}

class CCaptureGraphBuilder final : public CUnknown, public ICaptureGraphBuilder2 {
public:
    CCaptureGraphBuilder() : CUnknown("Capture graph builder", nullptr) {}
    ~CCaptureGraphBuilder() override
    {
        if (m_pGraph)
            m_pGraph->Release();
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_ICaptureGraphBuilder2)
            return GetInterface(static_cast<ICaptureGraphBuilder2*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    HRESULT SetFiltergraph(IGraphBuilder* graph) override
    {
        if (graph == nullptr)
            return E_POINTER;
        if (m_pGraph)
            return E_UNEXPECTED;
        m_pGraph = graph;
        graph->AddRef();
        return S_OK;
    }
    HRESULT GetFiltergraph(IGraphBuilder** graph) override
    {
        if (graph == nullptr)
            return E_POINTER;
        *graph = m_pGraph;
        if (m_pGraph == nullptr)
            return E_UNEXPECTED;
        m_pGraph->AddRef();
        return S_OK;
    }

    HRESULT FindInterface(const GUID*, const GUID*, IBaseFilter* filter, REFIID riid,
                          void** ppv) override;
    HRESULT FindPin(IUnknown* source, PIN_DIRECTION dir, const GUID* category, const GUID*,
                    BOOL unconnected, int num, IPin** pin) override;
    HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source,
                         IBaseFilter* intermediate, IBaseFilter* sink) override;

private:
    HRESULT AddNew(IBaseFilter* filter, const char* name, std::vector<IBaseFilter*>* added);
    HRESULT Chain(const std::vector<IBaseFilter*>& filters, IPin* out);

    IGraphBuilder* m_pGraph = nullptr;
};

// The filter itself first, then the filters connected to it, nearest first.
HRESULT CCaptureGraphBuilder::FindInterface(const GUID*, const GUID*, IBaseFilter* filter,
                                            REFIID riid, void** ppv)
{
    if (filter == nullptr || ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    std::deque<IBaseFilter*> queue{filter};
    std::vector<IBaseFilter*> seen{filter};
    filter->AddRef();
    HRESULT hr = E_NOINTERFACE;
    while (!queue.empty()) {
        IBaseFilter* f = queue.front();
        queue.pop_front();
        if (FAILED(hr) && SUCCEEDED(f->QueryInterface(riid, ppv)))
            hr = S_OK;
        if (FAILED(hr)) {
            std::vector<IPin*> pins = PinsOf(f);
            for (IPin* p : pins) {
                IPin* peer = nullptr;
                if (p->ConnectedTo(&peer) != S_OK)
                    continue;
                IBaseFilter* next = FilterOf(peer);
                peer->Release();
                if (next && std::find(seen.begin(), seen.end(), next) == seen.end()) {
                    seen.push_back(next);
                    queue.push_back(next);
                } else if (next) {
                    next->Release();
                }
            }
            ReleaseAll(pins);
        }
        f->Release();
    }
    return hr;
}

HRESULT CCaptureGraphBuilder::FindPin(IUnknown* source, PIN_DIRECTION dir, const GUID* category,
                                      const GUID*, BOOL unconnected, int num, IPin** pin)
{
    if (source == nullptr || pin == nullptr)
        return E_POINTER;
    *pin = nullptr;
    IBaseFilter* filter = FilterOf(source);
    if (filter == nullptr)
        return E_NOINTERFACE;
    std::vector<IPin*> pins = PinsOf(filter);
    filter->Release();
    for (IPin* p : pins) {
        PIN_DIRECTION d;
        GUID c{};
        IPin* peer = nullptr;
        if (FAILED(p->QueryDirection(&d)) || d != dir || FAILED(p->QueryCategory(&c)))
            continue;
        if (category != nullptr && c != *category)
            continue;
        if (unconnected && p->ConnectedTo(&peer) == S_OK) {
            peer->Release();
            continue;
        }
        if (num-- == 0) {
            *pin = p;
            p->AddRef();
            break;
        }
    }
    ReleaseAll(pins);
    return *pin ? S_OK : VFW_E_NOT_FOUND;
}

HRESULT CCaptureGraphBuilder::AddNew(IBaseFilter* filter, const char* name,
                                     std::vector<IBaseFilter*>* added)
{
    if (filter == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT hr = m_pGraph->AddFilter(filter, name);
    if (SUCCEEDED(hr))
        added->push_back(filter);
    else
        filter->Release();
    return hr;
}

// Connects out to the first filter's input, that filter's output to the
// next one's input, and so on.
HRESULT CCaptureGraphBuilder::Chain(const std::vector<IBaseFilter*>& filters, IPin* out)
{
    out->AddRef();
    HRESULT hr = S_OK;
    for (IBaseFilter* f : filters) {
        IPin* in = PinAt(f, PINDIR_INPUT);
        hr = in ? m_pGraph->ConnectDirect(out, in, nullptr) : VFW_E_CANNOT_CONNECT;
        if (in)
            in->Release();
        out->Release();
        out = nullptr;
        if (FAILED(hr))
            break;
        out = PinAt(f, PINDIR_OUTPUT);
        if (out == nullptr && f != filters.back()) {
            hr = VFW_E_CANNOT_CONNECT;
            break;
        }
    }
    if (out)
        out->Release();
    return hr;
}

HRESULT CCaptureGraphBuilder::RenderStream(const GUID* category, const GUID*, IUnknown* source,
                                           IBaseFilter* intermediate, IBaseFilter* sink)
{
    if (m_pGraph == nullptr)
        return E_UNEXPECTED;
    IPin* out = nullptr;
    HRESULT hr = FindPin(source, PINDIR_OUTPUT, category, nullptr, TRUE, 0, &out);
    if (FAILED(hr))
        return E_FAIL;
    IBaseFilter* sourceFilter = FilterOf(out);
    const SourceFormat format = FormatOf(sourceFilter, out);
    sourceFilter->Release();

    std::vector<IBaseFilter*> added;  // filters this call put into the graph
    std::vector<IBaseFilter*> path;   // every filter after the source, in order
    if (format.subtype == MEDIASUBTYPE_MJPG)
        hr = AddNew(MakeElementFilter(CLSID_MjpegDec), "MJPEG Decompressor", &added);
    else if (format.subtype == MEDIASUBTYPE_dvsd)
        hr = AddNew(MakeElementFilter(CLSID_DVVideoCodec), "DV Video Decoder", &added);
    if (!added.empty())
        path.push_back(added.back());
    if (SUCCEEDED(hr) && intermediate) {
        hr = AddNew(MakeFrameConverter(format.width, format.height), "Frame Converter", &added);
        if (SUCCEEDED(hr)) {
            path.push_back(added.back());
            path.push_back(intermediate);
            hr = AddNew(MakeDisplayConverter(), "Display Converter", &added);
        }
        if (SUCCEEDED(hr))
            path.push_back(added.back());
    }
    if (SUCCEEDED(hr) && sink == nullptr) {
        IBaseFilter* renderer = nullptr;
        hr = CreateVideoRenderer(IID_IBaseFilter, reinterpret_cast<void**>(&renderer));
        if (SUCCEEDED(hr))
            hr = AddNew(renderer, "Video Renderer", &added);
        sink = SUCCEEDED(hr) ? added.back() : nullptr;
    }
    if (SUCCEEDED(hr) && sink)
        path.push_back(sink);
    if (SUCCEEDED(hr))
        hr = Chain(path, out);
    out->Release();
    // A path that could not be laid out leaves the graph as it was.
    for (IBaseFilter* f : added) {
        if (FAILED(hr))
            m_pGraph->RemoveFilter(f);
        f->Release();
    }
    if (FAILED(hr) && intermediate) {
        std::vector<IPin*> pins = PinsOf(intermediate);
        for (IPin* p : pins)
            m_pGraph->Disconnect(p);
        ReleaseAll(pins);
    }
    return FAILED(hr) ? E_FAIL : S_OK;
}

}  // namespace

HRESULT CreateCaptureGraphBuilder(REFIID riid, void** ppv)
{
    return HandOutNewObject(new CCaptureGraphBuilder, riid, ppv);
}

namespace {
const bool g_builderRegistered =
    (CoRegisterBuiltinClass(CLSID_CaptureGraphBuilder2, CreateCaptureGraphBuilder), true);
}  // namespace
