// Creating objects by class id. CoCreateInstance looks the class up in the
// registry (registry.h), loads the in-process server module that its
// InprocServer32 key names, asks the module's DllGetClassObject for the
// class factory and lets the factory make the object. Modules stay loaded
// until CoFreeUnusedLibraries finds that they can go.
#pragma once

#include <string>

#include "guid.h"
#include "hresult.h"
#include "unknown.h"

// {E92F3DE6-7CEF-4C9A-8B6F-78E829737EA1}
inline constexpr IID IID_IClassFactory{0xE92F3DE6, 0x7CEF, 0x4C9A,
                                       {0x8B, 0x6F, 0x78, 0xE8, 0x29, 0x73, 0x7E, 0xA1}};

struct IClassFactory : IUnknown {
    // outer: the aggregating object or null; with an outer object only
    // IID_IUnknown may be asked for.
    virtual HRESULT CreateInstance(LPUNKNOWN outer, REFIID riid, void** ppv) = 0;
    // Keeps the module loaded while locked; calls nest.
    virtual HRESULT LockServer(BOOL lock) = 0;
};

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
// Server or handler.
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

// The exports of an in-process server module.
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID clsid, REFIID riid, void** ppv);
using LPFNCANUNLOADNOW = HRESULT (*)();
using LPFNREGISTERSERVER = HRESULT (*)();

// The first call in the process answers S_OK, later ones S_FALSE; each must
// be matched by CoUninitialize.
COM_API HRESULT CoInitialize(void* reserved);
// The last one frees the modules that no object or lock holds.
COM_API void CoUninitialize();

// Failures: E_POINTER (null ppv), CO_E_NOTINITIALIZED, REGDB_E_CLASSNOTREG
// (no InprocServer32 entry, or clsctx without CLSCTX_INPROC_SERVER),
// E_ACCESSDENIED (the registry file or the module fails the trust checks),
// HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) (no module at the path),
// CO_E_ERRORINDLL (the module does not load or lacks DllGetClassObject),
// and whatever the module's factory answers.
COM_API HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD clsctx, REFIID riid,
                                 void** ppv);

// A class of the platform itself, which CoCreateInstance makes without the
// registry (no outer object). Registered once, where the class is defined.
using LPFNCREATEBUILTIN = HRESULT (*)(REFIID riid, void** ppv);
COM_API void CoRegisterBuiltinClass(REFCLSID clsid, LPFNCREATEBUILTIN create);

// Unloads each loaded module whose DllCanUnloadNow answers S_OK.
COM_API void CoFreeUnusedLibraries();

// Whether CoCreateInstance would load a module from path: an absolute path
// to a regular file, not a symbolic link, owned by the current user or root,
// writable by neither group nor others. S_OK, E_ACCESSDENIED, or
// HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) when there is no such file.
COM_API HRESULT CoCheckModuleTrust(const std::string& path);

// The registry key of a class: CLSID\{...} under HKEY_CLASSES_ROOT.
COM_API std::string ClassKeyPath(REFCLSID clsid);
