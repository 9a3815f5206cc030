// The main window's real widgets under a virtual display, over stand-in
// capture calls: the window itself, the context menu with its devices, the
// keys and the About box.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "capture_internal.h"
#include "screenshot.h"
#include "shell/commands.h"
#include "shell_fixture.h"

namespace {

// A submenu as a list of lines: "--" for a separator, else "id label", with
// " [x]" for a check mark and " (off)" for an item that cannot be chosen.
std::vector<std::string> Lines(GtkWidget* submenu)
{
    std::vector<std::string> lines;
    GList* items = gtk_container_get_children(GTK_CONTAINER(submenu));
    for (GList* l = items; l != nullptr; l = l->next) {
        GtkWidget* item = GTK_WIDGET(l->data);
        if (GTK_IS_SEPARATOR_MENU_ITEM(item)) {
            lines.push_back("--");
            continue;
        }
        std::string line =
            std::to_string(CommandOf(item)) + " " + gtk_menu_item_get_label(GTK_MENU_ITEM(item));
        if (GTK_IS_CHECK_MENU_ITEM(item) &&
            gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item)))
            line += " [x]";
        if (!gtk_widget_get_sensitive(item))
            line += " (off)";
        lines.push_back(line);
    }
    g_list_free(items);
    return lines;
}

using Lines_ = std::vector<std::string>;

// Chooses an item the way a click on it does.
void Choose(GtkWidget* item)
{
    gtk_menu_shell_activate_item(GTK_MENU_SHELL(gtk_widget_get_parent(item)), item, TRUE);
}

}  // namespace

TEST(MenuText, AmpersandsBecomeMnemonics)
{
    const std::pair<const char*, const char*> cases[] = {
        {"E&xit", "E_xit"},  {"&About ...", "_About ..."}, {"Setup", "Setup"},
        {"A && B", "A & B"}, {"my_cam", "my__cam"},        {"", ""},
    };
    for (const auto& [text, label] : cases) EXPECT_EQ(MnemonicLabel(text), label) << text;
}

TEST(Keys, OnlyTheirOwnKeysAreCommands)
{
    const GdkModifierType none = GdkModifierType(0);
    struct Case {
        guint keyval;
        GdkModifierType state;
        int command;
    } cases[] = {
        {GDK_KEY_F, GDK_SHIFT_MASK, kCmdFullScreen},
        {GDK_KEY_F, GDK_LOCK_MASK, kCmdFullScreen},
        {GDK_KEY_f, none, kCmdFullScreen},
        {GDK_KEY_f, GDK_CONTROL_MASK, 0},
        {GDK_KEY_r, none, kCmdRecaptureBackground},
        {GDK_KEY_R, GDK_SHIFT_MASK, 0},
        {GDK_KEY_r, GDK_MOD1_MASK, 0},
        {GDK_KEY_t, none, kCmdPerformance},
        {GDK_KEY_T, GDK_LOCK_MASK, kCmdPerformance},
        {GDK_KEY_T, GDK_SHIFT_MASK, 0},
        {GDK_KEY_t, GDK_CONTROL_MASK, 0},
        {GDK_KEY_Escape, none, 0},
        {GDK_KEY_x, none, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AcceleratorCommand(c.keyval, c.state), c.command)
            << gdk_keyval_name(c.keyval) << " state " << c.state;
}

TEST_F(ShellTest, WindowIsBorderlessBlackAndNoSmallerThanItsMinimum)
{
    GtkWindow* w = GTK_WINDOW(window->Widget());
    EXPECT_FALSE(gtk_window_get_decorated(w));
    EXPECT_STREQ(gtk_window_get_title(w), "Kragmoor");
    int x = 0, y = 0, width = 0, height = 0;
    gtk_window_get_position(w, &x, &y);
    gtk_window_get_size(w, &width, &height);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 100);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);

    // The empty window shows black (where the video will be).
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(Surface(), width / 2, height / 2, 1, 1);
    ASSERT_NE(shot, nullptr);
    const guchar* p = gdk_pixbuf_get_pixels(shot);
    EXPECT_EQ(p[0] + p[1] + p[2], 0);
    g_object_unref(shot);

    const int resizes = FakeCapture::resizes;
    gtk_window_resize(w, 120, 90);
    WaitFor([&] { return FakeCapture::resizes > resizes; });
    gtk_window_get_size(w, &width, &height);
    EXPECT_EQ(width, MainWindow::kMinWidth);
    EXPECT_EQ(height, MainWindow::kMinHeight);
    EXPECT_GT(FakeCapture::resizes, resizes);  // the video follows the window

    gtk_window_resize(w, 500, 400);
    gtk_window_move(w, 150, 120);
    EXPECT_TRUE(WaitFor([&] {
        gtk_window_get_size(w, &width, &height);
        gtk_window_get_position(w, &x, &y);
        return width == 500 && height == 400 && x == 150 && y == 120;
    })) << width
        << " x " << height << " at " << x << ", " << y;
}

