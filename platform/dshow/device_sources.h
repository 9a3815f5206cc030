// The GStreamer side of the video input devices: the source element of a
// virtual device and the demo camera element. Never included by the
// system's own code (only by the platform and its tests).
#pragma once

#include <gst/gst.h>

#include <string>
#include <vector>

#include "virtual_devices.h"

// A new floating element (a bin for file sources) delivering width x height
// video of the device: pattern devices videotestsrc (live, 30 fps); file
// devices filesrc ! decodebin, converted and scaled to the size; demo
// devices the demo camera. Null when GStreamer or an element is missing.
COM_API GstElement* MakeVirtualSourceElement(const VirtualDevice& device, int width, int height);

// The demo camera at width x height and 30 fps: BGR frames, top-down (as
// GStreamer's raw video always is), time stamps n / 30 s from the start.
// scriptPath empty or unreadable: a person standing in the room; a script
// without keyframes: the empty room. live:
// frames leave at their time on the pipeline's clock, as a camera's do;
// otherwise as fast as they are taken.
COM_API GstElement* MakeDemoCameraElement(const std::string& scriptPath, int width, int height,
                                          bool live = true);

struct IAMCrossbar;
// A crossbar with the named inputs and one output, input 0 routed; one
// reference.
IAMCrossbar* MakeCrossbar(const std::vector<std::string>& inputs);
