// The error box over GTK: a modal message dialog while a display is open,
// otherwise a line on standard error.
#include <gtk/gtk.h>

#include <atomic>
#include <cstdio>
#include <mutex>

#include "win.h"

namespace {

std::mutex g_hookLock;
ErrorBoxHook g_hook;
std::atomic<bool> g_headless{false};

int ShowDialog(const char* caption, const char* text)
{
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                            GTK_BUTTONS_OK, "%s", text);
    gtk_window_set_title(GTK_WINDOW(box), caption);
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return IDOK;
}

}  // namespace

ErrorBoxHook SetErrorBoxHook(ErrorBoxHook hook)
{
    std::lock_guard lock(g_hookLock);
    std::swap(g_hook, hook);
    return hook;
}

void SetHeadless(bool headless) { g_headless = headless; }
bool IsHeadless() { return g_headless; }

int ShowErrorBox(const char* caption, const char* text)
{
    {
        std::lock_guard lock(g_hookLock);
        if (g_hook)
            return g_hook(caption, text);
    }
    if (!g_headless && gdk_display_get_default() != nullptr)
        return ShowDialog(caption, text);
    // A message normally ends in a line feed; add one only where it does not.
    std::size_t n = std::char_traits<char>::length(text);
    std::fprintf(stderr, "%s: %s%s", caption, text, n && text[n - 1] == '\n' ? "" : "\n");
    return IDOK;
}
