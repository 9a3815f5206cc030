#include "main_window.h"

#include "capture_calls.h"
#include "commands.h"
#include "play/game_filter.h"
#include "program_icon.h"
#include "setup_dialog.h"

namespace {

constexpr const char* kTitle = "Kragmoor";
constexpr int kLeft = 100, kTop = 100, kWidth = 320, kHeight = 240;
constexpr GdkModifierType kShiftCtrlAlt =
    GdkModifierType(GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK);

void SetIcons(GtkWidget* window)
{
    GList* icons = nullptr;
    for (int size : {16, 32, 48, 64, 128}) icons = g_list_append(icons, ProgramIconPixbuf(size));
    gtk_window_set_icon_list(GTK_WINDOW(window), icons);
    // Dialogs without an icon of their own show the program's.
    gtk_window_set_default_icon_list(icons);
    g_list_free_full(icons, g_object_unref);
}

void PaintBlack(GtkWidget* window)
{
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, "window { background-color: #000000; }", -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(window), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

}  // namespace

int AcceleratorCommand(guint keyval, GdkModifierType state)
{
    // Typed characters: Ctrl or Alt make them no character at all.
    const bool plain = (state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) == 0;
    if (plain && (keyval == GDK_KEY_F || keyval == GDK_KEY_f))
        return kCmdFullScreen;
    if (plain && keyval == GDK_KEY_r)
        return kCmdRecaptureBackground;
    // The T key itself, whatever Caps Lock makes of it.
    if (gdk_keyval_to_lower(keyval) == GDK_KEY_t && (state & kShiftCtrlAlt) == 0)
        return kCmdPerformance;
    return 0;
}

MainWindow::MainWindow(CGameFilter& game, GtkApplication* app) : game_(game)
{
    menu_ = std::make_unique<ContextMenu>([this](int command) { Command(command); });
    Build(app);
}

MainWindow::~MainWindow()
{
    setup_.reset();
    if (window_ != nullptr)
        gtk_widget_destroy(window_);
}

HWND MainWindow::Handle() const
{
    // The capture library takes the host's GtkWindow as its window handle.
    return reinterpret_cast<HWND>(window_);
}

SetupDialog& MainWindow::Setup()
{
    if (!setup_)
        setup_ = std::make_unique<SetupDialog>(game_);
    return *setup_;
}

void MainWindow::Build(GtkApplication* app)
{
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (app != nullptr)
        gtk_window_set_application(GTK_WINDOW(window_), app);
    gtk_window_set_title(GTK_WINDOW(window_), kTitle);
    gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(window_), kWidth, kHeight);
    gtk_window_move(GTK_WINDOW(window_), kLeft, kTop);
    GdkGeometry hints{};
    hints.min_width = kMinWidth;
    hints.min_height = kMinHeight;
    gtk_window_set_geometry_hints(GTK_WINDOW(window_), nullptr, &hints, GDK_HINT_MIN_SIZE);
    SetIcons(window_);
    PaintBlack(window_);

    // The window has no child of its own: the video renderer puts its view
    // there. Events on the view that it does not take come up to the window.
    gtk_widget_add_events(window_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                       GDK_POINTER_MOTION_MASK | GDK_KEY_PRESS_MASK |
                                       GDK_STRUCTURE_MASK);
    g_signal_connect(window_, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                         static_cast<MainWindow*>(self)->window_ = nullptr;
                     }),
                     this);
    g_signal_connect(window_, "configure-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer) -> gboolean {
                         Capture().resizeVideoWindow();
                         return FALSE;
                     }),
                     nullptr);
    g_signal_connect(window_, "key-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventKey* e, gpointer self) -> gboolean {
                         return static_cast<MainWindow*>(self)->OnKey(e);
                     }),
                     this);
    g_signal_connect(window_, "button-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventButton* e, gpointer self) -> gboolean {
                         return static_cast<MainWindow*>(self)->OnButtonPress(e);
                     }),
                     this);
    g_signal_connect(window_, "motion-notify-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventMotion* e, gpointer self) -> gboolean {
                         return static_cast<MainWindow*>(self)->OnMotion(e);
                     }),
                     this);
    g_signal_connect(window_, "button-release-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventButton* e, gpointer self) -> gboolean {
                         return static_cast<MainWindow*>(self)->OnButtonRelease(e);
                     }),
                     this);
    g_signal_connect(window_, "grab-broken-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                         static_cast<MainWindow*>(self)->pressed_ = false;
                         return FALSE;
                     }),
                     this);
    gtk_widget_show(window_);
}

