// The capture record: every interface of the capture graph and the state of
// capture. Only the UI thread reads or changes it.
#pragma once

#include "dshow/graph.h"
#include "proxy/orvex_proxy.h"
#include "win/win.h"

extern HWND g_hWnd;
extern HRESULT g_lastHRESULT;
extern IGraphBuilder* g_pGraphBuilder;
extern ICaptureGraphBuilder2* g_pCaptureGraph;
extern IOrvexProxy* g_pOrvexProxy;
extern IBaseFilter* g_pOrvexProxyFilter;
extern IBaseFilter* g_pSourceFilter;
extern IAMCrossbar* g_pCrossBar;
extern IIPDVDec* g_pDVDecoder;
extern IMediaControl* g_pMediaControl;
extern IVideoWindow* g_pVideoWindow;
extern IBasicVideo* g_pBasicVideo;
extern unsigned char g_bOverlay;
extern int g_nDVResolution;

// The graph-building steps, in the order a build runs them.
HRESULT orvexInitDirectShow();
HRESULT orvexMakeSourceFilter();
HRESULT orvexCreateGraph();
HRESULT orvexInitVideoWindow();
// Tears the graph down; the state becomes 0.
void orvexReleaseDirectShow();
// A video input device was plugged in: capture stopped by its device's
// fault is built and started again.
void orvexOnDeviceArrival();
