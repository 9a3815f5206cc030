#include "command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include <unistd.h>

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

namespace {

constexpr const char* kDemoVariables[] = {"ORVEX_REAL_DEVICES=0", "ORVEX_DEMO_CAMERA=1"};

bool IsDeviceVariable(const char* entry)
{
    for (const char* name : {"ORVEX_REAL_DEVICES=", "ORVEX_DEMO_CAMERA=", "ORVEX_VIRTUAL_DEVICES="})
        if (std::strncmp(entry, name, std::strlen(name)) == 0)
            return true;
    return false;
}

}  // namespace

char** DemoEnvironment(char** envp)
{
    std::size_t count = 0, devices = 0, demo = 0;
    for (char** e = envp; e && *e; ++e, ++count) {
        if (IsDeviceVariable(*e))
            ++devices;
        for (const char* wanted : kDemoVariables) demo += std::strcmp(*e, wanted) == 0;
    }
    if (devices == std::size(kDemoVariables) && demo == std::size(kDemoVariables))
        return nullptr;

    auto** env =
        static_cast<char**>(std::malloc((count + std::size(kDemoVariables) + 1) * sizeof(char*)));
    if (env == nullptr)
        return nullptr;
    std::size_t n = 0;
    for (char** e = envp; e && *e; ++e)
        if (!IsDeviceVariable(*e))
            env[n++] = *e;
    for (const char* wanted : kDemoVariables) env[n++] = const_cast<char*>(wanted);
    env[n] = nullptr;
    return env;
}

void RestartWithDemoCamera(char** argv, char** envp)
{
    char** env = DemoEnvironment(envp);
    if (env == nullptr)
        return;
    execve("/proc/self/exe", argv, env);
    std::fprintf(stderr, "orvex: cannot switch to the demo camera: %s\n", std::strerror(errno));
    std::free(env);
}
