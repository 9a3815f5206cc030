// The error box: a real modal GTK dialog while a display is open (run under
// Xvfb), a line on standard error when headless.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>

#include "win/win.h"

namespace {

struct SeenDialog {
    std::string title, text;
    bool modal = false;
};

// Finds the open message dialog, notes what it shows and presses its OK.
gboolean AnswerDialog(gpointer data)
{
    auto* seen = static_cast<SeenDialog*>(data);
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w != nullptr; w = w->next) {
        if (!GTK_IS_MESSAGE_DIALOG(w->data) || !gtk_widget_get_visible(GTK_WIDGET(w->data)))
            continue;
        GtkWindow* window = GTK_WINDOW(w->data);
        seen->title = gtk_window_get_title(window);
        seen->modal = gtk_window_get_modal(window);
        gchar* text = nullptr;
        g_object_get(w->data, "text", &text, nullptr);
        seen->text = text ? text : "";
        g_free(text);
        gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_OK);
        g_list_free(windows);
        return G_SOURCE_REMOVE;
    }
    g_list_free(windows);
    return G_SOURCE_CONTINUE;  // not shown yet: look again
}

}  // namespace

TEST(ErrorBox, ModalDialogWhileADisplayIsOpen)
{
    if (!gtk_init_check(nullptr, nullptr))
        GTEST_SKIP() << "no display";
    SeenDialog seen;
    g_timeout_add(20, AnswerDialog, &seen);
    EXPECT_EQ(ShowErrorBox("Orvex - ERROR", "Filter Stack if Full!"), IDOK);
    EXPECT_EQ(seen.title, "Orvex - ERROR");
    EXPECT_EQ(seen.text, "Filter Stack if Full!");
    EXPECT_TRUE(seen.modal);
}

TEST(ErrorBox, StandardErrorWhenHeadless)
{
    SetHeadless(true);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowErrorBox("Orvex - ERROR", "FAILED(lastHRESULT=0x80004005) in Run\n"), IDOK);
    EXPECT_EQ(ShowErrorBox("Orvex - ERROR", "no line end"), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Orvex - ERROR: FAILED(lastHRESULT=0x80004005) in Run\nOrvex - ERROR: no line end\n");
    SetHeadless(false);
}
