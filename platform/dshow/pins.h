// Pins and the common filter base. A pin is one pad of the filter's
// element: the graph links pins by linking those pads, and each pin
// remembers the pin it is connected to. Pins live as long as their filter
// and count their references on it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "filters.h"

// {F70299FC-9987-4564-B668-1837061BCD4D}
inline constexpr IID IID_IPin{0xF70299FC, 0x9987, 0x4564,
                              {0xB6, 0x68, 0x18, 0x37, 0x06, 0x1B, 0xCD, 0x4D}};
// {390E60C1-6DF7-495A-BDA7-7D337D99B13D}
inline constexpr IID IID_IEnumPins{0x390E60C1, 0x6DF7, 0x495A,
                                   {0xBD, 0xA7, 0x7D, 0x33, 0x7D, 0x99, 0xB1, 0x3D}};

// Pin categories: what a source's output pin delivers.
// {252F07A4-1F80-441D-8F04-C8FC47E46103}
inline constexpr GUID PIN_CATEGORY_CAPTURE{0x252F07A4, 0x1F80, 0x441D,
                                           {0x8F, 0x04, 0xC8, 0xFC, 0x47, 0xE4, 0x61, 0x03}};
// {8721BBE7-32FA-4B1D-ADD3-FD496FF052F7}
inline constexpr GUID PIN_CATEGORY_PREVIEW{0x8721BBE7, 0x32FA, 0x4B1D,
                                           {0xAD, 0xD3, 0xFD, 0x49, 0x6F, 0xF0, 0x52, 0xF7}};
// {A27C5E1A-8E6F-431E-B701-DB2B42FAD75A}
inline constexpr GUID PIN_CATEGORY_VIDEOPORT{0xA27C5E1A, 0x8E6F, 0x431E,
                                             {0xB7, 0x01, 0xDB, 0x2B, 0x42, 0xFA, 0xD7, 0x5A}};

constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = static_cast<HRESULT>(0x80040204u);
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = static_cast<HRESULT>(0x80040217u);
constexpr HRESULT VFW_E_NOT_IN_GRAPH = static_cast<HRESULT>(0x8004025Fu);

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

struct PIN_INFO {
    IBaseFilter* pFilter;  // with a reference
    PIN_DIRECTION dir;
    char achName[128];
};

struct FILTER_INFO {
    char achName[128];
    IFilterGraph* pGraph;  // with a reference; null outside a graph
};

struct IPin : IUnknown {
    // The connected pin with a reference; VFW_E_NOT_CONNECTED when none.
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* dir) = 0;
    // What the pin delivers (PIN_CATEGORY_*), GUID_NULL for an ordinary pin.
    virtual HRESULT QueryCategory(GUID* category) = 0;
    // The media type of the connection: the negotiated one while streaming,
    // else what the connected pads can agree on (fields not yet fixed read
    // as 0). VFW_E_NOT_CONNECTED when the pin has no connection.
    virtual HRESULT ConnectionMediaType(CMediaType* mt) = 0;
};

struct IEnumPins : IUnknown {
    // S_OK while pins were delivered (each with a reference), S_FALSE at the end.
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Reset() = 0;
};

// One pin of a filter. Its references are its filter's.
class COM_API CGraphPin final : public IPin {
public:
    CGraphPin(IBaseFilter* filter, const char* name, PIN_DIRECTION dir, const GUID& category,
              const char* pad);
    ~CGraphPin();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* dir) override;
    HRESULT QueryCategory(GUID* category) override;
    HRESULT ConnectionMediaType(CMediaType* mt) override;

    // The graph's side. The peer is held with a reference (null: none).
    void SetConnected(IPin* peer);
    bool IsConnected() const;
    const char* PadName() const { return m_pad.c_str(); }
    IBaseFilter* Filter() const { return m_pFilter; }
    PIN_DIRECTION Direction() const { return m_dir; }
    // The pin object behind an interface of this platform; null for others.
    static CGraphPin* FromPin(IPin* pin);

private:
    IBaseFilter* const m_pFilter;  // not counted: the filter owns the pin
    const std::string m_name;
    const PIN_DIRECTION m_dir;
    const GUID m_category;
    const std::string m_pad;
    mutable CCritSec m_lock;
    IPin* m_pConnected = nullptr;
};

// The pins of a filter, kept in the order they were added.
class COM_API CPinList {
public:
    CPinList() = default;
    CPinList(const CPinList&) = delete;
    CPinList& operator=(const CPinList&) = delete;
    ~CPinList();

    CGraphPin* Add(IBaseFilter* filter, const char* name, PIN_DIRECTION dir, const char* pad,
                   const GUID& category = GUID_NULL);
    HRESULT Enumerate(IBaseFilter* filter, IEnumPins** out) const;
    int Count() const { return static_cast<int>(m_pins.size()); }
    CGraphPin* At(int i) const { return m_pins[i].get(); }
    // Every pin's connection dropped (the graph does this when it removes
    // the filter, which breaks the reference cycle between connected pins).
    void DisconnectAll();

private:
    std::vector<std::unique_ptr<CGraphPin>> m_pins;
};

// The part of a filter that every filter of the graph shares: the base
// interfaces, its class id, the graph and name it was added under and its
// pins. The element is the derived filter's.
class COM_API CGraphFilterBase : public CUnknown, public IBaseFilter {
public:
    CGraphFilterBase(const char* objectName, REFCLSID clsid,
                     ComModuleState& module = ThisComModule());
    ~CGraphFilterBase() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT GetClassID(CLSID* clsid) override;
    // The graph changes the element's state; the filter has none of its own.
    HRESULT Stop() override { return S_OK; }
    HRESULT Pause() override { return S_OK; }
    HRESULT Run(REFERENCE_TIME) override { return S_OK; }
    HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, const char* name) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT EnumPins(IEnumPins** pins) override;

    IFilterGraph* Graph() const { return m_pGraph; }

protected:
    CPinList m_pins;
    CCritSec m_csFilter;

private:
    const CLSID m_clsid;
    IFilterGraph* m_pGraph = nullptr;  // not counted: the graph holds the filter
    std::string m_filterName;
};

// Fills FILTER_INFO from a name and a graph (adding a reference to it).
COM_API void FillFilterInfo(FILTER_INFO* info, const std::string& name, IFilterGraph* graph);
