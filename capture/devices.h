// The device list and the frame size choice, shared by the library's parts.
#pragma once

#include "dshow/devices.h"

constexpr int kMaxSources = 10;
// Characters (not bytes) kept of a device name; longer names are cut at a
// character boundary.
constexpr int kMaxSourceNameChars = 49;

struct ResolutionCandidate {
    int width;
    int height;
    int distance;  // from the requested area, worked out at each choice
    bool tried;    // cleared at each choice
};
constexpr int kResolutionCount = 5;

extern int g_nSourceCount;
extern char* g_szSourceNames[kMaxSources];
extern int g_nCurrentSource;
extern int g_nRequestedWidth;
extern int g_nRequestedHeight;
extern int g_nFrameWidth;
extern int g_nFrameHeight;
extern ResolutionCandidate g_ResolutionTable[kResolutionCount];

// The format control of the current source's capture pin, looked up by the
// graph's source step just before it chooses the frame size; null otherwise.
extern IAMStreamConfig* g_pStreamConfig;

// The monikers of the video input devices, in the order every part counts
// them; null when there is none (or no enumerator).
IEnumMoniker* orvexOpenVideoInputs();
// Reads the names of the video input devices; once, when the library loads.
void orvexEnumerateSources();
// Asks g_pStreamConfig for the table's sizes, nearest area first, writing
// each into mt's bitmap header; true when one was accepted (and is then the
// requested size).
bool orvexChooseResolution(AM_MEDIA_TYPE* mt);
// Frees the names; the count becomes 0.
void orvexFreeSources();
