// The frame-tap modules as a host sees them: registration, the class
// object, unloading, the filter's interfaces, and what sets the debug module
// apart. Every case runs on the release and on the debug module.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cstring>
#include <string>

#include "com/registry.h"
#include "dshow/filters.h"
#include "orvex_proxy.h"
#include "temp_registry.h"

namespace {

struct ModuleCase {
    const char* file;
    bool debug;
};

class ProxyModule : public ::testing::TestWithParam<ModuleCase> {
protected:
    void SetUp() override
    {
        module_ = registry_.CopyModule(GetParam().file, "module.ax");
        handle_ = dlopen(module_.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        getClassObject_ = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(handle_, "DllGetClassObject"));
        canUnloadNow_ = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(handle_, "DllCanUnloadNow"));
        register_ = reinterpret_cast<LPFNREGISTERSERVER>(dlsym(handle_, "DllRegisterServer"));
        unregister_ = reinterpret_cast<LPFNREGISTERSERVER>(dlsym(handle_, "DllUnregisterServer"));
        ASSERT_TRUE(getClassObject_ && canUnloadNow_ && register_ && unregister_);
    }
    void TearDown() override
    {
        if (canUnloadNow_) {
            EXPECT_EQ(canUnloadNow_(), S_OK);
        }
        if (handle_)
            dlclose(handle_);
    }

    IClassFactory* Factory()
    {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(getClassObject_(CLSID_OrvexProxy, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory)),
                  S_OK);
        return factory;
    }
    IOrvexProxy* NewProxy()
    {
        IClassFactory* factory = Factory();
        IOrvexProxy* proxy = nullptr;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IOrvexProxy,
                                          reinterpret_cast<void**>(&proxy)),
                  S_OK);
        factory->Release();
        return proxy;
    }

    RegKey Registry()
    {
        RegKey root;
        EXPECT_EQ(RegistryRead(&root), S_OK);
        return root;
    }

    TempRegistry registry_;
    std::string module_;
    void* handle_ = nullptr;
    LPFNGETCLASSOBJECT getClassObject_ = nullptr;
    LPFNCANUNLOADNOW canUnloadNow_ = nullptr;
    LPFNREGISTERSERVER register_ = nullptr;
    LPFNREGISTERSERVER unregister_ = nullptr;
};

const std::string kClassKey = "HKEY_CLASSES_ROOT\\CLSID\\{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}";
const std::string kInstances =
    "HKEY_CLASSES_ROOT\\CLSID\\{4A1631D5-1A87-4C85-A5A9-E2D37BC27155}\\Instance";

TEST_P(ProxyModule, RegistersClassServerAndFilterRecord)
{
    ASSERT_EQ(register_(), S_OK);
    RegKey root = Registry();
    const RegKey* cls = root.Find(kClassKey);
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->defaultValue, "OrvexProxy Filter");
    const RegKey* server = root.Find(kClassKey + "\\InprocServer32");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->defaultValue, module_);
    ASSERT_NE(server->GetString("ThreadingModel"), nullptr);
    EXPECT_EQ(*server->GetString("ThreadingModel"), "Both");

    const RegKey* record = root.Find(kInstances + "\\{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(*record->GetString("FriendlyName"), "OrvexProxy Filter");
    EXPECT_EQ(record->GetDword("Merit"), 0x200000u);
    struct Pin {
        const char* key;
        const char* name;
        DWORD output;
    };
    for (const Pin& pin : {Pin{"Pins\\0", "Input", 0}, Pin{"Pins\\1", "Output", 1}}) {
        const RegKey* p = record->Find(pin.key);
        ASSERT_NE(p, nullptr) << pin.key;
        EXPECT_EQ(*p->GetString("Name"), pin.name);
        EXPECT_EQ(p->GetDword("Output"), pin.output);
        for (const char* flag : {"Rendered", "ZeroInstances", "Many"})
            EXPECT_EQ(p->GetDword(flag), 0u) << pin.key << " " << flag;
        EXPECT_EQ(*p->GetString("ConnectsToFilter"), GuidToString(CLSID_NULL));
        EXPECT_EQ(*p->GetString("ConnectsToPin"), "");
        const RegKey* type = p->Find("Types\\0");
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(*type->GetString("MajorType"), GuidToString(GUID_NULL));
        EXPECT_EQ(*type->GetString("SubType"), GuidToString(GUID_NULL));
        EXPECT_EQ(p->Find("Types\\1"), nullptr);
    }
    EXPECT_EQ(record->Find("Pins\\2"), nullptr);
}

