// The frame-tap module: its one class in the template table, its filter
// record, and the registration exports. DllGetClassObject and
// DllCanUnloadNow come from the module server objects.
#include "dshow/setup.h"
#include "frame_tap.h"

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const AMOVIESETUP_MEDIATYPE kPinTypes = {&MEDIATYPE_NULL, &MEDIASUBTYPE_NULL};

const AMOVIESETUP_PIN kPins[] = {
    {"Input", FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, "", 1, &kPinTypes},
    {"Output", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, "", 1, &kPinTypes},
};

// Merit "do not use": the filter goes into a graph only when added by name.
const AMOVIESETUP_FILTER kFilter = {&CLSID_OrvexProxy, "OrvexProxy Filter", MERIT_DO_NOT_USE, 2,
                                    kPins};

}  // namespace

const CFactoryTemplate g_Templates[] = {
    {"OrvexProxy Filter", &CLSID_OrvexProxy, COrvexProxy::CreateInstance, nullptr, &kFilter},
};
const int g_cTemplates = sizeof g_Templates / sizeof g_Templates[0];

MODULE_EXPORT HRESULT DllRegisterServer() { return AMovieDllRegisterServer2(TRUE); }
MODULE_EXPORT HRESULT DllUnregisterServer() { return AMovieDllRegisterServer2(FALSE); }