TEST_F(ShellTest, MenuHoldsItsSubmenusAndItems)
{
    GtkWidget* menu = window->Menu().Menu();
    Lines_ top;
    GList* entries = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* l = entries; l != nullptr; l = l->next)
        top.push_back(gtk_menu_item_get_label(GTK_MENU_ITEM(l->data)));
    g_list_free(entries);
    EXPECT_EQ(top, (Lines_{"_File", "_Devices", "Confi_guration", "_Commands", "_Help"}));

    EXPECT_EQ(Lines(window->Menu().Submenu(0)), (Lines_{"--", "105 E_xit"}));
    EXPECT_EQ(Lines(window->Menu().Submenu(2)), (Lines_{"--", "40012 Camera _Properties... (off)",
                                                        "40013 Camera _Resolution... (off)"}));
    EXPECT_EQ(Lines(window->Menu().Submenu(3)), (Lines_{"40005 _Full Screen", "40017 Setup"}));
    EXPECT_EQ(Lines(window->Menu().Submenu(4)), (Lines_{"104 _About ..."}));

    // The full-screen key is shown beside its item.
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(window->Menu().Item(kCmdFullScreen)));
    guint key = 0;
    GdkModifierType mods;
    gtk_accel_label_get_accel(GTK_ACCEL_LABEL(label), &key, &mods);
    EXPECT_EQ(key, static_cast<guint>(GDK_KEY_F));
}

TEST_F(ShellTest, DevicesAreListedOnceWithTheCurrentOneChecked)
{
    GtkWidget* devices = window->Menu().Submenu(1);
    EXPECT_EQ(Lines(devices), (Lines_{"--", "4000 First Camera [x]", "4001 Second_Camera"}));

    // Choosing a device rebuilds the graph on it, lists the devices again and
    // starts capture.
    Choose(window->Menu().Item(4001));
    EXPECT_EQ(FakeCapture::sources, (std::vector<int>{1}));
    EXPECT_EQ(FakeCapture::starts, 1);
    EXPECT_EQ(Lines(devices), (Lines_{"--", "4000 First Camera", "4001 Second_Camera [x]"}));

    // The current device again: rebuilt all the same, still listed once.
    Choose(window->Menu().Item(4001));
    window->Menu().BuildDevicesMenu();
    EXPECT_EQ(FakeCapture::sources, (std::vector<int>{1, 1}));
    EXPECT_EQ(FakeCapture::starts, 2);
    EXPECT_EQ(Lines(devices), (Lines_{"--", "4000 First Camera", "4001 Second_Camera [x]"}));
}

TEST_F(ShellTest, WithoutDevicesOnlyTheSeparatorIsLeft)
{
    orvexFreeSources();
    window->Menu().BuildDevicesMenu();
    EXPECT_EQ(Lines(window->Menu().Submenu(1)), (Lines_{"--"}));
    EXPECT_EQ(window->Menu().Item(4000), nullptr);
}

TEST_F(ShellTest, CrossbarItemOnlyForASourceWithACrossbar)
{
    GtkWidget* configuration = window->Menu().Submenu(2);
    const Lines_ without = {"--", "40012 Camera _Properties... (off)",
                            "40013 Camera _Resolution... (off)"};
    Lines_ with = without;
    with.push_back("40000 Video Crossbar... (off)");

    EXPECT_EQ(Lines(configuration), without);
    FakeCapture::crossbar = 1;
    window->Menu().BuildDevicesMenu();
    EXPECT_EQ(Lines(configuration), with);
    window->Menu().BuildDevicesMenu();
    EXPECT_EQ(Lines(configuration), with);  // never twice
    FakeCapture::crossbar = 0;
    window->Menu().BuildDevicesMenu();
    EXPECT_EQ(Lines(configuration), without);
}

