// The video renderer, headless: a sink that discards what it is given and a
// window in name only that keeps the values it is set to.
#include <gst/gst.h>

#include "com/com.h"
#include "graph.h"
#include "gst_support.h"

namespace {

class CVideoRenderer final : public CGraphFilterBase, public IVideoWindow, public IBasicVideo {
public:
    CVideoRenderer() : CGraphFilterBase("Video renderer", CLSID_VideoRenderer)
    {
        m_pins.Add(this, "Input", PINDIR_INPUT, "sink");
    }
    ~CVideoRenderer() override
    {
        m_pins.DisconnectAll();
        if (m_pElement)
            gst_object_unref(m_pElement);
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IVideoWindow)
            return GetInterface(static_cast<IVideoWindow*>(this), ppv);
        if (riid == IID_IBasicVideo)
            return GetInterface(static_cast<IBasicVideo*>(this), ppv);
        return CGraphFilterBase::NonDelegatingQueryInterface(riid, ppv);
    }
    void* GetElement() override
    {
        CAutoLock lock(&m_csFilter);
        if (m_pElement == nullptr && EnsureGstreamer()) {
            GstElement* e = gst_element_factory_make("fakesink", nullptr);
            if (e)
                m_pElement = GST_ELEMENT(gst_object_ref_sink(e));
        }
        return m_pElement;
    }

    HRESULT put_Owner(OAHWND owner) override { return Set(m_owner, owner); }
    HRESULT get_Owner(OAHWND* owner) override { return Get(m_owner, owner); }
    HRESULT put_WindowStyle(long style) override { return Set(m_style, style); }
    HRESULT put_MessageDrain(OAHWND drain) override { return Set(m_drain, drain); }
    HRESULT put_Visible(long visible) override { return Set(m_visible, visible); }
    HRESULT get_Visible(long* visible) override { return Get(m_visible, visible); }
    HRESULT put_AutoShow(long autoShow) override { return Set(m_autoShow, autoShow); }
    HRESULT SetWindowPosition(long l, long t, long w, long h) override
    {
        CAutoLock lock(&m_csFilter);
        m_position[0] = l, m_position[1] = t, m_position[2] = w, m_position[3] = h;
        return S_OK;
    }
    HRESULT GetWindowPosition(long* l, long* t, long* w, long* h) override
    {
        if (!l || !t || !w || !h)
            return E_POINTER;
        CAutoLock lock(&m_csFilter);
        *l = m_position[0], *t = m_position[1], *w = m_position[2], *h = m_position[3];
        return S_OK;
    }
    HRESULT get_FullScreenMode(long* mode) override { return Get(m_fullScreen, mode); }
    HRESULT put_FullScreenMode(long mode) override { return Set(m_fullScreen, mode); }

    HRESULT GetVideoSize(long* width, long* height) override
    {
        if (width == nullptr || height == nullptr)
            return E_POINTER;
        auto* element = static_cast<GstElement*>(GetElement());
        GstPad* pad = element ? gst_element_get_static_pad(element, "sink") : nullptr;
        GstCaps* caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
        if (caps == nullptr && pad)
            caps = gst_pad_peer_query_caps(pad, nullptr);
        int w = 0, h = 0;
        if (caps && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps)) {
            const GstStructure* s = gst_caps_get_structure(caps, 0);
            gst_structure_get_int(s, "width", &w);
            gst_structure_get_int(s, "height", &h);
        }
        if (caps)
            gst_caps_unref(caps);
        if (pad)
            gst_object_unref(pad);
        if (w <= 0 || h <= 0)
            return VFW_E_WRONG_STATE;
        *width = w;
        *height = h;
        return S_OK;
    }

private:
    template <class T>
    HRESULT Set(T& field, T value)
    {
        CAutoLock lock(&m_csFilter);
        field = value;
        return S_OK;
    }
    template <class T>
    HRESULT Get(const T& field, T* out)
    {
        if (out == nullptr)
            return E_POINTER;
        CAutoLock lock(&m_csFilter);
        *out = field;
        return S_OK;
    }

    GstElement* m_pElement = nullptr;
    OAHWND m_owner = nullptr;
    OAHWND m_drain = nullptr;
    long m_style = 0;
    long m_visible = OATRUE;
    long m_autoShow = OATRUE;
    long m_fullScreen = OAFALSE;
    long m_position[4] = {};
};

}  // namespace

HRESULT CreateVideoRenderer(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    auto* r = new CVideoRenderer;
    r->NonDelegatingAddRef();
    const HRESULT hr = r->NonDelegatingQueryInterface(riid, ppv);
    r->NonDelegatingRelease();
    return hr;
}

void SetVideoRecordFile(const char*) {}

namespace {
const bool g_rendererRegistered =
    (CoRegisterBuiltinClass(CLSID_VideoRenderer, CreateVideoRenderer), true);
}  // namespace
