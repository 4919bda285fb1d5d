// bleepforge-standalone: the instrument's editor in a desktop window with audio
// out and MIDI in, hosting the bundle through its component entry as any host.
#include "App.h"
#include "KeptList.h"
#include "KIT_SafeFile.h"
#include "ShareCode.h"
#include "SlotStates.h"
#include "Wording.h"
#include "SoundState.h"

#include <CLI/CLI.hpp>
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <random>
#include <unistd.h>

namespace
{

const guint kAutosaveSeconds = 3;
const guint kStatusSeconds = 6;
// A second window's warning, which stays until another message comes.
const char kNotKept[] = "This window's sound is not kept";
const guint kSlotMilliseconds = 200;
// How often the strip hears of samples that reached full scale.
const guint kClipMilliseconds = 30;

// The bundle beside an installed program, else the one in the build tree.
std::string defaultBundle()
{
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0)
    {
        std::string dir(self, static_cast<size_t>(length));
        dir = dir.substr(0, dir.rfind('/'));
        const std::string installed = dir + "/../lib/bleepforge/Bleepforge.component";
        if (g_file_test(installed.c_str(), G_FILE_TEST_IS_DIR))
            return installed;
    }
    return BLEEPFORGE_BUILD_BUNDLE;
}

std::string configFolder()
{
    const char* config = getenv("XDG_CONFIG_HOME");
    const char* home = getenv("HOME");
    std::string folder = config && *config ? config : std::string(home ? home : ".") + "/.config";
    folder += "/bleepforge";
    g_mkdir_with_parents(folder.c_str(), 0755);
    return folder;
}

std::string dataFolder()
{
    const char* data = getenv("XDG_DATA_HOME");
    const char* home = getenv("HOME");
    std::string folder =
        data && *data ? data : std::string(home ? home : ".") + "/.local/share";
    folder += "/bleepforge";
    g_mkdir_with_parents(folder.c_str(), 0755);
    return folder;
}

// Where the last sound lives between runs.
std::string autosavePath()
{
    return configFolder() + "/last-sound.aupreset";
}

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

std::vector<UInt8> stateBytes(App& app)
{
    const ByteChunk bytes = CurrentState(*app.unit);
    return std::vector<UInt8>(bytes.GetBytes(), bytes.GetBytes() + bytes.Size());
}

// Brings back the sound kept last time. One that cannot be read is moved
// aside under a name of its own, never overwritten, so the user can still
// recover it. False when there was none to bring back.
bool restoreLastSound(App& app)
{
    if (!g_file_test(app.autosave.c_str(), G_FILE_TEST_EXISTS))
        return false;
    try
    {
        OpenSound(*app.bundle, *app.unit, app.autosave);
        app.lastSaved = stateBytes(app);
        return true;
    }
    catch (const std::exception& e)
    {
        const std::string aside = MoveAside(app.autosave);
        if (!aside.empty())
        {
            ShowStatus(app, std::string("Error: the last sound could not be restored (kept as ") +
                                aside + "): " + e.what());
            return false;
        }
        // It cannot be moved aside either: keeping no sound this session
        // is better than writing over it.
        ShowStatus(app, std::string("Error: the last sound could not be restored, and is left in ") +
                            app.autosave + "; sounds are not kept this session: " + e.what());
        app.autosave.clear();
    }
    return false;
}

// The list of the last session comes back, or the slots of a session from
// before there was a list.
void restoreList(App& app, const std::string& folder)
{
    app.listPath = folder + "/sounds.txt";
    KeptList kept = LoadKeptList(app.listPath, folder + "/slots.bin", BytesOf(CurrentState(*app.unit)));
    app.sounds = std::move(kept.sounds);
    if (!kept.problem.empty())
        ShowStatus(app, "Error: " + kept.problem);
    if (!kept.keep)
        app.listPath.clear();
}

void showChosen(App& app)
{
    const std::string& state = app.sounds.At(app.sounds.Current()).state;
    ByteChunk chunk;
    chunk.PutBytes(state.data(), static_cast<int>(state.size()));
    try
    {
        RestoreFrom(*app.unit, StateDictionary(*app.bundle, chunk), "the chosen sound");
    }
    catch (const std::exception& e)
    {
        ShowStatus(app, std::string("Error: ") + e.what());
    }
}

// The sound in the editor is the chosen one of the list, or a sound of its
// own when none is chosen. A kept sound that is not the chosen one (a tweak
// that slots never held) joins the list rather than being lost; with no kept
// sound, the chosen one is shown.
void joinLastSound(App& app, bool restored)
{
    const std::string sound = BytesOf(CurrentState(*app.unit));
    const size_t chosen = app.sounds.Current();
    if (chosen == SoundList::kNone || app.sounds.At(chosen).state == sound)
        return;
    if (!restored)
        return showChosen(app);
    for (size_t i = 0; i < app.sounds.Size(); ++i)
        if (app.sounds.At(i).state == sound)
            return app.sounds.Choose(i);
    app.sounds.Add(sound, "kept", "last sound");
}

