// The video window (headless until the renderer's window lands).
#include "capture_graph.h"
#include "capture_internal.h"

HRESULT orvexInitVideoWindow()
{
    if (g_hWnd == nullptr || g_pVideoWindow == nullptr)
        return S_OK;
    g_pVideoWindow->put_Owner(g_hWnd);
    g_pVideoWindow->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    g_pVideoWindow->put_MessageDrain(g_hWnd);
    return S_OK;
}

extern "C" {

HRESULT orvexResizeVideoWindow() { return S_OK; }
void orvexToggleFullScreen() {}
int orvexIsFullScreen() { return 0; }
void orvexRecordVideo(const char* path) { SetVideoRecordFile(path); }

}  // extern "C"
