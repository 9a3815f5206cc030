#include "setup_dialog.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "play/game_filter.h"
#include "setup_params.h"

namespace {

// The layout is given in dialog units: a quarter of the font's mean character
// width across, an eighth of its height down; for the 8-point font below
// about 1.65 and 1.625 pixels.
int ScaleX(int units)
{
    return units * 33 / 20;
}
int ScaleY(int units)
{
    return units * 13 / 8;
}

constexpr int kDialogWidth = 253, kDialogHeight = 162;

// A small font and slim controls, so that the controls fit the cells the
// layout gives them.
constexpr const char* kCompactStyle =
    "* { font-size: 8pt; }"
    "entry { min-height: 0; padding: 1px 3px; }"
    "button { min-height: 0; padding: 1px 4px; }"
    "check { min-height: 12px; min-width: 12px; }";

void ApplyCompactStyle(GtkWidget* widget, GtkCssProvider* css)
{
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(
            GTK_CONTAINER(widget),
            [](GtkWidget* child, gpointer data) {
                ApplyCompactStyle(child, static_cast<GtkCssProvider*>(data));
            },
            css);
}

}  // namespace

int ParseUnsignedField(const char* text)
{
    if (text == nullptr)
        return 0;
    std::string s(text);
    // Blanks around the number are allowed; anything else makes it 0.
    const auto first = s.find_first_not_of(" \t");
    const auto last = s.find_last_not_of(" \t");
    if (first == std::string::npos)
        return 0;
    s = s.substr(first, last - first + 1);
    long long value = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return 0;
        value = std::min<long long>(value * 10 + (c - '0'), 1LL << 40);
    }
    if (value > 0xFFFFFFFFLL)
        return 0;  // not an unsigned 32-bit number
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

SetupDialog::SetupDialog(CGameFilter& game) : game_(game)
{
    Build();
}

SetupDialog::~SetupDialog()
{
    if (dialog_)
        gtk_widget_destroy(dialog_);
}

GtkWidget* SetupDialog::Control(int id) const
{
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void SetupDialog::Place(GtkWidget* widget, int x, int y, int w, int h)
{
    gtk_widget_set_size_request(widget, ScaleX(w), ScaleY(h));
    gtk_fixed_put(GTK_FIXED(fixed_), widget, ScaleX(x), ScaleY(y));
}

GtkWidget* SetupDialog::AddNumber(int id, const char* label, int labelX, int labelY, int x, int y)
{
    GtkWidget* text = gtk_label_new(label);
    gtk_fixed_put(GTK_FIXED(fixed_), text, ScaleX(labelX), ScaleY(labelY));
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 5);
    Place(entry, x, y, 40, 14);
    controls_[id] = entry;
    return entry;
}

GtkWidget* SetupDialog::AddCheck(int id, const char* text, int x, int y, int w, int h)
{
    GtkWidget* check = gtk_check_button_new_with_label(text);
    Place(check, x, y, w, h);
    controls_[id] = check;
    return check;
}

GtkWidget* SetupDialog::AddButton(int id, const char* text, int x, int y)
{
    GtkWidget* button = gtk_button_new_with_label(text);
    Place(button, x, y, 50, 14);
    g_object_set_data(G_OBJECT(button), "control-id", GINT_TO_POINTER(id));
    g_signal_connect(button, "clicked", G_CALLBACK(OnClicked), this);
    controls_[id] = button;
    return button;
}

void SetupDialog::Build()
{
    dialog_ = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog_), "Dialog");
    gtk_window_set_modal(GTK_WINDOW(dialog_), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(dialog_), FALSE);
    fixed_ = gtk_fixed_new();
    gtk_widget_set_size_request(fixed_, ScaleX(kDialogWidth), ScaleY(kDialogHeight));
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog_))), fixed_);

    GtkWidget* ok = AddButton(kSetupOk, "OK", 196, 7);
    gtk_widget_set_can_default(ok, TRUE);
    gtk_window_set_default(GTK_WINDOW(dialog_), ok);
    AddButton(kSetupCancel, "Cancel", 196, 24);
    AddButton(kSetupApply, "Apply", 196, 45);
    AddButton(kSetupReset, "Reset", 196, 64);
    AddButton(kSetupSave, "SAVE", 196, 81);

    AddNumber(kSetupY, "Y", 7, 15, 42, 15);
    AddNumber(kSetupU, "U", 7, 37, 42, 34);
    AddNumber(kSetupV, "V", 7, 58, 42, 55);
    AddNumber(kSetupDilIterations, "Dil. Iterations", 97, 17, 145, 15);
    AddNumber(kSetupSensitivity, "Button Sensitivity", 90, 34, 145, 33);
    AddNumber(kSetupButtonThresh, "Button Thresh", 94, 52, 145, 50);
    AddNumber(kSetupCleanSize, "CleanSize", 95, 71, 145, 68);
    AddNumber(kSetupResetTime, "ResetTime", 168, 105, 206, 101);

    AddCheck(kSetupDilate, "Dilate", 7, 89, 34, 10);
    AddCheck(kSetupErode, "Erode", 58, 90, 35, 10);
    AddCheck(kSetupFlip, "Flip", 108, 90, 27, 10);
    AddCheck(kSetupMultipleShapes, "Mutltiple shapes", 7, 106, 67, 10);
    AddCheck(kSetupAutoReset, "AutoReset", 107, 106, 49, 10);
    AddCheck(kSetupShowMask, "Show Mask", 7, 127, 53, 10);
    AddCheck(kSetupShowPlain, "Show Plain", 7, 143, 51, 10);

    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kCompactStyle, -1, nullptr);
    ApplyCompactStyle(dialog_, css);
    g_object_unref(css);
    gtk_widget_show_all(fixed_);
}

