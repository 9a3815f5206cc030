// orvex-regsvr [-u] MODULE: registers an in-process server module (calls its
// DllRegisterServer) or, with -u, unregisters it (DllUnregisterServer). The
// registry is the one CoCreateInstance reads (ORVEX_REGISTRY, else the user's
// configuration folder).
//
// Exit status: 0 done, 1 the call failed, 2 usage, 3 the module does not load
// or lacks the export.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "com/com.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: orvex-regsvr [-u] MODULE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    const char* module = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0 && !unregister)
            unregister = true;
        else if (argv[i][0] != '-' && module == nullptr)
            module = argv[i];
        else
            return Usage();
    }
    if (module == nullptr)
        return Usage();

    // The module registers the path it was loaded from, so load it by its
    // full name.
    char path[PATH_MAX];
    if (::realpath(module, path) == nullptr) {
        std::fprintf(stderr, "orvex-regsvr: %s: %s\n", module, std::strerror(errno));
        return 3;
    }
    void* handle = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "orvex-regsvr: %s\n", ::dlerror());
        return 3;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto call = reinterpret_cast<LPFNREGISTERSERVER>(::dlsym(handle, entry));
    if (call == nullptr) {
        std::fprintf(stderr, "orvex-regsvr: %s has no %s\n", path, entry);
        ::dlclose(handle);
        return 3;
    }
    HRESULT hr = call();
    if (FAILED(hr)) {
        std::fprintf(stderr, "orvex-regsvr: %s in %s: FAILED(lastHRESULT=0x%x)\n", entry, path,
                     static_cast<unsigned>(hr));
        return 1;
    }
    std::printf("%s in %s succeeded.\n", entry, path);
    if (!unregister && FAILED(CoCheckModuleTrust(path)))
        std::fprintf(stderr,
                     "orvex-regsvr: warning: %s will not be loaded: it must be a regular file "
                     "owned by you or root and writable by neither group nor others\n",
                     path);
    // The module stays loaded until exit: its objects may still be counted.
    return 0;
}