void MainWindow::Command(int command)
{
    if (command >= kCmdFirstDevice && command <= kCmdLastDevice) {
        Capture().setSource(command - kCmdFirstDevice);
        menu_->BuildDevicesMenu();
        Capture().startCapture();
        return;
    }
    switch (command) {
        case kCmdAbout:
            about_.Run(GTK_WINDOW(window_));
            break;
        case kCmdExit:
            if (window_ != nullptr)
                gtk_widget_destroy(window_);
            break;
        case kCmdFullScreen:
            Capture().toggleFullScreen();
            break;
        case kCmdPerformance:
            orvexShowPerformanceDlg();
            break;
        case kCmdSetup:
            Setup().Run(GTK_WINDOW(window_));
            break;
        case kCmdRecaptureBackground:
            game_.RequestBackgroundCapture();
            break;
        // The camera's property, format and crossbar pages are not
        // available on this system; their items cannot be chosen.
        case kCmdCrossbar:
        case kCmdProperties:
        case kCmdResolution:
        default:
            break;
    }
}

GtkWindow* MainWindow::Present()
{
    if (window_ == nullptr)
        return nullptr;
    gtk_window_deiconify(GTK_WINDOW(window_));
    gtk_window_present(GTK_WINDOW(window_));
    // A dialog open over the window comes to the front after it.
    GtkWindow* front = GTK_WINDOW(window_);
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* l = toplevels; l != nullptr; l = l->next) {
        GtkWindow* w = GTK_WINDOW(l->data);
        if (gtk_window_get_transient_for(w) == GTK_WINDOW(window_) &&
            gtk_widget_get_visible(GTK_WIDGET(w)) && gtk_window_get_modal(w)) {
            front = w;
            break;
        }
    }
    g_list_free(toplevels);
    if (front != GTK_WINDOW(window_))
        gtk_window_present(front);
    return front;
}

bool MainWindow::OnKey(const GdkEventKey* event)
{
    if (const int command = AcceleratorCommand(event->keyval, GdkModifierType(event->state))) {
        Command(command);
        g_usleep(5000);  // as every translated accelerator does here
        return true;
    }
    if (event->keyval == GDK_KEY_Escape && Capture().isFullScreen() == 1)
        Capture().toggleFullScreen();
    // Every other key is taken and does nothing.
    return true;
}

bool MainWindow::InClientArea(double xRoot, double yRoot) const
{
    GdkWindow* w = gtk_widget_get_window(window_);
    if (w == nullptr)
        return false;
    int left = 0, top = 0;
    gdk_window_get_origin(w, &left, &top);
    const double x = xRoot - left, y = yRoot - top;
    return x >= 0 && y >= 0 && x < gdk_window_get_width(w) && y < gdk_window_get_height(w);
}

void MainWindow::Beep()
{
    ++beeps_;
    gdk_display_beep(gtk_widget_get_display(window_));
}

bool MainWindow::OnButtonPress(const GdkEventButton* event)
{
    if (event->type != GDK_BUTTON_PRESS) {
        // The second press of a double click is no new click.
        pressed_ = false;
        return true;
    }
    if (event->button == GDK_BUTTON_PRIMARY) {
        pressed_ = true;
        pressX_ = event->x_root;
        pressY_ = event->y_root;
    } else if (event->button == GDK_BUTTON_SECONDARY) {
        gtk_window_present_with_time(GTK_WINDOW(window_), event->time);
        if (InClientArea(event->x_root, event->y_root))
            menu_->PopupAt(reinterpret_cast<const GdkEvent*>(event));
    }
    return true;
}

bool MainWindow::OnMotion(const GdkEventMotion* event)
{
    // While full screen the window stays where it is; the release beeps.
    if (!pressed_ || Capture().isFullScreen() == 1)
        return true;
    if (!gtk_drag_check_threshold(window_, int(pressX_), int(pressY_), int(event->x_root),
                                  int(event->y_root)))
        return true;
    // The window manager moves the window from where the button went down.
    pressed_ = false;
    ++drags_;
    gtk_window_begin_move_drag(GTK_WINDOW(window_), GDK_BUTTON_PRIMARY, int(pressX_), int(pressY_),
                               event->time);
    return true;
}

bool MainWindow::OnButtonRelease(const GdkEventButton* event)
{
    if (event->button == GDK_BUTTON_PRIMARY && pressed_) {
        pressed_ = false;
        Beep();
    }
    return true;
}
