// Capture control: builds the graph that carries the chosen device's picture
// through the frame-tap filter into the video renderer, starts and stops it,
// rebuilds it for another device and tears it down.
#include "capture_graph.h"

#include <cstdlib>

#include "capture_internal.h"
#include "com/com.h"
#include "devices.h"

HWND g_hWnd = nullptr;
HRESULT g_lastHRESULT = S_OK;
IGraphBuilder* g_pGraphBuilder = nullptr;
ICaptureGraphBuilder2* g_pCaptureGraph = nullptr;
IOrvexProxy* g_pOrvexProxy = nullptr;
IBaseFilter* g_pOrvexProxyFilter = nullptr;
IBaseFilter* g_pSourceFilter = nullptr;
IAMCrossbar* g_pCrossBar = nullptr;
IIPDVDec* g_pDVDecoder = nullptr;
IMediaControl* g_pMediaControl = nullptr;
IVideoWindow* g_pVideoWindow = nullptr;
IBasicVideo* g_pBasicVideo = nullptr;
unsigned char g_bOverlay = 0;
int g_nDVResolution = 0;

namespace {

constexpr UINT WM_GRAPHNOTIFY = 7001;
constexpr UINT WM_DEVICECHANGE = 0x0219;

// Where the graph announces its events: a handle of the library's own,
// never a real window.
OrvexWindow* GraphEventsHandle()
{
    static char token;
    return reinterpret_cast<OrvexWindow*>(&token);
}

// A fault of the running device is reported once per start.
bool g_bAwaitingFault = false;
// The host started capture and has not stopped it: a rebuild for another
// device (or the same one again, after a fault) starts it again.
bool g_bCaptureWanted = false;

// Stores hr as the last result; true when it failed, after the box.
bool Failed(HRESULT hr, const char* what)
{
    g_lastHRESULT = hr;
    if (SUCCEEDED(hr))
        return false;
    orvexReportError("FAILED(lastHRESULT=0x%x) in %s\n", static_cast<unsigned>(hr), what);
    return true;
}

// The four build steps; the first failure is reported with its step's name.
HRESULT BuildGraph()
{
    struct Step {
        HRESULT (*run)();
        const char* name;
    };
    static const Step steps[] = {
        {orvexInitDirectShow, "orvexInitDirectShow()"},
        {orvexMakeSourceFilter, "orvexMakeSourceFilter()"},
        {orvexCreateGraph, "orvexCreateGraph()"},
        {orvexInitVideoWindow, "orvexInitVideoWindow()"},
    };
    for (const Step& step : steps) {
        const HRESULT hr = step.run();
        g_lastHRESULT = hr;
        if (FAILED(hr)) {
            orvexReportError("FAILED(lastHRESULT=0x%x) in %s\n", static_cast<unsigned>(hr),
                             step.name);
            return hr;
        }
    }
    return S_OK;
}

// Binds device g_nCurrentSource to g_pSourceFilter and adds it to the graph.
HRESULT BindCurrentSource()
{
    IEnumMoniker* monikers = orvexOpenVideoInputs();
    if (monikers == nullptr)
        return S_OK;  // no source bound
    HRESULT result = S_OK;
    IMoniker* moniker = nullptr;
    for (int i = 0; monikers->Next(1, &moniker, nullptr) == S_OK; ++i) {
        const bool chosen = i == g_nCurrentSource;
        if (chosen) {
            SafeRelease(g_pSourceFilter);
            moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                  reinterpret_cast<void**>(&g_pSourceFilter));
            if (g_pSourceFilter) {
                g_pCaptureGraph->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                                               g_pSourceFilter, IID_IAMStreamConfig,
                                               reinterpret_cast<void**>(&g_pStreamConfig));
                if (Failed(g_pGraphBuilder->AddFilter(g_pSourceFilter, "Video Capture"),
                           "g_pGraphBuilder->AddFilter(g_pSourceFilter, L\"Video Capture\")"))
                    result = g_lastHRESULT;
            }
        }
        moniker->Release();
        moniker = nullptr;
        if (chosen)
            break;
    }
    monikers->Release();
    return result;
}

