// The filter graph: a GstPipeline, the filters added to it by name, their
// pins' connections, run and stop, and the events the pipeline reports.
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "com/com.h"
#include "element_filters.h"
#include "graph.h"
#include "gst_support.h"

namespace {

constexpr std::uint32_t ERROR_BUSY = 170;
constexpr std::uint32_t ERROR_TIMEOUT = 1460;
constexpr std::uint32_t ERROR_DEVICE_NOT_CONNECTED = 1167;

// A live source that has delivered nothing for this long has stalled.
int StallTimeoutMs()
{
    const char* text = std::getenv("ORVEX_STALL_TIMEOUT_MS");
    const int ms = text ? std::atoi(text) : 0;
    return ms > 0 ? ms : 4000;
}

struct GraphEvent {
    long code;
    HRESULT hr;
    std::string text;
};

// The result code and event of a GStreamer error.
GraphEvent EventFromError(GError* error)
{
    GraphEvent e{EC_ERRORABORT, E_FAIL, error ? error->message : "Unknown error."};
    if (error && error->domain == GST_RESOURCE_ERROR) {
        switch (error->code) {
            case GST_RESOURCE_ERROR_NOT_FOUND:
            case GST_RESOURCE_ERROR_OPEN_READ:
            case GST_RESOURCE_ERROR_READ:
                e.code = EC_DEVICE_LOST;
                e.hr = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
                break;
            case GST_RESOURCE_ERROR_BUSY:
                e.hr = HRESULT_FROM_WIN32(ERROR_BUSY);
                break;
            default: break;
        }
    }
    return e;
}

class CFilterGraph final : public CUnknown,
                           public IGraphBuilder,
                           public IMediaControl,
                           public IMediaEventEx {
public:
    CFilterGraph();
    ~CFilterGraph() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IFilterGraph, IGraphBuilder
    HRESULT AddFilter(IBaseFilter* filter, const char* name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT FindFilterByName(const char* name, IBaseFilter** filter) override;
    HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) override;
    HRESULT Disconnect(IPin* pin) override;
    HRESULT Connect(IPin* out, IPin* in) override;

    // IMediaControl
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(long milliseconds, OAFilterState* state) override;

    // IMediaEventEx
    HRESULT SetNotifyWindow(OAHWND window, long message, std::intptr_t instance) override;
    HRESULT GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2,
                     long milliseconds) override;
    HRESULT FreeEventParams(long code, std::intptr_t param1, std::intptr_t param2) override;

    // The renderer the graph's video window and native size stand for.
    template <class I>
    HRESULT RendererInterface(REFIID riid, I** out);

protected:
    void OnFinalRelease() override;

private:
    struct Member {
        IBaseFilter* filter;  // one reference
        std::string name;
    };

    HRESULT EnsureInPipeline(IBaseFilter* filter, GstElement** element);
    bool Holds(IBaseFilter* filter) const;
    std::string UniqueName(const char* wanted) const;
    void WatchCapturePin(GstElement* element, const char* pad);
    void Queue(GraphEvent event);
    void StartWatchdog();
    void StopWatchdog();
    static GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer self);
    static GstPadProbeReturn OnCaptureBuffer(GstPad*, GstPadProbeInfo*, gpointer self);
    static gboolean OnWatchdog(gpointer self);

    GstElement* m_pipeline = nullptr;
    std::vector<Member> m_filters;
    class CGraphVideoWindow* m_pWindow = nullptr;
    class CGraphBasicVideo* m_pBasic = nullptr;

    // Shared with the streaming threads.
    std::mutex m_eventLock;
    std::deque<GraphEvent> m_events;
    OAHWND m_notifyWindow = nullptr;
    long m_notifyMessage = 0;
    std::intptr_t m_notifyInstance = 0;
    bool m_faultQueued = false;  // one fault per run: the first says it all
    std::atomic<std::int64_t> m_lastFrameNs{0};

    guint m_watchdog = 0;
    bool m_running = false;
};

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---- the graph's video window and native size: the renderer's --------------

// An interface of the graph whose calls go to the renderer's own; its
// references are the graph's.
template <class I>
class CRendererForwarder : public I {
public:
    CRendererForwarder(CFilterGraph* graph, REFIID iid) : m_graph(graph), m_iid(iid) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        return m_graph->QueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return m_graph->AddRef(); }
    ULONG Release() override { return m_graph->Release(); }

protected:
    template <class Call>
    HRESULT Forward(Call call)
    {
        I* renderer = nullptr;
        HRESULT hr = m_graph->RendererInterface(m_iid, &renderer);
        if (FAILED(hr))
            return hr;
        hr = call(renderer);
        renderer->Release();
        return hr;
    }

