// The server half of a filter module, compiled into each module: the class
// factory over the module's template table, DllGetClassObject,
// DllCanUnloadNow, the templates' load and unload routines, and
// AMovieDllRegisterServer2.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cerrno>
#include <new>
#include <string>

#include "com/registry.h"
#include "setup.h"

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

class CClassFactory final : public IClassFactory, public CBaseObject {
public:
    explicit CClassFactory(const CFactoryTemplate* t) : CBaseObject("Class Factory"), m_pTemplate(t)
    {
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IClassFactory || riid == IID_IUnknown) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override
    {
        return static_cast<ULONG>(m_cRef.fetch_add(1, std::memory_order_relaxed) + 1);
    }
    ULONG Release() override
    {
        long n = m_cRef.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

    HRESULT CreateInstance(LPUNKNOWN outer, REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        // An aggregated object can only hand its own IUnknown to the outer.
        if (outer != nullptr && riid != IID_IUnknown)
            return E_NOINTERFACE;
        HRESULT hr = S_OK;
        CUnknown* object = m_pTemplate->CreateInstance(outer, &hr);
        if (object == nullptr)
            return FAILED(hr) ? hr : E_OUTOFMEMORY;
        if (FAILED(hr)) {
            delete object;
            return hr;
        }
        object->NonDelegatingAddRef();
        hr = object->NonDelegatingQueryInterface(riid, ppv);
        object->NonDelegatingRelease();  // the answer's reference keeps it, or it goes
        return hr;
    }

    HRESULT LockServer(BOOL lock) override
    {
        if (lock)
            Module().locks.fetch_add(1, std::memory_order_relaxed);
        else
            Module().locks.fetch_sub(1, std::memory_order_release);
        return S_OK;
    }

private:
    std::atomic<long> m_cRef{0};
    const CFactoryTemplate* m_pTemplate;
};

void RunInitRoutines(BOOL loading)
{
    for (int i = 0; i < g_cTemplates; ++i)
        if (g_Templates[i].m_lpfnInit != nullptr)
            g_Templates[i].m_lpfnInit(loading, g_Templates[i].m_ClsID);
}

__attribute__((constructor)) void ModuleLoaded() { RunInitRoutines(TRUE); }
__attribute__((destructor)) void ModuleUnloaded() { RunInitRoutines(FALSE); }

// The module's own file, resolved to an absolute path without links.
HRESULT ModulePath(std::string* path)
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&g_Templates), &info) == 0 ||
        info.dli_fname == nullptr)
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    char resolved[PATH_MAX];
    if (::realpath(info.dli_fname, resolved) == nullptr)
        return HResultFromErrno(errno);
    *path = resolved;
    return S_OK;
}

HRESULT RegisterClassKeys(const std::string& modulePath)
{
    return RegistryUpdate([&](RegKey& root) -> HRESULT {
        for (int i = 0; i < g_cTemplates; ++i) {
            const CFactoryTemplate& t = g_Templates[i];
            RegKey* key = root.Create(ClassKeyPath(*t.m_ClsID));
            RegKey* server = key ? key->Create("InprocServer32") : nullptr;
            if (server == nullptr)
                return E_INVALIDARG;
            key->defaultValue = t.m_Name ? t.m_Name : "";
            server->defaultValue = modulePath;
            server->SetString("ThreadingModel", "Both");
        }
        return S_OK;
    });
}

HRESULT UnregisterClassKeys()
{
    return RegistryUpdate([&](RegKey& root) -> HRESULT {
        for (int i = 0; i < g_cTemplates; ++i)
            root.Delete(ClassKeyPath(*g_Templates[i].m_ClsID));
        return S_OK;
    });
}

// The filter mapper's part: each template's earlier filter record goes, and
// when registering its new one is written. A record that is not there counts
// as removed.
HRESULT UpdateFilterRecords(BOOL doRegister)
{
    HRESULT hr = S_OK;
    for (int i = 0; i < g_cTemplates && SUCCEEDED(hr); ++i) {
        const CFactoryTemplate& t = g_Templates[i];
        if (t.m_pAMovieSetup_Filter == nullptr)
            continue;
        hr = FilterMapperUnregister(CLSID_LegacyAmFilterCategory, *t.m_ClsID);
        if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            hr = S_OK;
        if (SUCCEEDED(hr) && doRegister)
            hr = FilterMapperRegister(CLSID_LegacyAmFilterCategory, *t.m_pAMovieSetup_Filter);
    }
    return hr;
}

}  // namespace

HRESULT AMovieDllRegisterServer2(BOOL doRegister)
{
    HRESULT hr = S_OK;
    if (doRegister) {
        std::string path;
        hr = ModulePath(&path);
        if (SUCCEEDED(hr))
            hr = RegisterClassKeys(path);
        if (FAILED(hr))
            return hr;
    }
    CoInitialize(nullptr);
    hr = UpdateFilterRecords(doRegister);
    CoFreeUnusedLibraries();
    CoUninitialize();
    if (!doRegister && SUCCEEDED(hr))
        hr = UnregisterClassKeys();
    return hr;
}

MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
        return E_NOINTERFACE;
    for (int i = 0; i < g_cTemplates; ++i) {
        if (!g_Templates[i].IsClassID(clsid))
            continue;
        auto* factory = new (std::nothrow) CClassFactory(&g_Templates[i]);
        if (factory == nullptr)
            return E_OUTOFMEMORY;
        factory->AddRef();
        *ppv = static_cast<IClassFactory*>(factory);
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

MODULE_EXPORT HRESULT DllCanUnloadNow()
{
    const ComModuleState& module = ThisComModule();
    return module.locks.load(std::memory_order_acquire) == 0 &&
                   module.objects.load(std::memory_order_acquire) == 0
               ? S_OK
               : S_FALSE;
}
