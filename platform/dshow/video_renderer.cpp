// The video renderer: the filter at the end of a capture path, with one
// input pin and the window interfaces. With a display its picture goes to a
// GTK widget placed in the owner window (see renderer_window.h); without one
// the window exists in name only: every call keeps its value and answers as a
// window would, and the video is discarded or recorded (video_output.h).
// Everything but the streaming inside the element runs on the UI thread.
#include <gtk/gtk.h>

#include <memory>
#include <mutex>
#include <string>

#include "graph.h"
#include "gst_support.h"
#include "renderer_window.h"
#include "video_output.h"

namespace {

std::mutex g_recordLock;
std::string g_recordPath;

std::string RecordPath()
{
    std::lock_guard lock(g_recordLock);
    return g_recordPath;
}

class CVideoRenderer final : public CGraphFilterBase, public IVideoWindow, public IBasicVideo {
  public:
    CVideoRenderer()
        : CGraphFilterBase("Video renderer", CLSID_VideoRenderer), m_recordPath(RecordPath())
    {
        m_pins.Add(this, "Input", PINDIR_INPUT, "sink");
    }
    ~CVideoRenderer() override
    {
        m_pins.DisconnectAll();
        m_window.reset();
        m_output.reset();
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
        if (m_output == nullptr && EnsureGstreamer())
            MakeOutput();
        return m_output ? m_output->Element() : nullptr;
    }

    // ---- IVideoWindow ----
    HRESULT put_Owner(OAHWND owner) override
    {
        if (m_window && !RendererWindow::CanOwn(owner))
            return E_INVALIDARG;
        m_values.owner = owner;
        return Apply();
    }
    HRESULT get_Owner(OAHWND* owner) override
    {
        if (owner == nullptr)
            return E_POINTER;
        *owner = m_values.owner;
        return S_OK;
    }
    HRESULT put_WindowStyle(long style) override
    {
        // The video is a child of its owner's client area whatever the
        // style says; the style is kept for those who ask.
        m_values.style = style;
        return S_OK;
    }
    HRESULT put_MessageDrain(OAHWND drain) override
    {
        if (m_window && !RendererWindow::CanDrain(drain))
            return E_INVALIDARG;
        m_values.drain = drain;
        return Apply();
    }
    HRESULT put_Visible(long visible) override
    {
        m_values.visible = visible != OAFALSE;
        return Apply();
    }
    HRESULT get_Visible(long* visible) override
    {
        if (visible == nullptr)
            return E_POINTER;
        *visible = m_values.visible ? OATRUE : OAFALSE;
        return S_OK;
    }
    HRESULT put_AutoShow(long autoShow) override
    {
        m_values.autoShow = autoShow != OAFALSE;
        return S_OK;
    }
    HRESULT SetWindowPosition(long left, long top, long width, long height) override
    {
        if (width < 0 || height < 0)
            return E_INVALIDARG;
        m_values.left = left;
        m_values.top = top;
        m_values.width = width;
        m_values.height = height;
        return Apply();
    }
    HRESULT GetWindowPosition(long* left, long* top, long* width, long* height) override
    {
        if (left == nullptr || top == nullptr || width == nullptr || height == nullptr)
            return E_POINTER;
        *left = m_values.left;
        *top = m_values.top;
        *width = m_values.width;
        *height = m_values.height;
        return S_OK;
    }
    HRESULT get_FullScreenMode(long* mode) override
    {
        if (mode == nullptr)
            return E_POINTER;
        *mode = m_values.fullScreen ? OATRUE : OAFALSE;
        return S_OK;
    }
    HRESULT put_FullScreenMode(long mode) override
    {
        m_values.fullScreen = mode != OAFALSE;
        return Apply();
    }

    // ---- IBasicVideo ----
    HRESULT GetVideoSize(long* width, long* height) override
    {
        if (width == nullptr || height == nullptr)
            return E_POINTER;
        int w = 0, h = 0;
        if (m_output == nullptr || !m_output->VideoSize(&w, &h))
            return VFW_E_WRONG_STATE;
        *width = w;
        *height = h;
        return S_OK;
    }

  private:
    void MakeOutput()
    {
        const bool display = !IsHeadless() && gdk_display_get_default() != nullptr;
        if (display)
            m_output = VideoOutput::Make(VideoOutput::Kind::Display);
        if (m_output == nullptr)
            m_output = m_recordPath.empty()
                           ? VideoOutput::Make(VideoOutput::Kind::Discard)
                           : VideoOutput::Make(VideoOutput::Kind::Record, m_recordPath);
        if (m_output == nullptr)
            return;
        if (m_output->Widget()) {
            m_window = std::make_unique<RendererWindow>(m_output->Widget(), [this](HWND gone) {
                if (m_values.owner == gone)
                    m_values.owner = nullptr;
                if (m_values.drain == gone)
                    m_values.drain = nullptr;
            });
            Apply();
        }
        m_output->OnStarted([this] { OnStarted(); });
    }

    // A window that shows itself when its renderer starts.
    void OnStarted()
    {
        if (m_values.autoShow && !m_values.visible) {
            m_values.visible = true;
            Apply();
        }
    }

    HRESULT Apply()
    {
        if (m_window)
            m_window->Update(m_values);
        return S_OK;
    }

    const std::string m_recordPath;
    VideoWindowValues m_values;
    std::unique_ptr<VideoOutput> m_output;
    std::unique_ptr<RendererWindow> m_window;
};

}  // namespace

HRESULT CreateVideoRenderer(REFIID riid, void** ppv)
{
    return HandOutNewObject(new CVideoRenderer, riid, ppv);
}

void SetVideoRecordFile(const char* path)
{
    std::lock_guard lock(g_recordLock);
    g_recordPath = path ? path : "";
}

namespace {
// The renderer is part of the platform: no registry entry needed.
const bool g_videoRendererRegistered =
    (CoRegisterBuiltinClass(CLSID_VideoRenderer, CreateVideoRenderer), true);
}  // namespace
