#pragma once

#include "DeviceIO.h"
#include "History.h"
#include "Settings.h"
#include "SoundFiles.h"
#include "SoundList.h"
#include "SoundListView.h"
#include "WaveStrip.h"

#include <gtk/gtk.h>

#include <memory>
#include <map>
#include <string>
#include <vector>

struct ExportBatch;

// The app's window and what it keeps. Everything here belongs to the GUI
// thread; the audio thread is reached only through DeviceIO.
struct App
{
    AUBundle* bundle = nullptr;
    RenderBundle* renders = nullptr; // the strip's and Export's
    AUInstance* unit = nullptr;
    DeviceIO* io = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* view = nullptr;
    GtkWidget* infoBar = nullptr;
    GtkWidget* infoText = nullptr;
    GtkWidget* slot = nullptr;
    GtkWidget* octaveLabel = nullptr; // musical typing's octave, in the header
    GtkWidget* lockMarks = nullptr;   // drawn over the editor: which controls are locked
    GtkWidget* kindsButton = nullptr; // opens the menu of recipe kinds
    GtkWidget* undoButton = nullptr;
    GtkWidget* redoButton = nullptr;
    std::unique_ptr<WaveStrip> strip;
    std::unique_ptr<SoundListView> list; // the list of sounds beside the editor

    AppSettings settings;
    std::string settingsPath;
    std::string autosave;         // empty: sounds are not kept this session
    std::vector<UInt8> lastSaved; // the state the autosave holds
    std::string defaults;         // the state Reset gives
    std::string listPath;         // empty: the list is not kept this session
    std::string lastList;         // the list as its file holds it
    std::string shownProblem;     // the device problem last shown

    SoundList sounds;
    UndoHistory<SessionMoment> history;
    std::unique_ptr<AUParameterListener> changes; // the instance's parameter changes
    bool gesture = false;      // a knob or switch held down in the editor
    guint settling = 0;        // the timer that records a change once it has settled
    guint statusShown = 0;     // the timer that clears a message that is not an error
    std::string auditionDue;   // the state to play once the strip has rendered it, "" for none
    std::map<guint, int> heldNotes; // musical typing: the note of each key down, by key code
    int octave = 0;            // musical typing: octaves from middle C
    std::shared_ptr<ExportBatch> exports; // Export starred or all, while it runs
};

// The line under the strip: what just happened or went wrong, shown whole.
// What happened clears after a few seconds; what went wrong stays until closed.
void ShowStatus(App& app, const std::string& text);
// The free area (no panels) of the screen a window is on, or of the main one.
bool WorkAreaOf(GtkWidget* widget, GdkRectangle* area);

// The sound changed: hear it (when asked to), draw it, and let undo reach it.
void SoundChanged(App& app);
// Hears the instance's parameter changes: a change that has settled (no
// gesture open, nothing more for a moment) becomes one step of the history.
void ListenToSound(App& app);
// The sound was replaced whole (Open, a paste): it joins the list as a sound
// of its own, one step, heard at once.
void SoundJoined(App& app, const std::string& kind, const std::string& name);
// A change still settling becomes its step now: a sound made next is one of its own.
void SettleNow(App& app);
// The instrument's slot buttons and generators move or grow its slots; the
// list follows, as one step. Not while a change is still settling.
void FollowSlots(App& app);
// The list's actions: each one step of the history.
void ChooseSound(App& app, size_t i);
void DeleteSound(App& app, size_t i);
void RenameSound(App& app, size_t i, const std::string& name);
void StarSound(App& app, size_t i, bool starred);
// Sounds mutated from the chosen one, locks kept, join the list after it;
// the first is chosen and heard. One step.
void MakeVariations(App& app, int count);
// A recipe kind's sound, locks kept, joins the list named by its kind
// ("explosion 2"); it is chosen and heard. One step. A recipe that cannot be
// read or made changes nothing and says why.
void MakeKind(App& app, const std::string& recipePath);
// The kind of sound the instrument's last generator made, "sound" before one.
std::string LastKind(App& app);
void Undo(App& app);
void Redo(App& app);
// Plays the current sound once as Export renders it at the device's rate
// (so once the strip has rendered it), cutting one still sounding.
void Audition(App& app);
void StopAudition(App& app);
// The strip has rendered a sound: keys are heard at its gain, and a due
// audition of it plays.
void SoundRendered(App& app, const WaveStrip::Rendered& sound);
// The export's settings changed: the strip and the gain follow.
void ExportChanged(App& app);

// Keys for the whole window: shortcuts and musical typing.
gboolean OnKeyPress(GtkWidget* window, GdkEventKey* event, gpointer app);
gboolean OnKeyRelease(GtkWidget* window, GdkEventKey* event, gpointer app);
void ShowKeys(App& app);

// The app's own ways to make sounds: generators by key, variations, locks.
void GenerateAction(App& app, const char* kind);
void VariationsAction(App& app);
void StarChosen(App& app);
// Musical typing's octave, as the header shows it.
void ShowOctave(App& app);
// The header's menu of locked groups.
GtkWidget* BuildLocksButton(App& app);
// The header's menu of recipe kinds, the user's and the program's, read
// each time it opens.
GtkWidget* BuildKindsButton(App& app);
// Locks drawn over the editor, and its controls' menu on a right-click.
void AttachLocks(App& app);

// Writes the settings down; a failure shows in the status line.
void KeepSettings(App& app);

// File actions of the header bar and their shortcuts.
void OpenAction(App& app);
void SaveAction(App& app);
void ExportAction(App& app);
// Export starred… and Export all…: a file per sound into a chosen folder.
void ExportSeveralAction(App& app, bool starredOnly);
// Writes the sounds on a thread of their own, the window staying free, with
// a progress bar that can cancel; the status sums up at the end.
void StartExports(App& app, std::vector<ListedSound> sounds, const ExportSettings& settings,
                  const std::string& folder);
bool ExportsRunning(const App& app);
void PasteAction(App& app);
void CopyAction(App& app);

// Brings the list's rows up to date: names, stars, lengths, the chosen one.
void ShowSoundList(App& app);
// Puts the chosen sound's name in a field to type a new one.
void RenameChosen(App& app);
