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

// Makes the device list, read when the capture library is loaded, hold the
// built-in demo camera and nothing else.
void UseDemoCameraOnly();