// Chooses the frame size on the bound source's capture pin: 0 when a size
// was accepted, 1 when the device keeps its current format.
HRESULT ChooseFrameSize()
{
    AM_MEDIA_TYPE* mt = nullptr;
    if (Failed(g_pStreamConfig->GetFormat(&mt), "g_pStreamConfig->GetFormat(&pMediaType)"))
        return g_lastHRESULT;
    HRESULT result = S_FALSE;
    if (mt->formattype == FORMAT_VideoInfo && orvexChooseResolution(mt)) {
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
        g_nFrameWidth = vih->bmiHeader.biWidth;
        g_nFrameHeight = vih->bmiHeader.biHeight;
        orvexSetImageGeometry(g_nRequestedWidth, g_nRequestedHeight);
        result = S_OK;
    }
    DeleteMediaType(mt);
    return result;
}

// The first pin of filter with the direction, with a reference.
IPin* FirstPin(IBaseFilter* filter, PIN_DIRECTION dir)
{
    IPin* pin = nullptr;
    if (filter)
        g_pCaptureGraph->FindPin(filter, dir, nullptr, nullptr, FALSE, 0, &pin);
    return pin;
}

// The video-port pin goes through an overlay mixer into a renderer that is
// never shown. Only the renderer's window is tested.
HRESULT BuildOverlayPath(IPin* videoPort)
{
    g_bOverlay = 1;
    IBaseFilter* mixer = nullptr;
    IBaseFilter* renderer = nullptr;
    IPin* mixerIn = nullptr;
    IPin* mixerOut = nullptr;
    IPin* rendererIn = nullptr;
    IVideoWindow* window = nullptr;
    CoCreateInstance(CLSID_OverlayMixer, nullptr, CLSCTX_INPROC, IID_IBaseFilter,
                     reinterpret_cast<void**>(&mixer));
    if (mixer) {
        g_pGraphBuilder->AddFilter(mixer, "Overlay Mixer");
        g_pCaptureGraph->FindPin(mixer, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, &mixerIn);
        if (mixerIn)
            g_pGraphBuilder->Connect(videoPort, mixerIn);
        g_pCaptureGraph->FindPin(mixer, PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0, &mixerOut);
    }
    CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     reinterpret_cast<void**>(&renderer));
    HRESULT hr = E_NOINTERFACE;
    if (renderer) {
        g_pGraphBuilder->AddFilter(renderer, "Overlay Video Renderer");
        g_pCaptureGraph->FindPin(renderer, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, &rendererIn);
        if (mixerOut && rendererIn)
            g_pGraphBuilder->Connect(mixerOut, rendererIn);
        hr = renderer->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&window));
    }
    if (!Failed(hr, "pOvVideo->QueryInterface(IID_IVideoWindow, (void **)&pVideoWindow)")) {
        window->put_Visible(OAFALSE);
        window->put_AutoShow(OAFALSE);
        window->put_Owner(nullptr);
    }
    SafeRelease(window);
    SafeRelease(rendererIn);
    SafeRelease(mixerOut);
    SafeRelease(mixerIn);
    SafeRelease(renderer);
    SafeRelease(mixer);
    return g_lastHRESULT;
}

// Crossbar and DV decoder on the capture path, when there are.
void FindCaptureHelpers()
{
    if (FAILED(g_pCaptureGraph->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                                              g_pSourceFilter, IID_IAMCrossbar,
                                              reinterpret_cast<void**>(&g_pCrossBar))))
        SafeRelease(g_pCrossBar);
    if (FAILED(g_pCaptureGraph->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                                              g_pSourceFilter, IID_IIPDVDec,
                                              reinterpret_cast<void**>(&g_pDVDecoder)))) {
        SafeRelease(g_pDVDecoder);
    } else if (g_nDVResolution != 0 && FAILED(g_pDVDecoder->put_IPDisplay(g_nDVResolution))) {
        g_nDVResolution = 0;
    }
}