TEST_P(ProxyModule, RegisteringTwiceLeavesOneRegistration)
{
    ASSERT_EQ(register_(), S_OK);
    // A stale extra pin of an earlier registration must go with it.
    RegistryUpdate([](RegKey& root) {
        root.Create(kInstances + "\\{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}\\Pins\\7");
        return S_OK;
    });
    ASSERT_EQ(register_(), S_OK);
    RegKey root = Registry();
    const RegKey* instances = root.Find(kInstances);
    ASSERT_NE(instances, nullptr);
    EXPECT_EQ(instances->subkeys.size(), 1u);
    EXPECT_EQ(root.Find(kInstances + "\\{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}\\Pins\\7"), nullptr);
    EXPECT_EQ(root.Find("HKEY_CLASSES_ROOT\\CLSID")->subkeys.size(), 2u);  // class + category
}

TEST_P(ProxyModule, UnregisteringRemovesBothAndNeverRegisteredSucceeds)
{
    EXPECT_EQ(unregister_(), S_OK);  // nothing there
    ASSERT_EQ(register_(), S_OK);
    EXPECT_EQ(unregister_(), S_OK);
    RegKey root = Registry();
    EXPECT_EQ(root.Find(kClassKey), nullptr);
    EXPECT_EQ(root.Find(kInstances + "\\{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}"), nullptr);
    EXPECT_EQ(unregister_(), S_OK);
}

TEST_P(ProxyModule, RegistrationFailureIsReturned)
{
    // A registry that others may write is refused, and nothing is written.
    ASSERT_EQ(register_(), S_OK);
    chmod(registry_.File().c_str(), 0666);
    EXPECT_EQ(unregister_(), E_ACCESSDENIED);
    EXPECT_EQ(register_(), E_ACCESSDENIED);
}

TEST_P(ProxyModule, ClassObjectAnswers)
{
    constexpr CLSID other{0x4387FA20, 0x9A5D, 0x4981, {0xA3, 0xFE, 0x4F, 0xE9, 0xA0, 0xC6, 0xE6, 0x04}};
    void* p = nullptr;
    EXPECT_EQ(getClassObject_(other, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(getClassObject_(CLSID_OrvexProxy, IID_IOrvexProxy, &p), E_NOINTERFACE);
    EXPECT_EQ(getClassObject_(CLSID_OrvexProxy, IID_IBaseFilter, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    for (const IID* iid : {&IID_IUnknown, &IID_IClassFactory}) {
        IUnknown* unknown = nullptr;
        ASSERT_EQ(getClassObject_(CLSID_OrvexProxy, *iid, reinterpret_cast<void**>(&unknown)), S_OK);
        unknown->Release();
    }
}

TEST_P(ProxyModule, CanUnloadOnlyWithoutObjectsAndLocks)
{
    EXPECT_EQ(canUnloadNow_(), S_OK);
    IOrvexProxy* proxy = NewProxy();
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(proxy->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
    proxy->Release();
    EXPECT_EQ(canUnloadNow_(), S_FALSE);  // alive through its other interface
    filter->Release();
    EXPECT_EQ(canUnloadNow_(), S_OK);

    IClassFactory* factory = Factory();
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    factory = Factory();
    factory->LockServer(FALSE);
    factory->Release();
}

TEST_P(ProxyModule, InterfacesRoundTripToOneObject)
{
    IOrvexProxy* proxy = NewProxy();
    ASSERT_NE(proxy, nullptr);
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(proxy->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
    IOrvexProxy* back = nullptr;
    ASSERT_EQ(filter->QueryInterface(IID_IOrvexProxy, reinterpret_cast<void**>(&back)), S_OK);
    EXPECT_EQ(back, proxy);
    CLSID clsid{};
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_OrvexProxy);

    // One identity, whichever interface it is asked through.
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    ASSERT_EQ(proxy->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a)), S_OK);
    ASSERT_EQ(filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b)), S_OK);
    EXPECT_EQ(a, b);
    for (const IID* iid : {&IID_IMediaFilter, &IID_IPersist, &IID_IAMovieSetup}) {
        IUnknown* p = nullptr;
        ASSERT_EQ(proxy->QueryInterface(*iid, reinterpret_cast<void**>(&p)), S_OK);
        p->Release();
    }
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(proxy->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(proxy->QueryInterface(IID_IOrvexProxy, nullptr), E_POINTER);
    // The setup data reaches the mapper through the template, not the filter.
    IAMovieSetup* setup = nullptr;
    ASSERT_EQ(proxy->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup)), S_OK);
    EXPECT_EQ(setup->Register(), S_FALSE);
    setup->Release();

    a->Release();
    b->Release();
    back->Release();
    filter->Release();
    EXPECT_EQ(proxy->Release(), 0u);
}

