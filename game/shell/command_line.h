// The program's command line. With no option the program behaves as a
// desktop game; the options add a demo camera, a run without a display, a
// recording of the shown video and a bounded number of frames.
#pragma once

#include <cstdio>
#include <string>

struct CommandLine {
    enum Action { kRun, kHelp, kVersion, kBad };
    Action action = kRun;
    bool demo = false;
    bool headless = false;
    std::string record;  // empty: no recording
    long frames = 0;     // 0: until the user quits
    std::string error;   // for kBad: what was wrong
};

CommandLine ParseCommandLine(int argc, char** argv);
void PrintUsage(std::FILE* out);
void PrintVersion(std::FILE* out);

// True when the arguments ask for the demo camera. Plain C, no allocation:
// it runs before the C++ runtime and the program's libraries are set up.
bool CommandLineAsksForDemo(int argc, char** argv);

// The environment under which the device list, read when the capture
// library is loaded, holds the built-in demo camera and nothing else: envp
// without the device variables, then ORVEX_REAL_DEVICES=0 and
// ORVEX_DEMO_CAMERA=1. Null when envp is that already. The array is
// malloc'd; its strings are envp's or static.
char** DemoEnvironment(char** envp);

// Runs the program again, at once, under DemoEnvironment(envp) unless envp
// is that already. Returns only then, or when the program cannot be run
// again (the demo camera is then missing from the list).
void RestartWithDemoCamera(char** argv, char** envp);