// Filters read the geometry the frame-tap filter's frames really have. The
// build sets it from the accepted frame size; when no size was accepted (or
// the device's format block is of another kind) it is taken here from the
// connection's media type.
void DescribeConnectedFrames()
{
    IPin* in = FirstPin(g_pOrvexProxyFilter, PINDIR_INPUT);
    if (in == nullptr)
        return;
    CMediaType mt;
    if (SUCCEEDED(in->ConnectionMediaType(&mt)) && mt.formattype == FORMAT_VideoInfo &&
        mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
        const int width = vih->bmiHeader.biWidth, height = std::abs(vih->bmiHeader.biHeight);
        if (width > 0 && height > 0 &&
            (width != OrvexFilterAccess::Width() || height != OrvexFilterAccess::Height()))
            orvexSetImageGeometry(width, height);
    }
    in->Release();
}

// The filter half and the graph half of stopping.
void StopGraphAndFilters()
{
    if (g_pMediaControl)
        g_pMediaControl->Stop();
    orvexStopFilters();
    g_nCaptureState = 1;
}

// UI thread: what the running graph reported.
void OnGraphEvent(UINT, WPARAM, LPARAM)
{
    IMediaEventEx* events = nullptr;
    if (g_pGraphBuilder == nullptr ||
        FAILED(g_pGraphBuilder->QueryInterface(IID_IMediaEventEx,
                                               reinterpret_cast<void**>(&events))))
        return;
    long code;
    std::intptr_t param1, param2;
    while (SUCCEEDED(events->GetEvent(&code, &param1, &param2, 0))) {
        const bool fault = code == EC_ERRORABORT || code == EC_DEVICE_LOST;
        if (fault && g_bAwaitingFault) {
            g_bAwaitingFault = false;
            g_lastHRESULT = static_cast<HRESULT>(param1);
            if (g_nCaptureState == 2)
                StopGraphAndFilters();
            // A camera pulled out may come back.
            if (code == EC_DEVICE_LOST)
                WatchVideoDeviceArrivals(GraphEventsHandle(), WM_DEVICECHANGE);
            orvexReportError(
                "The capture device stopped (lastHRESULT=0x%x):\n%s\n"
                "Choose it again from the Devices menu to restart capture.\n",
                static_cast<unsigned>(param1), reinterpret_cast<const char*>(param2));
        }
        events->FreeEventParams(code, param1, param2);
    }
    events->Release();
}

// UI thread: the library's own messages.
void OnLibraryMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GRAPHNOTIFY)
        OnGraphEvent(message, wParam, lParam);
    else if (message == WM_DEVICECHANGE && wParam == DBT_DEVICEARRIVAL)
        orvexOnDeviceArrival();
}

void ListenToGraph()
{
    IMediaEventEx* events = nullptr;
    if (SUCCEEDED(g_pGraphBuilder->QueryInterface(IID_IMediaEventEx,
                                                  reinterpret_cast<void**>(&events)))) {
        events->SetNotifyWindow(GraphEventsHandle(), WM_GRAPHNOTIFY, 0);
        events->Release();
    }
}

// Library load: COM for this thread, then the device list.
[[gnu::constructor]] void OnLibraryLoad()
{
    CoInitialize(nullptr);
    // Through a lambda: a plain function pointer in the std::function would
    // export the type information of its type.
    RegisterWindowProc(GraphEventsHandle(),
                       [](UINT m, WPARAM w, LPARAM l) { OnLibraryMessage(m, w, l); });
    orvexEnumerateSources();
}

[[gnu::destructor]] void OnLibraryUnload()
{
    WatchVideoDeviceArrivals(nullptr, 0);
    UnregisterWindowProc(GraphEventsHandle());
    CoUninitialize();
}

}  // namespace

