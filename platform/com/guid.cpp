#include "guid.h"

#include <cstdio>

std::string GuidToString(REFGUID g)
{
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool GuidFromString(std::string_view text, GUID* guid)
{
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: 32 digits in groups of 8-4-4-4-12.
    static constexpr char kShape[] = "{........-....-....-....-............}";
    if (guid == nullptr || text.size() != sizeof kShape - 1)
        return false;
    std::uint8_t bytes[16];
    int nibbles = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (kShape[i] != '.') {
            if (text[i] != kShape[i])
                return false;
            continue;
        }
        int d = HexDigit(text[i]);
        if (d < 0)
            return false;
        if (nibbles % 2 == 0)
            bytes[nibbles / 2] = static_cast<std::uint8_t>(d << 4);
        else
            bytes[nibbles / 2] |= static_cast<std::uint8_t>(d);
        ++nibbles;
    }
    GUID g;
    g.Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
              (std::uint32_t{bytes[2]} << 8) | bytes[3];
    g.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = bytes[8 + i];
    *guid = g;
    return true;
}
