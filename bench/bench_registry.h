// A scratch registry with the frame-tap module registered, for one benchmark
// run: the capture library and the benchmarks make the filter by class id.
#pragma once

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "com/com.h"

// Returns the scratch folder; aborts when the module cannot be registered.
inline std::string RegisterFrameTapModule(const char* modulePath)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-bench-XXXXXX").string();
    std::filesystem::path folder = mkdtemp(pattern.data());
    std::filesystem::path module = folder / "OrvexProxy.ax";
    std::filesystem::copy_file(modulePath, module);
    chmod(module.c_str(), 0755);
    setenv("ORVEX_REGISTRY", (folder / "registry").c_str(), 1);
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto reg = handle ? reinterpret_cast<LPFNREGISTERSERVER>(dlsym(handle, "DllRegisterServer"))
                      : nullptr;
    if (reg == nullptr || FAILED(reg()))
        std::abort();
    return folder.string();
}
