#include "context_menu.h"

#include <vector>

#include "capture_calls.h"
#include "commands.h"

namespace {

constexpr int kDevicesMenu = 1;
constexpr int kConfigurationMenu = 2;

// A device that is not the current one shows no box at all, only the
// current one its check mark.
void HideEmptyCheckBox(GtkWidget* item)
{
    static GtkCssProvider* css = [] {
        GtkCssProvider* p = gtk_css_provider_new();
        gtk_css_provider_load_from_data(
            p,
            "check:not(:checked) { border-color: transparent; background: none;"
            " box-shadow: none; -gtk-icon-source: none; }",
            -1, nullptr);
        return p;
    }();
    gtk_style_context_add_provider(gtk_widget_get_style_context(item), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

void AddSeparator(GtkWidget* submenu)
{
    gtk_menu_shell_append(GTK_MENU_SHELL(submenu), gtk_separator_menu_item_new());
}

}  // namespace

std::string MnemonicLabel(const char* text)
{
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '&' && p[1] == '&') {
            out += '&';
            ++p;
        } else if (*p == '&') {
            out += '_';
        } else if (*p == '_') {
            out += "__";
        } else {
            out += *p;
        }
    }
    return out;
}

int CommandOf(GtkWidget* item)
{
    return item ? GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "command-id")) : 0;
}

ContextMenu::ContextMenu(Handler handler) : handler_(std::move(handler))
{
    menu_ = gtk_menu_new();
    g_object_ref_sink(menu_);

    GtkWidget* file = AddSubmenu("&File");
    AddSeparator(file);
    AddItem(file, kCmdExit, "E&xit");

    AddSeparator(AddSubmenu("&Devices"));  // the devices follow at run time

    // The camera's own property and format pages are not available on this
    // system yet: the items keep their place and ids but cannot be chosen.
    // The same holds for "Video Crossbar...", added by BuildDevicesMenu.
    GtkWidget* configuration = AddSubmenu("Confi&guration");
    AddSeparator(configuration);
    gtk_widget_set_sensitive(AddItem(configuration, kCmdProperties, "Camera &Properties..."),
                             FALSE);
    gtk_widget_set_sensitive(AddItem(configuration, kCmdResolution, "Camera &Resolution..."),
                             FALSE);

    GtkWidget* commands = AddSubmenu("&Commands");
    AddItem(commands, kCmdFullScreen, "&Full Screen", GDK_KEY_F);
    AddItem(commands, kCmdSetup, "Setup");

    AddItem(AddSubmenu("&Help"), kCmdAbout, "&About ...");

    gtk_widget_show_all(menu_);
}

ContextMenu::~ContextMenu()
{
    gtk_widget_destroy(menu_);
    g_object_unref(menu_);
}

GtkWidget* ContextMenu::AddSubmenu(const char* label)
{
    GtkWidget* entry = gtk_menu_item_new_with_mnemonic(MnemonicLabel(label).c_str());
    GtkWidget* submenu = gtk_menu_new();
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(entry), submenu);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu_), entry);
    return submenu;
}

GtkWidget* ContextMenu::AddItem(GtkWidget* submenu, int command, const char* label, guint accelKey)
{
    GtkWidget* item = gtk_menu_item_new_with_mnemonic(MnemonicLabel(label).c_str());
    // The key is only shown beside the text; the window itself handles it.
    if (accelKey != 0)
        gtk_accel_label_set_accel(GTK_ACCEL_LABEL(gtk_bin_get_child(GTK_BIN(item))), accelKey,
                                  GdkModifierType(0));
    g_object_set_data(G_OBJECT(item), "command-id", GINT_TO_POINTER(command));
    g_signal_connect(item, "activate", G_CALLBACK(OnActivate), this);
    gtk_menu_shell_append(GTK_MENU_SHELL(submenu), item);
    items_[command] = item;
    return item;
}

GtkWidget* ContextMenu::AddDevice(int index, const char* name)
{
    // A device name is shown as it is: no mnemonic is read from it.
    GtkWidget* item = gtk_check_menu_item_new_with_label(name ? name : "");
    HideEmptyCheckBox(item);
    const int command = kCmdFirstDevice + index;
    g_object_set_data(G_OBJECT(item), "command-id", GINT_TO_POINTER(command));
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), index == orvexGetCurrentSource());
    g_signal_connect(item, "activate", G_CALLBACK(OnActivate), this);
    gtk_menu_shell_append(GTK_MENU_SHELL(Submenu(kDevicesMenu)), item);
    gtk_widget_show(item);
    items_[command] = item;
    return item;
}

void ContextMenu::Forget(GtkWidget* item)
{
    items_.erase(CommandOf(item));
    gtk_widget_destroy(item);
}

GtkWidget* ContextMenu::Submenu(int position) const
{
    GList* entries = gtk_container_get_children(GTK_CONTAINER(menu_));
    GtkWidget* entry = static_cast<GtkWidget*>(g_list_nth_data(entries, position));
    g_list_free(entries);
    return entry ? gtk_menu_item_get_submenu(GTK_MENU_ITEM(entry)) : nullptr;
}

GtkWidget* ContextMenu::Item(int command) const
{
    auto it = items_.find(command);
    return it == items_.end() ? nullptr : it->second;
}

void ContextMenu::BuildDevicesMenu()
{
    // Everything after the separator goes, whatever an earlier call listed,
    // so that no device is ever listed twice.
    GList* entries = gtk_container_get_children(GTK_CONTAINER(Submenu(kDevicesMenu)));
    std::vector<GtkWidget*> old;
    for (GList* l = g_list_nth(entries, 1); l != nullptr; l = l->next)
        old.push_back(static_cast<GtkWidget*>(l->data));
    g_list_free(entries);
    for (GtkWidget* item : old) Forget(item);
    if (GtkWidget* crossbar = Item(kCmdCrossbar))
        Forget(crossbar);

    // Slots without a readable name keep their index but are not listed.
    const int count = orvexGetSourceCount();
    for (int i = 0, listed = 0; i <= kCmdLastDevice - kCmdFirstDevice && listed < count; ++i) {
        if (const char* name = orvexGetSourceName(i)) {
            AddDevice(i, name);
            ++listed;
        }
    }

    if (Capture().isSourceCrossBar() == 1) {
        GtkWidget* crossbar =
            AddItem(Submenu(kConfigurationMenu), kCmdCrossbar, "Video Crossbar...");
        gtk_widget_set_sensitive(crossbar, FALSE);  // its page is not available yet
        gtk_widget_show(crossbar);
    }
}

void ContextMenu::PopupAt(const GdkEvent* event)
{
    gtk_menu_popup_at_pointer(GTK_MENU(menu_), event);
}

void ContextMenu::OnActivate(GtkMenuItem* item, gpointer self)
{
    // A check item toggles itself on activation; the check mark belongs to
    // the current device alone, which BuildDevicesMenu sets again.
    auto* menu = static_cast<ContextMenu*>(self);
    menu->handler_(CommandOf(GTK_WIDGET(item)));
}
