// The virtual device declarations. Every field is checked here, so that the
// rest of the platform can trust a VirtualDevice.
#include "virtual_devices.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

namespace {

constexpr const char* kPatterns[] = {"smpte", "smpte75", "snow",  "black",      "white",
                                     "red",   "green",   "blue",  "checkers-1", "checkers-8",
                                     "ball",  "bar"};
constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kMaxSizes = 64;
constexpr std::size_t kMaxCrossbarInputs = 16;
constexpr std::size_t kMaxFileBytes = 1 << 20;

std::string_view Trim(std::string_view s)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Split(std::string_view s, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = s.find(separator);
        parts.push_back(Trim(s.substr(0, at)));
        if (at == std::string_view::npos)
            return parts;
        s.remove_prefix(at + 1);
    }
}

bool ValidUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t more = 0;
        if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if ((c & 0xF0) == 0xE0)
            more = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3;
        else if (c >= 0x80)
            return false;
        if (i + more >= s.size() && more > 0)
            return false;
        for (std::size_t k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += more + 1;
    }
    return true;
}

bool ParseInt(std::string_view s, long long lo, long long hi, int* out)
{
    long long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi)
        return false;
    *out = static_cast<int>(v);
    return true;
}

bool ParseBool(std::string_view s, bool* out)
{
    if (s == "yes" || s == "true" || s == "1")
        return *out = true, true;
    if (s == "no" || s == "false" || s == "0")
        return *out = false, true;
    return false;
}

bool ParseSizes(std::string_view s, std::vector<FrameSize>* sizes)
{
    sizes->clear();
    if (s == "any")
        return true;
    for (std::string_view item : Split(s, ',')) {
        const std::size_t x = item.find('x');
        FrameSize size;
        if (x == std::string_view::npos ||
            !ParseInt(item.substr(0, x), 1, kMaxVirtualFrameSide, &size.width) ||
            !ParseInt(item.substr(x + 1), 1, kMaxVirtualFrameSide, &size.height) ||
            sizes->size() == kMaxSizes)
            return false;
        sizes->push_back(size);
    }
    return true;
}

}  // namespace

bool VirtualDevice::Accepts(int width, int height) const
{
    if (sizes.empty())
        return width >= 1 && height >= 1 && width <= kMaxVirtualFrameSide &&
               height <= kMaxVirtualFrameSide;
    for (const FrameSize& s : sizes)
        if (s.width == width && s.height == height)
            return true;
    return false;
}

