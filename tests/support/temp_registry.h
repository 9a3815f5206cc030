// A registry of the test's own: a scratch folder whose "registry" file
// ORVEX_REGISTRY names for the test's lifetime, and copies of modules placed
// there with the permissions a trusted module has (0755, whatever the umask
// of the build).
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "com/com.h"

class TempRegistry {
public:
    TempRegistry()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "orvex-registry-XXXXXX").string();
        folder_ = mkdtemp(pattern.data());
        const char* old = std::getenv("ORVEX_REGISTRY");
        hadPrevious_ = old != nullptr;
        if (old)
            previous_ = old;
        setenv("ORVEX_REGISTRY", File().c_str(), 1);
    }
    ~TempRegistry()
    {
        if (hadPrevious_)
            setenv("ORVEX_REGISTRY", previous_.c_str(), 1);
        else
            unsetenv("ORVEX_REGISTRY");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::filesystem::path& Folder() const { return folder_; }
    std::string File() const { return (folder_ / "registry").string(); }

    // Copies a module into the folder as name, mode 0755.
    std::string CopyModule(const std::string& from, const std::string& name) const
    {
        std::filesystem::path to = folder_ / name;
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
        chmod(to.c_str(), 0755);
        return to.string();
    }

private:
    std::filesystem::path folder_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Calls a module's DllRegisterServer or DllUnregisterServer; the module
// stays loaded, as it would in the registering tool.
inline HRESULT CallRegistration(const std::string& module, bool doRegister)
{
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        ADD_FAILURE() << dlerror();
        return E_FAIL;
    }
    auto call = reinterpret_cast<LPFNREGISTERSERVER>(
        dlsym(handle, doRegister ? "DllRegisterServer" : "DllUnregisterServer"));
    HRESULT hr = call ? call() : E_FAIL;
    dlclose(handle);
    return hr;
}
