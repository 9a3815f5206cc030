// Pins, pin enumerators and the common filter base.
#include "pins.h"

#include <gst/gst.h>

#include <cstdio>

#include "graph.h"
#include "gst_support.h"

namespace {

// {5C0B7C7E-2E63-4C55-8B7B-0E0F5D6B1A92}: the pin object itself, for the graph.
constexpr IID IID_CGraphPin{0x5C0B7C7E, 0x2E63, 0x4C55,
                            {0x8B, 0x7B, 0x0E, 0x0F, 0x5D, 0x6B, 0x1A, 0x92}};

void CopyName(char (&to)[128], const std::string& from)
{
    std::snprintf(to, sizeof to, "%s", from.c_str());
}

class CEnumPins final : public CUnknown, public IEnumPins {
public:
    CEnumPins(IBaseFilter* filter, std::vector<IPin*> pins)
        : CUnknown("Pin enumerator", nullptr), m_pFilter(filter), m_pins(std::move(pins))
    {
        m_pFilter->AddRef();
    }
    ~CEnumPins() override { m_pFilter->Release(); }

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IEnumPins)
            return GetInterface(static_cast<IEnumPins*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override
    {
        if (pins == nullptr || (count > 1 && fetched == nullptr))
            return E_POINTER;
        ULONG n = 0;
        for (; n < count && m_next < m_pins.size(); ++n, ++m_next) {
            pins[n] = m_pins[m_next];
            pins[n]->AddRef();
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
    IBaseFilter* m_pFilter;  // keeps the pins alive
    std::vector<IPin*> m_pins;
    std::size_t m_next = 0;
};

}  // namespace

// ---- CGraphPin ----------------------------------------------------------------

CGraphPin::CGraphPin(IBaseFilter* filter, const char* name, PIN_DIRECTION dir,
                     const GUID& category, const char* pad)
    : m_pFilter(filter), m_name(name), m_dir(dir), m_category(category), m_pad(pad)
{
}

CGraphPin::~CGraphPin() { SetConnected(nullptr); }

HRESULT CGraphPin::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IPin || riid == IID_IUnknown) {
        *ppv = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    if (riid == IID_CGraphPin) {
        *ppv = this;  // no reference: FromPin's caller holds the pin
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CGraphPin::AddRef() { return m_pFilter->AddRef(); }
ULONG CGraphPin::Release() { return m_pFilter->Release(); }

HRESULT CGraphPin::ConnectedTo(IPin** pin)
{
    if (pin == nullptr)
        return E_POINTER;
    CAutoLock lock(&m_lock);
    *pin = m_pConnected;
    if (m_pConnected == nullptr)
        return VFW_E_NOT_CONNECTED;
    m_pConnected->AddRef();
    return S_OK;
}

HRESULT CGraphPin::QueryPinInfo(PIN_INFO* info)
{
    if (info == nullptr)
        return E_POINTER;
    info->pFilter = m_pFilter;
    m_pFilter->AddRef();
    info->dir = m_dir;
    CopyName(info->achName, m_name);
    return S_OK;
}

HRESULT CGraphPin::QueryDirection(PIN_DIRECTION* dir)
{
    if (dir == nullptr)
        return E_POINTER;
    *dir = m_dir;
    return S_OK;
}

HRESULT CGraphPin::QueryCategory(GUID* category)
{
    if (category == nullptr)
        return E_POINTER;
    *category = m_category;
    return S_OK;
}

HRESULT CGraphPin::ConnectionMediaType(CMediaType* mt)
{
    if (mt == nullptr)
        return E_POINTER;
    if (!IsConnected())
        return VFW_E_NOT_CONNECTED;
    auto* element = static_cast<GstElement*>(m_pFilter->GetElement());
    GstPad* pad = element ? gst_element_get_static_pad(element, m_pad.c_str()) : nullptr;
    if (pad == nullptr)
        return VFW_E_NOT_CONNECTED;
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (caps == nullptr)
        caps = gst_pad_peer_query_caps(pad, nullptr);
    gst_object_unref(pad);
    HRESULT hr = E_FAIL;
    if (caps != nullptr && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps)) {
        MediaTypeFromStructure(gst_caps_get_structure(caps, 0), mt);
        hr = S_OK;
    }
    if (caps)
        gst_caps_unref(caps);
    return hr;
}

void CGraphPin::SetConnected(IPin* peer)
{
    IPin* old = nullptr;
    {
        CAutoLock lock(&m_lock);
        old = m_pConnected;
        m_pConnected = peer;
        if (peer)
            peer->AddRef();
    }
    // Released outside the lock: it may be the last reference of a filter.
    if (old)
        old->Release();
}

bool CGraphPin::IsConnected() const
{
    CAutoLock lock(&m_lock);
    return m_pConnected != nullptr;
}

CGraphPin* CGraphPin::FromPin(IPin* pin)
{
    void* self = nullptr;
    if (pin == nullptr || FAILED(pin->QueryInterface(IID_CGraphPin, &self)))
        return nullptr;
    return static_cast<CGraphPin*>(self);
}

// ---- CPinList ------------------------------------------------------------------

CPinList::~CPinList() { DisconnectAll(); }

CGraphPin* CPinList::Add(IBaseFilter* filter, const char* name, PIN_DIRECTION dir,
                         const char* pad, const GUID& category)
{
    m_pins.push_back(std::make_unique<CGraphPin>(filter, name, dir, category, pad));
    return m_pins.back().get();
}

HRESULT CPinList::Enumerate(IBaseFilter* filter, IEnumPins** out) const
{
    if (out == nullptr)
        return E_POINTER;
    std::vector<IPin*> pins;
    for (const auto& p : m_pins)
        pins.push_back(p.get());
    auto* e = new CEnumPins(filter, std::move(pins));
    return e->NonDelegatingQueryInterface(IID_IEnumPins, reinterpret_cast<void**>(out));
}

void CPinList::DisconnectAll()
{
    for (const auto& p : m_pins)
        p->SetConnected(nullptr);
}

// ---- CGraphFilterBase ------------------------------------------------------------

CGraphFilterBase::CGraphFilterBase(const char* objectName, REFCLSID clsid,
                                   ComModuleState& module)
    : CUnknown(objectName, nullptr, module), m_clsid(clsid)
{
}

CGraphFilterBase::~CGraphFilterBase() = default;

HRESULT CGraphFilterBase::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist)
        return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CGraphFilterBase::GetClassID(CLSID* clsid)
{
    if (clsid == nullptr)
        return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT CGraphFilterBase::GetState(DWORD milliseconds, FILTER_STATE* state)
{
    if (state == nullptr)
        return E_POINTER;
    auto* element = static_cast<GstElement*>(GetElement());
    GstState current = GST_STATE_NULL;
    if (element)
        gst_element_get_state(element, &current, nullptr, GstClockTime(milliseconds) * GST_MSECOND);
    *state = current == GST_STATE_PLAYING  ? State_Running
             : current == GST_STATE_PAUSED ? State_Paused
                                           : State_Stopped;
    return S_OK;
}

HRESULT CGraphFilterBase::JoinFilterGraph(IFilterGraph* graph, const char* name)
{
    CAutoLock lock(&m_csFilter);
    m_pGraph = graph;
    m_filterName = graph != nullptr && name != nullptr ? name : "";
    return S_OK;
}

HRESULT CGraphFilterBase::QueryFilterInfo(FILTER_INFO* info)
{
    if (info == nullptr)
        return E_POINTER;
    CAutoLock lock(&m_csFilter);
    FillFilterInfo(info, m_filterName, m_pGraph);
    return S_OK;
}

HRESULT CGraphFilterBase::EnumPins(IEnumPins** pins) { return m_pins.Enumerate(this, pins); }

void FillFilterInfo(FILTER_INFO* info, const std::string& name, IFilterGraph* graph)
{
    CopyName(info->achName, name);
    info->pGraph = graph;
    if (graph)
        graph->AddRef();
}
