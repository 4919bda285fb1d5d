// The list of sounds beside the editor: a row a sound with its star, number,
// name, kind and length; click to hear one, double-click or F2 to rename it.
#include "App.h"

#include <gdk/gdkkeysyms.h>

#include <cstdio>

namespace
{

const int kListWidth = 290;
const gint64 kClickAfterChoice = 300000; // µs: the click that chose a sound does not play it again

GtkWidget* part(GtkWidget* row, const char* name)
{
    return GTK_WIDGET(g_object_get_data(G_OBJECT(row), name));
}

size_t indexOf(GtkWidget* widget)
{
    GtkWidget* row = gtk_widget_get_ancestor(widget, GTK_TYPE_LIST_BOX_ROW);
    return row ? static_cast<size_t>(gtk_list_box_row_get_index(GTK_LIST_BOX_ROW(row))) : SoundList::kNone;
}

void setText(GtkWidget* label, const std::string& text)
{
    if (text != gtk_label_get_text(GTK_LABEL(label)))
        gtk_label_set_text(GTK_LABEL(label), text.c_str());
}

// Renaming: the name gives way to a field until Return (or leaving it) keeps
// what was typed, or Escape keeps the old name.
void endRename(GtkWidget* entry, App& app, bool keep)
{
    if (!gtk_widget_get_visible(entry))
        return;
    const std::string typed = gtk_entry_get_text(GTK_ENTRY(entry));
    const size_t i = indexOf(entry);
    GtkWidget* row = gtk_widget_get_ancestor(entry, GTK_TYPE_LIST_BOX_ROW);
    gtk_widget_hide(entry);
    gtk_widget_show(part(row, "name"));
    gtk_widget_grab_focus(row);
    if (keep)
        RenameSound(app, i, typed);
}

void startRename(App& app, size_t i)
{
    GtkListBoxRow* row = gtk_list_box_get_row_at_index(GTK_LIST_BOX(app.soundRows), static_cast<gint>(i));
    if (!row || i >= app.sounds.Size())
        return;
    GtkWidget* entry = part(GTK_WIDGET(row), "entry");
    gtk_entry_set_text(GTK_ENTRY(entry), app.sounds.At(i).name.c_str());
    gtk_widget_hide(part(GTK_WIDGET(row), "name"));
    gtk_widget_show(entry);
    gtk_widget_grab_focus(entry);
}

GtkWidget* rowFor(App& app)
{
    GtkWidget* star = gtk_button_new_with_label("☆");
    gtk_button_set_relief(GTK_BUTTON(star), GTK_RELIEF_NONE);
    gtk_widget_set_can_focus(star, FALSE);
    gtk_widget_set_tooltip_text(star, "Star the sounds to keep; \"Starred only\" shows them alone");
    g_signal_connect(star, "clicked", G_CALLBACK(+[](GtkButton* button, gpointer data)
                                                 {
                                                     App& app = *static_cast<App*>(data);
                                                     const size_t i = indexOf(GTK_WIDGET(button));
                                                     if (i < app.sounds.Size())
                                                         StarSound(app, i, !app.sounds.At(i).starred);
                                                 }),
                     &app);
    GtkWidget* number = gtk_label_new("");
    gtk_label_set_width_chars(GTK_LABEL(number), 3);
    gtk_label_set_xalign(GTK_LABEL(number), 1.0f);
    gtk_widget_set_tooltip_text(number, "The number the editor's slot box shows");
    GtkWidget* name = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(name), 0.0f);
    gtk_label_set_ellipsize(GTK_LABEL(name), PANGO_ELLIPSIZE_END);
    gtk_widget_set_hexpand(name, TRUE);
    GtkWidget* entry = gtk_entry_new();
    gtk_widget_set_hexpand(entry, TRUE);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 8);
    gtk_widget_set_no_show_all(entry, TRUE);
    g_signal_connect(entry, "activate",
                     G_CALLBACK(+[](GtkEntry* e, gpointer data) { endRename(GTK_WIDGET(e), *static_cast<App*>(data), true); }),
                     &app);
    g_signal_connect(entry, "focus-out-event", G_CALLBACK(+[](GtkWidget* e, GdkEvent*, gpointer data) -> gboolean
                                                          {
                                                              endRename(e, *static_cast<App*>(data), true);
                                                              return FALSE;
                                                          }),
                     &app);
    g_signal_connect(entry, "key-press-event", G_CALLBACK(+[](GtkWidget* e, GdkEventKey* event, gpointer data) -> gboolean
                                                          {
                                                              if (event->keyval != GDK_KEY_Escape)
                                                                  return FALSE;
                                                              endRename(e, *static_cast<App*>(data), false);
                                                              return TRUE;
                                                          }),
                     &app);
    GtkWidget* detail = gtk_label_new("");
    gtk_style_context_add_class(gtk_widget_get_style_context(detail), "dim-label");
    GtkWidget* line = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_widget_set_margin_end(line, 8);
    for (GtkWidget* piece : {star, number, name, entry, detail})
        gtk_box_pack_start(GTK_BOX(line), piece, piece == name || piece == entry, TRUE, 0);
    GtkWidget* row = gtk_list_box_row_new();
    gtk_container_add(GTK_CONTAINER(row), line);
    g_object_set_data(G_OBJECT(row), "star", star);
    g_object_set_data(G_OBJECT(row), "number", number);
    g_object_set_data(G_OBJECT(row), "name", name);
    g_object_set_data(G_OBJECT(row), "entry", entry);
    g_object_set_data(G_OBJECT(row), "detail", detail);
    gtk_widget_show_all(row);
    return row;
}

