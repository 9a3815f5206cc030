// The About box: caption "About", the program icon, the title "Kragmoor" and
// an OK button.
#pragma once

#include <gtk/gtk.h>

class AboutBox {
  public:
    AboutBox();
    ~AboutBox();
    AboutBox(const AboutBox&) = delete;
    AboutBox& operator=(const AboutBox&) = delete;

    // Runs the box modally over owner; returns IDOK (1) for OK, IDCANCEL (2)
    // when it was closed otherwise (Escape, the window manager).
    int Run(GtkWindow* owner);

    GtkWidget* Window() const { return dialog_; }
    GtkWidget* OkButton() const { return ok_; }

  private:
    GtkWidget* dialog_ = nullptr;
    GtkWidget* ok_ = nullptr;
};
