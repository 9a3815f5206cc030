// The main window's mouse under a virtual display: a click beeps, a drag
// moves the window (through the window manager's move), full screen holds
// it still, a right click opens the context menu. Its own program, since a
// started move keeps the pointer grabbed for the rest of the process.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "screenshot.h"
#include "shell/commands.h"
#include "shell_fixture.h"

TEST_F(ShellTest, AClickWithoutADragBeeps)
{
    Mouse(GDK_BUTTON_PRESS, 1, 40, 40);
    Mouse(GDK_BUTTON_RELEASE, 1, 40, 40);
    EXPECT_EQ(window->Beeps(), 1);
    EXPECT_EQ(window->Drags(), 0);

    // A release with no press of ours before it is no click.
    Mouse(GDK_BUTTON_RELEASE, 1, 40, 40);
    EXPECT_EQ(window->Beeps(), 1);
}

TEST_F(ShellTest, InFullScreenTheWindowStaysAndTheClickBeeps)
{
    FakeCapture::fullScreen = 1;
    Mouse(GDK_BUTTON_PRESS, 1, 40, 40);
    Mouse(GDK_MOTION_NOTIFY, 0, 140, 120);
    Mouse(GDK_BUTTON_RELEASE, 1, 140, 120);
    EXPECT_EQ(window->Drags(), 0);
    EXPECT_EQ(window->Beeps(), 1);
}

TEST_F(ShellTest, RightClickOpensTheMenuAtThePointer)
{
    Mouse(GDK_BUTTON_PRESS, 3, 60, 50);
    Pump();
    GtkWidget* menu = window->Menu().Menu();
    ASSERT_TRUE(gtk_widget_get_mapped(menu));
    int menuX = 0, menuY = 0, left = 0, top = 0;
    gdk_window_get_origin(gtk_widget_get_window(gtk_widget_get_toplevel(menu)), &menuX, &menuY);
    gdk_window_get_origin(Surface(), &left, &top);
    EXPECT_NEAR(menuX, left + 60, 8);
    EXPECT_NEAR(menuY, top + 50, 8);
    EXPECT_EQ(window->Beeps(), 0);

    // Open "Devices" as a pointer over it would, and look at it all.
    GList* entries = gtk_container_get_children(GTK_CONTAINER(menu));
    gtk_menu_shell_select_item(GTK_MENU_SHELL(menu), GTK_WIDGET(g_list_nth_data(entries, 1)));
    g_list_free(entries);
    for (int i = 0; i < 40 && !gtk_widget_get_mapped(window->Menu().Submenu(1)); ++i) Pump();
    EXPECT_TRUE(gtk_widget_get_mapped(window->Menu().Submenu(1)));
    SaveScreenAreaShot(left - 20, top - 20, 520, 320, "menu-devices.png");

    gtk_menu_shell_deselect(GTK_MENU_SHELL(menu));
    entries = gtk_container_get_children(GTK_CONTAINER(menu));
    gtk_menu_shell_select_item(GTK_MENU_SHELL(menu), GTK_WIDGET(g_list_nth_data(entries, 3)));
    g_list_free(entries);
    for (int i = 0; i < 40 && !gtk_widget_get_mapped(window->Menu().Submenu(3)); ++i) Pump();
    SaveScreenAreaShot(left - 20, top - 20, 520, 320, "menu-commands.png");
    gtk_menu_popdown(GTK_MENU(menu));
    Pump();
    EXPECT_FALSE(gtk_widget_get_mapped(menu));
}

// Last: the move it starts holds the pointer.
TEST_F(ShellTest, PressAndMoveStartsAMoveFromThePressPoint)
{
    Mouse(GDK_BUTTON_PRESS, 1, 40, 40);
    Mouse(GDK_MOTION_NOTIFY, 0, 41, 41);  // within the drag threshold
    EXPECT_EQ(window->Drags(), 0);
    Mouse(GDK_MOTION_NOTIFY, 0, 80, 70);
    EXPECT_EQ(window->Drags(), 1);
    Mouse(GDK_BUTTON_RELEASE, 1, 80, 70);
    EXPECT_EQ(window->Beeps(), 0);  // a drag is no click
}
