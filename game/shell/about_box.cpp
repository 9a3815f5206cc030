#include "about_box.h"

#include "program_icon.h"

namespace {

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

}  // namespace

AboutBox::AboutBox()
{
    dialog_ = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog_), "About");
    gtk_window_set_resizable(GTK_WINDOW(dialog_), FALSE);
    gtk_window_set_position(GTK_WINDOW(dialog_), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(dialog_), TRUE);

    // The icon and the title inside a frame, the OK button below.
    GtkWidget* frame = gtk_frame_new(nullptr);
    gtk_container_set_border_width(GTK_CONTAINER(frame), 10);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 16);
    gtk_container_set_border_width(GTK_CONTAINER(row), 14);
    GdkPixbuf* icon = ProgramIconPixbuf(48);
    gtk_box_pack_start(GTK_BOX(row), gtk_image_new_from_pixbuf(icon), FALSE, FALSE, 0);
    g_object_unref(icon);
    GtkWidget* title = gtk_label_new("Kragmoor");
    gtk_widget_set_name(title, "about-title");
    gtk_box_pack_start(GTK_BOX(row), title, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(frame), row);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog_))), frame, TRUE, TRUE,
                       0);

    ok_ = gtk_dialog_add_button(GTK_DIALOG(dialog_), "OK", GTK_RESPONSE_OK);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog_), GTK_RESPONSE_OK);
    gtk_widget_show_all(frame);
}

AboutBox::~AboutBox()
{
    gtk_widget_destroy(dialog_);
}

int AboutBox::Run(GtkWindow* owner)
{
    gtk_window_set_transient_for(GTK_WINDOW(dialog_), owner);
    gtk_window_set_modal(GTK_WINDOW(dialog_), TRUE);
    gtk_widget_grab_focus(ok_);
    const int response = gtk_dialog_run(GTK_DIALOG(dialog_));
    gtk_widget_hide(dialog_);
    return response == GTK_RESPONSE_OK ? kIdOk : kIdCancel;
}
