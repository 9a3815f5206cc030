// Stand-ins for the capture library's graph and video-window calls, for
// testing the shell without a capture pipeline: they record what the shell
// asked for and keep the little state it reads back (full screen, crossbar,
// current device). With `log` set, each call is also printed there.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "devices.h"
#include "shell/capture_calls.h"

struct FakeCapture {
    static inline int fullScreen = 0;
    static inline int crossbar = 0;
    static inline int running = 0;
    static inline int initialized = 0;
    static inline int finalized = 0;
    static inline int starts = 0;
    static inline int resizes = 0;
    static inline std::vector<int> sources;
    static inline std::string recording;
    static inline std::FILE* log = nullptr;

    static void Note(const char* call)
    {
        if (log) {
            std::fprintf(log, "capture: %s\n", call);
            std::fflush(log);
        }
    }

    static void Reset()
    {
        fullScreen = crossbar = running = initialized = finalized = starts = resizes = 0;
        sources.clear();
        recording.clear();
        g_nCurrentSource = 0;
    }

    static CaptureCalls Calls()
    {
        CaptureCalls c;
        c.initialize = [](HWND) -> HRESULT {
            Note("initialize");
            ++initialized;
            return S_OK;
        };
        c.finalize = [] {
            Note("finalize");
            ++finalized;
            running = 0;
        };
        c.startCapture = []() -> HRESULT {
            Note("start");
            ++starts;
            running = 1;
            return S_OK;
        };
        c.setSource = [](int index) -> HRESULT {
            Note("set source");
            sources.push_back(index);
            g_nCurrentSource = index;
            return S_OK;
        };
        c.isRunning = [] { return running; };
        c.isSourceCrossBar = [] { return crossbar; };
        c.resizeVideoWindow = []() -> HRESULT {
            ++resizes;
            return S_OK;
        };
        c.toggleFullScreen = [] { fullScreen = !fullScreen; };
        c.isFullScreen = [] { return fullScreen; };
        c.recordVideo = [](const char* path) { recording = path ? path : ""; };
        return c;
    }
};
