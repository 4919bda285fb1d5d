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

struct ExportProgress;

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
    std::shared_ptr<ExportProgress> exports; // Export starred or all, while it runs
};
