// Filters over GStreamer. A filter is a COM object that stands for one
// GStreamer element; the graph puts the element into its pipeline.
//
// CTransInPlaceFilter stands over an element derived from GstBaseTransform
// that works in place: one sink pad ("Input") and one source pad ("Output")
// carrying the same caps. During negotiation the derived filter's
// CheckInputType decides which caps the element accepts (and offers, since
// caps pass unchanged); per buffer the element maps the buffer (writable
// when the filter modifies data) and calls Transform with it as an
// IMediaSample. Transform runs on the streaming thread under the filter's
// receive lock; the filter object may go before its element, which then
// passes buffers on untouched.
#pragma once

#include "com/unknown.h"
#include "critsec.h"
#include "media_types.h"
#include "setup.h"

// {5AFE4BCD-C98B-41F2-A0AE-F8974390DBB7}
inline constexpr IID IID_IPersist{0x5AFE4BCD, 0xC98B, 0x41F2,
                                  {0xA0, 0xAE, 0xF8, 0x97, 0x43, 0x90, 0xDB, 0xB7}};
// {593DD6C5-0C22-4727-8A9C-F4D2CF088094}
inline constexpr IID IID_IMediaFilter{0x593DD6C5, 0x0C22, 0x4727,
                                      {0x8A, 0x9C, 0xF4, 0xD2, 0xCF, 0x08, 0x80, 0x94}};
// {4ACEEBFC-CFB6-465B-8106-3D91429FD5B0}
inline constexpr IID IID_IBaseFilter{0x4ACEEBFC, 0xCFB6, 0x465B,
                                     {0x81, 0x06, 0x3D, 0x91, 0x42, 0x9F, 0xD5, 0xB0}};
// {B446BC1F-F0F7-455F-AC8F-16C1BA8A3582}
inline constexpr IID IID_IMediaSample{0xB446BC1F, 0xF0F7, 0x455F,
                                      {0xAC, 0x8F, 0x16, 0xC1, 0xBA, 0x8A, 0x35, 0x82}};
// {9D9DD730-A39C-403B-B4E1-0981244D3CC0}
inline constexpr IID IID_IAMovieSetup{0x9D9DD730, 0xA39C, 0x403B,
                                      {0xB4, 0xE1, 0x09, 0x81, 0x24, 0x4D, 0x3C, 0xC0}};

enum FILTER_STATE { State_Stopped, State_Paused, State_Running };

struct IFilterGraph;  // the graph, which holds its filters' elements
struct IEnumPins;     // pins.h
struct FILTER_INFO;   // pins.h

struct IPersist : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IMediaFilter : IPersist {
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    virtual HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) = 0;
};

struct IBaseFilter : IMediaFilter {
    // The graph tells the filter it was added under name (null graph: removed).
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, const char* name) = 0;
    // The GstElement* standing for the filter; the filter keeps it.
    virtual void* GetElement() = 0;
    // The name and graph the filter was added under.
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
};

struct IAMovieSetup : IUnknown {
    virtual HRESULT Register() = 0;
    virtual HRESULT Unregister() = 0;
};

// One buffer in flight, valid only during the Transform call it is given to.
struct IMediaSample : IUnknown {
    // The first byte of the mapped buffer.
    virtual HRESULT GetPointer(BYTE** buffer) = 0;
    virtual long GetSize() = 0;
    virtual long GetActualDataLength() = 0;
    // VFW_E_SAMPLE_TIME_NOT_SET when the buffer has no time stamp.
    virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
};

constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = static_cast<HRESULT>(0x80040249u);

struct FilterLink;  // between the object and its element

class COM_API CTransInPlaceFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
public:
    // modifiesData: Transform writes into the buffer, which must then be
    // writable (the element makes it so). On failure *phr is set.
    CTransInPlaceFilter(const char* name, LPUNKNOWN outer, REFCLSID clsid, HRESULT* phr,
                        bool modifiesData = true, ComModuleState& module = ThisComModule());
    ~CTransInPlaceFilter() override;

    DECLARE_IUNKNOWN
    // IBaseFilter, IMediaFilter, IPersist, IAMovieSetup, IUnknown.
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, const char* name) override;
    void* GetElement() override;
    // The name given by the graph; pins "Input" (pad sink) and "Output" (pad src).
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT EnumPins(IEnumPins** pins) override;
    // Through the filter mapper, from GetSetupData; S_FALSE when it is null.
    HRESULT Register() override;
    HRESULT Unregister() override;

    // S_OK accepts the type, anything else refuses it. Runs during
    // negotiation, on whichever thread negotiates.
    virtual HRESULT CheckInputType(const CMediaType* mtIn) = 0;
    virtual HRESULT CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut);
    // The in-place filter never proposes a type: E_UNEXPECTED (and in debug
    // modules a debug break, since a call means a fault in the caller).
    virtual HRESULT GetMediaType(int position, CMediaType* mediaType);
    virtual const AMOVIESETUP_FILTER* GetSetupData();
    // One buffer, in place. S_OK passes it on, S_FALSE drops it, a failure
    // stops the stream with an error.
    virtual HRESULT Transform(IMediaSample* sample) = 0;

    IFilterGraph* Graph() const { return m_pGraph; }

protected:
    // Detaches the element, so that no buffer reaches a half-destroyed
    // filter.
    void OnFinalRelease() override;

    CCritSec m_csFilter;  // the filter's state

private:
    void DetachElement();

    FilterLink* m_pLink;
    void* m_pElement;  // GstElement*, one reference
    const CLSID m_clsid;
    IFilterGraph* m_pGraph = nullptr;  // not counted: the graph holds the filter
    const bool m_bDebugModule;
    class CPinList* m_pPins;       // owned
    char m_achGraphName[128] = {};  // the name the graph gave
};
