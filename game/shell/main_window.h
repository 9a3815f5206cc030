// The game's main window: borderless, black, at least 300 x 215, with the
// capture library's video inside it. The window takes the keys and the mouse
// itself, so clicks on the video reach it too: a drag moves it, a click
// beeps, a right click opens the context menu.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "about_box.h"
#include "context_menu.h"
#include "orvex.h"

class CGameFilter;
class SetupDialog;

// The command of an accelerator key, or 0. "F", "f" and "r" count as typed
// characters (so "R" is none), T as the key pressed without Shift, Ctrl or
// Alt.
int AcceleratorCommand(guint keyval, GdkModifierType state);

class MainWindow {
  public:
    static constexpr int kMinWidth = 300;
    static constexpr int kMinHeight = 215;

    // app may be null (tests); the window is shown at once.
    MainWindow(CGameFilter& game, GtkApplication* app);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    GtkWidget* Widget() const { return window_; }
    // The window as the capture library knows it.
    HWND Handle() const;
    ContextMenu& Menu() { return *menu_; }
    AboutBox& About() { return about_; }
    SetupDialog& Setup();

    void Command(int command);
    // Brings the window, or the dialog open over it, to the front and
    // restores it when minimised (a second copy of the program asked).
    // Returns the window it brought to the front.
    GtkWindow* Present();

    // For tests: beeps sounded and window moves started by the mouse.
    int Beeps() const { return beeps_; }
    int Drags() const { return drags_; }

  private:
    void Build(GtkApplication* app);
    bool InClientArea(double xRoot, double yRoot) const;
    void Beep();
    bool OnKey(const GdkEventKey* event);
    bool OnButtonPress(const GdkEventButton* event);
    bool OnMotion(const GdkEventMotion* event);
    bool OnButtonRelease(const GdkEventButton* event);

    CGameFilter& game_;
    GtkWidget* window_ = nullptr;
    std::unique_ptr<ContextMenu> menu_;
    AboutBox about_;
    std::unique_ptr<SetupDialog> setup_;

    // The left button went down here (screen coordinates) and has not yet
    // been released or turned into a move.
    bool pressed_ = false;
    double pressX_ = 0, pressY_ = 0;
    int beeps_ = 0;
    int drags_ = 0;
};