private:
    CFilterGraph* m_graph;
    const IID m_iid;
};

class CGraphVideoWindow final : public CRendererForwarder<IVideoWindow> {
public:
    explicit CGraphVideoWindow(CFilterGraph* graph) : CRendererForwarder(graph, IID_IVideoWindow) {}

    HRESULT put_Owner(OAHWND o) override
    {
        return Forward([&](IVideoWindow* w) { return w->put_Owner(o); });
    }
    HRESULT get_Owner(OAHWND* o) override
    {
        return Forward([&](IVideoWindow* w) { return w->get_Owner(o); });
    }
    HRESULT put_WindowStyle(long s) override
    {
        return Forward([&](IVideoWindow* w) { return w->put_WindowStyle(s); });
    }
    HRESULT put_MessageDrain(OAHWND d) override
    {
        return Forward([&](IVideoWindow* w) { return w->put_MessageDrain(d); });
    }
    HRESULT put_Visible(long v) override
    {
        return Forward([&](IVideoWindow* w) { return w->put_Visible(v); });
    }
    HRESULT get_Visible(long* v) override
    {
        return Forward([&](IVideoWindow* w) { return w->get_Visible(v); });
    }
    HRESULT put_AutoShow(long a) override
    {
        return Forward([&](IVideoWindow* w) { return w->put_AutoShow(a); });
    }
    HRESULT SetWindowPosition(long l, long t, long width, long height) override
    {
        return Forward([&](IVideoWindow* w) { return w->SetWindowPosition(l, t, width, height); });
    }
    HRESULT GetWindowPosition(long* l, long* t, long* width, long* height) override
    {
        return Forward([&](IVideoWindow* w) { return w->GetWindowPosition(l, t, width, height); });
    }
    HRESULT get_FullScreenMode(long* m) override
    {
        return Forward([&](IVideoWindow* w) { return w->get_FullScreenMode(m); });
    }
    HRESULT put_FullScreenMode(long m) override
    {
        return Forward([&](IVideoWindow* w) { return w->put_FullScreenMode(m); });
    }
};

class CGraphBasicVideo final : public CRendererForwarder<IBasicVideo> {
public:
    explicit CGraphBasicVideo(CFilterGraph* graph) : CRendererForwarder(graph, IID_IBasicVideo) {}
    HRESULT GetVideoSize(long* width, long* height) override
    {
        return Forward([&](IBasicVideo* b) { return b->GetVideoSize(width, height); });
    }
};

// ---- the graph ----------------------------------------------------------------

CFilterGraph::CFilterGraph() : CUnknown("Filter graph", nullptr)
{
    m_pWindow = new CGraphVideoWindow(this);
    m_pBasic = new CGraphBasicVideo(this);
    if (!EnsureGstreamer())
        return;
    m_pipeline = gst_pipeline_new(nullptr);
    gst_object_ref_sink(m_pipeline);
    GstBus* bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(bus, OnBusMessage, this, nullptr);
    gst_object_unref(bus);
}

// Everything goes while the graph is still whole: the filters' pins hold
// references on each other's filters, which only disconnecting breaks.
void CFilterGraph::OnFinalRelease()
{
    Stop();
    while (!m_filters.empty())
        RemoveFilter(m_filters.back().filter);
}

CFilterGraph::~CFilterGraph()
{
    if (m_pipeline) {
        GstBus* bus = gst_element_get_bus(m_pipeline);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(m_pipeline);
    }
    delete m_pWindow;
    delete m_pBasic;
}

