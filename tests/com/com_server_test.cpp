// The module server over a template table of the test's own: the class
// factory's rules, aggregation, and the object and lock counts behind
// DllCanUnloadNow.
#include <gtest/gtest.h>

#include <new>

#include "dshow/setup.h"

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
extern "C" HRESULT DllCanUnloadNow();

namespace {

constexpr CLSID CLSID_Thing{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr CLSID CLSID_Other{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 9}};
constexpr IID IID_IThing{0x44444444, 0x5555, 0x6666, {1, 2, 3, 4, 5, 6, 7, 8}};

struct IThing : IUnknown {
    virtual int Value() = 0;
};

// How the next CreateInstance behaves.
enum class Creation { Normal, NullWithoutCode, NullWithCode, ObjectWithFailure };
Creation g_creation = Creation::Normal;
int g_alive = 0;

class CThing : public CUnknown, public IThing {
public:
    static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* phr)
    {
        switch (g_creation) {
        case Creation::NullWithoutCode: return nullptr;
        case Creation::NullWithCode: *phr = E_INVALIDARG; return nullptr;
        case Creation::ObjectWithFailure: *phr = E_ACCESSDENIED; break;
        case Creation::Normal: break;
        }
        return new (std::nothrow) CThing(outer);
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IThing)
            return GetInterface(static_cast<IThing*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    int Value() override { return 42; }
    ~CThing() override { --g_alive; }

private:
    explicit CThing(LPUNKNOWN outer) : CUnknown("Thing", outer) { ++g_alive; }
};

// An outer object that aggregates a CThing and answers IThing through it.
class Outer final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        ++queries;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    IUnknown* inner = nullptr;
    int refs = 1;
    int queries = 0;
};

IClassFactory* Factory()
{
    IClassFactory* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(CLSID_Thing, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    return factory;
}

class ComServer : public ::testing::Test {
protected:
    void SetUp() override { g_creation = Creation::Normal; }
    void TearDown() override
    {
        EXPECT_EQ(g_alive, 0);
        EXPECT_EQ(DllCanUnloadNow(), S_OK);
    }
};

}  // namespace

const CFactoryTemplate g_Templates[] = {
    {"Thing", &CLSID_Thing, CThing::CreateInstance, nullptr, nullptr},
};
const int g_cTemplates = 1;

TEST_F(ComServer, ClassObjectOnlyForTheTableAndOnlyAsFactory)
{
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(CLSID_Other, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(DllGetClassObject(CLSID_Thing, IID_IThing, &p), E_NOINTERFACE);
    EXPECT_EQ(DllGetClassObject(CLSID_Other, IID_IThing, &p), E_NOINTERFACE);
    EXPECT_EQ(DllGetClassObject(CLSID_Thing, IID_IClassFactory, nullptr), E_POINTER);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_Thing, IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    unknown->Release();
}

TEST_F(ComServer, FactoryPassesCreationFailuresOn)
{
    struct Case {
        Creation creation;
        HRESULT expected;
    };
    const Case cases[] = {
        {Creation::Normal, S_OK},
        {Creation::NullWithoutCode, E_OUTOFMEMORY},
        {Creation::NullWithCode, E_INVALIDARG},
        {Creation::ObjectWithFailure, E_ACCESSDENIED},  // and the object is deleted
    };
    IClassFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    for (const Case& c : cases) {
        g_creation = c.creation;
        IThing* thing = nullptr;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IThing, reinterpret_cast<void**>(&thing)),
                  c.expected);
        EXPECT_EQ(thing != nullptr, c.expected == S_OK);
        if (thing) {
            EXPECT_EQ(thing->Value(), 42);
            EXPECT_EQ(thing->Release(), 0u);
        }
        EXPECT_EQ(g_alive, 0);
    }
    factory->Release();
}

TEST_F(ComServer, AnswerThatFailsFreesTheNewObject)
{
    IClassFactory* factory = Factory();
    void* p = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(g_alive, 0);
    factory->Release();
}

TEST_F(ComServer, QueryInterfaceKeepsOneIdentity)
{
    IClassFactory* factory = Factory();
    IThing* thing = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IThing, reinterpret_cast<void**>(&thing)), S_OK);
    factory->Release();
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    ASSERT_EQ(thing->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a)), S_OK);
    ASSERT_EQ(a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b)), S_OK);
    EXPECT_EQ(a, b);
    IThing* again = nullptr;
    ASSERT_EQ(a->QueryInterface(IID_IThing, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, thing);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(thing->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(thing->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    again->Release();
    b->Release();
    a->Release();
    EXPECT_EQ(g_alive, 1);
    EXPECT_EQ(thing->Release(), 0u);
}

TEST_F(ComServer, AggregatedObjectDelegatesToItsOuter)
{
    IClassFactory* factory = Factory();
    Outer outer;
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IThing, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(g_alive, 0);

    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    factory->Release();
    // The inner IUnknown answers for the inner object; its interfaces count
    // and query on the outer.
    IThing* thing = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IThing, reinterpret_cast<void**>(&thing)), S_OK);
    EXPECT_EQ(outer.refs, 2);
    EXPECT_EQ(thing->Value(), 42);
    IUnknown* identity = nullptr;
    int before = outer.queries;
    ASSERT_EQ(thing->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(outer.queries, before + 1);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    thing->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(g_alive, 1);
    EXPECT_EQ(outer.inner->Release(), 0u);
}

TEST_F(ComServer, ModuleStaysWhileAnObjectOrALockLives)
{
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    IClassFactory* factory = Factory();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the factory is an object too
    IThing* thing = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IThing, reinterpret_cast<void**>(&thing)), S_OK);
    factory->LockServer(TRUE);
    factory->LockServer(TRUE);
    factory->Release();
    thing->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // two locks
    factory = Factory();
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // one lock
    factory = Factory();
    factory->LockServer(FALSE);
    factory->Release();
}
