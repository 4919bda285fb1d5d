// The header bar's file actions: open, save, export and paste.
#include "FileActions.h"

#include "App.h"
#include "AppWindow.h"
#include "ExportProgress.h"
#include "SoundChanges.h"
#include "Levels.h"
#include "ShareCode.h"
#include "SoundState.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>

namespace
{

// Runs a file action, showing its outcome in the status line.
template <class Action> void attempt(App& app, const std::string& done, Action action)
{
    try
    {
        const std::string more = action();
        ShowStatus(app, done + more);
    }
    catch (const std::exception& e)
    {
        ShowStatus(app, std::string("Error: ") + e.what());
    }
}

void addFilter(GtkWidget* dialog, const char* name, std::initializer_list<const char*> patterns)
{
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, name);
    for (const char* pattern : patterns)
        gtk_file_filter_add_pattern(filter, pattern);
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), filter);
}

GtkWidget* fileDialog(App& app, GtkFileChooserAction action, const char* title, const char* accept)
{
    GtkWidget* dialog =
        gtk_file_chooser_dialog_new(title, GTK_WINDOW(app.window), action, "_Cancel",
                                    GTK_RESPONSE_CANCEL, accept, GTK_RESPONSE_ACCEPT, nullptr);
    // The chooser takes a size of its own, taller than a laptop's screen with
    // the export's choices in it; kept within the screen's free area, its
    // name field and buttons stay in reach.
    GdkRectangle area;
    if (WorkAreaOf(app.window, &area))
    {
        GdkGeometry most = {};
        most.max_width = area.width;
        most.max_height = area.height;
        gtk_window_set_geometry_hints(GTK_WINDOW(dialog), nullptr, &most, GDK_HINT_MAX_SIZE);
    }
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog), TRUE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    return dialog;
}

// The chosen path, "" when cancelled; the dialog is gone when it returns.
// Before it goes, an accepted dialog's other choices can be read.
std::string runFileDialog(GtkWidget* dialog, const std::function<void()>& accepted = [] {})
{
    std::string path;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT)
    {
        char* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
        path = chosen ? chosen : "";
        g_free(chosen);
        accepted();
    }
    gtk_widget_destroy(dialog);
    // The dialog leaves the screen now, not after the file work that follows
    // (an export takes a moment) has let the main loop run again.
    gdk_display_flush(gdk_display_get_default());
    return path;
}

// A file's name without its folder and extension, to name its sound by.
std::string nameOfFile(const std::string& path)
{
    gchar* base = g_path_get_basename(path.c_str());
    std::string name = base ? base : "";
    g_free(base);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool hasExtension(const std::string& path, const char* extension)
{
    const size_t length = std::strlen(extension);
    return path.size() > length &&
           g_ascii_strcasecmp(path.c_str() + path.size() - length, extension) == 0;
}

} // namespace

void KeepSettings(App& app)
{
    try
    {
        SaveSettings(app.settings, app.settingsPath);
    }
    catch (const std::exception& e)
    {
        ShowStatus(app, std::string("Error: ") + e.what());
    }
}


void OpenAction(App& app)
{
    GtkWidget* dialog = fileDialog(app, GTK_FILE_CHOOSER_ACTION_OPEN, "Open sound", "_Open");
    // Every container Bleepforge writes carries its sound, the command line's
    // AIFF and MP3 as well as Export's own.
    addFilter(dialog, "Sounds (states, presets, audio files from Bleepforge)",
              {"*.bin", "*.state", "*.aupreset", "*.wav", "*.WAV", "*.flac", "*.FLAC", "*.ogg", "*.OGG",
               "*.aiff", "*.AIFF", "*.aif", "*.mp3", "*.MP3"});
    addFilter(dialog, "All files", {"*"});
    const std::string path = runFileDialog(dialog);
    if (path.empty())
        return;
    attempt(app, "Opened " + path,
            [&]
            {
                OpenSound(*app.bundle, *app.unit, path);
                SoundJoined(app, "opened", nameOfFile(path));
                return std::string();
            });
}

void SaveAction(App& app)
{
    GtkWidget* dialog = fileDialog(app, GTK_FILE_CHOOSER_ACTION_SAVE, "Save sound", "_Save");
    addFilter(dialog, "Bleepforge state (.bin)", {"*.bin"});
    addFilter(dialog, "Preset (.aupreset)", {"*.aupreset"});
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), "sound.bin");
    std::string path = runFileDialog(dialog);
    if (path.empty())
        return;
    if (!hasExtension(path, ".bin") && !hasExtension(path, ".aupreset"))
        path += ".bin";
    attempt(app, "Saved " + path,
            [&]
            {
                SaveSound(*app.unit, path);
                return std::string();
            });
}

