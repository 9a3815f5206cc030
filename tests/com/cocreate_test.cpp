// CoCreateInstance from class id to object, and every way it refuses: no
// registration, a registry or a module that fails the trust checks, a
// damaged registry, a file that is no server.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "com/com.h"
#include "com/registry.h"
#include "orvex_proxy.h"
#include "temp_registry.h"

namespace {

HRESULT Create(IOrvexProxy** proxy)
{
    return CoCreateInstance(CLSID_OrvexProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IOrvexProxy,
                            reinterpret_cast<void**>(proxy));
}

// Points the class's InprocServer32 at path, as registration would.
void RegisterPath(const std::string& path)
{
    ASSERT_EQ(RegistryUpdate([&](RegKey& root) {
                  root.Create(ClassKeyPath(CLSID_OrvexProxy) + "\\InprocServer32")->defaultValue =
                      path;
                  return S_OK;
              }),
              S_OK);
}

bool Loaded(const std::string& path)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

class CoCreate : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override { CoUninitialize(); }
    TempRegistry registry;
};

TEST(CoCreateUninitialised, FailsBeforeCoInitialize)
{
    IOrvexProxy* proxy = reinterpret_cast<IOrvexProxy*>(1);
    EXPECT_EQ(Create(&proxy), CO_E_NOTINITIALIZED);
    EXPECT_EQ(proxy, nullptr);
}

TEST_F(CoCreate, InitialiseNests)
{
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
}

TEST_F(CoCreate, RegisteredModuleMakesTheObjectAndUnloadsAfterIt)
{
    std::string module = registry.CopyModule(PROXY_MODULE, "OrvexProxy.ax");
    ASSERT_EQ(CallRegistration(module, true), S_OK);
    IOrvexProxy* proxy = nullptr;
    ASSERT_EQ(Create(&proxy), S_OK);
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(proxy->SetCallback(nullptr), S_OK);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(Loaded(module)) << "unloaded under a live object";
    proxy->Release();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(Loaded(module));
    // And loads again on demand.
    ASSERT_EQ(Create(&proxy), S_OK);
    proxy->Release();
}

TEST_F(CoCreate, ArgumentsAreChecked)
{
    EXPECT_EQ(CoCreateInstance(CLSID_OrvexProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IOrvexProxy,
                               nullptr),
              E_POINTER);
    std::string module = registry.CopyModule(PROXY_MODULE, "OrvexProxy.ax");
    RegisterPath(module);
    IOrvexProxy* proxy = reinterpret_cast<IOrvexProxy*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_OrvexProxy, nullptr, 0x4 /* local server */, IID_IOrvexProxy,
                               reinterpret_cast<void**>(&proxy)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(proxy, nullptr);
}

// Each case leaves the registry (and the files it names) in a state that
// must make CoCreateInstance fail with the given code, cleanly.
TEST_F(CoCreate, RefusesWhatItMustNotLoad)
{
    namespace fs = std::filesystem;
    const std::string good = registry.CopyModule(PROXY_MODULE, "OrvexProxy.ax");
    const fs::path folder = registry.Folder();
    struct Case {
        const char* name;
        std::function<void()> arrange;
        HRESULT expected;
    };
    const Case cases[] = {
        {"no registry file", [] {}, REGDB_E_CLASSNOTREG},
        {"class not registered",
         [] {
             RegistryUpdate([](RegKey& root) {
                 root.Create("HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}");
                 return S_OK;
             });
         },
         REGDB_E_CLASSNOTREG},
        {"empty server path", [] { RegisterPath(""); }, REGDB_E_CLASSNOTREG},
        {"relative path", [] { RegisterPath("OrvexProxy.ax"); }, E_ACCESSDENIED},
        {"dot relative path", [] { RegisterPath("./OrvexProxy.ax"); }, E_ACCESSDENIED},
        {"symbolic link",
         [&] {
             fs::create_symlink(good, folder / "link.ax");
             RegisterPath((folder / "link.ax").string());
         },
         E_ACCESSDENIED},
        {"group-writable module",
         [&] {
             std::string m = registry.CopyModule(PROXY_MODULE, "group.ax");
             chmod(m.c_str(), 0775);
             RegisterPath(m);
         },
         E_ACCESSDENIED},
        {"other-writable module",
         [&] {
             std::string m = registry.CopyModule(PROXY_MODULE, "other.ax");
             chmod(m.c_str(), 0757);
             RegisterPath(m);
         },
         E_ACCESSDENIED},
        {"folder", [&] { RegisterPath(folder.string()); }, E_ACCESSDENIED},
        {"missing module",
         [&] { RegisterPath((folder / "gone.ax").string()); },
         HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"not a shared object",
         [&] {
             std::ofstream(folder / "text.ax") << "not a module\n";
             chmod((folder / "text.ax").c_str(), 0755);
             RegisterPath((folder / "text.ax").string());
         },
         CO_E_ERRORINDLL},
        {"no DllGetClassObject",
         [&] { RegisterPath(registry.CopyModule(NOT_A_SERVER, "plain.so")); },
         CO_E_ERRORINDLL},
        {"group-writable registry",
         [&] {
             RegisterPath(good);
             chmod(registry.File().c_str(), 0660);
         },
         E_ACCESSDENIED},
        {"garbage registry",
         [&] {
             std::ofstream(registry.File(), std::ios::binary)
                 << std::string("\x7f" "ELF\0\x01[HKEY_CLASSES_ROOT\\CLSID\\{4387", 33);
             chmod(registry.File().c_str(), 0600);
         },
         REGDB_E_CLASSNOTREG},
        {"registry truncated inside the path",
         [&] {
             RegisterPath(good);
             std::string text;
             {
                 std::ifstream in(registry.File());
                 text.assign(std::istreambuf_iterator<char>(in), {});
             }
             text.resize(text.find(".ax\""));
             std::ofstream(registry.File(), std::ios::trunc) << text;
         },
         REGDB_E_CLASSNOTREG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(registry.File());
        c.arrange();
        IOrvexProxy* proxy = reinterpret_cast<IOrvexProxy*>(1);
        EXPECT_EQ(Create(&proxy), c.expected);
        EXPECT_EQ(proxy, nullptr);
    }
}

TEST_F(CoCreate, RefusesAModuleOfAnotherUser)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file away";
    std::string module = registry.CopyModule(PROXY_MODULE, "theirs.ax");
    ASSERT_EQ(chown(module.c_str(), 65534, 65534), 0);
    RegisterPath(module);
    IOrvexProxy* proxy = nullptr;
    EXPECT_EQ(Create(&proxy), E_ACCESSDENIED);
}

}  // namespace
