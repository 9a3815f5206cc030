// Virtual video input devices: what the file named by ORVEX_VIRTUAL_DEVICES
// declares (one device per line; docs/virtual-devices.md), parsed without
// GStreamer so that the declarations can be checked on their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "com/guid.h"

enum class VirtualKind { Pattern, File, Demo };

struct FrameSize {
    int width = 0;
    int height = 0;
    bool operator==(const FrameSize&) const = default;
};

struct COM_API VirtualDevice {
    std::string name;
    VirtualKind kind = VirtualKind::Pattern;
    std::vector<FrameSize> sizes;  // empty: every size from 1 x 1 to 4096 x 4096
    std::string pattern = "smpte";  // kind pattern
    std::string path;               // kind file: the video; kind demo: the script (may be empty)
    std::vector<std::string> crossbarInputs;  // empty: no crossbar
    bool videoPort = false;
    bool dvDecoder = false;
    bool nameUnreadable = false;
    bool videoInfo = true;        // false: the format block is not a VIDEOINFOHEADER
    bool compressedOnly = false;  // only MJPG is offered
    int failAfter = 0;            // > 0: the device vanishes after that many frames
    int stallAfter = 0;           // > 0: the device goes silent after that many frames

    bool Accepts(int width, int height) const;
};

constexpr int kMaxVirtualFrameSide = 4096;

// Parses one line. true with *device filled for a declaration; false for a
// blank or comment line (*error empty) or a bad one (*error says why).
COM_API bool ParseVirtualDeviceLine(std::string_view line, VirtualDevice* device,
                                    std::string* error);

// Every good declaration of the text, in order; each bad line is reported on
// standard error as "where:line: reason" and skipped.
COM_API std::vector<VirtualDevice> ParseVirtualDevices(std::string_view text,
                                                       const std::string& where);

// The devices of the file named by ORVEX_VIRTUAL_DEVICES; none when the
// variable is unset or empty, the file unreadable (reported) or over 1 MiB.
COM_API std::vector<VirtualDevice> LoadVirtualDevices();
