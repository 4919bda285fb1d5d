// The app's own ways to make sounds beside the editor's buttons: generators
// by key, recipe kinds, variations of a sound, and the locks they all keep.
#include "SoundMakers.h"

#include "App.h"
#include "AppWindow.h"
#include "FileActions.h"
#include "SoundChanges.h"
#include "GeneratorKinds.h"
#include "Generating.h"
#include "KindFolders.h"
#include "Locks.h"
#include "Params.h"

#include <algorithm>
#include <utility>

void GenerateAction(App& app, const char* kind)
{
    SettleNow(app); // the sound before keeps its place, and the locks their values
    try
    {
        RunGenerator(*app.unit, kind);
    }
    catch (const std::exception& e)
    {
        ShowStatus(app, std::string("Error: ") + e.what());
    }
}

void VariationsAction(App& app)
{
    GtkWidget* dialog = gtk_dialog_new_with_buttons(
        "Variations", GTK_WINDOW(app.window), GTK_DIALOG_MODAL, "_Cancel", GTK_RESPONSE_CANCEL,
        "_Make", GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    GtkWidget* count = gtk_spin_button_new_with_range(1, kMostVariations, 1);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(count), app.settings.variations);
    gtk_entry_set_activates_default(GTK_ENTRY(count), TRUE);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    gtk_container_set_border_width(GTK_CONTAINER(row), 18);
    gtk_box_pack_start(GTK_BOX(row), gtk_label_new("Sounds to make from this one, locks kept:"),
                       FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), count, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row);
    gtk_widget_show_all(dialog);
    gtk_widget_grab_focus(count); // a number can be typed at once
    const bool make = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
    // A number typed and not yet confirmed with Enter counts as well.
    gtk_spin_button_update(GTK_SPIN_BUTTON(count));
    const int n = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(count));
    gtk_widget_destroy(dialog);
    if (!make)
        return;
    app.settings.variations = n;
    KeepSettings(app);
    MakeVariations(app, n);
}

void StarChosen(App& app)
{
    const size_t chosen = app.sounds.Current();
    if (chosen != SoundList::kNone)
        StarSound(app, chosen, !app.sounds.At(chosen).starred);
}

void ShowOctave(App& app)
{
    const std::string text = "Keys: C" + std::to_string(4 + app.octave);
    gtk_label_set_text(GTK_LABEL(app.octaveLabel), text.c_str());
}

namespace
{

bool isLocked(const App& app, const std::string& name)
{
    return std::count(app.settings.locks.begin(), app.settings.locks.end(), name) > 0;
}

// A parameter is locked by its name or by its group.
bool paramLocked(const App& app, int param)
{
    return isLocked(app, paramProperties[param].name) || isLocked(app, LockGroupOf(param));
}

void setLocked(App& app, const std::string& name, bool locked)
{
    std::vector<std::string>& locks = app.settings.locks;
    locks.erase(std::remove(locks.begin(), locks.end(), name), locks.end());
    if (locked)
        locks.push_back(name);
    KeepSettings(app);
    gtk_widget_queue_draw(app.lockMarks);
    ShowStatus(app, (locked ? "Locked " : "Unlocked ") + PanelLabelOf(name) +
                        (locked ? ": generators, Reset, Mutate and variations keep it" : ""));
}

// A check item that locks or unlocks a name.
GtkWidget* lockItem(App& app, const std::string& label, const std::string& name)
{
    GtkWidget* item = gtk_check_menu_item_new_with_label(label.c_str());
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), isLocked(app, name));
    g_object_set_data_full(G_OBJECT(item), "lock", g_strdup(name.c_str()), g_free);
    g_signal_connect(item, "toggled",
                     G_CALLBACK(+[](GtkCheckMenuItem* item, gpointer data)
                                {
                                    setLocked(*static_cast<App*>(data),
                                              static_cast<const char*>(
                                                  g_object_get_data(G_OBJECT(item), "lock")),
                                              gtk_check_menu_item_get_active(item));
                                }),
                     &app);
    return item;
}

void emptyMenu(GtkWidget* menu)
{
    gtk_container_foreach(
        GTK_CONTAINER(menu), [](GtkWidget* item, gpointer) { gtk_widget_destroy(item); }, nullptr);
}

// The menu is made each time it opens, so its checks are the locks of now:
// the groups, then the controls locked alone, then one item to let all go.
void fillLocksMenu(GtkWidget* menu, App& app)
{
    emptyMenu(menu);
    const std::vector<std::string> groups = LockGroupNames();
    for (const std::string& group : groups)
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), lockItem(app, PanelLabelOf(group), group));
    const std::vector<std::string> locks = app.settings.locks;
    bool separated = false;
    for (const std::string& lock : locks)
    {
        if (std::count(groups.begin(), groups.end(), lock) > 0)
            continue;
        if (!std::exchange(separated, true))
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), lockItem(app, PanelLabelOf(lock), lock));
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
    GtkWidget* none = gtk_menu_item_new_with_label("Unlock all");
    gtk_widget_set_sensitive(none, !locks.empty());
    g_signal_connect(none, "activate", G_CALLBACK(+[](GtkMenuItem*, gpointer data)
                                                  {
                                                      App& app = *static_cast<App*>(data);
                                                      app.settings.locks.clear();
                                                      KeepSettings(app);
                                                      gtk_widget_queue_draw(app.lockMarks);
                                                      ShowStatus(app, "Unlocked all");
                                                  }),
                     &app);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), none);
    gtk_widget_show_all(menu);
}