TEST_P(ProxyModule, AggregationOnlyForItsIUnknown)
{
    IClassFactory* factory = Factory();
    struct Outer : IUnknown {
        HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG AddRef() override { return 2; }
        ULONG Release() override { return 1; }
    } outer;
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IOrvexProxy, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    IUnknown* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    EXPECT_EQ(inner->Release(), 0u);
    factory->Release();
}

TEST_P(ProxyModule, GetMediaTypeIsUnexpectedAndTrapsInDebug)
{
    IOrvexProxy* proxy = NewProxy();
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(proxy->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
    auto* base = static_cast<CTransInPlaceFilter*>(filter);
    CMediaType mt;
    testing::internal::CaptureStderr();
    EXPECT_EQ(base->GetMediaType(0, &mt), E_UNEXPECTED);
    std::string said = testing::internal::GetCapturedStderr();
    bool trapped = said.find("CTransInPlaceFilter::GetMediaType should never be called") !=
                   std::string::npos;
    EXPECT_EQ(trapped, GetParam().debug) << said;
    EXPECT_EQ(base->CheckTransform(&mt, &mt), S_OK);
    EXPECT_EQ(base->GetSetupData(), nullptr);
    filter->Release();
    proxy->Release();
}

TEST_P(ProxyModule, DebugModuleListsItsObjectsByName)
{
    auto count = [] {
        int n = 0;
        for (const std::string& name : DbgObjectNames())
            n += name == "OrvexProxy";
        return n;
    };
    int before = count();
    IOrvexProxy* proxy = NewProxy();
    EXPECT_EQ(count() - before, GetParam().debug ? 1 : 0);
    proxy->Release();
    EXPECT_EQ(count(), before);
}

// The version block lives in the module's package-metadata note.
TEST_P(ProxyModule, CarriesItsVersionInformation)
{
    struct Search {
        const char* path;
        std::string json;
    } search{module_.c_str(), {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            if (info->dlpi_name == nullptr || std::strcmp(info->dlpi_name, s->path) != 0)
                return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                if (ph.p_type != PT_NOTE)
                    continue;
                auto* p = reinterpret_cast<const char*>(info->dlpi_addr + ph.p_vaddr);
                const char* end = p + ph.p_memsz;
                while (p + 12 <= end) {
                    auto* n = reinterpret_cast<const ElfW(Nhdr)*>(p);
                    const char* name = p + 12;
                    const char* desc = name + ((n->n_namesz + 3) & ~3u);
                    if (n->n_type == 0xcafe1a7e && std::strcmp(name, "FDO") == 0)
                        s->json.assign(desc, strnlen(desc, n->n_descsz));
                    p = desc + ((n->n_descsz + 3) & ~3u);
                }
            }
            return 1;
        },
        &search);
    ASSERT_FALSE(search.json.empty());
    for (const char* field :
         {"\"version\":\"1.00\"", "\"fileVersion\":\"1.0.0.0\"", "\"productVersion\":\"1.00\"",
          "\"FileDescription\":\"ORVEX Capture\"", "\"ProductName\":\"ORVEX Capture\"",
          "\"language\":\"0409\"", "\"codepage\":\"1252\"", "\"OLESelfRegister\":\"\"",
          "\"prerelease\"", "\"privatebuild\""})
        EXPECT_NE(search.json.find(field), std::string::npos) << field << " in " << search.json;
    EXPECT_EQ(search.json.find("\"debug\"") != std::string::npos, GetParam().debug);
}

INSTANTIATE_TEST_SUITE_P(Modules, ProxyModule,
                         ::testing::Values(ModuleCase{PROXY_MODULE, false},
                                           ModuleCase{PROXY_DEBUG_MODULE, true}),
                         [](const auto& info) { return info.param.debug ? "Debug" : "Release"; });

}  // namespace