// The folder a file is in, the home folder written ~.
std::string shownFolder(const std::string& file)
{
    std::string folder = file.substr(0, file.rfind('/'));
    const std::string home = g_get_home_dir();
    if (!home.empty() && home != "/" && folder.compare(0, home.size(), home) == 0 &&
        (folder.size() == home.size() || folder[home.size()] == '/'))
        folder = "~" + folder.substr(home.size());
    return folder;
}

// Only the first app started on a config folder keeps its sound and list
// there; the others say so instead of overwriting them unseen.
void takeKeptSound(App& app, std::unique_ptr<KeepLock>& lock)
{
    lock = std::make_unique<KeepLock>(app.autosave);
    if (lock->Held())
    {
        const bool restored = restoreLastSound(app);
        restoreList(app, dataFolder());
        joinLastSound(app, restored);
        try
        {
            RestoreSlots(*app.unit, SlotsOfList(app.sounds));
        }
        catch (const std::exception& e)
        {
            ShowStatus(app, std::string("Error: the editor's slots do not follow the list: ") + e.what());
        }
        return;
    }
    // Three short lines, the folder on its own, fit the status's place whole.
    ShowStatus(app, lock->Problem().empty()
                        ? std::string(kNotKept) + ": another Bleepforge window keeps its own in\n" +
                              shownFolder(app.autosave)
                        : "Error: this window's sound is not kept: " + lock->Problem());
    app.autosave.clear();
}

// Saves the list when it changed since the last save.
void keepList(App& app)
{
    if (app.listPath.empty())
        return;
    const std::string now = app.sounds.FileText();
    if (now == app.lastList)
        return;
    std::string error;
    if (KIT_WriteFileSafely(app.listPath, now.data(), now.size(), &error))
        app.lastList = now;
    else
        ShowStatus(app, "Error: the list of sounds could not be kept: " + error);
}

// Saves the sound and the list when they changed since the last save; also on exit.
void autosave(App& app)
{
    keepList(app);
    if (app.autosave.empty())
        return;
    const std::vector<UInt8> now = stateBytes(app);
    if (now.empty() || now == app.lastSaved)
        return;
    try
    {
        SaveSound(*app.unit, app.autosave);
        app.lastSaved = now;
    }
    catch (const std::exception& e)
    {
        ShowStatus(app, std::string("Error: the sound could not be kept: ") + e.what());
    }
}

gboolean onTick(gpointer data)
{
    App& app = *static_cast<App*>(data);
    autosave(app);
    const std::string problem = app.io->Problem();
    if (problem != app.shownProblem)
    {
        ShowStatus(app, problem);
        if (!problem.empty()) // also for whoever started the app from a terminal
            std::cerr << "bleepforge-standalone: " << problem << std::endl;
    }
    app.shownProblem = problem;
    return G_SOURCE_CONTINUE;
}

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

