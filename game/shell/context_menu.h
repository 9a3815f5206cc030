// The right-click context menu: File, Devices (filled at run time),
// Configuration, Commands and Help. Choosing an item hands its command id
// to the owner's handler.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <string>

class ContextMenu {
  public:
    using Handler = std::function<void(int command)>;

    explicit ContextMenu(Handler handler);
    ~ContextMenu();
    ContextMenu(const ContextMenu&) = delete;
    ContextMenu& operator=(const ContextMenu&) = delete;

    // Lists the capture devices under Devices, the current one checked, and
    // the crossbar item under Configuration when the source has a crossbar.
    // Replaces what an earlier call listed.
    void BuildDevicesMenu();

    // Opens the menu at the pointer of a button event.
    void PopupAt(const GdkEvent* event);

    GtkWidget* Menu() const { return menu_; }
    GtkWidget* Submenu(int position) const;
    // The item with a command id, or null.
    GtkWidget* Item(int command) const;

  private:
    GtkWidget* AddSubmenu(const char* label);
    GtkWidget* AddItem(GtkWidget* submenu, int command, const char* label, guint accelKey = 0);
    GtkWidget* AddDevice(int index, const char* name);
    void Forget(GtkWidget* item);
    static void OnActivate(GtkMenuItem* item, gpointer self);

    Handler handler_;
    GtkWidget* menu_ = nullptr;
    std::map<int, GtkWidget*> items_;
};

// A menu text with its mnemonic marked GTK's way: "E&xit" becomes "E_xit",
// "&&" a plain "&", and an underscore stays an underscore.
std::string MnemonicLabel(const char* text);

// The command id an item carries, or 0.
int CommandOf(GtkWidget* item);