HRESULT CFilterGraph::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IGraphBuilder || riid == IID_IFilterGraph)
        return GetInterface(static_cast<IGraphBuilder*>(this), ppv);
    if (riid == IID_IMediaControl)
        return GetInterface(static_cast<IMediaControl*>(this), ppv);
    if (riid == IID_IMediaEventEx)
        return GetInterface(static_cast<IMediaEventEx*>(this), ppv);
    if (riid == IID_IVideoWindow)
        return GetInterface(m_pWindow, ppv);
    if (riid == IID_IBasicVideo)
        return GetInterface(m_pBasic, ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

// The most recently added renderer whose input is connected (the one the
// capture path ends in), else the most recently added one.
template <class I>
HRESULT CFilterGraph::RendererInterface(REFIID riid, I** out)
{
    *out = nullptr;
    I* fallback = nullptr;
    for (auto it = m_filters.rbegin(); it != m_filters.rend() && *out == nullptr; ++it) {
        I* candidate = nullptr;
        if (FAILED(it->filter->QueryInterface(riid, reinterpret_cast<void**>(&candidate))))
            continue;
        IEnumPins* pins = nullptr;
        bool connected = false;
        if (SUCCEEDED(it->filter->EnumPins(&pins))) {
            IPin* pin = nullptr;
            while (!connected && pins->Next(1, &pin, nullptr) == S_OK) {
                CGraphPin* p = CGraphPin::FromPin(pin);
                connected = p && p->Direction() == PINDIR_INPUT && p->IsConnected();
                pin->Release();
            }
            pins->Release();
        }
        if (connected)
            *out = candidate;
        else if (fallback == nullptr)
            fallback = candidate;
        else
            candidate->Release();
    }
    if (*out == nullptr) {
        *out = fallback;
    } else if (fallback) {
        fallback->Release();
    }
    return *out ? S_OK : VFW_E_NO_VIDEO_WINDOW;
}

bool CFilterGraph::Holds(IBaseFilter* filter) const
{
    return std::any_of(m_filters.begin(), m_filters.end(),
                       [filter](const Member& m) { return m.filter == filter; });
}

std::string CFilterGraph::UniqueName(const char* wanted) const
{
    const std::string base = wanted && *wanted ? wanted : "Filter";
    auto taken = [this](const std::string& n) {
        return std::any_of(m_filters.begin(), m_filters.end(),
                           [&n](const Member& m) { return m.name == n; });
    };
    if (!taken(base))
        return base;
    for (int i = 1;; ++i) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, " %04d", i);
        if (!taken(base + suffix))
            return base + suffix;
    }
}

HRESULT CFilterGraph::AddFilter(IBaseFilter* filter, const char* name)
{
    if (filter == nullptr)
        return E_POINTER;
    if (Holds(filter))
        return E_INVALIDARG;
    Member m{filter, UniqueName(name)};
    const HRESULT hr = filter->JoinFilterGraph(this, m.name.c_str());
    if (FAILED(hr))
        return hr;
    filter->AddRef();
    m_filters.push_back(std::move(m));
    return S_OK;
}

HRESULT CFilterGraph::RemoveFilter(IBaseFilter* filter)
{
    auto it = std::find_if(m_filters.begin(), m_filters.end(),
                           [filter](const Member& m) { return m.filter == filter; });
    if (it == m_filters.end())
        return VFW_E_NOT_FOUND;
    IEnumPins* pins = nullptr;
    if (SUCCEEDED(filter->EnumPins(&pins))) {
        IPin* pin = nullptr;
        while (pins->Next(1, &pin, nullptr) == S_OK) {
            Disconnect(pin);
            pin->Release();
        }
        pins->Release();
    }
    auto* element = static_cast<GstElement*>(filter->GetElement());
    if (element && m_pipeline && GST_OBJECT_PARENT(element) == GST_OBJECT(m_pipeline)) {
        gst_element_set_state(element, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(m_pipeline), element);
    }
    m_filters.erase(it);
    filter->JoinFilterGraph(nullptr, nullptr);
    filter->Release();
    return S_OK;
}

HRESULT CFilterGraph::FindFilterByName(const char* name, IBaseFilter** filter)
{
    if (name == nullptr || filter == nullptr)
        return E_POINTER;
    *filter = nullptr;
    for (const Member& m : m_filters)
        if (m.name == name) {
            *filter = m.filter;
            m.filter->AddRef();
            return S_OK;
        }
    return VFW_E_NOT_FOUND;
}

HRESULT CFilterGraph::EnsureInPipeline(IBaseFilter* filter, GstElement** element)
{
    if (m_pipeline == nullptr)
        return E_FAIL;
    if (!Holds(filter))
        return VFW_E_NOT_IN_GRAPH;
    *element = static_cast<GstElement*>(filter->GetElement());
    if (*element == nullptr)
        return E_FAIL;
    if (GST_OBJECT_PARENT(*element) == nullptr && !gst_bin_add(GST_BIN(m_pipeline), *element))
        return E_FAIL;
    return GST_OBJECT_PARENT(*element) == GST_OBJECT(m_pipeline) ? S_OK : E_FAIL;
}

