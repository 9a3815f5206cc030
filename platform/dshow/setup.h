// What a filter module publishes: its factory-template table (one line per
// class, defined by the module as g_Templates and g_cTemplates), the filter
// records that go to the filter mapper, and the registration call its
// DllRegisterServer and DllUnregisterServer make.
//
// The template-table server (DllGetClassObject, DllCanUnloadNow, the class
// factory) and AMovieDllRegisterServer2 are compiled into each module, from
// the OrvexModuleServer (or, for debug modules, OrvexModuleServerD) objects,
// so that they count that module's objects and name that module's file.
#pragma once

#include "com/com.h"
#include "com/unknown.h"

constexpr DWORD MERIT_DO_NOT_USE = 0x200000;

// The category of filters registered without one of their own.
// {4A1631D5-1A87-4C85-A5A9-E2D37BC27155}
inline constexpr CLSID CLSID_LegacyAmFilterCategory{
    0x4A1631D5, 0x1A87, 0x4C85, {0xA5, 0xA9, 0xE2, 0xD3, 0x7B, 0xC2, 0x71, 0x55}};

struct AMOVIESETUP_MEDIATYPE {
    const GUID* clsMajorType;
    const GUID* clsMinorType;
};

struct AMOVIESETUP_PIN {
    const char* strName;
    BOOL bRendered;
    BOOL bOutput;
    BOOL bZero;  // zero instances allowed
    BOOL bMany;  // many instances allowed
    const CLSID* clsConnectsToFilter;
    const char* strConnectsToPin;
    unsigned nMediaTypes;
    const AMOVIESETUP_MEDIATYPE* lpMediaType;
};

struct AMOVIESETUP_FILTER {
    const CLSID* clsID;
    const char* strName;
    DWORD dwMerit;
    unsigned nPins;
    const AMOVIESETUP_PIN* lpPin;
};

class CUnknown;
using LPFNNewCOMObject = CUnknown* (*)(LPUNKNOWN outer, HRESULT* phr);
using LPFNInitRoutine = void (*)(BOOL loading, const CLSID* clsid);

struct CFactoryTemplate {
    const char* m_Name;
    const CLSID* m_ClsID;
    LPFNNewCOMObject m_lpfnNew;
    LPFNInitRoutine m_lpfnInit;  // run when the module loads and unloads; may be null
    const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

    bool IsClassID(REFCLSID clsid) const { return *m_ClsID == clsid; }
    CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* phr) const { return m_lpfnNew(outer, phr); }
};

// Defined by the module.
[[gnu::visibility("hidden")]] extern const CFactoryTemplate g_Templates[];
[[gnu::visibility("hidden")]] extern const int g_cTemplates;

// register true: for each template, the class key CLSID\{clsid} under
// HKEY_CLASSES_ROOT with the template's name, its InprocServer32 key with the
// module's full path and ThreadingModel "Both"; then in the filter mapper the
// template's filter record in place of any earlier one. register false: the
// filter records and then the class keys go. A filter record that is not
// there counts as removed. Stops at the first failure and returns it.
[[gnu::visibility("hidden")]] HRESULT AMovieDllRegisterServer2(BOOL doRegister);

// The filter mapper: filter records under
// HKEY_CLASSES_ROOT\CLSID\{category}\Instance\{clsid}.
COM_API HRESULT FilterMapperRegister(REFCLSID category, const AMOVIESETUP_FILTER& filter);
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the class has no record.
COM_API HRESULT FilterMapperUnregister(REFCLSID category, REFCLSID clsid);
// The key of a filter record.
COM_API std::string FilterRecordKeyPath(REFCLSID category, REFCLSID clsid);
