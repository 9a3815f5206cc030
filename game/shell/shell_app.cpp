#include "shell_app.h"

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "capture_calls.h"
#include "commands.h"
#include "frame_counter.h"
#include "main_window.h"
#include "play/game_filter.h"

namespace {

// A headless run has no window, yet the capture library takes a non-null
// handle as "initialised". It gets this address, which it never
// dereferences while headless.
char g_headlessWindow;

// With no frame for this long, a headless run that counts frames gives up
// rather than wait forever.
constexpr unsigned kStallSeconds = 10;

// The start-up steps after the window exists, in their order; no result is
// checked: the library reports its own failures.
void BringUpCapture(HWND window, ContextMenu* menu, CGameFilter& game, CFrameCounter* counter,
                    const CommandLine& options)
{
    if (!options.record.empty())
        Capture().recordVideo(options.record.c_str());
    orvexSetResolution(352, 288);
    Capture().initialize(window);
    if (menu != nullptr)
        menu->BuildDevicesMenu();
    Capture().setSource(0);
    orvexPushFilter(&game);
    game.SetEnable(1);
    if (counter != nullptr)
        orvexPushFilter(counter);  // after the game: it counts finished frames
    Capture().startCapture();
}

// Ends the run on SIGINT and SIGTERM the same way as quitting does, so that
// a recording is closed properly.
class SignalQuit {
  public:
    explicit SignalQuit(std::function<void()> quit) : quit_(std::move(quit))
    {
        for (int signal : {SIGINT, SIGTERM})
            ids_.push_back(g_unix_signal_add(signal, OnSignal, this));
    }
    ~SignalQuit()
    {
        for (guint id : ids_) g_source_remove(id);
    }

  private:
    static gboolean OnSignal(gpointer self)
    {
        static_cast<SignalQuit*>(self)->quit_();
        return G_SOURCE_CONTINUE;
    }
    std::function<void()> quit_;
    std::vector<guint> ids_;
};

void ReportRecording(const CommandLine& options, long frames)
{
    struct stat st {};
    if (options.record.empty())
        return;
    if (stat(options.record.c_str(), &st) == 0 && st.st_size > 0)
        std::printf("Recorded %ld frames to %s\n", frames, options.record.c_str());
    else
        std::fprintf(stderr, "orvex: nothing was recorded to %s\n", options.record.c_str());
}

// ---- without a window ---------------------------------------------------------

int RunHeadless(const CommandLine& options, CGameFilter& game)
{
    SetHeadless(true);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    auto quit = [loop] { g_main_loop_quit(loop); };
    std::unique_ptr<CFrameCounter> counter;
    if (options.frames > 0)
        counter = std::make_unique<CFrameCounter>(options.frames, quit);

    BringUpCapture(reinterpret_cast<HWND>(&g_headlessWindow), nullptr, game, counter.get(),
                   options);
    int code = 0;
    if (Capture().isRunning() != 1) {
        std::fprintf(stderr, "orvex: capture did not start\n");
        code = 1;
    } else {
        SignalQuit signals(quit);
        struct Watch {
            CFrameCounter* counter;
            long seen;
            GMainLoop* loop;
            bool stalled;
        } watch{counter.get(), 0, loop, false};
        guint watchdog = 0;
        if (counter)
            watchdog = g_timeout_add_seconds(
                kStallSeconds,
                [](gpointer data) -> gboolean {
                    auto* w = static_cast<Watch*>(data);
                    if (w->counter->Frames() != w->seen) {
                        w->seen = w->counter->Frames();
                        return G_SOURCE_CONTINUE;
                    }
                    w->stalled = true;
                    g_main_loop_quit(w->loop);
                    return G_SOURCE_REMOVE;
                },
                &watch);
        g_main_loop_run(loop);
        if (watch.stalled) {
            std::fprintf(stderr, "orvex: no frame for %u seconds, stopping\n", kStallSeconds);
            code = 1;
        } else if (watchdog != 0) {
            g_source_remove(watchdog);
        }
    }
    Capture().finalize();
    ReportRecording(options, counter ? counter->Frames() : 0);
    counter.reset();  // capture has stopped: no frame can reach it any more
    g_main_loop_unref(loop);
    return code;
}

// ---- with a window --------------------------------------------------------------

struct WindowedRun {
    const CommandLine& options;
    CGameFilter& game;
    const ShellEvents& events;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<CFrameCounter> counter;
    bool captureUp = false;

    void Quit()
    {
        if (window)
            window->Command(kCmdExit);
    }

    void Activate(GtkApplication* app)
    {
        // A later activation is a second copy of the program asking for us.
        if (window) {
            window->Present();
            if (events.presented)
                events.presented(*window);
            return;
        }
        window = std::make_unique<MainWindow>(game, app);
        if (options.frames > 0)
            counter = std::make_unique<CFrameCounter>(options.frames, [this] { Quit(); });
        BringUpCapture(window->Handle(), &window->Menu(), game, counter.get(), options);
        captureUp = true;
        if (events.started)
            events.started(*window);
    }
};

// The application, unique per user where a session bus lets it be. Without
// one (or when the bus refuses the name) every copy runs on its own.
GtkApplication* NewApplication()
{
    GtkApplication* app = gtk_application_new(kApplicationId, G_APPLICATION_DEFAULT_FLAGS);
    GError* error = nullptr;
    if (g_application_register(G_APPLICATION(app), nullptr, &error))
        return app;
    std::fprintf(stderr, "orvex: %s; not checking for a running copy\n", error->message);
    g_error_free(error);
    g_object_unref(app);
    return gtk_application_new(kApplicationId, G_APPLICATION_NON_UNIQUE);
}

int RunWindowed(const CommandLine& options, CGameFilter& game, const ShellEvents& events)
{
    WindowedRun run{options, game, events, nullptr, nullptr};
    GtkApplication* app = NewApplication();
    g_signal_connect(app, "activate", G_CALLBACK(+[](GtkApplication* a, gpointer self) {
                         static_cast<WindowedRun*>(self)->Activate(a);
                     }),
                     &run);
    // The options were read already; the application sees none of them. A
    // second copy only passes the activation on and returns 0 here.
    static char name[] = "orvex";
    char* argv[] = {name, nullptr};
    int code = 0;
    {
        SignalQuit signals([&run] { run.Quit(); });
        code = g_application_run(G_APPLICATION(app), 1, argv);
    }
    if (run.captureUp) {
        Capture().finalize();
        ReportRecording(options, run.counter ? run.counter->Frames() : 0);
    }
    run.counter.reset();
    run.window.reset();
    g_object_unref(app);
    return code;
}

}  // namespace

bool OpenDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0'))
        return false;
    return gtk_init_check(nullptr, nullptr);
}

int RunShell(const CommandLine& options, CGameFilter& game, const ShellEvents& events)
{
    // --headless must keep every display closed, so it is decided first.
    if (options.headless || !OpenDisplay())
        return RunHeadless(options, game);
    return RunWindowed(options, game, events);
}
