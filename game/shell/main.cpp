// orvex: the game program. It reads its options, then runs the game in its
// window (or, without a display, with none) until the user quits.
#include <cstdio>

#include "command_line.h"
#include "library_calls.h"
#include "play/game_filter.h"
#include "shell_app.h"

namespace {

// The game filter lives as long as the program; it is the filter the
// program pushes on the capture library's stack.
CGameFilter g_game;

// The capture library reads its device list when it is loaded, before main
// and before any constructor of ours runs. For --demo to change that list the
// environment must be right earlier still: functions in the executable's
// .preinit_array run before every shared library's initialisers, with the
// program's arguments and environment. A setenv there does not last (the C
// library's own start-up sets the environment back to the one the program
// was started with), so the program starts itself again at once under the
// demo environment; no library has done anything yet.
void ChooseDevicesBeforeLibrariesLoad(int argc, char** argv, char** envp)
{
    if (CommandLineAsksForDemo(argc, argv))
        RestartWithDemoCamera(argv, envp);
}

__attribute__((section(".preinit_array"),
               used)) void (*const g_preinit)(int, char**,
                                              char**) = ChooseDevicesBeforeLibrariesLoad;

}  // namespace

int main(int argc, char** argv)
{
    const CommandLine options = ParseCommandLine(argc, argv);
    switch (options.action) {
        case CommandLine::kHelp:
            PrintUsage(stdout);
            return 0;
        case CommandLine::kVersion:
            PrintVersion(stdout);
            return 0;
        case CommandLine::kBad:
            std::fprintf(stderr, "orvex: %s\n", options.error.c_str());
            PrintUsage(stderr);
            return 2;
        case CommandLine::kRun:
            break;
    }
    Capture() = LibraryCaptureCalls();
    return RunShell(options, g_game);
}