void SetupDialog::Fill()
{
    auto number = [&](int id, int value) {
        gtk_entry_set_text(GTK_ENTRY(Control(id)), std::to_string(value).c_str());
    };
    auto check = [&](int id, int value) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(Control(id)), value == 1);
    };
    number(kSetupY, game_.yThresh);
    number(kSetupU, game_.uThresh);
    number(kSetupV, game_.vThresh);
    number(kSetupDilIterations, game_.dilateIterations);
    number(kSetupSensitivity, static_cast<int>(std::lround(game_.buttonSensitivity * 100.0f)));
    number(kSetupButtonThresh, game_.buttonThresh);
    number(kSetupCleanSize, game_.cleanSize);
    number(kSetupResetTime, game_.resetTime);
    check(kSetupDilate, game_.dilate);
    check(kSetupErode, game_.erode);
    check(kSetupFlip, game_.flip);
    check(kSetupMultipleShapes, game_.multipleShapes);
    check(kSetupAutoReset, game_.autoReset);
    // The display switches open unchecked.
    check(kSetupShowMask, 0);
    check(kSetupShowPlain, 0);
}

int SetupDialog::Run(GtkWindow* parent)
{
    game_.ReadSetupParams();
    Fill();
    gtk_window_set_transient_for(GTK_WINDOW(dialog_), parent);
    const int response = gtk_dialog_run(GTK_DIALOG(dialog_));
    gtk_widget_hide(dialog_);
    return response == kSetupOk ? kSetupOk : kSetupCancel;
}

void SetupDialog::TakeControls(bool withDisplaySwitches)
{
    auto number = [&](int id) {
        return ParseUnsignedField(gtk_entry_get_text(GTK_ENTRY(Control(id))));
    };
    auto check = [&](int id) {
        return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(Control(id))) ? 1 : 0;
    };
    game_.yThresh = number(kSetupY);
    game_.uThresh = number(kSetupU);
    game_.vThresh = number(kSetupV);
    game_.dilateIterations = number(kSetupDilIterations);
    game_.buttonSensitivity = static_cast<float>(number(kSetupSensitivity)) * 0.01f;
    game_.buttonThresh = number(kSetupButtonThresh);
    game_.cleanSize = number(kSetupCleanSize);
    game_.resetTime = number(kSetupResetTime);
    game_.dilate = check(kSetupDilate);
    game_.erode = check(kSetupErode);
    game_.flip = check(kSetupFlip);
    game_.multipleShapes = check(kSetupMultipleShapes);
    game_.autoReset = check(kSetupAutoReset);
    if (withDisplaySwitches) {
        game_.showMask = check(kSetupShowMask);
        game_.showPlain = check(kSetupShowPlain);
    }
}

void SetupDialog::Save()
{
    TakeControls(false);
    SetupParams p;
    p.buttonThresh = game_.buttonThresh;
    // The percentage exactly as typed, not recomputed from the float.
    p.buttonSensitivityPercent =
        ParseUnsignedField(gtk_entry_get_text(GTK_ENTRY(Control(kSetupSensitivity))));
    p.yThresh = game_.yThresh;
    p.uThresh = game_.uThresh;
    p.vThresh = game_.vThresh;
    p.dilateIterations = game_.dilateIterations;
    p.erode = game_.erode;
    p.dilate = game_.dilate;
    p.multipleShapes = game_.multipleShapes;
    p.autoReset = game_.autoReset;
    p.resetTime = game_.resetTime;
    p.flip = game_.flip;
    p.cleanSize = game_.cleanSize;
    WriteSetupFile(p);  // an unwritable file: nothing written, nothing said
}

void SetupDialog::OnClicked(GtkButton* button, gpointer data)
{
    auto* self = static_cast<SetupDialog*>(data);
    switch (GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "control-id"))) {
        case kSetupOk:
            self->TakeControls(true);
            gtk_dialog_response(GTK_DIALOG(self->dialog_), kSetupOk);
            break;
        case kSetupCancel:
            gtk_dialog_response(GTK_DIALOG(self->dialog_), kSetupCancel);
            break;
        case kSetupApply:
            self->TakeControls(true);
            break;
        case kSetupReset:
            self->game_.RequestBackgroundCapture();
            break;
        case kSetupSave:
            self->Save();
            break;
    }
}
