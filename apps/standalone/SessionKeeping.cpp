// Keeping and restoring: the last sound and the list of sounds outlive the
// window, in the user's config and data folders.
#include "SessionKeeping.h"

#include "App.h"
#include "AppWindow.h"
#include "KeptList.h"
#include "SlotStates.h"
#include "SoundState.h"
#include "Wording.h"

#include "KIT_SafeFile.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

std::string ConfigFolder()
{
    const char* config = getenv("XDG_CONFIG_HOME");
    const char* home = getenv("HOME");
    std::string folder = config && *config ? config : std::string(home ? home : ".") + "/.config";
    folder += "/bleepforge";
    g_mkdir_with_parents(folder.c_str(), 0755);
    return folder;
}

namespace
{

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

} // namespace

// Where the last sound lives between runs.
std::string AutosavePath()
{
    return ConfigFolder() + "/last-sound.aupreset";
}

// Only the first app started on a config folder keeps its sound and list
// there; the others say so instead of overwriting them unseen.
void TakeKeptSound(App& app, std::unique_ptr<KeepLock>& lock)
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

// Saves the sound and the list when they changed since the last save; also on exit.
void Autosave(App& app)
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