HRESULT orvexInitDirectShow()
{
    if (Failed(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IGraphBuilder, reinterpret_cast<void**>(&g_pGraphBuilder)),
               "CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, "
               "IID_IGraphBuilder,(void**)&g_pGraphBuilder)"))
        return g_lastHRESULT;
    if (Failed(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC,
                                IID_ICaptureGraphBuilder2,
                                reinterpret_cast<void**>(&g_pCaptureGraph)),
               "CoCreateInstance (CLSID_CaptureGraphBuilder2 , NULL, CLSCTX_INPROC, "
               "IID_ICaptureGraphBuilder2, (void **) &g_pCaptureGraph)"))
        return g_lastHRESULT;
    if (Failed(g_pCaptureGraph->SetFiltergraph(g_pGraphBuilder),
               "g_pCaptureGraph->SetFiltergraph(g_pGraphBuilder)"))
        return g_lastHRESULT;
    if (Failed(CoCreateInstance(CLSID_OrvexProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IOrvexProxy,
                                reinterpret_cast<void**>(&g_pOrvexProxy)),
               "CoCreateInstance(CLSID_OrvexProxy, NULL, CLSCTX_INPROC_SERVER, IID_IOrvexProxy, "
               "(void**)&g_pOrvexProxy)"))
        return g_lastHRESULT;
    g_pOrvexProxy->SetCallback(orvexDispatchFrame);
    return S_OK;
}

HRESULT orvexMakeSourceFilter()
{
    const HRESULT bound = BindCurrentSource();
    if (FAILED(bound) || g_pStreamConfig == nullptr)
        return bound;
    return ChooseFrameSize();
}

HRESULT orvexCreateGraph()
{
    if (g_pSourceFilter == nullptr)
        return E_FAIL;
    g_bOverlay = 0;
    if (Failed(g_pOrvexProxy->QueryInterface(IID_IBaseFilter,
                                             reinterpret_cast<void**>(&g_pOrvexProxyFilter)),
               "g_pOrvexProxy->QueryInterface(IID_IBaseFilter, (void**)&g_pOrvexProxyFilter)"))
        return g_lastHRESULT;
    if (Failed(g_pGraphBuilder->AddFilter(g_pOrvexProxyFilter, "OrvexProxy Filter"),
               "g_pGraphBuilder->AddFilter(g_pOrvexProxyFilter, L\"OrvexProxy Filter\")"))
        return g_lastHRESULT;

    IPin* videoPort = nullptr;
    if (SUCCEEDED(g_pCaptureGraph->FindPin(g_pSourceFilter, PINDIR_OUTPUT, &PIN_CATEGORY_VIDEOPORT,
                                           nullptr, TRUE, 0, &videoPort))) {
        const HRESULT hr = BuildOverlayPath(videoPort);
        videoPort->Release();
        if (FAILED(hr))
            return hr;
    }

    IBaseFilter* renderer = nullptr;
    CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     reinterpret_cast<void**>(&renderer));
    if (renderer)
        g_pGraphBuilder->AddFilter(renderer, "Video Renderer");
    if (Failed(g_pCaptureGraph->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                                             g_pSourceFilter, g_pOrvexProxyFilter, renderer),
               "g_pCaptureGraph->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, "
               "g_pSourceFilter, g_pOrvexProxyFilter, pVideo)")) {
        SafeRelease(renderer);
        return g_lastHRESULT;
    }
    FindCaptureHelpers();

    HRESULT hr = S_OK;
    if (Failed(g_pGraphBuilder->QueryInterface(IID_IMediaControl,
                                               reinterpret_cast<void**>(&g_pMediaControl)),
               "g_pGraphBuilder->QueryInterface(IID_IMediaControl, (void**)&g_pMediaControl)") ||
        Failed(g_pGraphBuilder->QueryInterface(IID_IVideoWindow,
                                               reinterpret_cast<void**>(&g_pVideoWindow)),
               "g_pGraphBuilder->QueryInterface(IID_IVideoWindow, (void **)&g_pVideoWindow)") ||
        Failed(g_pGraphBuilder->QueryInterface(IID_IBasicVideo,
                                               reinterpret_cast<void**>(&g_pBasicVideo)),
               "g_pGraphBuilder->QueryInterface(IID_IBasicVideo, (void **)&g_pBasicVideo)"))
        hr = g_lastHRESULT;
    if (SUCCEEDED(hr))
        ListenToGraph();
    SafeRelease(renderer);
    return hr;
}

