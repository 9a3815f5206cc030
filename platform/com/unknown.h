// The object model's core: IUnknown, the non-delegating IUnknown that makes
// aggregation possible, and CUnknown, the base that implements both.
//
// Every object counts itself in the module whose code constructed it, so
// that a module can tell whether it may be unloaded. The count is reached
// through ThisComModule(), a hidden inline function: each shared object that
// includes this header has its own copy, and a constructor's default argument
// is evaluated in the constructing (most derived) class's module.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "guid.h"
#include "hresult.h"

using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using BOOL = int;
#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

// {5D9871CE-BE52-4601-A71A-07D67984938A}
inline constexpr IID IID_IUnknown{0x5D9871CE, 0xBE52, 0x4601,
                                  {0xA7, 0x1A, 0x07, 0xD6, 0x79, 0x84, 0x93, 0x8A}};

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;  // objects go away through Release, never delete
};
using LPUNKNOWN = IUnknown*;

// The object's own IUnknown, which an aggregating outer object holds.
struct INonDelegatingUnknown {
    virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG NonDelegatingAddRef() = 0;
    virtual ULONG NonDelegatingRelease() = 0;

protected:
    ~INonDelegatingUnknown() = default;
};

// Live objects and server locks of one module. Objects of a debug module are
// also listed by name (DbgObjectNames).
struct ComModuleState {
    explicit ComModuleState(bool debugModule) : debug(debugModule) {}
    std::atomic<long> objects{0};
    std::atomic<long> locks{0};
    const bool debug;
};

#ifdef DEBUG
inline constexpr bool kComDebugModule = true;
#else
inline constexpr bool kComDebugModule = false;
#endif

[[gnu::visibility("hidden")]] inline ComModuleState& ThisComModule()
{
    static ComModuleState state(kComDebugModule);
    return state;
}

// Counts the object in its module for as long as it lives.
class COM_API CBaseObject {
public:
    explicit CBaseObject(const char* name, ComModuleState& module = ThisComModule());
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;
    virtual ~CBaseObject();

    const char* Name() const { return m_pName; }
    ComModuleState& Module() const { return m_module; }

private:
    const char* m_pName;
    ComModuleState& m_module;
    std::uint64_t m_dbgCookie = 0;
};

class COM_API CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    // outer: the aggregating object, or null when the object stands alone.
    CUnknown(const char* name, LPUNKNOWN outer, ComModuleState& module = ThisComModule());
    ~CUnknown() override;

    // Answers IID_IUnknown with the non-delegating IUnknown; anything else
    // E_NOINTERFACE. Derived classes answer their interfaces and pass the
    // rest here.
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG NonDelegatingAddRef() override;
    // Deletes the object when the count reaches zero.
    ULONG NonDelegatingRelease() override;

    // Where the IUnknown methods of every interface of the object go: the
    // outer object when aggregated, else the object's own IUnknown.
    LPUNKNOWN GetOwner() const { return m_pUnknown; }

protected:
    // Runs when the last reference goes, before any destructor: the object
    // is still whole here.
    virtual void OnFinalRelease() {}

private:
    // The non-delegating IUnknown seen through the IUnknown table.
    struct Inner final : IUnknown {
        explicit Inner(CUnknown* owner) : self(owner) {}
        HRESULT QueryInterface(REFIID riid, void** ppv) override
        {
            return self->NonDelegatingQueryInterface(riid, ppv);
        }
        ULONG AddRef() override { return self->NonDelegatingAddRef(); }
        ULONG Release() override { return self->NonDelegatingRelease(); }
        CUnknown* self;
    };

    Inner m_inner{this};
    LPUNKNOWN const m_pUnknown;
    std::atomic<long> m_cRef{0};
};

// Hands out an interface with one reference added.
COM_API HRESULT GetInterface(LPUNKNOWN pUnk, void** ppv);

// Releases the interface p holds, if any, and empties p.
template <class T>
void SafeRelease(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// A new object's interface riid in *ppv; the object goes again when it has
// no such interface (or ppv is null).
inline HRESULT HandOutNewObject(CUnknown* object, REFIID riid, void** ppv)
{
    object->NonDelegatingAddRef();
    const HRESULT hr = ppv ? object->NonDelegatingQueryInterface(riid, ppv) : E_POINTER;
    object->NonDelegatingRelease();
    return hr;
}

// The IUnknown methods of every interface of a CUnknown-derived class.
#define DECLARE_IUNKNOWN                                                        \
    HRESULT QueryInterface(REFIID riid, void** ppv) override                    \
    {                                                                           \
        return GetOwner()->QueryInterface(riid, ppv);                           \
    }                                                                           \
    ULONG AddRef() override { return GetOwner()->AddRef(); }                    \
    ULONG Release() override { return GetOwner()->Release(); }

// The names of the live objects of debug modules, oldest first; unnamed
// objects are listed as "".
COM_API std::vector<std::string> DbgObjectNames();
// A debug trap: the text on standard error. Execution goes on.
COM_API void DbgBreak(const char* text);