std::string detailOf(const SoundList& sounds, size_t i)
{
    const double seconds = sounds.SecondsOf(i);
    char length[32] = "";
    if (seconds >= 0)
        std::snprintf(length, sizeof length, " · %.2f s", seconds);
    return sounds.At(i).kind + length;
}

// The chosen row comes into view once it has its place: a row just added has
// none until the list is next laid out.
void scrollToChosen(App& app)
{
    GtkListBoxRow* row = gtk_list_box_get_selected_row(GTK_LIST_BOX(app.soundRows));
    GtkAdjustment* scroll = gtk_list_box_get_adjustment(GTK_LIST_BOX(app.soundRows));
    GtkAllocation at;
    if (!row || !scroll)
        return;
    gtk_widget_get_allocation(GTK_WIDGET(row), &at);
    if (!gtk_widget_get_child_visible(GTK_WIDGET(row)) || at.height <= 1)
        return;
    gtk_adjustment_clamp_page(scroll, at.y, at.y + at.height);
    app.scrollDue = false;
}

void onListLaidOut(GtkWidget*, GdkRectangle*, gpointer data)
{
    App& app = *static_cast<App*>(data);
    if (app.scrollDue)
        scrollToChosen(app);
}

void onSelected(GtkListBox*, GtkListBoxRow* row, gpointer data)
{
    App& app = *static_cast<App*>(data);
    if (!app.showingList && row)
        ChooseSound(app, static_cast<size_t>(gtk_list_box_row_get_index(row)));
}

// Rows have no window of their own: the list hears the double-click. The
// field opens once the click is done with, which would take its focus.
void onPress(GtkGestureMultiPress*, gint presses, gdouble, gdouble, gpointer data)
{
    if (presses == 2)
        g_idle_add(+[](gpointer data) -> gboolean
                   {
                       RenameChosen(*static_cast<App*>(data));
                       return G_SOURCE_REMOVE;
                   },
                   data);
}

// A click on the sound already chosen plays it again.
void onActivated(GtkListBox*, GtkListBoxRow*, gpointer data)
{
    App& app = *static_cast<App*>(data);
    if (g_get_monotonic_time() - app.chosenAt > kClickAfterChoice)
        Audition(app);
}

GtkWidget* toolButton(const char* label, const char* tooltip, GCallback clicked, App& app)
{
    GtkWidget* button = gtk_button_new_with_label(label);
    gtk_widget_set_tooltip_text(button, tooltip);
    gtk_widget_set_can_focus(button, FALSE);
    g_signal_connect(button, "clicked", clicked, &app);
    return button;
}

} // namespace

void RenameChosen(App& app)
{
    startRename(app, app.sounds.Current());
}

