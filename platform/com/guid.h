// Class and interface identifiers: 128-bit GUIDs with their braced text form
// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#define COM_API __attribute__((visibility("default")))

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];

    friend constexpr bool operator==(const GUID& a, const GUID& b)
    {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
            return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i])
                return false;
        return true;
    }
};

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{};
inline constexpr CLSID CLSID_NULL{};

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

// The braced form in upper case, 38 characters.
COM_API std::string GuidToString(REFGUID guid);
// Reads exactly the braced form (either letter case, nothing before or after).
// Returns false and leaves *guid alone when the text is anything else.
COM_API bool GuidFromString(std::string_view text, GUID* guid);
