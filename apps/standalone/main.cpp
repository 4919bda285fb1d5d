// bleepforge-standalone: the instrument's editor in a desktop window with audio
// out and MIDI in, hosting the bundle through its component entry as any host.
#include "DeviceIO.h"
#include "SoundFiles.h"

#include <CLI/CLI.hpp>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace
{

const guint kAutosaveSeconds = 3;
const guint kSlotMilliseconds = 200;

// Where the last sound lives between runs.
std::string autosavePath()
{
    const char* config = getenv("XDG_CONFIG_HOME");
    const char* home = getenv("HOME");
    std::string folder = config && *config ? config : std::string(home ? home : ".") + "/.config";
    folder += "/bleepforge";
    g_mkdir_with_parents(folder.c_str(), 0755);
    return folder + "/last-sound.aupreset";
}

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

struct App
{
    AUBundle* bundle = nullptr;
    AUInstance* unit = nullptr;
    DeviceIO* io = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* status = nullptr;
    GtkWidget* slot = nullptr;
    std::string autosave; // empty: sounds are not kept this session
    std::vector<UInt8> lastSaved; // GUI thread: the state the autosave holds
    std::string shownProblem;     // GUI thread: the device problem last shown
};

void showStatus(App& app, const std::string& text)
{
    gtk_label_set_text(GTK_LABEL(app.status), text.c_str());
    gtk_widget_set_tooltip_text(app.status, text.c_str()); // the whole text when cut short
}

// Runs a file action, showing its outcome in the status line.
template <class Action> void attempt(App& app, const std::string& done, Action action)
{
    try
    {
        action();
        showStatus(app, done);
    }
    catch (const std::exception& e)
    {
        showStatus(app, std::string("Error: ") + e.what());
    }
}

std::string chooseFile(App& app, GtkFileChooserAction action, const char* title, const char* accept)
{
    GtkWidget* dialog =
        gtk_file_chooser_dialog_new(title, GTK_WINDOW(app.window), action, "_Cancel",
                                    GTK_RESPONSE_CANCEL, accept, GTK_RESPONSE_ACCEPT, nullptr);
    if (action == GTK_FILE_CHOOSER_ACTION_SAVE)
        gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog), TRUE);
    std::string path;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT)
    {
        char* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
        path = chosen ? chosen : "";
        g_free(chosen);
    }
    gtk_widget_destroy(dialog);
    // The dialog leaves the screen now, not after the file work that follows
    // (an export takes a moment) has let the main loop run again.
    gdk_display_flush(gdk_display_get_default());
    return path;
}

void onOpen(GtkButton*, gpointer data)
{
    App& app = *static_cast<App*>(data);
    const std::string path = chooseFile(app, GTK_FILE_CHOOSER_ACTION_OPEN, "Open sound", "_Open");
    if (!path.empty())
        attempt(app, "Opened " + path, [&] { OpenSound(*app.bundle, *app.unit, path); });
}

void onSave(GtkButton*, gpointer data)
{
    App& app = *static_cast<App*>(data);
    const std::string path = chooseFile(app, GTK_FILE_CHOOSER_ACTION_SAVE, "Save sound", "_Save");
    if (!path.empty())
        attempt(app, "Saved " + path, [&] { SaveSound(*app.unit, path); });
}

void onExport(GtkButton*, gpointer data)
{
    App& app = *static_cast<App*>(data);
    const std::string path = chooseFile(app, GTK_FILE_CHOOSER_ACTION_SAVE, "Export WAV", "_Export");
    if (!path.empty())
        attempt(app, "Exported " + path, [&] { ExportSound(*app.bundle, *app.unit, ExportSettings(), path); });
}

std::vector<UInt8> stateBytes(App& app)
{
    const ByteChunk bytes = CurrentState(*app.unit);
    return std::vector<UInt8>(bytes.GetBytes(), bytes.GetBytes() + bytes.Size());
}

// Brings back the sound kept last time. One that cannot be read is moved
// aside under a name of its own, never overwritten, so the user can still
// recover it.
void restoreLastSound(App& app)
{
    if (!g_file_test(app.autosave.c_str(), G_FILE_TEST_EXISTS))
        return;
    try
    {
        OpenSound(*app.bundle, *app.unit, app.autosave);
        app.lastSaved = stateBytes(app);
    }
    catch (const std::exception& e)
    {
        const std::string aside = MoveAside(app.autosave);
        if (!aside.empty())
        {
            showStatus(app, std::string("Error: the last sound could not be restored (kept as ") +
                                aside + "): " + e.what());
            return;
        }
        // It cannot be moved aside either: keeping no sound this session
        // is better than writing over it.
        showStatus(app, std::string("Error: the last sound could not be restored, and is left in ") +
                            app.autosave + "; sounds are not kept this session: " + e.what());
        app.autosave.clear();
    }
}

// Only the first app started on a config folder keeps its sound there; the
// others say so instead of overwriting it unseen.
void takeKeptSound(App& app, std::unique_ptr<KeepLock>& lock)
{
    lock = std::make_unique<KeepLock>(app.autosave);
    if (lock->Held())
    {
        restoreLastSound(app);
        return;
    }
    showStatus(app, "Another Bleepforge window keeps its sound in " + app.autosave +
                        "; this window's sound is not kept");
    app.autosave.clear();
}

// Saves the sound when it changed since the last save; also on exit.
void autosave(App& app)
{
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
        showStatus(app, std::string("Error: the sound could not be kept: ") + e.what());
    }
}

