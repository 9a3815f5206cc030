// The filter graph over a GstPipeline, the capture graph builder that lays
// out a capture path in it, the video renderer and the interfaces the
// capture library drives them through.
//
// A graph holds filters by name. Each filter stands for one element; the
// graph puts the element into its pipeline when one of the filter's pins is
// first connected, and connecting two pins links their pads. Run and Stop are
// state changes of the pipeline (Stop returns once streaming has stopped).
// Every call is made on the UI thread; the streaming threads never enter the
// graph objects. What the pipeline reports (errors, a device that vanished or
// stopped delivering) is queued as an event and announced to the window
// named by IMediaEventEx::SetNotifyWindow.
#pragma once

#include "filters.h"
#include "pins.h"
#include "win/win.h"

// {7C69963C-9465-45E9-9833-BDDA27E8285B}
inline constexpr CLSID CLSID_FilterGraph{0x7C69963C, 0x9465, 0x45E9,
                                         {0x98, 0x33, 0xBD, 0xDA, 0x27, 0xE8, 0x28, 0x5B}};
// {BF7DB24A-A266-4D7E-9904-EDB25E581329}
inline constexpr CLSID CLSID_CaptureGraphBuilder2{
    0xBF7DB24A, 0xA266, 0x4D7E, {0x99, 0x04, 0xED, 0xB2, 0x5E, 0x58, 0x13, 0x29}};
// {F33E19A6-710D-47FB-82F3-C2A0BC4351A4}
inline constexpr CLSID CLSID_OverlayMixer{0xF33E19A6, 0x710D, 0x47FB,
                                          {0x82, 0xF3, 0xC2, 0xA0, 0xBC, 0x43, 0x51, 0xA4}};
// {21B401D9-A622-4DF8-8F9E-4732C5F01EC2}
inline constexpr CLSID CLSID_VideoRenderer{0x21B401D9, 0xA622, 0x4DF8,
                                           {0x8F, 0x9E, 0x47, 0x32, 0xC5, 0xF0, 0x1E, 0xC2}};
// The converters RenderStream inserts.
// {E6A7825D-11D2-4E61-959F-7CDA055AB88B}
inline constexpr CLSID CLSID_DVVideoCodec{0xE6A7825D, 0x11D2, 0x4E61,
                                          {0x95, 0x9F, 0x7C, 0xDA, 0x05, 0x5A, 0xB8, 0x8B}};
// {04247B7C-CDBE-4CF7-A63D-B3754636441B}
inline constexpr CLSID CLSID_MjpegDec{0x04247B7C, 0xCDBE, 0x4CF7,
                                      {0xA6, 0x3D, 0xB3, 0x75, 0x46, 0x36, 0x44, 0x1B}};
// {0D9D5763-A8AA-4EAA-BCAF-C19FEF9A45D6}
inline constexpr CLSID CLSID_FrameConverter{0x0D9D5763, 0xA8AA, 0x4EAA,
                                            {0xBC, 0xAF, 0xC1, 0x9F, 0xEF, 0x9A, 0x45, 0xD6}};

// {C7EF8E7C-5C38-446E-A8C9-B52C7CF14A56}
inline constexpr IID IID_IFilterGraph{0xC7EF8E7C, 0x5C38, 0x446E,
                                      {0xA8, 0xC9, 0xB5, 0x2C, 0x7C, 0xF1, 0x4A, 0x56}};
// {9CF95030-134C-446B-A5A2-13DF2261B2AB}
inline constexpr IID IID_IGraphBuilder{0x9CF95030, 0x134C, 0x446B,
                                       {0xA5, 0xA2, 0x13, 0xDF, 0x22, 0x61, 0xB2, 0xAB}};
// {B74F2C7D-BECE-4D58-BDC1-DA9F8C66314D}
inline constexpr IID IID_ICaptureGraphBuilder2{0xB74F2C7D, 0xBECE, 0x4D58,
                                               {0xBD, 0xC1, 0xDA, 0x9F, 0x8C, 0x66, 0x31, 0x4D}};
