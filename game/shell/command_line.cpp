#include "command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long kMaxFrames = 1000000000;

// The options that take a value, as "--name VALUE" or "--name=VALUE".
bool TakesValue(const char* option)
{
    return std::strcmp(option, "--record") == 0 || std::strcmp(option, "--frames") == 0;
}

// Splits "--name=value" into name and value; value is null without '='.
void SplitOption(const char* arg, std::string& name, const char*& value)
{
    const char* eq = std::strchr(arg, '=');
    name = eq ? std::string(arg, eq) : std::string(arg);
    value = eq ? eq + 1 : nullptr;
}

bool ParseFrames(const char* text, long& frames)
{
    if (text == nullptr || *text < '0' || *text > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || n < 1 || n > kMaxFrames)
        return false;
    frames = n;
    return true;
}

CommandLine Bad(std::string error)
{
    CommandLine c;
    c.action = CommandLine::kBad;
    c.error = std::move(error);
    return c;
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv)
{
    CommandLine c;
    for (int i = 1; i < argc; ++i) {
        std::string name;
        const char* value = nullptr;
        SplitOption(argv[i], name, value);
        if (TakesValue(name.c_str()) && value == nullptr) {
            if (i + 1 >= argc)
                return Bad(name + " needs a value");
            value = argv[++i];
        } else if (!TakesValue(name.c_str()) && value != nullptr) {
            return Bad(name + " takes no value");
        }

        if (name == "--help" || name == "-h") {
            c.action = CommandLine::kHelp;
        } else if (name == "--version") {
            if (c.action != CommandLine::kHelp)
                c.action = CommandLine::kVersion;
        } else if (name == "--demo") {
            c.demo = true;
        } else if (name == "--headless") {
            c.headless = true;
        } else if (name == "--record") {
            if (*value == '\0')
                return Bad("--record needs a file name");
            c.record = value;
        } else if (name == "--frames") {
            if (!ParseFrames(value, c.frames))
                return Bad("--frames needs a whole number from 1 to 1000000000");
        } else {
            return Bad("unknown option " + std::string(argv[i]));
        }
    }
    return c;
}

void PrintUsage(std::FILE* out)
{
    std::fputs(
        "usage: orvex [--demo] [--headless] [--record FILE] [--frames N]\n"
        "       orvex --help | --version\n"
        "\n"
        "Kragmoor: stand in front of the camera and play with your body.\n"
        "\n"
        "  --demo           play on the built-in demo camera instead of real cameras\n"
        "  --headless       open no window (also without a display)\n"
        "  --record FILE    without a window, record the shown video to FILE (AVI)\n"
        "  --frames N       stop after N frames\n"
        "  --help           show this text\n"
        "  --version        show the version\n",
        out);
}

void PrintVersion(std::FILE* out)
{
    std::fputs("Kragmoor (orvex) " KRAGMOOR_VERSION "\n", out);
}

bool CommandLineAsksForDemo(int argc, char** argv)
{
    if (argv == nullptr)
        return false;
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        if (std::strcmp(argv[i], "--demo") == 0)
            return true;
        // A value is not an option: "--record --demo" records to "--demo".
        if (TakesValue(argv[i]))
            ++i;
    }
    return false;
}

void UseDemoCameraOnly()
{
    setenv("ORVEX_REAL_DEVICES", "0", 1);
    setenv("ORVEX_DEMO_CAMERA", "1", 1);
    unsetenv("ORVEX_VIRTUAL_DEVICES");
}
