// The window: the editor from the instrument's view factory, the header bar,
// the strip, the list of sounds and the status beside it.
#include "AppWindow.h"

#include "App.h"
#include "FileActions.h"
#include "Keys.h"
#include "SoundChanges.h"
#include "SoundMakers.h"
#include "Wording.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <string>

namespace
{

const guint kStatusSeconds = 6;

} // namespace

bool WorkAreaOf(GtkWidget* widget, GdkRectangle* area)
{
    GdkDisplay* display = gtk_widget_get_display(widget);
    GdkWindow* shown = gtk_widget_get_window(widget);
    GdkMonitor* monitor = shown ? gdk_display_get_monitor_at_window(display, shown) : nullptr;
    if (!monitor)
        monitor = gdk_display_get_primary_monitor(display);
    if (!monitor)
        monitor = gdk_display_get_monitor(display, 0);
    if (!monitor)
        return false;
    gdk_monitor_get_workarea(monitor, area);
    return true;
}

void ShowStatus(App& app, const std::string& text)
{
    gtk_label_set_text(GTK_LABEL(app.infoText), text.c_str());
    const bool error = text.rfind("Error", 0) == 0 || text.rfind("No sound", 0) == 0 ||
                       text.rfind("The audio", 0) == 0 || text.rfind(kNotKept, 0) == 0;
    gtk_info_bar_set_message_type(GTK_INFO_BAR(app.infoBar), error ? GTK_MESSAGE_WARNING : GTK_MESSAGE_INFO);
    gtk_widget_set_visible(app.infoBar, !text.empty());
    if (app.statusShown)
        g_source_remove(app.statusShown);
    app.statusShown = 0;
    if (!error && !text.empty())
        app.statusShown = g_timeout_add_seconds(kStatusSeconds,
                                                +[](gpointer data) -> gboolean
                                                {
                                                    App& app = *static_cast<App*>(data);
                                                    app.statusShown = 0;
                                                    gtk_widget_hide(app.infoBar);
                                                    return G_SOURCE_REMOVE;
                                                },
                                                &app);
}

namespace
{

// A window whose list is not kept (another window keeps its own) asks
// before its sounds go with it.
bool mayClose(App& app)
{
    if (!app.listPath.empty() || app.sounds.Size() == 0)
        return true;
    const std::string question = "Close this window and lose its " + Counted(app.sounds.Size(), "sound") + "?";
    GtkWidget* ask = gtk_message_dialog_new(GTK_WINDOW(app.window), GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                            GTK_BUTTONS_NONE, "%s", question.c_str());
    gtk_window_set_title(GTK_WINDOW(ask), "Close this window?");
    gtk_message_dialog_format_secondary_text(
        GTK_MESSAGE_DIALOG(ask), "Another Bleepforge window keeps its list, so this one's sounds are not kept. "
                                 "Export them, or copy a sound (Ctrl+C) and paste it in the other window, first.");
    gtk_dialog_add_buttons(GTK_DIALOG(ask), "_Cancel", GTK_RESPONSE_CANCEL, "C_lose and lose them",
                           GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(ask), GTK_RESPONSE_CANCEL);
    const bool close = gtk_dialog_run(GTK_DIALOG(ask)) == GTK_RESPONSE_ACCEPT;
    gtk_widget_destroy(ask);
    return close;
}

// The window stays until the instrument closes its editor, after the last save.
gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data)
{
    if (mayClose(*static_cast<App*>(data)))
        gtk_main_quit();
    return TRUE;
}

GtkWidget* addButton(GtkWidget* bar, const char* label, const char* tooltip, void (*action)(App&),
                     App& app, bool atStart = true)
{
    GtkWidget* button = gtk_button_new_with_mnemonic(label);
    gtk_widget_set_tooltip_text(button, tooltip);
    g_object_set_data(G_OBJECT(button), "action", reinterpret_cast<gpointer>(action));
    g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton* b, gpointer data)
                                                   {
                                                       auto run = reinterpret_cast<void (*)(App&)>(
                                                           g_object_get_data(G_OBJECT(b), "action"));
                                                       run(*static_cast<App*>(data));
                                                   }),
                     &app);
    if (atStart)
        gtk_header_bar_pack_start(GTK_HEADER_BAR(bar), button);
    else
        gtk_header_bar_pack_end(GTK_HEADER_BAR(bar), button);
    return button;
}