// {E38EEBF4-64D2-4BE7-855B-835E2B91FCED}
inline constexpr IID IID_IMediaControl{0xE38EEBF4, 0x64D2, 0x4BE7,
                                       {0x85, 0x5B, 0x83, 0x5E, 0x2B, 0x91, 0xFC, 0xED}};
// {0FC93067-65C2-4B82-8857-3780BBAEB5CC}
inline constexpr IID IID_IMediaEventEx{0x0FC93067, 0x65C2, 0x4B82,
                                       {0x88, 0x57, 0x37, 0x80, 0xBB, 0xAE, 0xB5, 0xCC}};
// {0681B7BD-D703-41B1-AF32-C1F21B77F007}
inline constexpr IID IID_IVideoWindow{0x0681B7BD, 0xD703, 0x41B1,
                                      {0xAF, 0x32, 0xC1, 0xF2, 0x1B, 0x77, 0xF0, 0x07}};
// {592BE008-2ECB-4042-9862-B23831B801CA}
inline constexpr IID IID_IBasicVideo{0x592BE008, 0x2ECB, 0x4042,
                                     {0x98, 0x62, 0xB2, 0x38, 0x31, 0xB8, 0x01, 0xCA}};
// {60BFA10F-47ED-4736-BE14-EDB7206D9222}
inline constexpr IID IID_IAMCrossbar{0x60BFA10F, 0x47ED, 0x4736,
                                     {0xBE, 0x14, 0xED, 0xB7, 0x20, 0x6D, 0x92, 0x22}};
// {996B67B1-732F-4826-8B0C-D59899E762CD}
inline constexpr IID IID_IIPDVDec{0x996B67B1, 0x732F, 0x4826,
                                  {0x8B, 0x0C, 0xD5, 0x98, 0x99, 0xE7, 0x62, 0xCD}};

// DV frames.
inline constexpr GUID MEDIASUBTYPE_dvsd = FourCCGuid(MakeFourCC('d', 'v', 's', 'd'));

using OAHWND = HWND;
using OAFilterState = long;
constexpr long OATRUE = -1;
constexpr long OAFALSE = 0;
constexpr long WS_CHILD = 0x40000000;
constexpr long WS_CLIPSIBLINGS = 0x04000000;

constexpr HRESULT VFW_E_NO_VIDEO_WINDOW = static_cast<HRESULT>(0x80040220u);
constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);

struct IFilterGraph : IUnknown {
    // Adds the filter under name (a unique name is made when it is taken or
    // null); the graph holds a reference until the filter is removed.
    virtual HRESULT AddFilter(IBaseFilter* filter, const char* name) = 0;
    // Disconnects the filter's pins, takes its element out and releases it.
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    // With a reference; VFW_E_NOT_FOUND when no filter has the name.
    virtual HRESULT FindFilterByName(const char* name, IBaseFilter** filter) = 0;
    // Links the two pins' pads as they are (the media type is not used).
    virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) = 0;
    // Drops the pin's connection (both ends).
    virtual HRESULT Disconnect(IPin* pin) = 0;
};

struct IGraphBuilder : IFilterGraph {
    // Connects an output pin to an input pin, converting between their
    // formats where they differ.
    virtual HRESULT Connect(IPin* out, IPin* in) = 0;
};

struct IMediaControl : IUnknown {
    // Starts streaming; a failure of an element to start is returned (and
    // also queued as an event).
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    // Returns after streaming has stopped.
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(long milliseconds, OAFilterState* state) = 0;
};

// Event codes.
constexpr long EC_ERRORABORT = 0x03;  // param1: the HRESULT; param2: the text
constexpr long EC_DEVICE_LOST = 0x1F;  // param1: the HRESULT; param2: the text

struct IMediaEventEx : IUnknown {
    // message reaches window (through PostMessage, on the UI thread) once
    // for every event queued from then on; null window: no announcements.
    virtual HRESULT SetNotifyWindow(OAHWND window, long message, std::intptr_t instance) = 0;
    // The oldest event; E_ABORT when there is none. param2 of the codes above
    // is a char* text; free both with FreeEventParams.
    virtual HRESULT GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2,
                             long milliseconds) = 0;
    virtual HRESULT FreeEventParams(long code, std::intptr_t param1, std::intptr_t param2) = 0;
};

