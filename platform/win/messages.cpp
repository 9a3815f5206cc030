// Posted window messages: each post becomes one idle callback on the default
// GLib main context, which the UI thread runs.
#include <glib.h>

#include <mutex>
#include <unordered_map>

#include "win.h"

namespace {

std::mutex g_procLock;
std::unordered_map<HWND, WindowProc> g_procs;

struct PostedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

gboolean Deliver(gpointer data)
{
    auto* posted = static_cast<PostedMessage*>(data);
    WindowProc proc;
    {
        std::lock_guard lock(g_procLock);
        auto it = g_procs.find(posted->window);
        if (it != g_procs.end())
            proc = it->second;
    }
    // Called outside the lock: the procedure may (un)register windows itself.
    if (proc)
        proc(posted->message, posted->wParam, posted->lParam);
    delete posted;
    return G_SOURCE_REMOVE;
}

}  // namespace

void RegisterWindowProc(HWND window, WindowProc proc)
{
    std::lock_guard lock(g_procLock);
    g_procs[window] = std::move(proc);
}

void UnregisterWindowProc(HWND window)
{
    std::lock_guard lock(g_procLock);
    g_procs.erase(window);
}

bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window == nullptr)
        return false;
    g_idle_add_full(G_PRIORITY_DEFAULT, Deliver, new PostedMessage{window, message, wParam, lParam},
                    nullptr);
    return true;
}