// The editor comes from the view factory the instrument names, as a host finds it.
GtkWidget* openEditor(App& app)
{
    AudioUnitCocoaViewInfo info = {};
    UInt32 size = sizeof info;
    if (app.unit->GetProperty(kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info,
                              &size) != noErr)
        throw std::runtime_error("the instrument has no editor");
    char className[256] = {};
    CFStringGetCString(info.mCocoaAUViewClass[0], className, sizeof className,
                       kCFStringEncodingUTF8);
    CFRelease(info.mCocoaAUViewClass[0]);
    if (info.mCocoaAUViewBundleLocation)
        CFRelease(info.mCocoaAUViewBundleLocation);
    using Factory = void* (*)(AudioUnit, float, float);
    auto factory = reinterpret_cast<Factory>(
        app.bundle->Symbol((std::string(className) + "_UIViewForAudioUnit").c_str()));
    GtkWidget* view =
        factory ? static_cast<GtkWidget*>(factory(app.unit->Handle(), 0, 0)) : nullptr;
    if (!view)
        throw std::runtime_error("the instrument's editor did not open");
    return view;
}

// A status that wraps instead of being cut, beside the editor.
GtkWidget* buildInfoBar(App& app)
{
    app.infoBar = gtk_info_bar_new();
    app.infoText = gtk_label_new("");
    gtk_label_set_line_wrap(GTK_LABEL(app.infoText), TRUE);
    gtk_label_set_xalign(GTK_LABEL(app.infoText), 0.0f);
    gtk_label_set_selectable(GTK_LABEL(app.infoText), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(app.infoText), 30);
    // The whole width beside the close button; a path too long for it breaks anywhere.
    gtk_label_set_line_wrap_mode(GTK_LABEL(app.infoText), PANGO_WRAP_WORD_CHAR);
    gtk_box_pack_start(GTK_BOX(gtk_info_bar_get_content_area(GTK_INFO_BAR(app.infoBar))), app.infoText, TRUE,
                       TRUE, 0);
    gtk_info_bar_set_show_close_button(GTK_INFO_BAR(app.infoBar), TRUE);
    g_signal_connect(app.infoBar, "response",
                     G_CALLBACK(+[](GtkInfoBar* bar, gint, gpointer) { gtk_widget_hide(GTK_WIDGET(bar)); }),
                     nullptr);
    gtk_widget_show(app.infoText); // shown with the bar, which show_all leaves alone
    gtk_widget_set_no_show_all(app.infoBar, TRUE);
    return app.infoBar;
}

// The status keeps a place of its own under the list's buttons, as high as
// three of its lines, so that nothing moves when a message comes or goes (a
// button would leave the pointer); a longer message scrolls within it.
GtkWidget* statusPlace(App& app)
{
    GtkWidget* bar = buildInfoBar(app);
    gtk_label_set_text(GTK_LABEL(app.infoText), "1\n2\n3");
    gtk_widget_show(bar); // a hidden bar measures nothing
    int height = 0;
    gtk_widget_get_preferred_height(bar, nullptr, &height);
    gtk_widget_hide(bar);
    gtk_label_set_text(GTK_LABEL(app.infoText), "");
    GtkWidget* place = gtk_scrolled_window_new(nullptr, nullptr);
    GtkScrolledWindow* scrolled = GTK_SCROLLED_WINDOW(place);
    gtk_scrolled_window_set_policy(scrolled, GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_min_content_height(scrolled, height);
    gtk_scrolled_window_set_max_content_height(scrolled, height);
    gtk_container_add(GTK_CONTAINER(place), bar);
    gtk_viewport_set_shadow_type(GTK_VIEWPORT(gtk_bin_get_child(GTK_BIN(place))), GTK_SHADOW_NONE);
    return place;
}

} // namespace

// The header numbers the sounds from 1, as the list and the editor's slot box do.
void ShowSlot(App& app)
{
    const size_t count = app.sounds.Size();
    const size_t chosen = app.sounds.Current();
    const std::string text = count == 0                  ? "No sounds yet"
                             : chosen == SoundList::kNone ? "New sound: SAVE keeps it as " + std::to_string(count + 1)
                                                          : "Sound " + std::to_string(chosen + 1) + " of " +
                                                                std::to_string(count);
    if (text != gtk_label_get_text(GTK_LABEL(app.slot)))
        gtk_label_set_text(GTK_LABEL(app.slot), text.c_str());
}

