// Globally unique identifiers in the platform's binary layout.
#pragma once

#include <cstdint>
#include <cstring>

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};

inline bool operator==(const GUID& a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline constexpr GUID GUID_NULL{};
