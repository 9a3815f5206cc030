// The capture library's graph and video-window calls as the shell makes them.
// The program routes them to the library itself (library_calls.cpp, linked
// into the executable only); tests route them to stand-ins that record what
// the shell asked for, so the shell's windows, menu and keys are tested
// without a camera pipeline.
#pragma once

#include "orvex.h"

struct CaptureCalls {
    HRESULT (*initialize)(HWND window) = nullptr;
    void (*finalize)() = nullptr;
    HRESULT (*startCapture)() = nullptr;
    HRESULT (*setSource)(int index) = nullptr;
    int (*isRunning)() = nullptr;
    int (*isSourceCrossBar)() = nullptr;
    HRESULT (*resizeVideoWindow)() = nullptr;
    void (*toggleFullScreen)() = nullptr;
    int (*isFullScreen)() = nullptr;
    void (*recordVideo)(const char* path) = nullptr;
};

// The calls in use; every member is set before the shell runs.
CaptureCalls& Capture();