namespace
{

// A sound copied from a list, name and kind with it; false for anything else.
bool copiedSound(GtkClipboard* clipboard, ListedSound* sound, std::string* code)
{
    GtkSelectionData* data =
        gtk_clipboard_wait_for_contents(clipboard, gdk_atom_intern_static_string(kCopiedSoundTarget));
    if (!data)
        return false;
    const gint length = gtk_selection_data_get_length(data);
    const std::string text = length > 0 ? std::string(reinterpret_cast<const char*>(
                                                          gtk_selection_data_get_data(data)),
                                                      static_cast<size_t>(length))
                                        : "";
    gtk_selection_data_free(data);
    return ReadCopiedSound(text, sound, code);
}

// What the clipboard gives while the app holds it: the code as text to any
// program, the sound with its name to a Bleepforge window.
struct Copied
{
    std::string code;
    std::string sound; // empty: the sound in the editor is none of the list's
};
const guint kAsText = 0, kAsSound = 1;

void giveCopied(GtkClipboard*, GtkSelectionData* data, guint info, gpointer copied)
{
    const Copied& what = *static_cast<const Copied*>(copied);
    if (info == kAsSound)
        gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
                               reinterpret_cast<const guchar*>(what.sound.data()), static_cast<gint>(what.sound.size()));
    else
        gtk_selection_data_set_text(data, what.code.c_str(), static_cast<gint>(what.code.size()));
}

// The clipboard owns what it gives until another program takes it over.
void putOnClipboard(std::unique_ptr<Copied> copied)
{
    GtkTargetList* list = gtk_target_list_new(nullptr, 0);
    gtk_target_list_add_text_targets(list, kAsText);
    if (!copied->sound.empty())
        gtk_target_list_add(list, gdk_atom_intern_static_string(kCopiedSoundTarget), 0, kAsSound);
    gint count = 0;
    GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
    gtk_target_list_unref(list);
    const bool taken = gtk_clipboard_set_with_data(
        gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), targets, static_cast<guint>(count), giveCopied,
        [](GtkClipboard*, gpointer copied) { delete static_cast<Copied*>(copied); }, copied.get());
    gtk_target_table_free(targets, count);
    if (!taken)
        throw std::runtime_error("the clipboard did not take the sound");
    copied.release();
}

} // namespace

void PasteAction(App& app)
{
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    ListedSound named;
    std::string code;
    if (copiedSound(clipboard, &named, &code))
        return attempt(app, "Pasted \"" + named.name + "\"",
                       [&]
                       {
                           OpenSound(*app.bundle, *app.unit, code);
                           SoundJoined(app, named.kind, named.name);
                           return std::string();
                       });
    gchar* text = gtk_clipboard_wait_for_text(clipboard);
    const std::string sound = PastedSound(text ? text : "");
    g_free(text);
    const bool isCode = LooksLikeShareCode(sound);
    attempt(app, isCode ? "Pasted a sound code" : "Pasted " + sound,
            [&]
            {
                if (sound.empty())
                    throw std::runtime_error("the clipboard holds no sound code (they begin with bfs1:) "
                                             "and no sound file's path");
                OpenSound(*app.bundle, *app.unit, sound);
                SoundJoined(app, "pasted", isCode ? "" : nameOfFile(sound));
                return std::string();
            });
}

void CopyAction(App& app)
{
    SettleNow(app); // a change on its way is the chosen sound's
    attempt(app, "Copied the sound: paste it into Bleepforge, or its code into a message or a file",
            [&]
            {
                const ByteChunk state = CurrentState(*app.unit);
                if (state.Size() == 0)
                    throw std::runtime_error("the instrument did not give its sound");
                auto copied = std::make_unique<Copied>(Copied{EncodeShareCode(state), ""});
                const size_t chosen = app.sounds.Current();
                if (chosen != SoundList::kNone && app.sounds.At(chosen).state == BytesOf(state))
                    copied->sound = CopiedSoundText(app.sounds.At(chosen), copied->code);
                putOnClipboard(std::move(copied));
                return std::string();
            });
}

namespace
{

struct ExportChoices
{
    GtkWidget* channels;
    GtkWidget* format;
    GtkWidget* formatLabel;
    GtkWidget* rate;
    GtkWidget* container;
    GtkWidget* normalise;
};

GtkWidget* comboOf(std::initializer_list<const char*> texts, int active)
{
    GtkWidget* combo = gtk_combo_box_text_new();
    for (const char* text : texts)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), text);
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), active);
    return combo;
}