using MenuFiller = void (*)(GtkWidget* menu, App& app);

// A header button whose menu is made afresh each time it opens, and shown
// only then, so that it is measured for what it holds now.
GtkWidget* refilledMenuButton(App& app, const char* label, const char* tooltip, MenuFiller fill)
{
    GtkWidget* button = gtk_button_new_with_mnemonic(label);
    gtk_widget_set_tooltip_text(button, tooltip);
    gtk_widget_set_can_focus(button, FALSE);
    GtkWidget* menu = gtk_menu_new();
    gtk_menu_attach_to_widget(GTK_MENU(menu), button, nullptr);
    g_object_set_data(G_OBJECT(button), "menu", menu);
    g_object_set_data(G_OBJECT(button), "fill", reinterpret_cast<gpointer>(fill));
    g_signal_connect(button, "clicked",
                     G_CALLBACK(+[](GtkButton* button, gpointer data)
                                {
                                    auto* menu = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(button), "menu"));
                                    const auto fill = reinterpret_cast<MenuFiller>(
                                        g_object_get_data(G_OBJECT(button), "fill"));
                                    fill(menu, *static_cast<App*>(data));
                                    gtk_menu_popup_at_widget(GTK_MENU(menu), GTK_WIDGET(button), GDK_GRAVITY_SOUTH_WEST,
                                                             GDK_GRAVITY_NORTH_WEST, nullptr);
                                }),
                     &app);
    return button;
}

// The control under a point of the editor, or -1.
int paramAt(double x, double y)
{
    for (int i = 0; i < kNumParams; ++i)
    {
        const ParamProperties& p = paramProperties[i];
        if (x >= p.x && x < p.x + p.width && y >= p.y && y < p.y + p.height)
            return i;
    }
    return -1;
}

// The editor's printed group labels, where they stand, and what each locks.
struct GroupLabel
{
    int x, y, width, height;
    const char* group;
};
const GroupLabel kGroupLabels[] = {
    {0, 54, 30, 18, "osc1"},     {0, 122, 30, 18, "osc2"},       {0, 190, 30, 18, "osc3"},
    {48, 258, 40, 30, "noise"},  {48, 326, 40, 30, "noise"},     {28, 379, 76, 16, "amp-env"},
    {0, 427, 26, 17, "amp-env"}, {0, 495, 26, 17, "filter-env"}, {460, 379, 48, 16, "filters"},
    {316, 282, 68, 16, "pitch"}, {748, 379, 70, 16, "pitch"},    {676, 5, 68, 17, "crusher"},
    {748, 5, 44, 17, "output"}};

const char* groupLabelAt(double x, double y)
{
    for (const GroupLabel& label : kGroupLabels)
        if (x >= label.x && x < label.x + label.width && y >= label.y && y < label.y + label.height)
            return label.group;
    return nullptr;
}

void popUp(App& app, GtkWidget* menu, GdkEventButton* event)
{
    gtk_widget_show_all(menu);
    gtk_menu_attach_to_widget(GTK_MENU(menu), app.view, nullptr);
    // Gone once closed, chosen from or not.
    g_signal_connect(menu, "deactivate",
                     G_CALLBACK(+[](GtkMenuShell* menu, gpointer)
                                {
                                    g_idle_add(
                                        +[](gpointer m) -> gboolean
                                        {
                                            gtk_widget_destroy(GTK_WIDGET(m));
                                            return G_SOURCE_REMOVE;
                                        },
                                        menu);
                                }),
                     nullptr);
    gtk_menu_popup_at_pointer(GTK_MENU(menu), reinterpret_cast<GdkEvent*>(event));
}

void showControlMenu(App& app, int param, GdkEventButton* event)
{
    GtkWidget* menu = gtk_menu_new();
    const std::string name = paramProperties[param].name;
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), lockItem(app, "Lock " + PanelLabelOf(name), name));
    const std::string group = LockGroupOf(param);
    if (!group.empty())
        gtk_menu_shell_append(GTK_MENU_SHELL(menu),
                              lockItem(app, "Lock the group " + PanelLabelOf(group), group));
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
    GtkWidget* value = gtk_menu_item_new_with_label("Click a value to type one");
    gtk_widget_set_sensitive(value, FALSE);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), value);
    popUp(app, menu, event);
}