gboolean onTick(gpointer data)
{
    App& app = *static_cast<App*>(data);
    autosave(app);
    const std::string problem = app.io->Problem();
    if (problem != app.shownProblem)
    {
        showStatus(app, problem);
        if (!problem.empty()) // also for whoever started the app from a terminal
            std::cerr << "bleepforge-standalone: " << problem << std::endl;
    }
    app.shownProblem = problem;
    return G_SOURCE_CONTINUE;
}

// The window stays until the instrument closes its editor, after the last save.
gboolean onDelete(GtkWidget*, GdkEvent*, gpointer)
{
    gtk_main_quit();
    return TRUE;
}

// The instrument's slot buttons change it; the header follows.
gboolean onSlotTick(gpointer data)
{
    App& app = *static_cast<App*>(data);
    SInt32 slot[2] = {0, 0};
    UInt32 size = sizeof slot;
    std::string text = "No slots yet";
    if (app.unit->GetProperty(kSoundSlotProperty, kAudioUnitScope_Global, 0, slot, &size) ==
            noErr &&
        size == sizeof slot && slot[1] > 0)
        text = "Slot " + std::to_string(slot[0]) + " of " + std::to_string(slot[1]);
    if (text != gtk_label_get_text(GTK_LABEL(app.slot)))
        gtk_label_set_text(GTK_LABEL(app.slot), text.c_str());
    return G_SOURCE_CONTINUE;
}

void addButton(GtkWidget* bar, const char* label, GCallback handler, App& app)
{
    GtkWidget* button = gtk_button_new_with_mnemonic(label);
    g_signal_connect(button, "clicked", handler, &app);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(bar), button);
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

// The title with the status line under it. The status is cut short to keep
// the bar no wider than the editor; a long message never widens the window.
GtkWidget* titleWithStatus(App& app)
{
    GtkWidget* title = gtk_label_new("Bleepforge");
    gtk_style_context_add_class(gtk_widget_get_style_context(title), "title");
    app.status = gtk_label_new("");
    gtk_style_context_add_class(gtk_widget_get_style_context(app.status), "subtitle");
    gtk_label_set_ellipsize(GTK_LABEL(app.status), PANGO_ELLIPSIZE_END);
    gtk_label_set_max_width_chars(GTK_LABEL(app.status), 28);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_valign(box, GTK_ALIGN_CENTER);
    gtk_box_pack_start(GTK_BOX(box), title, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), app.status, FALSE, FALSE, 0);
    return box;
}

void buildWindow(App& app)
{
    GtkWidget* view = openEditor(app);
    app.window = gtk_widget_get_toplevel(view);
    // The title bar can only be replaced before the window is realised.
    gtk_widget_hide(app.window);
    gtk_widget_unrealize(app.window);
    GtkWidget* bar = gtk_header_bar_new();
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(bar), TRUE);
    addButton(bar, "_Open sound…", G_CALLBACK(onOpen), app);
    addButton(bar, "_Save sound…", G_CALLBACK(onSave), app);
    addButton(bar, "_Export WAV…", G_CALLBACK(onExport), app);
    app.slot = gtk_label_new("");
    gtk_header_bar_pack_end(GTK_HEADER_BAR(bar), app.slot);
    gtk_header_bar_set_custom_title(GTK_HEADER_BAR(bar), titleWithStatus(app));
    gtk_window_set_titlebar(GTK_WINDOW(app.window), bar);
    gtk_window_set_title(GTK_WINDOW(app.window), "Bleepforge");
    g_signal_connect(app.window, "delete-event", G_CALLBACK(onDelete), nullptr);
    gtk_widget_show_all(app.window);
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
    cli.add_option("--audio-device", options.audioDevice, "Audio output number");
    cli.add_option("--midi-port", options.midiPort, "MIDI input number (default: all)");
    cli.add_option("--rate", options.rate, "Sample rate in Hz")->check(CLI::Range(8000, 192000));
    cli.add_option("--buffer", options.buffer, "Frames per block")->check(CLI::Range(16, 8192));
    cli.add_option("--bundle", bundlePath, "The .component folder");
    CLI11_PARSE(cli, argc, argv);
    if (listDevices)
    {
        std::cout << DeviceIO::ListDevices();
        return 0;
    }
    if (!gtk_init_check(&argc, &argv))
    {
        std::cerr << "bleepforge-standalone: cannot open a display" << std::endl;
        return 1;
    }
    try
    {
        AUBundle bundle(bundlePath);
        AUInstance unit(bundle, "bleepforge-standalone");
        DeviceIO io(unit);
        App app;
        app.bundle = &bundle;
        app.unit = &unit;
        app.io = &io;
        app.autosave = autosavePath();
        io.Start(options);
        buildWindow(app);
        showStatus(app, io.Problem());
        std::unique_ptr<KeepLock> keepLock;
        takeKeptSound(app, keepLock);
        app.shownProblem = io.Problem();
        const guint timer = g_timeout_add_seconds(kAutosaveSeconds, onTick, &app);
        onSlotTick(&app);
        const guint slotTimer = g_timeout_add(kSlotMilliseconds, onSlotTick, &app);
        gtk_main();
        g_source_remove(slotTimer);
        g_source_remove(timer);
        autosave(app);
        io.Stop();
        return 0;
    }
    catch (const std::exception& e)
    {
        std::cerr << "bleepforge-standalone: " << e.what() << std::endl;
        return 1;
    }
}
