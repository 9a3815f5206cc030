// COrvexProxy: the frame-tap filter. An in-place video filter that accepts
// only 24-bit RGB and hands the address of every frame buffer to the
// installed callback, which changes the frame in place before it travels on.
#pragma once

#include "dshow/critsec.h"
#include "dshow/filters.h"
#include "orvex_proxy.h"

class COrvexProxy : public CTransInPlaceFilter, public IOrvexProxy {
public:
    // The factory template's creation function.
    static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* phr);

    DECLARE_IUNKNOWN
    // IOrvexProxy here, everything else from the filter base.
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ~COrvexProxy() override;

    // S_OK for 24-bit RGB video, S_FALSE for anything else.
    HRESULT CheckInputType(const CMediaType* mtIn) override;
    // Calls the callback, if any, with the buffer. Always S_OK.
    HRESULT Transform(IMediaSample* sample) override;

    HRESULT SetCallback(FrameCallback callback) override;

private:
    COrvexProxy(LPUNKNOWN outer, HRESULT* phr);

    FrameCallback m_callback = nullptr;
    // Guards m_callback; held while the callback runs. Re-entrant, so the
    // callback may call SetCallback.
#ifdef DEBUG
    CDbgCritSec m_callbackLock;
#else
    CCritSec m_callbackLock;
#endif
};
