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
#include "filters.h"
#include "media_types.h"

// {62BE5D10-60EB-11D0-BD3B-00A0C911CE86}
inline constexpr CLSID CLSID_SystemDeviceEnum{0x62BE5D10, 0x60EB, 0x11D0,
                                              {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// {860BB310-5D01-11D0-BD3B-00A0C911CE86}
inline constexpr CLSID CLSID_VideoInputDeviceCategory{
    0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// {29840822-5B84-11D0-BD3B-00A0C911CE86}
inline constexpr IID IID_ICreateDevEnum{0x29840822, 0x5B84, 0x11D0,
                                        {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// {00000102-0000-0000-C000-000000000046}
inline constexpr IID IID_IEnumMoniker{0x00000102, 0x0000, 0x0000,
                                      {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {0000000F-0000-0000-C000-000000000046}
inline constexpr IID IID_IMoniker{0x0000000F, 0x0000, 0x0000,
                                  {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {55272A00-42CB-11CE-8135-00AA004BB851}
inline constexpr IID IID_IPropertyBag{0x55272A00, 0x42CB, 0x11CE,
                                      {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
// {C6E13340-30AC-11D0-A18C-00A0C9118956}
inline constexpr IID IID_IAMStreamConfig{0xC6E13340, 0x30AC, 0x11D0,
                                         {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
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

// Makes the system device enumerator (also reachable through CoCreateInstance).
COM_API HRESULT CreateSystemDeviceEnum(REFIID riid, void** ppv);