GtkWidget* addChoice(GtkWidget* grid, int column, const char* label, GtkWidget* choice)
{
    GtkWidget* title = gtk_label_new(label);
    gtk_grid_attach(GTK_GRID(grid), title, column, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), choice, column, 1, 1, 1);
    return title;
}

int rateIndex(double rate)
{
    for (int i = 0; i < static_cast<int>(sizeof kExportRates / sizeof kExportRates[0]); ++i)
        if (kExportRates[i] == static_cast<int>(rate))
            return i;
    return 1;
}

const char* sampleText(SampleFormat sample)
{
    switch (sample)
    {
    case SampleFormat::kPcm16:
        return "16-bit";
    case SampleFormat::kPcm24:
        return "24-bit";
    default:
        return "32-bit float";
    }
}

Container chosenContainer(const ExportChoices& choices)
{
    return static_cast<Container>(gtk_combo_box_get_active(GTK_COMBO_BOX(choices.container)));
}

// The sample formats the chosen file type takes, the one chosen kept where it
// can be; hidden for a file type that has none of its own.
void offerSampleFormats(ExportChoices& choices, SampleFormat wanted)
{
    GtkComboBoxText* format = GTK_COMBO_BOX_TEXT(choices.format);
    gtk_combo_box_text_remove_all(format);
    const std::vector<SampleFormat> offered = SampleFormatsOf(chosenContainer(choices));
    for (SampleFormat sample : offered)
        gtk_combo_box_text_append(format, std::to_string(static_cast<int>(sample)).c_str(), sampleText(sample));
    if (!gtk_combo_box_set_active_id(GTK_COMBO_BOX(format), std::to_string(static_cast<int>(wanted)).c_str()))
        gtk_combo_box_set_active(GTK_COMBO_BOX(format), 0);
    gtk_widget_set_visible(choices.format, !offered.empty());
    gtk_widget_set_visible(choices.formatLabel, !offered.empty());
}

SampleFormat chosenSample(const ExportChoices& choices)
{
    const gchar* id = gtk_combo_box_get_active_id(GTK_COMBO_BOX(choices.format));
    return id ? static_cast<SampleFormat>(std::atoi(id)) : SampleFormat::kPcm16;
}

// The export's choices under the file list, as last chosen.
GtkWidget* exportOptions(const ExportSettings& settings, ExportChoices* choices)
{
    choices->channels = comboOf({"Mono", "Stereo"}, settings.format.channels - 1);
    choices->format = gtk_combo_box_text_new();
    choices->rate = comboOf({"22050 Hz", "44100 Hz", "48000 Hz", "96000 Hz"}, rateIndex(settings.rate));
    choices->container = comboOf({"WAV", "FLAC", "Ogg Vorbis"}, static_cast<int>(settings.format.container));
    choices->normalise = comboOf({"Off", "Peak to −1 dBFS", "Loudness to −16 LUFS"},
                                 settings.normalise ? 1 + settings.loudness : 0);
    gtk_widget_set_tooltip_text(choices->normalise,
                                "Peak: the highest sample to −1 dBFS. Loudness: EBU R128 loudness "
                                "to −16 LUFS with the true peak at most −1 dBTP, as bleepforge "
                                "render --normalize lufs measures it");
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_column_spacing(GTK_GRID(grid), 12);
    addChoice(grid, 0, "File type", choices->container);
    addChoice(grid, 1, "Channels", choices->channels);
    choices->formatLabel = addChoice(grid, 2, "Samples", choices->format);
    addChoice(grid, 3, "Rate", choices->rate);
    addChoice(grid, 4, "Normalise", choices->normalise);
    gtk_widget_show_all(grid);
    // A file type without sample formats of its own hides them for good.
    gtk_widget_set_no_show_all(choices->format, TRUE);
    gtk_widget_set_no_show_all(choices->formatLabel, TRUE);
    offerSampleFormats(*choices, settings.format.sample);
    g_signal_connect(choices->container, "changed", G_CALLBACK(+[](GtkComboBox*, gpointer data)
                                                               {
                                                                   ExportChoices& choices = *static_cast<ExportChoices*>(data);
                                                                   offerSampleFormats(choices, chosenSample(choices));
                                                               }),
                     choices);
    return grid;
}

