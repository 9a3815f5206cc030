// Video input devices: the system device enumerator, the monikers of the
// video input category, each device's property bag ("FriendlyName") and its
// capture pin's format control.
//
// The category lists, in this order and stably from one enumeration to the
// next:
//   1. real cameras, as GStreamer's device monitor reports them (class
//      Video/Source), only nodes that deliver video frames, each node once;
//   2. the virtual devices declared in the file named by the environment
//      variable ORVEX_VIRTUAL_DEVICES (format: docs/virtual-devices.md).
// CoCreateInstance(CLSID_SystemDeviceEnum) makes the enumerator without the
// registry: it is part of the platform itself.
//
// Implemented: enumeration, FriendlyName, SetFormat/GetFormat, the source
// filter's element. Not yet: property pages, crossbar and DV decoder objects.
#pragma once

#include "com/unknown.h"
#include "win/win.h"
#include "filters.h"
#include "media_types.h"

// {20E15625-F634-436B-8854-4F1B7FF1CA37}
inline constexpr CLSID CLSID_SystemDeviceEnum{0x20E15625, 0xF634, 0x436B,
                                              {0x88, 0x54, 0x4F, 0x1B, 0x7F, 0xF1, 0xCA, 0x37}};
// {94D1BDD0-77C3-4E64-8B45-01B72E110D07}
inline constexpr CLSID CLSID_VideoInputDeviceCategory{
    0x94D1BDD0, 0x77C3, 0x4E64, {0x8B, 0x45, 0x01, 0xB7, 0x2E, 0x11, 0x0D, 0x07}};
// {EA34AF2F-719D-4EAE-8351-21C3A2DE5EED}
inline constexpr IID IID_ICreateDevEnum{0xEA34AF2F, 0x719D, 0x4EAE,
                                        {0x83, 0x51, 0x21, 0xC3, 0xA2, 0xDE, 0x5E, 0xED}};
// {2F555C67-06E5-4B3F-A626-AA282EFCD53B}
inline constexpr IID IID_IEnumMoniker{0x2F555C67, 0x06E5, 0x4B3F,
                                      {0xA6, 0x26, 0xAA, 0x28, 0x2E, 0xFC, 0xD5, 0x3B}};
// {381EA0DC-E54A-4BAC-A087-664C43024390}
inline constexpr IID IID_IMoniker{0x381EA0DC, 0xE54A, 0x4BAC,
                                  {0xA0, 0x87, 0x66, 0x4C, 0x43, 0x02, 0x43, 0x90}};
// {921E09FA-0DE7-4CC4-90DB-C5190AD49941}
inline constexpr IID IID_IPropertyBag{0x921E09FA, 0x0DE7, 0x4CC4,
                                      {0x90, 0xDB, 0xC5, 0x19, 0x0A, 0xD4, 0x99, 0x41}};
// {4E1ABDCB-D727-433D-A1E7-ED0AF318B51D}
inline constexpr IID IID_IAMStreamConfig{0x4E1ABDCB, 0xD727, 0x433D,
                                         {0xA1, 0xE7, 0xED, 0x0A, 0xF3, 0x18, 0xB5, 0x1D}};
// Our own: what a format control was asked, for tests and diagnostics.
// {7A0C2E51-3B6D-4C0E-9D55-2F1B8E4A6C10}
inline constexpr IID IID_IOrvexFormatLog{0x7A0C2E51, 0x3B6D, 0x4C0E,
                                         {0x9D, 0x55, 0x2F, 0x1B, 0x8E, 0x4A, 0x6C, 0x10}};

// Strings are UTF-8. A BSTR comes from SysAllocString and goes with
// SysFreeString.
using BSTR = char*;
COM_API BSTR SysAllocString(const char* text);
COM_API void SysFreeString(BSTR text);

enum VARENUM : std::uint16_t { VT_EMPTY = 0, VT_BSTR = 8 };
struct VARIANT {
    std::uint16_t vt;
    BSTR bstrVal;
};
COM_API void VariantInit(VARIANT* v);
// Frees what the variant holds and empties it.
COM_API HRESULT VariantClear(VARIANT* v);

// A media type handed out by GetFormat; DeleteMediaType frees it.
COM_API void DeleteMediaType(AM_MEDIA_TYPE* mt);

struct IPropertyBag : IUnknown {
    // Only VT_BSTR properties; E_FAIL when the property cannot be read.
    virtual HRESULT Read(const char* name, VARIANT* value, void* errorLog) = 0;
};

struct IMoniker : IUnknown {
    // IID_IPropertyBag: the device's properties.
    virtual HRESULT BindToStorage(void* context, IMoniker* left, REFIID riid, void** ppv) = 0;
    // IID_IBaseFilter: a new source filter for the device.
    virtual HRESULT BindToObject(void* context, IMoniker* left, REFIID riid, void** ppv) = 0;
};

struct IEnumMoniker : IUnknown {
    // S_OK while a moniker was delivered, S_FALSE at the end.
    virtual HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) = 0;
    virtual HRESULT Reset() = 0;
};

struct ICreateDevEnum : IUnknown {
    // S_FALSE and a null enumerator when the category has no device.
    virtual HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator,
                                          DWORD flags) = 0;
};

// The capture pin's format control. The source filter answers
// QueryInterface(IID_IAMStreamConfig) with its capture pin's control.
struct IAMStreamConfig : IUnknown {
    // Asks the device for the frame size of the format block's bitmap header
    // (FORMAT_VideoInfo only). A size the device does not offer:
    // VFW_E_INVALIDMEDIATYPE, and the format stays.
    virtual HRESULT SetFormat(AM_MEDIA_TYPE* mt) = 0;
    // The current format, freed with DeleteMediaType.
    virtual HRESULT GetFormat(AM_MEDIA_TYPE** mt) = 0;
};

constexpr HRESULT VFW_E_INVALIDMEDIATYPE = static_cast<HRESULT>(0x80040200u);

struct IOrvexFormatLog : IUnknown {
    // SetFormat calls since the control was made, accepted or not.
    virtual int SetFormatCalls() = 0;
    // The size asked by call i (0-based); false past the last call.
    virtual bool Attempt(int i, int* width, int* height, bool* accepted) = 0;
};

// Device arrival: while a watch is on, every video input device that is
// plugged in posts message to window (on the UI thread) with wParam
// DBT_DEVICEARRIVAL, as the system tells windows of new hardware. One watch
// at a time; a null window ends it.
constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
COM_API void WatchVideoDeviceArrivals(HWND window, UINT message);

// Makes the system device enumerator (also reachable through CoCreateInstance).
COM_API HRESULT CreateSystemDeviceEnum(REFIID riid, void** ppv);
