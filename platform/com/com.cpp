#include "com.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "registry.h"

namespace {

struct LoadedModule {
    std::string path;
    void* handle;
    LPFNGETCLASSOBJECT getClassObject;
    LPFNCANUNLOADNOW canUnloadNow;  // may be null: such a module stays
};

// Guards the modules and the initialisation count. Recursive: a module's
// factory may itself create objects by class id.
std::recursive_mutex g_lock;
std::vector<LoadedModule> g_modules;
int g_initCount = 0;

HRESULT LoadModule(const std::string& path, LPFNGETCLASSOBJECT* getClassObject)
{
    for (const LoadedModule& m : g_modules) {
        if (m.path == path) {
            *getClassObject = m.getClassObject;
            return S_OK;
        }
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return CO_E_ERRORINDLL;
    auto get = reinterpret_cast<LPFNGETCLASSOBJECT>(::dlsym(handle, "DllGetClassObject"));
    if (get == nullptr) {
        ::dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(::dlsym(handle, "DllCanUnloadNow"));
    g_modules.push_back({path, handle, get, canUnload});
    *getClassObject = get;
    return S_OK;
}

}  // namespace

std::string ClassKeyPath(REFCLSID clsid)
{
    return "HKEY_CLASSES_ROOT\\CLSID\\" + GuidToString(clsid);
}

HRESULT CoInitialize(void*)
{
    std::lock_guard lock(g_lock);
    return g_initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    std::lock_guard lock(g_lock);
    if (g_initCount > 0 && --g_initCount == 0)
        CoFreeUnusedLibraries();
}

void CoFreeUnusedLibraries()
{
    std::lock_guard lock(g_lock);
    for (auto it = g_modules.begin(); it != g_modules.end();) {
        if (it->canUnloadNow != nullptr && it->canUnloadNow() == S_OK) {
            ::dlclose(it->handle);
            it = g_modules.erase(it);
        } else {
            ++it;
        }
    }
}

HRESULT CoCheckModuleTrust(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return E_ACCESSDENIED;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)
                                                   : E_ACCESSDENIED;
    if (!S_ISREG(st.st_mode))  // a symbolic link, a folder, a device, ...
        return E_ACCESSDENIED;
    if (st.st_uid != ::geteuid() && st.st_uid != 0)
        return E_ACCESSDENIED;
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return E_ACCESSDENIED;
    return S_OK;
}

namespace {
std::vector<std::pair<CLSID, LPFNCREATEBUILTIN>>& BuiltinClasses()
{
    static std::vector<std::pair<CLSID, LPFNCREATEBUILTIN>> classes;
    return classes;
}
}  // namespace

void CoRegisterBuiltinClass(REFCLSID clsid, LPFNCREATEBUILTIN create)
{
    std::lock_guard lock(g_lock);
    BuiltinClasses().emplace_back(clsid, create);
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD clsctx, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    std::unique_lock lock(g_lock);
    if (g_initCount == 0)
        return CO_E_NOTINITIALIZED;
    if ((clsctx & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    for (const auto& [id, create] : BuiltinClasses()) {
        if (id == clsid) {
            lock.unlock();
            return outer ? CLASS_E_NOAGGREGATION : create(riid, ppv);
        }
    }

    RegKey root;
    HRESULT hr = RegistryRead(&root);
    if (FAILED(hr))
        return hr;
    const RegKey* server = root.Find(ClassKeyPath(clsid) + "\\InprocServer32");
    if (server == nullptr || !server->defaultValue || server->defaultValue->empty())
        return REGDB_E_CLASSNOTREG;
    const std::string& path = *server->defaultValue;
    hr = CoCheckModuleTrust(path);
    if (FAILED(hr))
        return hr;

    LPFNGETCLASSOBJECT getClassObject = nullptr;
    hr = LoadModule(path, &getClassObject);
    if (FAILED(hr))
        return hr;
    IClassFactory* factory = nullptr;
    hr = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    if (factory == nullptr)
        return E_UNEXPECTED;
    hr = factory->CreateInstance(outer, riid, ppv);
    factory->Release();
    return hr;
}