// The instrument's slot buttons change its slots; the list and the header
// follow, numbering the sounds from 1 as the list and the editor's slot box do.
gboolean onSlotTick(gpointer data)
{
    App& app = *static_cast<App*>(data);
    FollowSlots(app);
    const size_t count = app.sounds.Size();
    const size_t chosen = app.sounds.Current();
    const std::string text = count == 0                  ? "No sounds yet"
                             : chosen == SoundList::kNone ? "New sound: SAVE keeps it as " + std::to_string(count + 1)
                                                          : "Sound " + std::to_string(chosen + 1) + " of " +
                                                                std::to_string(count);
    if (text != gtk_label_get_text(GTK_LABEL(app.slot)))
        gtk_label_set_text(GTK_LABEL(app.slot), text.c_str());
    return G_SOURCE_CONTINUE;
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

void buildWindow(App& app)
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

// An open dialog runs a loop of its own, which the app's quitting does not
// end: it is cancelled first, as Escape would.
gboolean onStopAsked(gpointer)
{
    GList* windows = gtk_window_list_toplevels();
    for (GList* window = windows; window; window = window->next)
        if (GTK_IS_DIALOG(window->data) && gtk_widget_get_visible(GTK_WIDGET(window->data)))
            gtk_dialog_response(GTK_DIALOG(window->data), GTK_RESPONSE_DELETE_EVENT);
    g_list_free(windows);
    gtk_main_quit();
    return G_SOURCE_REMOVE;
}

gboolean onClipTick(gpointer data)
{
    App& app = *static_cast<App*>(data);
    if (const long clipped = app.io->TakeClipped())
        app.strip->LiveClipped(clipped);
    app.io->TakeBackPlayed();
    return G_SOURCE_CONTINUE;
}

// The audio libraries write their own warnings to stderr (a JACK server that
// is not running, ALSA's configuration); unless asked for, they stay quiet
// while the devices open. What matters reaches the window.
class QuietLibraries
{
public:
    explicit QuietLibraries(bool verbose)
    {
        if (verbose)
            return;
        std::fflush(stderr);
        mSaved = dup(STDERR_FILENO);
        const int nothing = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (mSaved >= 0 && nothing >= 0)
            dup2(nothing, STDERR_FILENO);
        if (nothing >= 0)
            close(nothing);
    }
    ~QuietLibraries()
    {
        if (mSaved < 0)
            return;
        std::fflush(stderr);
        dup2(mSaved, STDERR_FILENO);
        close(mSaved);
    }
    QuietLibraries(const QuietLibraries&) = delete;
    QuietLibraries& operator=(const QuietLibraries&) = delete;

private:
    int mSaved = -1;
};

// The generators draw from the window's own random sequence; a session
// never starts where another left it.
void seedGenerators(AUInstance& unit)
{
    const UInt32 seed = std::random_device{}();
    unit.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
}

// The kept sound and list are where the history starts; the strip draws it.
void beginSession(App& app, std::unique_ptr<KeepLock>& keepLock)
{
    seedGenerators(*app.unit);
    takeKeptSound(app, keepLock);
    app.history.Reset({app.sounds.Now(), BytesOf(CurrentState(*app.unit))});
    ShowSoundList(app);
    ListenToSound(app);
    ExportChanged(app);
}

int runApp(const std::string& bundlePath, const DeviceOptions& options)
{
    AUBundle bundle(bundlePath);
    RenderBundle renders(bundle);
    AUInstance unit(bundle, "bleepforge-standalone");
    DeviceIO io(unit);
    App app;
    app.bundle = &bundle;
    app.renders = &renders;
    app.unit = &unit;
    app.io = &io;
    app.autosave = autosavePath();
    app.settingsPath = configFolder() + "/settings.ini";
    std::string settingsProblem;
    app.settings = LoadSettings(app.settingsPath, &settingsProblem);
    {
        QuietLibraries quiet(options.verbose);
        io.Start(options);
    }
    buildWindow(app);
    ShowStatus(app, io.Problem());
    if (!settingsProblem.empty())
        ShowStatus(app, "Error: " + settingsProblem);
    app.defaults = BytesOf(CurrentState(unit));
    std::unique_ptr<KeepLock> keepLock;
    beginSession(app, keepLock);
    app.shownProblem = io.Problem();
    const guint timer = g_timeout_add_seconds(kAutosaveSeconds, onTick, &app);
    onSlotTick(&app);
    const guint slotTimer = g_timeout_add(kSlotMilliseconds, onSlotTick, &app);
    const guint clipTimer = g_timeout_add(kClipMilliseconds, onClipTick, &app);
    // Asked to stop (a session that ends, Ctrl+C in the terminal), the app
    // closes as its window does: the sound and the list are kept.
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        g_unix_signal_add(signal, onStopAsked, nullptr);
    gtk_main();
    app.changes.reset();
    if (app.settling)
        g_source_remove(app.settling);
    if (app.statusShown)
        g_source_remove(app.statusShown);
    g_source_remove(clipTimer);
    g_source_remove(slotTimer);
    g_source_remove(timer);
    autosave(app);
    app.strip.reset();
    io.Stop();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App cli{"bleepforge-standalone: make and play retro sound effects",
                 "bleepforge-standalone"};
    DeviceOptions options;
    bool listDevices = false;
    std::string bundlePath = defaultBundle();
    cli.add_flag("--list-devices", listDevices, "List audio outputs and MIDI inputs");
    cli.add_option("--audio-device", options.audioDevice,
                   "Audio output number, as --list-devices numbers them (default: the system's)");
    cli.add_option("--midi-port", options.midiPort,
                   "MIDI input number, as --list-devices numbers them (default: all)");
    cli.add_option("--rate", options.rate,
                   "Sample rate in Hz (default: the device's own; a JACK server's rate)")
        ->check(CLI::Range(8000, 192000));
    cli.add_option("--buffer", options.buffer,
                   "Frames per block asked of the device; a JACK server keeps its own")
        ->check(CLI::Range(16, 8192))
        ->capture_default_str();
    cli.add_option("--bundle", bundlePath, "The .component folder")->capture_default_str();
    cli.add_flag("--verbose", options.verbose, "Let the audio libraries' own messages through");
    CLI11_PARSE(cli, argc, argv);
    if (listDevices)
    {
        std::string devices;
        {
            QuietLibraries quiet(options.verbose);
            devices = DeviceIO::ListDevices();
        }
        std::cout << devices;
        return 0;
    }
    if (!gtk_init_check(&argc, &argv))
    {
        std::cerr << "bleepforge-standalone: cannot open a display" << std::endl;
        return 1;
    }
    try
    {
        return runApp(bundlePath, options);
    }
    catch (const std::exception& e)
    {
        std::cerr << "bleepforge-standalone: " << e.what() << std::endl;
        return 1;
    }
}
