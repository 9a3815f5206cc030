// The program's run with a window over stand-in capture calls, for the
// single-instance test: prints "started" once its window is up, "presented"
// each time a second copy asks for it, and each capture call it makes.
#include <cstdio>
#include <cstdlib>

#include "fake_capture.h"
#include "play/game_filter.h"
#include "shell/main_window.h"
#include "shell/shell_app.h"

int main()
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    setenv("ORVEX_REAL_DEVICES", "0", 1);
    FakeCapture::log = stdout;
    Capture() = FakeCapture::Calls();
    CGameFilter game;
    ShellEvents events;
    events.started = [](MainWindow&) { std::printf("started\n"); };
    events.presented = [](MainWindow& w) {
        std::printf("presented %s\n", w.Present() == GTK_WINDOW(w.Widget()) ? "window" : "dialog");
    };
    const int code = RunShell(CommandLine{}, game, events);
    std::printf("exit %d\n", code);
    return code;
}