ExportSettings chosenSettings(const ExportChoices& choices)
{
    ExportSettings settings;
    settings.format.channels = gtk_combo_box_get_active(GTK_COMBO_BOX(choices.channels)) + 1;
    settings.format.sample = chosenSample(choices);
    settings.rate = kExportRates[gtk_combo_box_get_active(GTK_COMBO_BOX(choices.rate))];
    settings.format.container = chosenContainer(choices);
    const int normalise = gtk_combo_box_get_active(GTK_COMBO_BOX(choices.normalise));
    settings.normalise = normalise > 0;
    settings.loudness = normalise == 2;
    return settings;
}

// The name in the dialog follows the chosen file type.
void followFileType(GtkComboBox* combo, gpointer dialog)
{
    gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog));
    std::string current = name ? name : "";
    g_free(name);
    const size_t dot = current.rfind('.');
    if (dot != std::string::npos)
        current.erase(dot);
    current += ExtensionOf(static_cast<Container>(gtk_combo_box_get_active(combo)));
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), current.c_str());
}

std::string folderOf(const std::string& path)
{
    gchar* folder = g_path_get_dirname(path.c_str());
    const std::string result = folder ? folder : ".";
    g_free(folder);
    return result;
}

std::string startFolder(const App& app)
{
    return ExportStartFolder(app.settings.exportFolder, g_get_user_special_dir(G_USER_DIRECTORY_MUSIC),
                             g_get_home_dir());
}

} // namespace

void ExportAction(App& app)
{
    ExportSettings& settings = app.settings.exportSettings;
    GtkWidget* dialog = fileDialog(app, GTK_FILE_CHOOSER_ACTION_SAVE, "Export sound", "_Export");
    // The file type is chosen once, below; it sets the extension.
    ExportChoices choices;
    gtk_file_chooser_set_extra_widget(GTK_FILE_CHOOSER(dialog), exportOptions(settings, &choices));
    g_signal_connect(choices.container, "changed", G_CALLBACK(followFileType), dialog);
    const std::string folder = startFolder(app);
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder.c_str());
    // Offered under the chosen sound's name in the list, as Export several names it.
    const size_t chosen = app.sounds.Current();
    const std::string suggested =
        chosen == SoundList::kNone ? SuggestExportName(folder, LastKind(app), settings.format.container)
                                   : SuggestExportName(folder, app.sounds.At(chosen), settings.format.container);
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), suggested.c_str());
    std::string path = runFileDialog(dialog, [&] { settings = chosenSettings(choices); });
    if (path.empty())
        return;
    const char* extension = ExtensionOf(settings.format.container);
    if (!hasExtension(path, extension))
        path += extension;
    app.settings.exportFolder = folderOf(path);
    KeepSettings(app);
    attempt(app, "Exported " + path,
            [&]
            {
                const double gain = ExportSound(*app.renders, *app.unit, settings, path);
                char change[64] = "";
                if (gain != 1.0)
                    std::snprintf(change, sizeof change, " (normalised by %+.1f dB)", GainInDecibels(gain));
                return std::string(change);
            });
    ExportChanged(app);
}

void ExportSeveralAction(App& app, bool starredOnly)
{
    std::vector<ListedSound> chosen;
    for (size_t i = 0; i < app.sounds.Size(); ++i)
        if (!starredOnly || app.sounds.At(i).starred)
            chosen.push_back(app.sounds.At(i));
    if (chosen.empty())
        return ShowStatus(app, starredOnly ? "No sound is starred: star the ones to export with ☆ in the list"
                                           : "The list has no sounds to export");
    if (ExportsRunning(app))
        return ShowStatus(app, "An export is still running: wait for it, or cancel it");
    ExportSettings& settings = app.settings.exportSettings;
    const std::string title = starredOnly ? "Export starred sounds" : "Export all sounds";
    GtkWidget* dialog = fileDialog(app, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, title.c_str(), "_Export");
    gtk_file_chooser_set_create_folders(GTK_FILE_CHOOSER(dialog), TRUE);
    ExportChoices choices;
    gtk_file_chooser_set_extra_widget(GTK_FILE_CHOOSER(dialog), exportOptions(settings, &choices));
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), startFolder(app).c_str());
    const std::string folder = runFileDialog(dialog, [&] { settings = chosenSettings(choices); });
    if (folder.empty())
        return;
    // A folder typed that is not there yet is made, as the chooser's own button makes one.
    if (g_mkdir_with_parents(folder.c_str(), 0777) != 0)
        return ShowStatus(app, "Error: cannot make the folder " + folder + ": " + std::strerror(errno));
    app.settings.exportFolder = folder;
    KeepSettings(app);
    ExportChanged(app);
    StartExports(app, std::move(chosen), settings, folder);
}