void ShowSoundList(App& app)
{
    if (app.list)
        app.list->Show();
}

void RenameChosen(App& app)
{
    if (app.list)
        app.list->StartRename(app.sounds.Current());
}

namespace
{

GtkWidget* buildSoundList(App& app)
{
    SoundListView::Actions actions;
    actions.choose = [&app](size_t i) { ChooseSound(app, i); };
    actions.playChosen = [&app] { Audition(app); };
    actions.star = [&app](size_t i, bool starred) { StarSound(app, i, starred); };
    actions.rename = [&app](size_t i, const std::string& name) { RenameSound(app, i, name); };
    actions.copy = [&app] { CopyAction(app); };
    actions.paste = [&app] { PasteAction(app); };
    actions.removeChosen = [&app] { DeleteSound(app, app.sounds.Current()); };
    app.list = std::make_unique<SoundListView>(app.sounds, std::move(actions));
    return app.list->Widget();
}

// Beside Export: the list's sounds, a file each.
GtkWidget* exportSeveralMenu(App& app)
{
    GtkWidget* menu = gtk_menu_new();
    const std::pair<const char*, bool> items[] = {{"Export starred… (Ctrl+Shift+E)", true},
                                                  {"Export all…", false}};
    for (const auto& [label, starredOnly] : items)
    {
        GtkWidget* item = gtk_menu_item_new_with_label(label);
        g_object_set_data(G_OBJECT(item), "starred-only", GINT_TO_POINTER(starredOnly));
        g_signal_connect(item, "activate", G_CALLBACK(+[](GtkMenuItem* item, gpointer data)
                                                      {
                                                          ExportSeveralAction(*static_cast<App*>(data),
                                                                              g_object_get_data(G_OBJECT(item), "starred-only"));
                                                      }),
                         &app);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    }
    gtk_widget_show_all(menu);
    GtkWidget* button = gtk_menu_button_new();
    gtk_menu_button_set_popup(GTK_MENU_BUTTON(button), menu);
    gtk_widget_set_tooltip_text(button, "Export the starred sounds, or all of the list, a file each into a folder");
    return button;
}

GtkWidget* buildHeader(App& app)
{
    GtkWidget* bar = gtk_header_bar_new();
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(bar), TRUE);
    addButton(bar, "_Open…", "Open a sound: a state, a preset, or an audio file Bleepforge wrote (Ctrl+O)",
              OpenAction, app);
    addButton(bar, "_Save…", "Save the sound as a state or a preset (Ctrl+S)", SaveAction, app);
    addButton(bar, "_Export…", "Write the sound as an audio file (Ctrl+E)", ExportAction, app);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(bar), exportSeveralMenu(app));
    app.undoButton = addButton(bar, "↶", "Undo the last change of the sound (Ctrl+Z)", Undo, app);
    app.redoButton = addButton(bar, "↷", "Redo what was undone (Ctrl+Shift+Z or Ctrl+Y)", Redo, app);
    // The window's title needs no room here: the editor says what this is.
    gtk_header_bar_set_custom_title(GTK_HEADER_BAR(bar), gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0));
    gtk_widget_set_sensitive(app.undoButton, FALSE);
    gtk_widget_set_sensitive(app.redoButton, FALSE);
    addButton(bar, "?", "Keys (F1)", ShowKeys, app, false);
    GtkWidget* play = gtk_check_button_new_with_label("Play on change");
    gtk_widget_set_tooltip_text(play, "Hear the sound after every change (Space plays it, Escape stops it)");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(play), app.settings.playOnChange);
    gtk_widget_set_can_focus(play, FALSE);
    g_signal_connect(play, "toggled", G_CALLBACK(+[](GtkToggleButton* button, gpointer data)
                                                 {
                                                     App& app = *static_cast<App*>(data);
                                                     app.settings.playOnChange =
                                                         gtk_toggle_button_get_active(button);
                                                     KeepSettings(app);
                                                 }),
                     &app);
    gtk_header_bar_pack_end(GTK_HEADER_BAR(bar), play);
    app.slot = gtk_label_new("");
    gtk_header_bar_pack_end(GTK_HEADER_BAR(bar), app.slot);
    app.octaveLabel = gtk_label_new("");
    gtk_widget_set_tooltip_text(app.octaveLabel, "The octave the keys A to K play (Z, X move it)");
    gtk_header_bar_pack_end(GTK_HEADER_BAR(bar), app.octaveLabel);
    ShowOctave(app);
    app.kindsButton = BuildKindsButton(app);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(bar), app.kindsButton);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(bar), BuildLocksButton(app));
    addButton(bar, "Variations…", "New sounds mutated from this one, the locks kept (V)", VariationsAction,
              app);
    return bar;
}