void showGroupMenu(App& app, const std::string& group, GdkEventButton* event)
{
    GtkWidget* menu = gtk_menu_new();
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), lockItem(app, "Lock the group " + PanelLabelOf(group), group));
    popUp(app, menu, event);
}

// A right-click on a control or a group's label opens its menu; with Shift
// it reaches the editor as it always did.
gboolean onEditorEvent(GtkWidget*, GdkEvent* event, gpointer data)
{
    App& app = *static_cast<App*>(data);
    if (event->type != GDK_BUTTON_PRESS || event->button.button != GDK_BUTTON_SECONDARY ||
        (event->button.state & GDK_SHIFT_MASK))
        return FALSE;
    const int param = paramAt(event->button.x, event->button.y);
    const char* group = param < 0 ? groupLabelAt(event->button.x, event->button.y) : nullptr;
    if (param >= 0)
        showControlMenu(app, param, &event->button);
    else if (group)
        showGroupMenu(app, group, &event->button);
    else
        return FALSE;
    return TRUE;
}

// A locked control wears an amber frame and a padlock in its corner.
gboolean drawLocks(GtkWidget*, cairo_t* cr, gpointer data)
{
    const App& app = *static_cast<const App*>(data);
    for (int i = 0; i < kNumParams; ++i)
    {
        if (!paramLocked(app, i))
            continue;
        const ParamProperties& p = paramProperties[i];
        cairo_set_source_rgb(cr, 1.0, 0.72, 0.1);
        cairo_set_line_width(cr, 2.0);
        cairo_rectangle(cr, p.x + 1, p.y + 1, p.width - 2, p.height - 2);
        cairo_stroke(cr);
        // The padlock: a shackle over a body, top right.
        const double bx = p.x + p.width - 13, by = p.y + 8;
        cairo_set_line_width(cr, 1.5);
        cairo_arc(cr, bx + 4.5, by, 3.0, G_PI, 2 * G_PI);
        cairo_stroke(cr);
        cairo_rectangle(cr, bx, by, 9, 7);
        cairo_fill(cr);
    }
    return FALSE;
}

} // namespace

GtkWidget* BuildLocksButton(App& app)
{
    return refilledMenuButton(app, "Locks",
                              "Groups that generators, Reset, Mutate and variations keep as they are "
                              "(right-click a knob to lock it alone)",
                              fillLocksMenu);
}

namespace
{

GtkWidget* hintItem(const std::string& text)
{
    GtkWidget* item = gtk_menu_item_new_with_label(text.c_str());
    gtk_widget_set_sensitive(item, FALSE);
    return item;
}

// A recipe kind, its description or its problem as its tooltip.
GtkWidget* kindItem(App& app, const KindMenuEntry& entry)
{
    GtkWidget* item = gtk_menu_item_new_with_label(entry.label.c_str());
    gtk_widget_set_tooltip_text(item, entry.tooltip.c_str());
    gtk_widget_set_sensitive(item, entry.usable);
    g_object_set_data_full(G_OBJECT(item), "recipe", g_strdup(entry.recipe.c_str()), g_free);
    g_signal_connect(item, "activate",
                     G_CALLBACK(+[](GtkMenuItem* item, gpointer data)
                                {
                                    MakeKind(*static_cast<App*>(data),
                                             static_cast<const char*>(g_object_get_data(G_OBJECT(item), "recipe")));
                                }),
                     &app);
    return item;
}

// Made each time it opens: a recipe added or changed meanwhile is there.
void fillKindsMenu(GtkWidget* menu, App& app)
{
    emptyMenu(menu);
    const std::vector<KindMenuEntry> entries = KindMenuEntries(RecipeKinds());
    for (const KindMenuEntry& entry : entries)
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), kindItem(app, entry));
    if (entries.empty())
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), hintItem("No recipe kinds found"));
    const std::vector<std::string> folders = KindFolders();
    if (folders.size() > 1)
    {
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
        gtk_menu_shell_append(GTK_MENU_SHELL(menu),
                              hintItem("Your own: NAME.toml in " + folders.front()));
    }
    gtk_widget_show_all(menu);
}

} // namespace

GtkWidget* BuildKindsButton(App& app)
{
    return refilledMenuButton(app, "_Kinds",
                              "New sounds of the recipe kinds, the explosion and your own; the locks "
                              "keep their values (Alt+K)",
                              fillKindsMenu);
}

void AttachLocks(App& app)
{
    app.lockMarks = gtk_drawing_area_new();
    // Drawn in the overlay's window, so that clicks pass through it to the editor.
    gtk_widget_set_has_window(app.lockMarks, FALSE);
    gtk_overlay_add_overlay(GTK_OVERLAY(app.view), app.lockMarks);
    gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(app.view), app.lockMarks, TRUE);
    g_signal_connect(app.lockMarks, "draw", G_CALLBACK(drawLocks), &app);
    g_signal_connect(gtk_bin_get_child(GTK_BIN(app.view)), "event", G_CALLBACK(onEditorEvent),
                     &app);
}