void orvexReleaseDirectShow()
{
    if (g_pVideoWindow) {
        g_pVideoWindow->put_Visible(OAFALSE);
        g_pVideoWindow->put_Owner(nullptr);
    }
    SafeRelease(g_pOrvexProxyFilter);
    SafeRelease(g_pBasicVideo);
    SafeRelease(g_pVideoWindow);
    SafeRelease(g_pMediaControl);
    SafeRelease(g_pStreamConfig);
    SafeRelease(g_pCrossBar);
    SafeRelease(g_pDVDecoder);
    SafeRelease(g_pSourceFilter);
    SafeRelease(g_pOrvexProxy);
    SafeRelease(g_pCaptureGraph);
    SafeRelease(g_pGraphBuilder);
    g_nCaptureState = 0;
}

void orvexOnDeviceArrival()
{
    // Only while capture is wanted and stopped by its device's fault; the
    // device may take a moment to be ready, so a failed rebuild waits for
    // the next arrival.
    if (!g_bCaptureWanted || g_nCaptureState == 2 || g_hWnd == nullptr)
        return;
    if (SUCCEEDED(orvexSetSource(g_nCurrentSource)) && orvexIsRunning())
        WatchVideoDeviceArrivals(nullptr, 0);
}

extern "C" {

HRESULT orvexInitialize(HWND window)
{
    if (g_hWnd != nullptr) {
        orvexReportError("Orvex has already been initiated!");
        return E_FAIL;
    }
    g_hWnd = window;
    if (g_nSourceCount == 0) {
        orvexReportError("No Capture Devices Found!");
        return E_FAIL;
    }
    const HRESULT hr = BuildGraph();
    if (FAILED(hr))
        return hr;
    g_nCaptureState = 1;
    return S_OK;
}

void orvexFinalize()
{
    WatchVideoDeviceArrivals(nullptr, 0);
    if (g_nCaptureState != 0)
        orvexStopCapture();
    orvexReleaseDirectShow();
    orvexFreeSources();
}

HRESULT orvexStartCapture()
{
    // Also after a stop without a graph: never run a graph that is not there.
    if (g_nCaptureState == 0 || g_pMediaControl == nullptr) {
        orvexReportError("Incorrect Capture Device!");
        return E_FAIL;
    }
    if (g_nCaptureState == 2)
        return S_OK;
    DescribeConnectedFrames();
    orvexStartFilters();
    g_bAwaitingFault = true;
    g_bCaptureWanted = true;
    g_nCaptureState = 2;
    g_lastHRESULT = g_pMediaControl->Run();
    if (FAILED(g_lastHRESULT)) {
        // The device's own complaint arrives as a graph event and is shown
        // then; capture is back to ready.
        StopGraphAndFilters();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT orvexStopCapture()
{
    g_bAwaitingFault = false;
    g_bCaptureWanted = false;
    StopGraphAndFilters();
    return S_OK;
}

HRESULT orvexSetSource(int index)
{
    // Before the first build the index is only kept. A build that failed
    // (its device gone, say) has left a graph behind: choosing a device
    // then builds again, so that a replugged camera can be chosen anew.
    if (g_pSourceFilter == nullptr && g_pGraphBuilder == nullptr) {
        g_nCurrentSource = index;
        return S_OK;
    }
    g_nCurrentSource = index;
    // Capture stopped by a device fault (or a failed rebuild) starts again.
    const bool wasRunning = g_nCaptureState == 2 || g_bCaptureWanted;
    if (g_nCaptureState == 2)
        StopGraphAndFilters();
    orvexReleaseDirectShow();
    const HRESULT hr = BuildGraph();
    if (FAILED(hr))
        return hr;
    g_nCaptureState = 1;
    g_nDVResolution = 0;
    if (wasRunning && FAILED(orvexStartCapture())) {
        orvexReportError("FAILED(lastHRESULT=0x%x) in orvexStartCapture()\n",
                         static_cast<unsigned>(E_FAIL));
        return E_FAIL;
    }
    return S_OK;
}

int orvexIsRunning() { return g_nCaptureState == 2 ? 1 : 0; }

int orvexIsSourceCrossBar() { return g_pCrossBar != nullptr ? 1 : 0; }

}  // extern "C"