// The editor in a frame that scrolls it upright, pixel for pixel, when the
// screen is too low for it; on a screen with room it shows whole.
GtkWidget* editorScroller(GtkWidget* view)
{
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    GtkScrolledWindow* scrolled = GTK_SCROLLED_WINDOW(scroller);
    gtk_scrolled_window_set_policy(scrolled, GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    // A scroll bar beside the editor says there is more, and hides none of it.
    gtk_scrolled_window_set_overlay_scrolling(scrolled, FALSE);
    gtk_scrolled_window_set_propagate_natural_width(scrolled, TRUE);
    gtk_scrolled_window_set_propagate_natural_height(scrolled, TRUE);
    gtk_scrolled_window_set_shadow_type(scrolled, GTK_SHADOW_NONE);
    gtk_container_add(GTK_CONTAINER(scroller), view);
    gtk_viewport_set_shadow_type(GTK_VIEWPORT(gtk_bin_get_child(GTK_BIN(scroller))), GTK_SHADOW_NONE);
    return scroller;
}

// Lets the editor's frame grow only as far as the screen's free area leaves
// room for the header bar above it.
void fitToScreen(GtkWidget* window, GtkWidget* scroller, GtkWidget* editor)
{
    const int kLeastEditorHeight = 240;
    GdkRectangle area;
    if (!WorkAreaOf(window, &area))
        return;
    int windowHeight = 0, editorHeight = 0;
    gtk_widget_get_preferred_height(window, nullptr, &windowHeight);
    gtk_widget_get_preferred_height(editor, nullptr, &editorHeight);
    const int room = area.height - (windowHeight - editorHeight);
    gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(scroller),
                                               std::max(kLeastEditorHeight, room));
}

} // namespace

void BuildWindow(App& app)
{
    // The header bar, the list and the dialogs are dark, as the editor is.
    g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", TRUE, nullptr);
    app.window = gtk_widget_get_toplevel(openEditor(app));
    app.view = gtk_bin_get_child(GTK_BIN(app.window));
    // The title bar can only be replaced before the window is realised.
    gtk_widget_hide(app.window);
    gtk_widget_unrealize(app.window);
    gtk_window_set_titlebar(GTK_WINDOW(app.window), buildHeader(app));
    gtk_window_set_title(GTK_WINDOW(app.window), "Bleepforge");
    // Typed text that is not a number keeps the value here, and the field says so.
    g_object_set_data(G_OBJECT(app.window), "bleepforge-keeps-unparsed-values", GINT_TO_POINTER(1));
    // The editor takes the window's whole height; the strip, the list and
    // the status stand beside it, so that a low screen still shows them.
    g_object_ref(app.view);
    gtk_container_remove(GTK_CONTAINER(app.window), app.view);
    GtkWidget* scroller = editorScroller(app.view);
    g_object_unref(app.view);
    app.strip = std::make_unique<WaveStrip>(
        *app.renders, [&app] { Audition(app); },
        [&app](const WaveStrip::Rendered& sound) { SoundRendered(app, sound); });
    GtkWidget* panel = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(panel), app.strip->Widget(), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(panel), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(panel), buildSoundList(app), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(panel), statusPlace(app), FALSE, FALSE, 0);
    GtkWidget* sides = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_start(GTK_BOX(sides), scroller, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(sides), gtk_separator_new(GTK_ORIENTATION_VERTICAL), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(sides), panel, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(app.window), sides);
    AttachLocks(app);
    g_signal_connect(app.window, "delete-event", G_CALLBACK(onDelete), &app);
    g_signal_connect(app.window, "key-press-event", G_CALLBACK(OnKeyPress), &app);
    g_signal_connect(app.window, "key-release-event", G_CALLBACK(OnKeyRelease), &app);
    // Measured shown but not yet on screen, so that the window opens fitted.
    gtk_widget_show_all(sides);
    gtk_widget_show_all(gtk_window_get_titlebar(GTK_WINDOW(app.window)));
    fitToScreen(app.window, scroller, app.view);
    gtk_widget_show_all(app.window);
}