HRESULT CFilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE*)
{
    CGraphPin* from = CGraphPin::FromPin(out);
    CGraphPin* to = CGraphPin::FromPin(in);
    if (from == nullptr || to == nullptr)
        return E_POINTER;
    if (from->Direction() != PINDIR_OUTPUT || to->Direction() != PINDIR_INPUT)
        return VFW_E_CANNOT_CONNECT;
    if (from->IsConnected() || to->IsConnected())
        return VFW_E_ALREADY_CONNECTED;
    GstElement* fromElement = nullptr;
    GstElement* toElement = nullptr;
    HRESULT hr = EnsureInPipeline(from->Filter(), &fromElement);
    if (SUCCEEDED(hr))
        hr = EnsureInPipeline(to->Filter(), &toElement);
    if (FAILED(hr))
        return hr;
    if (!gst_element_link_pads(fromElement, from->PadName(), toElement, to->PadName()))
        return VFW_E_CANNOT_CONNECT;
    from->SetConnected(in);
    to->SetConnected(out);
    GUID category{};
    from->QueryCategory(&category);
    if (category == PIN_CATEGORY_CAPTURE)
        WatchCapturePin(fromElement, from->PadName());
    return S_OK;
}

HRESULT CFilterGraph::Disconnect(IPin* pin)
{
    CGraphPin* p = CGraphPin::FromPin(pin);
    if (p == nullptr)
        return E_POINTER;
    IPin* peer = nullptr;
    if (p->ConnectedTo(&peer) != S_OK)
        return S_FALSE;
    CGraphPin* q = CGraphPin::FromPin(peer);
    CGraphPin* out = p->Direction() == PINDIR_OUTPUT ? p : q;
    CGraphPin* in = out == p ? q : p;
    auto* outElement = static_cast<GstElement*>(out->Filter()->GetElement());
    auto* inElement = static_cast<GstElement*>(in->Filter()->GetElement());
    if (outElement && inElement)
        gst_element_unlink_pads(outElement, out->PadName(), inElement, in->PadName());
    p->SetConnected(nullptr);
    if (q)
        q->SetConnected(nullptr);
    peer->Release();
    return S_OK;
}

// Links directly when the two ends can agree on a format, else through a
// colour converter added to the graph.
HRESULT CFilterGraph::Connect(IPin* out, IPin* in)
{
    CGraphPin* from = CGraphPin::FromPin(out);
    CGraphPin* to = CGraphPin::FromPin(in);
    if (from == nullptr || to == nullptr)
        return E_POINTER;
    GstElement* fromElement = nullptr;
    GstElement* toElement = nullptr;
    HRESULT hr = EnsureInPipeline(from->Filter(), &fromElement);
    if (SUCCEEDED(hr))
        hr = EnsureInPipeline(to->Filter(), &toElement);
    if (FAILED(hr))
        return hr;
    GstPad* fromPad = gst_element_get_static_pad(fromElement, from->PadName());
    GstPad* toPad = gst_element_get_static_pad(toElement, to->PadName());
    bool agree = false;
    if (fromPad && toPad) {
        GstCaps* a = gst_pad_query_caps(fromPad, nullptr);
        GstCaps* b = gst_pad_query_caps(toPad, nullptr);
        agree = gst_caps_can_intersect(a, b);
        gst_caps_unref(a);
        gst_caps_unref(b);
    }
    if (fromPad)
        gst_object_unref(fromPad);
    if (toPad)
        gst_object_unref(toPad);
    if (agree)
        return ConnectDirect(out, in, nullptr);

    IBaseFilter* converter = MakeColourConverter();
    hr = converter ? AddFilter(converter, "Colour Space Converter") : E_OUTOFMEMORY;
    if (converter)
        converter->Release();
    if (FAILED(hr))
        return hr;
    IEnumPins* pins = nullptr;
    IPin* cin = nullptr;
    IPin* cout = nullptr;
    converter->EnumPins(&pins);
    pins->Next(1, &cin, nullptr);
    pins->Next(1, &cout, nullptr);
    pins->Release();
    hr = ConnectDirect(out, cin, nullptr);
    if (SUCCEEDED(hr))
        hr = ConnectDirect(cout, in, nullptr);
    cin->Release();
    cout->Release();
    if (FAILED(hr))
        RemoveFilter(converter);
    return hr;
}

// ---- run and stop ---------------------------------------------------------------

HRESULT CFilterGraph::Run()
{
    if (m_pipeline == nullptr)
        return E_FAIL;
    {
        std::lock_guard lock(m_eventLock);
        m_faultQueued = false;
    }
    m_lastFrameNs.store(NowNs());
    m_running = true;
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // The element's error is on its way as an event.
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        m_running = false;
        return E_FAIL;
    }
    StartWatchdog();
    return S_OK;
}

