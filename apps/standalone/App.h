#pragma once

#include "DeviceIO.h"
#include "History.h"
#include "Settings.h"
#include "SoundFiles.h"
#include "WaveStrip.h"

#include <gtk/gtk.h>

#include <memory>
#include <map>
#include <string>
#include <vector>

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
    GtkWidget* undoButton = nullptr;
    GtkWidget* redoButton = nullptr;
    std::unique_ptr<WaveStrip> strip;

    AppSettings settings;
    std::string settingsPath;
    std::string autosave;         // empty: sounds are not kept this session
    std::vector<UInt8> lastSaved; // the state the autosave holds
    std::string slotsPath;        // empty: slots are not kept this session
    std::string lastSlots;        // the slots the file holds
    std::string shownProblem;     // the device problem last shown

    SoundHistory history;
    std::unique_ptr<AUParameterListener> changes; // the instance's parameter changes
    bool gesture = false;      // a knob or switch held down in the editor
    guint settling = 0;        // the timer that records a change once it has settled
    std::string auditionDue;   // the state to play once the strip has rendered it
    std::map<guint, int> heldNotes; // musical typing: the note of each key down, by key code
    int octave = 0;            // musical typing: octaves from middle C
};

// The line above the editor: what just happened or went wrong, shown whole.
void ShowStatus(App& app, const std::string& text);

// The sound changed: hear it (when asked to), draw it, and let undo reach it.
void SoundChanged(App& app);
// Hears the instance's parameter changes: a change that has settled (no
// gesture open, nothing more for a moment) becomes one step of the history.
void ListenToSound(App& app);
// The sound was replaced whole (Open, a pasted code): one step, heard at once.
void SoundReplaced(App& app);
void Undo(App& app);
void Redo(App& app);
// Plays the current sound once, at the gain Export gives it (so once the
// strip has rendered it); cuts one still sounding.
void Audition(App& app);
void StopAudition(App& app);
// The strip has rendered a sound: what is played is heard at its gain, and a
// due audition of it plays.
void SoundRendered(App& app, const std::string& state, double gain);
// The export's settings changed: the strip and the gain follow.
void ExportChanged(App& app);

// Keys for the whole window: shortcuts and musical typing.
gboolean OnKeyPress(GtkWidget* window, GdkEventKey* event, gpointer app);
gboolean OnKeyRelease(GtkWidget* window, GdkEventKey* event, gpointer app);
void ShowKeys(App& app);

// Writes the settings down; a failure shows in the status line.
void KeepSettings(App& app);

// File actions of the header bar and their shortcuts.
void OpenAction(App& app);
void SaveAction(App& app);
void ExportAction(App& app);
void PasteAction(App& app);
