#include "frame_tap.h"

#include <cstring>
#include <new>

namespace {

// Debug builds list the object under its name.
#ifdef DEBUG
constexpr const char* kObjectName = "OrvexProxy";
#else
constexpr const char* kObjectName = nullptr;
#endif

}  // namespace

CUnknown* COrvexProxy::CreateInstance(LPUNKNOWN outer, HRESULT* phr)
{
    auto* proxy = new (std::nothrow) COrvexProxy(outer, phr);
    if (proxy == nullptr && phr != nullptr)
        *phr = E_OUTOFMEMORY;
    return proxy;
}

// The callback writes into the buffer, so the filter modifies data.
COrvexProxy::COrvexProxy(LPUNKNOWN outer, HRESULT* phr)
    : CTransInPlaceFilter(kObjectName, outer, CLSID_OrvexProxy, phr, true)
{
}

COrvexProxy::~COrvexProxy() = default;

HRESULT COrvexProxy::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IOrvexProxy)
        return GetInterface(static_cast<IOrvexProxy*>(this), ppv);
    return CTransInPlaceFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT COrvexProxy::CheckInputType(const CMediaType* mtIn)
{
    if (mtIn == nullptr)
        return E_POINTER;
    if (*mtIn->Type() != MEDIATYPE_Video)
        return S_FALSE;
    if (*mtIn->Subtype() != MEDIASUBTYPE_RGB24)
        return S_FALSE;
    // The bit count is read only from a whole VIDEOINFOHEADER; a type with no
    // format block, a short one or one of another kind is refused.
    if (*mtIn->FormatType() != FORMAT_VideoInfo || mtIn->Format() == nullptr ||
        mtIn->FormatLength() < sizeof(VIDEOINFOHEADER))
        return S_FALSE;
    VIDEOINFOHEADER vih;
    std::memcpy(&vih, mtIn->Format(), sizeof vih);
    if (vih.bmiHeader.biBitCount != 24)
        return S_FALSE;
    return S_OK;
}

HRESULT COrvexProxy::Transform(IMediaSample* sample)
{
    CAutoLock lock(&m_callbackLock);
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    if (m_callback != nullptr)
        m_callback(buffer);
    return S_OK;
}

HRESULT COrvexProxy::SetCallback(FrameCallback callback)
{
    CAutoLock lock(&m_callbackLock);
    m_callback = callback;
    return S_OK;
}
