// The frame-tap filter as its users see it: its class, its interface and the
// callback it calls with every frame. Shared by the frame-tap module and the
// capture library, which creates the filter by class id.
#pragma once

#include "com/unknown.h"

// Called once per frame on the streaming thread with the first byte of the
// frame buffer, which the callback may change in place. The frame's geometry
// is the negotiated one; the buffer is valid only during the call.
using FrameCallback = void (*)(unsigned char* frame);

// {4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}
inline constexpr CLSID CLSID_OrvexProxy{0x4387FA20, 0x9A5D, 0x4981,
                                        {0xA3, 0xFE, 0x4F, 0xE9, 0xA0, 0xC6, 0xE6, 0x03}};
// {44A5A647-DF55-4EA2-8EE9-8E899EF23BDB}
inline constexpr IID IID_IOrvexProxy{0x44A5A647, 0xDF55, 0x4EA2,
                                     {0x8E, 0xE9, 0x8E, 0x89, 0x9E, 0xF2, 0x3B, 0xDB}};

struct IOrvexProxy : IUnknown {
    // Installs the callback (null removes it). Waits for a call in progress
    // to return; from then on only the new callback is called. The callback
    // itself may call SetCallback on the same filter. Always S_OK.
    virtual HRESULT SetCallback(FrameCallback callback) = 0;
};
