// The program's run once its options are read: with a display, one main
// window per user (a second start presents the running copy and ends);
// without one, or with --headless, the game runs with no window at all.
#pragma once

#include <functional>

#include "command_line.h"

class CGameFilter;
class MainWindow;

constexpr const char* kApplicationId = "org.kragmoor.Kragmoor";

// What tests watch of a run with a window.
struct ShellEvents {
    std::function<void(MainWindow&)> started;    // window up, capture started
    std::function<void(MainWindow&)> presented;  // a second copy asked for it
};

// Runs the program and returns its exit code. Capture goes through
// Capture(), which must be set.
int RunShell(const CommandLine& options, CGameFilter& game, const ShellEvents& events = {});

// True when a display is named and can be opened (it is then open).
bool OpenDisplay();
