// bleepforge-standalone: the instrument's editor in a desktop window with audio
// out and MIDI in, hosting the bundle through its component entry as any host.
#include "DeviceIO.h"
#include "HostRender.h"
#include "AudioFile.h"
#include "KIT_SafeFile.h"

#include <CLI/CLI.hpp>
#include <gtk/gtk.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <unistd.h>

namespace
{

const guint kAutosaveSeconds = 3;

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
    std::string autosave;
    std::vector<UInt8> lastSaved; // GUI thread: the state the autosave holds
    std::string shownProblem;     // GUI thread: the device problem last shown
};

ByteChunk currentState(App& app)
{
    CFDictionaryRef state = nullptr;
    ByteChunk bytes;
    if (app.unit->SaveState(&state) != noErr || !state)
        return bytes;
    CFStringRef key = CFStringCreateWithCString(nullptr, "data", kCFStringEncodingUTF8);
    auto data = static_cast<CFDataRef>(CFDictionaryGetValue(state, key));
    if (data)
        bytes.PutBytes(CFDataGetBytePtr(data), static_cast<int>(CFDataGetLength(data)));
    CFRelease(key);
    CFRelease(state);
    return bytes;
}

void showStatus(App& app, const std::string& text)
{
    gtk_label_set_text(GTK_LABEL(app.status), text.c_str());
    gtk_widget_set_tooltip_text(app.status, text.c_str()); // the whole text when cut short
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A 484-byte state file, or an .aupreset by its extension.
void saveSound(App& app, const std::string& path)
{
    if (endsWith(path, ".aupreset"))
    {
        CFDictionaryRef state = nullptr;
        if (app.unit->SaveState(&state) != noErr || !state)
            throw std::runtime_error("the instrument did not give its sound");
        try
        {
            SaveAUPreset(state, path);
        }
        catch (...)
        {
            CFRelease(state);
            throw;
        }
        CFRelease(state);
        return;
    }
    const ByteChunk bytes = currentState(app);
    std::string error;
    if (bytes.Size() == 0 ||
        !KIT_WriteFileSafely(path, bytes.GetBytes(), static_cast<size_t>(bytes.Size()), &error))
        throw std::runtime_error("cannot write '" + path + "': " + error);
}

void openSound(App& app, const std::string& path)
{
    if (endsWith(path, ".aupreset"))
        RestoreFrom(*app.unit, LoadAUPreset(path), "'" + path + "'");
    else
        RestoreFrom(*app.unit, StateDictionary(*app.bundle, ReadState(path)), "'" + path + "'");
}

float parameterNamed(App& app, const std::vector<AUParameterDescription>& params, const char* name)
{
    float value = 0.0f;
    for (const AUParameterDescription& p : params)
        if (p.name == name)
            app.unit->GetParameter(p.id, &value);
    return value;
}

// One note held through attack, hold and decay, then as long as it sounds.
void exportWav(App& app, const std::string& path)
{
    const std::vector<AUParameterDescription> params = app.unit->Parameters();
    HostRender job;
    job.state = currentState(app);
    NoteSpec note;
    note.duration = parameterNamed(app, params, "Amp Env Attack") +
                    parameterNamed(app, params, "Amp Env Hold") +
                    parameterNamed(app, params, "Amp Env Decay");
    job.request.notes.push_back(note);
    WriteAudio(path, SampleFormat::kPcm16, job.request.rate, RenderThroughBundle(*app.bundle, job));
}

// Runs a file action, showing its outcome in the status line.
template <class Action>
void attempt(App& app, const std::string& done, Action action)
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
    GtkWidget* dialog = gtk_file_chooser_dialog_new(title, GTK_WINDOW(app.window), action, "_Cancel",
                                                    GTK_RESPONSE_CANCEL, accept, GTK_RESPONSE_ACCEPT,
                                                    nullptr);
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
    return path;
}

void onOpen(GtkButton*, gpointer data)
{
    App& app = *static_cast<App*>(data);
    const std::string path = chooseFile(app, GTK_FILE_CHOOSER_ACTION_OPEN, "Open sound", "_Open");
    if (!path.empty())
        attempt(app, "Opened " + path, [&] { openSound(app, path); });
}

