// bleepforge-standalone: the instrument's editor in a desktop window with audio
// out and MIDI in, hosting the bundle through its component entry as any host.
#include "App.h"
#include "AppWindow.h"
#include "SessionKeeping.h"
#include "SoundChanges.h"
#include "SoundState.h"

#include <CLI/CLI.hpp>
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <random>
#include <unistd.h>

namespace
{

const guint kAutosaveSeconds = 3;
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

gboolean onTick(gpointer data)
{
    App& app = *static_cast<App*>(data);
    Autosave(app);
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

// The instrument's slot buttons change its slots; the list and the header follow.
gboolean onSlotTick(gpointer data)
{
    App& app = *static_cast<App*>(data);
    FollowSlots(app);
    ShowSlot(app);
    return G_SOURCE_CONTINUE;
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
    TakeKeptSound(app, keepLock);
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
    app.autosave = AutosavePath();
    app.settingsPath = ConfigFolder() + "/settings.ini";
    std::string settingsProblem;
    app.settings = LoadSettings(app.settingsPath, &settingsProblem);
    {
        QuietLibraries quiet(options.verbose);
        io.Start(options);
    }
    BuildWindow(app);
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
    Autosave(app);
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