bool ParseVirtualDeviceLine(std::string_view line, VirtualDevice* device, std::string* error)
{
    error->clear();
    line = Trim(line);
    if (line.empty() || line.front() == '#')
        return false;
    const auto fail = [error](std::string why) {
        *error = std::move(why);
        return false;
    };

    VirtualDevice d;
    std::set<std::string, std::less<>> seen;
    bool haveKind = false, haveName = false;
    std::string script, file, pattern;
    for (std::string_view field : Split(line, ';')) {
        if (field.empty())
            continue;  // a trailing or doubled separator
        const std::size_t eq = field.find('=');
        if (eq == std::string_view::npos)
            return fail("field \"" + std::string(field) + "\" is not key=value");
        const std::string key(Trim(field.substr(0, eq)));
        const std::string_view value = Trim(field.substr(eq + 1));
        if (!seen.insert(key).second)
            return fail("field \"" + key + "\" given twice");
        bool ok = true;
        if (key == "name") {
            ok = !value.empty() && value.size() <= kMaxNameBytes && ValidUtf8(value);
            for (char c : value)
                ok = ok && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
            d.name = value;
            haveName = true;
            if (!ok)
                return fail("name must be 1 to 255 bytes of UTF-8 text without control characters");
        } else if (key == "kind") {
            haveKind = true;
            if (value == "pattern")
                d.kind = VirtualKind::Pattern;
            else if (value == "file")
                d.kind = VirtualKind::File;
            else if (value == "demo")
                d.kind = VirtualKind::Demo;
            else
                return fail("kind must be pattern, file or demo");
        } else if (key == "sizes") {
            if (!ParseSizes(value, &d.sizes))
                return fail(
                    "sizes must be \"any\" or up to 64 WxH pairs (1 to 4096) separated by commas");
        } else if (key == "pattern") {
            pattern = value;
            ok = false;
            for (const char* p : kPatterns)
                ok = ok || value == p;
            if (!ok)
                return fail("unknown pattern \"" + pattern + "\"");
        } else if (key == "file" || key == "script") {
            if (value.empty() || value.find('\0') != std::string_view::npos)
                return fail(key + " needs a path");
            (key == "file" ? file : script) = value;
        } else if (key == "crossbar") {
            for (std::string_view input : Split(value, ',')) {
                if (input.empty() || d.crossbarInputs.size() == kMaxCrossbarInputs ||
                    !ValidUtf8(input))
                    return fail(
                        "crossbar must list 1 to 16 non-empty input names separated by commas");
                d.crossbarInputs.emplace_back(input);
            }
        } else if (key == "video-port") {
            ok = ParseBool(value, &d.videoPort);
        } else if (key == "dv-decoder") {
            ok = ParseBool(value, &d.dvDecoder);
        } else if (key == "name-unreadable") {
            ok = ParseBool(value, &d.nameUnreadable);
        } else if (key == "compressed-only") {
            ok = ParseBool(value, &d.compressedOnly);
        } else if (key == "format") {
            if (value == "videoinfo")
                d.videoInfo = true;
            else if (value == "other")
                d.videoInfo = false;
            else
                return fail("format must be videoinfo or other");
        } else if (key == "fail-after") {
            if (!ParseInt(value, 1, 1000000000, &d.failAfter))
                return fail("fail-after must be a frame count from 1 to 1000000000");
        } else if (key == "stall-after") {
            if (!ParseInt(value, 1, 1000000000, &d.stallAfter))
                return fail("stall-after must be a frame count from 1 to 1000000000");
        } else {
            return fail("unknown field \"" + key + "\"");
        }
        if (!ok)
            return fail(key + " must be yes or no");
    }
    if (!haveName)
        return fail("no name");
    if (!haveKind)
        return fail("no kind");
    if (!pattern.empty() && d.kind != VirtualKind::Pattern)
        return fail("pattern belongs to kind pattern");
    if (!file.empty() && d.kind != VirtualKind::File)
        return fail("file belongs to kind file");
    if (!script.empty() && d.kind != VirtualKind::Demo)
        return fail("script belongs to kind demo");
    if (d.kind == VirtualKind::File && file.empty())
        return fail("kind file needs file=PATH");
    if (!pattern.empty())
        d.pattern = pattern;
    d.path = d.kind == VirtualKind::File ? file : script;
    *device = std::move(d);
    return true;
}

std::vector<VirtualDevice> ParseVirtualDevices(std::string_view text, const std::string& where)
{
    std::vector<VirtualDevice> devices;
    int number = 0;
    for (std::string_view line : Split(text, '\n')) {
        ++number;
        VirtualDevice d;
        std::string error;
        if (ParseVirtualDeviceLine(line, &d, &error))
            devices.push_back(std::move(d));
        else if (!error.empty())
            std::fprintf(stderr, "%s:%d: %s; line skipped\n", where.c_str(), number, error.c_str());
    }
    return devices;
}

std::vector<VirtualDevice> LoadVirtualDevices()
{
    const char* path = std::getenv("ORVEX_VIRTUAL_DEVICES");
    if (path == nullptr || *path == '\0')
        return {};
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "ORVEX_VIRTUAL_DEVICES: cannot read %s\n", path);
        return {};
    }
    std::string text;
    text.resize(kMaxFileBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxFileBytes) {
        std::fprintf(stderr, "ORVEX_VIRTUAL_DEVICES: %s is larger than 1 MiB; no virtual device\n",
                     path);
        return {};
    }
    return ParseVirtualDevices(text, path);
}