TEST_F(ShellTest, KeysToggleFullScreenAndRequestABackground)
{
    const GdkModifierType none = GdkModifierType(0);
    Key(GDK_KEY_Escape);  // outside full screen: nothing
    EXPECT_EQ(FakeCapture::fullScreen, 0);
    Key(GDK_KEY_F, GDK_SHIFT_MASK);
    EXPECT_EQ(FakeCapture::fullScreen, 1);
    Key(GDK_KEY_f, none);
    EXPECT_EQ(FakeCapture::fullScreen, 0);
    Key(GDK_KEY_f, none);
    EXPECT_EQ(FakeCapture::fullScreen, 1);
    Key(GDK_KEY_Escape);  // in full screen: leaves it
    EXPECT_EQ(FakeCapture::fullScreen, 0);

    game->backgroundRequested = 0;
    Key(GDK_KEY_R, GDK_SHIFT_MASK);
    EXPECT_EQ(game->backgroundRequested.load(), 0);
    Key(GDK_KEY_r);
    EXPECT_EQ(game->backgroundRequested.load(), 1);
    EXPECT_EQ(FakeCapture::fullScreen, 0);
}

TEST_F(ShellTest, TOpensThePerformanceDialogAndShiftTDoesNot)
{
    Key(GDK_KEY_T, GDK_SHIFT_MASK);
    Pump();
    EXPECT_EQ(orvexPerformanceDialogWindow(), nullptr);

    bool opened = false;
    Soon([&] {
        GtkWidget* dialog = orvexPerformanceDialogWindow();
        opened = dialog != nullptr;
        if (!dialog)
            return;
        GdkEvent* close = gdk_event_new(GDK_DELETE);
        close->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(dialog)));
        gtk_main_do_event(close);
        gdk_event_free(close);
    });
    Key(GDK_KEY_t);  // returns once the dialog is closed
    EXPECT_TRUE(opened);
    EXPECT_EQ(orvexPerformanceDialogWindow(), nullptr);
}

TEST_F(ShellTest, AboutBoxShowsIconTitleAndOk)
{
    std::string caption, title;
    bool icon = false, transient = false;
    Soon([&] {
        GtkWidget* box = window->About().Window();
        caption = gtk_window_get_title(GTK_WINDOW(box));
        transient = gtk_window_get_transient_for(GTK_WINDOW(box)) == GTK_WINDOW(window->Widget());
        // Walk the content for the picture and the title.
        std::function<void(GtkWidget*)> walk = [&](GtkWidget* w) {
            if (GTK_IS_IMAGE(w))
                icon = gtk_image_get_pixbuf(GTK_IMAGE(w)) != nullptr;
            if (GTK_IS_LABEL(w) && std::string(gtk_label_get_text(GTK_LABEL(w))) == "Kragmoor")
                title = "Kragmoor";
            if (GTK_IS_CONTAINER(w)) {
                GList* children = gtk_container_get_children(GTK_CONTAINER(w));
                for (GList* l = children; l; l = l->next) walk(GTK_WIDGET(l->data));
                g_list_free(children);
            }
        };
        walk(gtk_dialog_get_content_area(GTK_DIALOG(box)));
        SaveScreenshot(box, "about-box.png");
        EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(window->About().OkButton())), "OK");
        gtk_button_clicked(GTK_BUTTON(window->About().OkButton()));
    });
    window->Command(kCmdAbout);
    EXPECT_EQ(caption, "About");
    EXPECT_EQ(title, "Kragmoor");
    EXPECT_TRUE(icon);
    EXPECT_TRUE(transient);
    EXPECT_FALSE(gtk_widget_get_visible(window->About().Window()));
}

TEST_F(ShellTest, PresentingBringsUpTheOpenDialogElseTheWindow)
{
    EXPECT_EQ(window->Present(), GTK_WINDOW(window->Widget()));
    GtkWindow* presented = nullptr;
    Soon([&] {
        presented = window->Present();
        gtk_button_clicked(GTK_BUTTON(window->About().OkButton()));
    });
    window->Command(kCmdAbout);
    EXPECT_EQ(presented, GTK_WINDOW(window->About().Window()));
    EXPECT_EQ(window->Present(), GTK_WINDOW(window->Widget()));
}

TEST_F(ShellTest, ExitDestroysTheWindow)
{
    bool destroyed = false;
    g_signal_connect(window->Widget(), "destroy", G_CALLBACK(+[](GtkWidget*, gpointer flag) {
                         *static_cast<bool*>(flag) = true;
                     }),
                     &destroyed);
    Choose(window->Menu().Item(kCmdExit));
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(window->Widget(), nullptr);
}
