// The video window: the renderer's window embedded in the host window, the
// host sized to the video, and the switch between windowed and full-screen
// display (on the overlay path: the host window maximised instead).
#include "capture_graph.h"
#include "capture_internal.h"
#include "win/window.h"

HRESULT orvexInitVideoWindow()
{
    if (g_hWnd == nullptr || g_pVideoWindow == nullptr)
        return 0;
    g_pVideoWindow->put_Owner(g_hWnd);
    g_pVideoWindow->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    // Input on the video, also in full screen, reaches the host's handlers.
    g_pVideoWindow->put_MessageDrain(g_hWnd);

    const int border = GetSystemMetrics(SM_CYBORDER);
    RECT window{}, client{};
    GetWindowRect(g_hWnd, &window);
    GetClientRect(g_hWnd, &client);
    long width = 0, height = 0;
    // A renderer that cannot tell the size yet leaves the host as it is,
    // rather than shrinking it to its frame.
    if (g_pBasicVideo != nullptr && SUCCEEDED(g_pBasicVideo->GetVideoSize(&width, &height)) &&
        width > 0 && height > 0) {
        const long frameWidth = (window.right - window.left) - (client.right - client.left);
        const long frameHeight = (window.bottom - window.top) - (client.bottom - client.top);
        SetWindowPos(g_hWnd, nullptr, 0, 0, width + frameWidth, height + frameHeight + border,
                     SWP_NOMOVE | SWP_NOZORDER);
    }
    orvexResizeVideoWindow();
    SetFocus(g_hWnd);
    return 0;
}

HRESULT orvexResizeVideoWindow()
{
    if (g_pVideoWindow == nullptr || g_hWnd == nullptr)
        return 0;
    RECT client{};
    GetClientRect(g_hWnd, &client);
    return g_pVideoWindow->SetWindowPosition(client.left, client.top, client.right, client.bottom);
}

void orvexToggleFullScreen()
{
    if (g_pVideoWindow == nullptr)
        return;
    long mode = OAFALSE;
    g_lastHRESULT = g_pVideoWindow->get_FullScreenMode(&mode);
    if (FAILED(g_lastHRESULT) || g_bOverlay) {
        // The host's size message then makes the video follow.
        ShowWindow(g_hWnd, IsZoomed(g_hWnd) ? SW_RESTORE : SW_MAXIMIZE);
        return;
    }
    // A stopped graph stays stopped: running it would hand frames to
    // filters that were never started.
    const bool running = g_nCaptureState.load() == 2 && g_pMediaControl != nullptr;
    if (running)
        g_pMediaControl->Stop();
    if (mode == OATRUE) {
        g_lastHRESULT = g_pVideoWindow->put_FullScreenMode(OAFALSE);
        if (FAILED(g_lastHRESULT))
            orvexReportError(
                "FAILED(lastHRESULT=0x%x) in g_pVideoWindow->put_FullScreenMode(OAFALSE)\n",
                g_lastHRESULT);
        SetFocus(g_hWnd);
    } else {
        g_lastHRESULT = g_pVideoWindow->put_FullScreenMode(OATRUE);
        if (FAILED(g_lastHRESULT))
            orvexReportError(
                "FAILED(lastHRESULT=0x%x) in g_pVideoWindow->put_FullScreenMode(OATRUE)\n",
                g_lastHRESULT);
        g_pVideoWindow->put_Owner(g_hWnd);
    }
    if (running)
        g_pMediaControl->Run();
}

int orvexIsFullScreen()
{
    if (g_pVideoWindow == nullptr)
        return 0;
    long mode = OAFALSE;
    if (FAILED(g_pVideoWindow->get_FullScreenMode(&mode)) || g_bOverlay)
        return IsZoomed(g_hWnd) ? 1 : 0;
    return mode == OATRUE ? 1 : 0;
}

void orvexRecordVideo(const char* path)
{
    SetVideoRecordFile(path);
}
