// Posted window messages: each post becomes one idle callback on the default
// GLib main context, which the UI thread runs.
#include <glib.h>

#include <atomic>
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
    // Hands the fields from the posting thread to the UI thread in a way
    // ThreadSanitizer sees (it cannot see into GLib's own queue).
    std::atomic<bool> published{false};
};

gboolean Deliver(gpointer data)
{
    auto* posted = static_cast<PostedMessage*>(data);
    posted->published.load(std::memory_order_acquire);
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
    auto* posted = new PostedMessage{window, message, wParam, lParam};
    posted->published.store(true, std::memory_order_release);
    g_idle_add_full(G_PRIORITY_DEFAULT, Deliver, posted, nullptr);
    return true;
}
