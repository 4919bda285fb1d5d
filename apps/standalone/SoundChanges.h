#pragma once

#include "WaveStrip.h"

#include <string>

struct App;

// How the sound changes: the history, the list, what is heard.

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