// The window of a video renderer. Without a display the renderer has a
// window in name only: it keeps the values it is given and shows nothing.
struct IVideoWindow : IUnknown {
    // The host window the video is shown in (its client area), or null.
    virtual HRESULT put_Owner(OAHWND owner) = 0;
    virtual HRESULT get_Owner(OAHWND* owner) = 0;
    virtual HRESULT put_WindowStyle(long style) = 0;
    // Where mouse and keyboard input on the video window goes.
    virtual HRESULT put_MessageDrain(OAHWND drain) = 0;
    virtual HRESULT put_Visible(long visible) = 0;
    virtual HRESULT get_Visible(long* visible) = 0;
    virtual HRESULT put_AutoShow(long autoShow) = 0;
    // In the owner's client coordinates.
    virtual HRESULT SetWindowPosition(long left, long top, long width, long height) = 0;
    virtual HRESULT GetWindowPosition(long* left, long* top, long* width, long* height) = 0;
    virtual HRESULT get_FullScreenMode(long* mode) = 0;
    virtual HRESULT put_FullScreenMode(long mode) = 0;
};

struct IBasicVideo : IUnknown {
    // The size of the frames the renderer receives.
    virtual HRESULT GetVideoSize(long* width, long* height) = 0;
};

// Input selection of a capture board.
struct IAMCrossbar : IUnknown {
    virtual HRESULT get_PinCounts(long* outputs, long* inputs) = 0;
    virtual HRESULT CanRoute(long output, long input) = 0;
    virtual HRESULT Route(long output, long input) = 0;
    virtual HRESULT get_IsRoutedTo(long output, long* input) = 0;
    // Our own: the name of an input or output pin.
    virtual HRESULT get_PinName(BOOL isInput, long index, const char** name) = 0;
};

// The display size of a DV decoder.
enum DVRESOLUTION {
    DVRESOLUTION_FULL = 1000,
    DVRESOLUTION_HALF = 1001,
    DVRESOLUTION_QUARTER = 1002,
    DVRESOLUTION_DC = 1003,
};
struct IIPDVDec : IUnknown {
    virtual HRESULT get_IPDisplay(int* displayPix) = 0;
    virtual HRESULT put_IPDisplay(int displayPix) = 0;
};

struct ICaptureGraphBuilder2 : IUnknown {
    virtual HRESULT SetFiltergraph(IGraphBuilder* graph) = 0;
    virtual HRESULT GetFiltergraph(IGraphBuilder** graph) = 0;
    // riid on filter, else on the filters connected up- or downstream of it
    // (nearest first); a negative result when none has it.
    virtual HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter,
                                  REFIID riid, void** ppv) = 0;
    // The num-th pin of source (a filter or a pin's filter) with the
    // direction, the category (null: any) and, when unconnected is true, no
    // connection. VFW_E_NOT_FOUND (negative) when there is none.
    virtual HRESULT FindPin(IUnknown* source, PIN_DIRECTION dir, const GUID* category,
                            const GUID* type, BOOL unconnected, int num, IPin** pin) = 0;
    // Connects the source's unconnected output pin of the category through
    // intermediate (may be null) into sink (null: a new video renderer),
    // adding the decoders and converters the formats need. For a capture
    // pin into an intermediate filter, the intermediate receives bottom-up
    // BGR24 frames, and the sink gets the picture turned upright again.
    virtual HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source,
                                 IBaseFilter* intermediate, IBaseFilter* sink) = 0;
};

// Platform classes made without the registry: CoCreateInstance of
// CLSID_FilterGraph, CLSID_CaptureGraphBuilder2, CLSID_VideoRenderer,
// CLSID_OverlayMixer and the converters answers from these.
COM_API HRESULT CreateFilterGraph(REFIID riid, void** ppv);
COM_API HRESULT CreateCaptureGraphBuilder(REFIID riid, void** ppv);
COM_API HRESULT CreateVideoRenderer(REFIID riid, void** ppv);

// Headless renderers made from now on record what they are given to path
// (Motion-JPEG in an AVI file); null or empty: they discard it.
COM_API void SetVideoRecordFile(const char* path);
