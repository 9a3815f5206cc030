// The program's capture calls: straight into the capture library. Kept out
// of the shell's library so that its tests need no capture graph.
#include "library_calls.h"

CaptureCalls LibraryCaptureCalls()
{
    CaptureCalls calls;
    calls.initialize = orvexInitialize;
    calls.finalize = orvexFinalize;
    calls.startCapture = orvexStartCapture;
    calls.setSource = orvexSetSource;
    calls.isRunning = orvexIsRunning;
    calls.isSourceCrossBar = orvexIsSourceCrossBar;
    calls.resizeVideoWindow = orvexResizeVideoWindow;
    calls.toggleFullScreen = orvexToggleFullScreen;
    calls.isFullScreen = orvexIsFullScreen;
    calls.recordVideo = orvexRecordVideo;
    return calls;
}
