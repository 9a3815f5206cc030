#include "unknown.h"

#include <cstdio>
#include <map>
#include <mutex>

namespace {

std::mutex g_dbgLock;
std::map<std::uint64_t, std::string> g_dbgObjects;  // cookie -> name
std::uint64_t g_dbgNextCookie = 1;

}  // namespace

CBaseObject::CBaseObject(const char* name, ComModuleState& module)
    : m_pName(name), m_module(module)
{
    m_module.objects.fetch_add(1, std::memory_order_relaxed);
    if (m_module.debug) {
        std::lock_guard lock(g_dbgLock);
        m_dbgCookie = g_dbgNextCookie++;
        g_dbgObjects.emplace(m_dbgCookie, name ? name : "");
    }
}

CBaseObject::~CBaseObject()
{
    if (m_dbgCookie != 0) {
        std::lock_guard lock(g_dbgLock);
        g_dbgObjects.erase(m_dbgCookie);
    }
    m_module.objects.fetch_sub(1, std::memory_order_release);
}

std::vector<std::string> DbgObjectNames()
{
    std::lock_guard lock(g_dbgLock);
    std::vector<std::string> names;
    for (const auto& [cookie, name] : g_dbgObjects)
        names.push_back(name);
    return names;
}

void DbgBreak(const char* text)
{
    std::fprintf(stderr, "Debug break: %s\n", text);
    std::fflush(stderr);
}

CUnknown::CUnknown(const char* name, LPUNKNOWN outer, ComModuleState& module)
    : CBaseObject(name, module), m_pUnknown(outer ? outer : &m_inner)
{
}

CUnknown::~CUnknown() = default;

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown)
        return GetInterface(&m_inner, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef()
{
    return static_cast<ULONG>(m_cRef.fetch_add(1, std::memory_order_relaxed) + 1);
}

ULONG CUnknown::NonDelegatingRelease()
{
    long n = m_cRef.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0) {
        // Guards against a second delete should the destructor hand out and
        // release a reference of its own.
        m_cRef.store(1, std::memory_order_relaxed);
        OnFinalRelease();
        delete this;
        return 0;
    }
    return static_cast<ULONG>(n > 0 ? n : 1);
}

HRESULT GetInterface(LPUNKNOWN pUnk, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = pUnk;
    pUnk->AddRef();
    return S_OK;
}