GtkWidget* BuildSoundList(App& app)
{
    app.soundRows = gtk_list_box_new();
    gtk_list_box_set_selection_mode(GTK_LIST_BOX(app.soundRows), GTK_SELECTION_BROWSE);
    GtkWidget* empty = gtk_label_new("The sounds you make appear here");
    gtk_widget_show(empty);
    gtk_list_box_set_placeholder(GTK_LIST_BOX(app.soundRows), empty);
    gtk_list_box_set_filter_func(
        GTK_LIST_BOX(app.soundRows),
        +[](GtkListBoxRow* row, gpointer data) -> gboolean
        {
            App& app = *static_cast<App*>(data);
            const size_t i = static_cast<size_t>(gtk_list_box_row_get_index(row));
            return !gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(app.starredOnly)) ||
                   (i < app.sounds.Size() && app.sounds.At(i).starred);
        },
        &app, nullptr);
    g_signal_connect(app.soundRows, "row-selected", G_CALLBACK(onSelected), &app);
    g_signal_connect_after(app.soundRows, "size-allocate", G_CALLBACK(onListLaidOut), &app);
    g_signal_connect(app.soundRows, "row-activated", G_CALLBACK(onActivated), &app);
    GtkGesture* press = gtk_gesture_multi_press_new(app.soundRows);
    g_object_set_data_full(G_OBJECT(app.soundRows), "double-click", press, g_object_unref);
    g_signal_connect(press, "pressed", G_CALLBACK(onPress), &app);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_container_add(GTK_CONTAINER(scrolled), app.soundRows);
    gtk_widget_set_vexpand(scrolled, TRUE);

    app.starredOnly = gtk_check_button_new_with_label("Starred only");
    gtk_widget_set_can_focus(app.starredOnly, FALSE);
    g_signal_connect(app.starredOnly, "toggled", G_CALLBACK(+[](GtkToggleButton*, gpointer data)
                                                            {
                                                                App& app = *static_cast<App*>(data);
                                                                gtk_list_box_invalidate_filter(GTK_LIST_BOX(app.soundRows));
                                                            }),
                     &app);
    GtkWidget* tools = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    gtk_container_set_border_width(GTK_CONTAINER(tools), 4);
    gtk_box_pack_start(GTK_BOX(tools),
                       toolButton("Copy", "Copy the sound's code, to paste anywhere (Ctrl+C)",
                                  G_CALLBACK(+[](GtkButton*, gpointer data) { CopyAction(*static_cast<App*>(data)); }), app),
                       FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(tools),
                       toolButton("Rename", "Rename the sound (F2, or double-click it)",
                                  G_CALLBACK(+[](GtkButton*, gpointer data) { RenameChosen(*static_cast<App*>(data)); }), app),
                       FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(tools),
                       toolButton("Delete", "Take the sound off the list (Delete; Ctrl+Z brings it back)",
                                  G_CALLBACK(+[](GtkButton*, gpointer data)
                                             {
                                                 App& app = *static_cast<App*>(data);
                                                 DeleteSound(app, app.sounds.Current());
                                             }),
                                  app),
                       FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(tools), app.starredOnly, FALSE, FALSE, 0);

    GtkWidget* panel = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_size_request(panel, kListWidth, -1);
    gtk_box_pack_start(GTK_BOX(panel), scrolled, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(panel), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(panel), tools, FALSE, FALSE, 0);
    return panel;
}

void ShowSoundList(App& app)
{
    if (!app.soundRows)
        return;
    app.showingList = true;
    GtkListBox* rows = GTK_LIST_BOX(app.soundRows);
    const gint count = static_cast<gint>(app.sounds.Size());
    for (GtkListBoxRow* extra; (extra = gtk_list_box_get_row_at_index(rows, count));)
        gtk_widget_destroy(GTK_WIDGET(extra));
    for (gint i = 0; i < count; ++i)
    {
        GtkListBoxRow* row = gtk_list_box_get_row_at_index(rows, i);
        if (!row)
        {
            row = GTK_LIST_BOX_ROW(rowFor(app));
            gtk_list_box_insert(rows, GTK_WIDGET(row), -1);
        }
        const ListedSound& sound = app.sounds.At(static_cast<size_t>(i));
        GtkButton* star = GTK_BUTTON(part(GTK_WIDGET(row), "star"));
        if (std::string(sound.starred ? "★" : "☆") != gtk_button_get_label(star))
            gtk_button_set_label(star, sound.starred ? "★" : "☆");
        setText(part(GTK_WIDGET(row), "number"), std::to_string(i));
        setText(part(GTK_WIDGET(row), "name"), sound.name);
        setText(part(GTK_WIDGET(row), "detail"), detailOf(app.sounds, static_cast<size_t>(i)));
    }
    const size_t chosen = app.sounds.Current();
    GtkListBoxRow* shown = chosen == SoundList::kNone ? nullptr
                                                       : gtk_list_box_get_row_at_index(rows, static_cast<gint>(chosen));
    if (shown != gtk_list_box_get_selected_row(rows))
    {
        // A sound made or chosen while only starred ones show is shown with the rest.
        if (chosen != SoundList::kNone && !app.sounds.At(chosen).starred)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(app.starredOnly), FALSE);
        gtk_list_box_select_row(rows, shown);
        app.scrollDue = true;
        scrollToChosen(app);
        gtk_widget_queue_allocate(app.soundRows);
    }
    gtk_list_box_invalidate_filter(rows);
    app.showingList = false;
}
