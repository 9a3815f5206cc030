// The setup dialog: the game's tuning values and display switches, edited
// live while the game runs, and saved to the parameter file by "SAVE".
#pragma once

#include <gtk/gtk.h>

#include <map>

class CGameFilter;

// Control ids of the dialog, as the rest of the program knows them.
enum SetupControl : int {
    kSetupOk = 1,
    kSetupCancel = 2,
    kSetupY = 1002,
    kSetupU = 1003,
    kSetupV = 1004,
    kSetupApply = 1005,
    kSetupReset = 1006,
    kSetupDilIterations = 1007,
    kSetupDilate = 1009,
    kSetupMultipleShapes = 1010,
    kSetupErode = 1011,
    kSetupShowMask = 1012,
    kSetupShowPlain = 1013,
    kSetupFlip = 1014,
    kSetupAutoReset = 1015,
    kSetupResetTime = 1016,
    kSetupSensitivity = 1017,
    kSetupButtonThresh = 1018,
    kSetupSave = 1019,
    kSetupCleanSize = 1020,
};

class SetupDialog {
  public:
    explicit SetupDialog(CGameFilter& game);
    ~SetupDialog();
    SetupDialog(const SetupDialog&) = delete;
    SetupDialog& operator=(const SetupDialog&) = delete;

    // Reverts the live values to the saved ones, shows them and runs the
    // dialog modally. Returns 1 for "OK", 2 for "Cancel" (or closing it).
    int Run(GtkWindow* parent = nullptr);

    GtkWidget* Window() const { return dialog_; }
    GtkWidget* Control(int id) const;

    // What the buttons do; public so that the dialog's own handlers and
    // tests driving the real widgets reach the same code.
    void TakeControls(bool withDisplaySwitches);
    void Save();

  private:
    void Build();
    void Fill();
    void Place(GtkWidget* widget, int x, int y, int w, int h);
    GtkWidget* AddNumber(int id, const char* label, int labelX, int labelY, int x, int y);
    GtkWidget* AddCheck(int id, const char* text, int x, int y, int w, int h);
    GtkWidget* AddButton(int id, const char* text, int x, int y);
    static void OnClicked(GtkButton* button, gpointer self);

    CGameFilter& game_;
    GtkWidget* dialog_ = nullptr;
    GtkWidget* fixed_ = nullptr;
    std::map<int, GtkWidget*> controls_;
};

// The text of a number field as the dialog takes it: an unsigned decimal
// number, anything else 0. Values beyond the int range are held at its top.
int ParseUnsignedField(const char* text);