void onSave(GtkButton*, gpointer data)
{
    App& app = *static_cast<App*>(data);
    const std::string path = chooseFile(app, GTK_FILE_CHOOSER_ACTION_SAVE, "Save sound", "_Save");
    if (!path.empty())
        attempt(app, "Saved " + path, [&] { saveSound(app, path); });
}

void onExport(GtkButton*, gpointer data)
{
    App& app = *static_cast<App*>(data);
    const std::string path = chooseFile(app, GTK_FILE_CHOOSER_ACTION_SAVE, "Export WAV", "_Export");
    if (!path.empty())
        attempt(app, "Exported " + path, [&] { exportWav(app, path); });
}

// Saves the sound when it changed since the last save; also on exit.
void autosave(App& app)
{
    const ByteChunk bytes = currentState(app);
    const std::vector<UInt8> now(bytes.GetBytes(), bytes.GetBytes() + bytes.Size());
    if (now.empty() || now == app.lastSaved)
        return;
    try
    {
        saveSound(app, app.autosave);
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
        showStatus(app, problem);
    app.shownProblem = problem;
    return G_SOURCE_CONTINUE;
}

// The window stays until the instrument closes its editor, after the last save.
gboolean onDelete(GtkWidget*, GdkEvent*, gpointer)
{
    gtk_main_quit();
    return TRUE;
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
    if (app.unit->GetProperty(kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info, &size) !=
        noErr)
        throw std::runtime_error("the instrument has no editor");
    char className[256] = {};
    CFStringGetCString(info.mCocoaAUViewClass[0], className, sizeof className, kCFStringEncodingUTF8);
    CFRelease(info.mCocoaAUViewClass[0]);
    if (info.mCocoaAUViewBundleLocation)
        CFRelease(info.mCocoaAUViewBundleLocation);
    using Factory = void* (*)(AudioUnit, float, float);
    auto factory = reinterpret_cast<Factory>(
        app.bundle->Symbol((std::string(className) + "_UIViewForAudioUnit").c_str()));
    GtkWidget* view = factory ? static_cast<GtkWidget*>(factory(app.unit->Handle(), 0, 0)) : nullptr;
    if (!view)
        throw std::runtime_error("the instrument's editor did not open");
    return view;
}

void buildWindow(App& app)
{
    GtkWidget* view = openEditor(app);
    app.window = gtk_widget_get_toplevel(view);
    // The title bar can only be replaced before the window is realised.
    gtk_widget_hide(app.window);
    gtk_widget_unrealize(app.window);
    GtkWidget* bar = gtk_header_bar_new();
    gtk_header_bar_set_title(GTK_HEADER_BAR(bar), "Bleepforge");
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(bar), TRUE);
    addButton(bar, "_Open sound…", G_CALLBACK(onOpen), app);
    addButton(bar, "_Save sound…", G_CALLBACK(onSave), app);
    addButton(bar, "_Export WAV…", G_CALLBACK(onExport), app);
    app.status = gtk_label_new("");
    gtk_label_set_ellipsize(GTK_LABEL(app.status), PANGO_ELLIPSIZE_END);
    gtk_label_set_max_width_chars(GTK_LABEL(app.status), 40);
    gtk_header_bar_pack_end(GTK_HEADER_BAR(bar), app.status);
    gtk_window_set_titlebar(GTK_WINDOW(app.window), bar);
    g_signal_connect(app.window, "delete-event", G_CALLBACK(onDelete), nullptr);
    gtk_widget_show_all(app.window);
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App cli{"bleepforge-standalone: make and play retro sound effects", "bleepforge-standalone"};
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
        if (g_file_test(app.autosave.c_str(), G_FILE_TEST_EXISTS))
            attempt(app, io.Problem(), [&] { openSound(app, app.autosave); });
        app.shownProblem = io.Problem();
        const guint timer = g_timeout_add_seconds(kAutosaveSeconds, onTick, &app);
        gtk_main();
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