HRESULT CFilterGraph::Pause()
{
    if (m_pipeline == nullptr)
        return E_FAIL;
    return gst_element_set_state(m_pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE
               ? E_FAIL
               : S_OK;
}

HRESULT CFilterGraph::Stop()
{
    StopWatchdog();
    m_running = false;
    if (m_pipeline == nullptr)
        return S_OK;
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    return S_OK;
}

HRESULT CFilterGraph::GetState(long milliseconds, OAFilterState* state)
{
    if (state == nullptr)
        return E_POINTER;
    GstState current = GST_STATE_NULL;
    if (m_pipeline)
        gst_element_get_state(m_pipeline, &current, nullptr,
                              GstClockTime(std::max(0L, milliseconds)) * GST_MSECOND);
    *state = current == GST_STATE_PLAYING  ? State_Running
             : current == GST_STATE_PAUSED ? State_Paused
                                           : State_Stopped;
    return S_OK;
}

// ---- events ---------------------------------------------------------------------

HRESULT CFilterGraph::SetNotifyWindow(OAHWND window, long message, std::intptr_t instance)
{
    std::lock_guard lock(m_eventLock);
    m_notifyWindow = window;
    m_notifyMessage = message;
    m_notifyInstance = instance;
    return S_OK;
}

HRESULT CFilterGraph::GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2, long)
{
    if (code == nullptr || param1 == nullptr || param2 == nullptr)
        return E_POINTER;
    std::lock_guard lock(m_eventLock);
    if (m_events.empty())
        return E_ABORT;
    GraphEvent e = std::move(m_events.front());
    m_events.pop_front();
    *code = e.code;
    *param1 = e.hr;
    *param2 = reinterpret_cast<std::intptr_t>(strdup(e.text.c_str()));
    return S_OK;
}

HRESULT CFilterGraph::FreeEventParams(long code, std::intptr_t, std::intptr_t param2)
{
    if (code == EC_ERRORABORT || code == EC_DEVICE_LOST)
        std::free(reinterpret_cast<char*>(param2));
    return S_OK;
}

void CFilterGraph::Queue(GraphEvent event)
{
    OAHWND window;
    long message;
    std::intptr_t instance;
    {
        std::lock_guard lock(m_eventLock);
        if (m_faultQueued)
            return;
        m_faultQueued = true;
        m_events.push_back(std::move(event));
        window = m_notifyWindow;
        message = m_notifyMessage;
        instance = m_notifyInstance;
    }
    if (window)
        PostMessage(window, static_cast<UINT>(message), 0, instance);
}

// Any thread: errors become events. Nothing else reads the bus, so every
// message ends here (also while the pipeline is going down, when a bus
// watch would already have been flushed).
GstBusSyncReply CFilterGraph::OnBusMessage(GstBus*, GstMessage* message, gpointer self)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        static_cast<CFilterGraph*>(self)->Queue(EventFromError(error));
        g_clear_error(&error);
    }
    return GST_BUS_DROP;
}

void CFilterGraph::WatchCapturePin(GstElement* element, const char* padName)
{
    GstPad* pad = gst_element_get_static_pad(element, padName);
    if (pad == nullptr)
        return;
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnCaptureBuffer, this, nullptr);
    gst_object_unref(pad);
}

GstPadProbeReturn CFilterGraph::OnCaptureBuffer(GstPad*, GstPadProbeInfo*, gpointer self)
{
    static_cast<CFilterGraph*>(self)->m_lastFrameNs.store(NowNs(), std::memory_order_relaxed);
    return GST_PAD_PROBE_OK;
}

// The watchdog runs on the UI thread's main context while the graph runs.
void CFilterGraph::StartWatchdog()
{
    if (m_watchdog == 0)
        m_watchdog = g_timeout_add(250, OnWatchdog, this);
}

void CFilterGraph::StopWatchdog()
{
    if (m_watchdog != 0) {
        g_source_remove(m_watchdog);
        m_watchdog = 0;
    }
}

gboolean CFilterGraph::OnWatchdog(gpointer self)
{
    auto* graph = static_cast<CFilterGraph*>(self);
    const std::int64_t silent = NowNs() - graph->m_lastFrameNs.load(std::memory_order_relaxed);
    if (graph->m_running && silent > std::int64_t(StallTimeoutMs()) * 1000000)
        graph->Queue({EC_ERRORABORT, HRESULT_FROM_WIN32(ERROR_TIMEOUT),
                      "The video capture device stopped delivering frames."});
    return G_SOURCE_CONTINUE;
}

}  // namespace

HRESULT CreateFilterGraph(REFIID riid, void** ppv) { return HandOutNewObject(new CFilterGraph, riid, ppv); }

namespace {
const bool g_graphRegistered = (CoRegisterBuiltinClass(CLSID_FilterGraph, CreateFilterGraph), true);
}  // namespace
