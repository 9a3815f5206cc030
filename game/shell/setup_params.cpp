#include "setup_params.h"

#include <array>
#include <cctype>
#include <climits>
#include <fstream>

#include "atomic_file.h"

namespace {

// No real parameter file comes near this; more is ignored.
constexpr std::size_t kMaxFileBytes = 4096;

// The file's fields in order.
std::array<int*, 13> Fields(SetupParams& p)
{
    return {&p.buttonThresh,   &p.buttonSensitivityPercent,
            &p.yThresh,        &p.uThresh,
            &p.vThresh,        &p.dilateIterations,
            &p.erode,          &p.dilate,
            &p.multipleShapes, &p.autoReset,
            &p.resetTime,      &p.flip,
            &p.cleanSize};
}

// Reads one "%d": blanks, an optional sign, decimal digits. Values beyond the
// int range saturate. Returns false when no number stands at `pos`.
bool ReadInt(const std::string& text, std::size_t& pos, int& value)
{
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    std::size_t p = pos;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-'))
        negative = text[p++] == '-';
    if (p >= text.size() || !std::isdigit(static_cast<unsigned char>(text[p])))
        return false;
    long long v = 0;
    for (; p < text.size() && std::isdigit(static_cast<unsigned char>(text[p])); ++p)
        if (v <= INT_MAX)
            v = v * 10 + (text[p] - '0');
    v = negative ? -v : v;
    value = static_cast<int>(v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : v);
    pos = p;
    return true;
}

}  // namespace

SetupFileRead ReadSetupFile(SetupParams& params, const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        params = SetupParams{};
        return SetupFileRead::Missing;
    }
    std::string text(kMaxFileBytes, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));

    // The sensitivity is read through a temporary that starts at 0.
    params.buttonSensitivityPercent = 0;
    std::size_t pos = 0;
    for (int* field : Fields(params)) {
        int value;
        if (!ReadInt(text, pos, value))
            return SetupFileRead::Partial;
        *field = value;
    }
    return SetupFileRead::Complete;
}

std::string FormatSetupLine(const SetupParams& params)
{
    SetupParams copy = params;
    std::string line;
    for (int* field : Fields(copy)) {
        if (!line.empty())
            line += ' ';
        line += std::to_string(*field);
    }
    return line;
}

bool WriteSetupFile(const SetupParams& params, const std::string& path)
{
    return WriteFileAtomically(path, FormatSetupLine(params));
}
