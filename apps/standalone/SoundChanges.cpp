// How a change of the sound reaches the ear, the picture, the list and the history.
#include "SoundChanges.h"

#include "App.h"
#include "AppWindow.h"
#include "Generating.h"
#include "Locks.h"
#include "SlotStates.h"
#include "Wording.h"
#include "SoundState.h"

#include <algorithm>

namespace
{

std::string currentState(App& app)
{
    return BytesOf(CurrentState(*app.unit));
}

// Changes closer together than this are one step: a spun wheel, a generator's
// sixty values.
const guint kSettleMilliseconds = 30;

void updateUndoButtons(App& app)
{
    gtk_widget_set_sensitive(app.undoButton, app.history.CanUndo());
    gtk_widget_set_sensitive(app.redoButton, app.history.CanRedo());
}

// Restores without recording: undo and redo move through the history.
void restore(App& app, const std::string& state)
{
    ByteChunk chunk;
    chunk.PutBytes(state.data(), static_cast<int>(state.size()));
    RestoreFrom(*app.unit, StateDictionary(*app.bundle, chunk), "the sound");
}

} // namespace

namespace
{

// What is heard of a sound is Export's render of it at the device's rate:
// the same note, seed and gain, sample for sample.
double heardRate(App& app)
{
    return app.io->Streaming() ? app.io->Rate() : 0.0;
}

void play(App& app, std::shared_ptr<const Clip> heard)
{
    app.auditionDue.clear();
    app.io->Play(std::move(heard));
}

HostRender exportJob(App& app)
{
    return ExportJob(*app.unit, app.settings.exportSettings.rate);
}

void showInStrip(App& app, const HostRender& job)
{
    app.strip->Show(job, app.settings.exportSettings, heardRate(app));
}

} // namespace

void Audition(App& app)
{
    if (!app.io->Streaming())
        return;
    const HostRender job = exportJob(app);
    const std::string state = BytesOf(job.state);
    if (auto heard = app.strip->HeardOf(state, app.settings.exportSettings, heardRate(app)))
        return play(app, std::move(heard));
    if (app.auditionDue != state)
        showInStrip(app, job);
    app.auditionDue = state;
}

void StopAudition(App& app)
{
    app.auditionDue.clear();
    app.io->StopAudition();
}

void SoundRendered(App& app, const WaveStrip::Rendered& sound)
{
    app.sounds.Measured(sound.state, sound.seconds);
    ShowSoundList(app);
    if (sound.state != currentState(app))
        return; // an earlier sound, rendered late
    // Keys and MIDI are heard at the gain of what auditions play.
    app.io->SetListeningGain(sound.heard ? sound.heard->gain : sound.gain);
    if (sound.state == app.auditionDue)
        play(app, sound.heard);
}

void ExportChanged(App& app)
{
    showInStrip(app, exportJob(app));
}

// One look at the instrument serves the audition and the picture.
void SoundChanged(App& app)
{
    const HostRender job = exportJob(app);
    showInStrip(app, job);
    app.auditionDue = app.settings.playOnChange && app.io->Streaming() ? BytesOf(job.state) : "";
    updateUndoButtons(app);
    ShowSoundList(app);
}

namespace
{

// The instrument's slots hold the list's sounds, the chosen one shown, so
// that its slot box and buttons agree with the list.
void showInSlots(App& app)
{
    try
    {
        RestoreSlots(*app.unit, SlotsOfList(app.sounds));
    }
    catch (const std::exception& e)
    {
        ShowStatus(app, std::string("Error: the editor's slots do not follow the list: ") + e.what());
    }
}

// A new sound is heard and drawn; a change of the list alone is shown.
void showChange(App& app, bool newSound)
{
    if (newSound)
        return SoundChanged(app);
    updateUndoButtons(app);
    ShowSoundList(app);
}

// The list and the sound as they are now become a step.
void record(App& app)
{
    const std::string now = currentState(app);
    const bool newSound = now != app.history.Present().sound;
    if (app.history.Record({app.sounds.Now(), now}))
        showChange(app, newSound);
}

// The instrument's slot index and count, or false.
bool instrumentSlot(App& app, size_t* index, size_t* count)
{
    SInt32 slot[2] = {0, 0};
    UInt32 size = sizeof slot;
    if (app.unit->GetProperty(kPropertySoundSlot, kAudioUnitScope_Global, 0, slot, &size) != noErr ||
        size != sizeof slot || slot[0] < 0 || slot[1] < 0)
        return false;
    *index = static_cast<size_t>(slot[0]);
    *count = static_cast<size_t>(slot[1]);
    return true;
}

// What a generator made, with the locked values put back from before it.
std::string withLocks(App& app, const std::string& before, const std::string& made)
{
    try
    {
        return KeepLockedValues(before, made, LockedParams(app.settings.locks));
    }
    catch (const std::exception& e)
    {
        ShowStatus(app, std::string("Error: the locks could not be kept: ") + e.what());
        return made;
    }
}

// A sound of the editor's own (Reset's, changed since) joins the list before
// another takes its place, so that moving on never loses it. Reset's sound
// as it came is no loss: Reset makes it again.
void keepOwnSound(App& app, const std::string& state)
{
    if (app.sounds.Current() == SoundList::kNone && !state.empty() && state != app.defaults)
        app.sounds.Add(state, "reset");
}

// keepOwnSound before sound i is chosen: where sound i stands afterwards, or
// kNone when a full list let it go to make room.
size_t keepOwnSoundBefore(App& app, const std::string& own, size_t i)
{
    const SoundList::Entry entry = app.sounds.Now().entries[i];
    keepOwnSound(app, own);
    const std::vector<SoundList::Entry>& entries = app.sounds.Now().entries;
    const auto at = std::find(entries.begin(), entries.end(), entry);
    return at == entries.end() ? SoundList::kNone : static_cast<size_t>(at - entries.begin());
}

// A generator (or SAVE with a sound of its own) added a slot; PREV or NEXT showed
// another. The list follows: the new sound joins it, or the one shown is
// chosen with every tweak made to it. Anything else puts the list back into
// the slots. True when the list changed.
bool followSlots(App& app)
{
    size_t index = 0, count = 0;
    if (!instrumentSlot(app, &index, &count))
        return false;
    const size_t listed = app.sounds.Size();
    if (count == listed + 1 && index == listed)
    {
        // A generator made a new sound; SAVE keeps the one there was.
        const std::string now = currentState(app);
        const std::string before = app.history.Present().sound;
        std::string kept = now;
        if (now == before)
            app.sounds.Add(now, "saved");
        else
        {
            kept = withLocks(app, before, now);
            keepOwnSound(app, before);
            app.sounds.Add(kept, LastKind(app));
            if (kept != now)
                restore(app, kept);
        }
        // A full list let its oldest sound go to make room: unless the slots
        // follow, the next look takes the grown slots for one more new sound.
        if (kept != now || app.sounds.Size() != count)
            showInSlots(app);
        return true;
    }
    if (count == listed && index < listed && index != app.sounds.Current())
    {
        index = keepOwnSoundBefore(app, app.history.Present().sound, index);
        if (index == SoundList::kNone)
        {
            showInSlots(app);
            return true;
        }
        app.sounds.Choose(index);
        // The slot holds the sound as normalised values; the list holds it exactly.
        if (app.sounds.At(index).state != currentState(app))
            restore(app, app.sounds.At(index).state);
        if (app.sounds.Size() != listed)
            showInSlots(app);
        return true;
    }
    const size_t shown = app.sounds.Current() == SoundList::kNone ? listed : app.sounds.Current();
    if (count != listed || index != shown)
        showInSlots(app);
    return false;
}

// Once a change has settled: the slots followed, the chosen sound takes the
// change (a tweak stays with its sound), and it becomes a step unless it is
// the one already there (an undo's restore is heard too).
gboolean settled(gpointer data)
{
    App& app = *static_cast<App*>(data);
    app.settling = 0;
    followSlots(app);
    const std::string now = currentState(app);
    if (now.empty())
        return G_SOURCE_REMOVE;
    // Reset starts a sound of its own, with the locked values of the one
    // before, as a generator does; the one before keeps what it was.
    const std::string before = app.history.Present().sound;
    if (now == app.defaults && before != now)
    {
        const std::string made = withLocks(app, before, now);
        keepOwnSound(app, before);
        app.sounds.Choose(SoundList::kNone);
        if (made != now)
            restore(app, made);
        showInSlots(app);
    }
    else if (app.sounds.Change(now))
        showInSlots(app);
    record(app);
    return G_SOURCE_REMOVE;
}

} // namespace

void SettleNow(App& app)
{
    if (!app.settling)
        return;
    g_source_remove(app.settling);
    settled(&app);
}

namespace
{

void settleLater(App& app)
{
    if (app.settling)
        g_source_remove(app.settling);
    app.settling = g_timeout_add(kSettleMilliseconds, settled, &app);
}

// A gesture holds the step open until it ends.
void heard(App& app, const AudioUnitEvent& event)
{
    switch (event.mEventType)
    {
    case kAudioUnitEvent_BeginParameterChangeGesture:
        app.gesture = true;
        break;
    case kAudioUnitEvent_EndParameterChangeGesture:
        app.gesture = false;
        settleLater(app);
        break;
    default:
        if (!app.gesture)
            settleLater(app);
        break;
    }
}

} // namespace

// Every change of the app's instance is made on the GUI thread, so that is
// where its events come.
void ListenToSound(App& app)
{
    app.changes = std::make_unique<AUParameterListener>(
        *app.unit, [&app](const AudioUnitEvent& event, AudioUnitParameterValue) { heard(app, event); });
}

void FollowSlots(App& app)
{
    if (app.gesture || app.settling)
        return;
    if (followSlots(app))
        record(app);
    // Reset restores the instrument's first preset, which tells listeners of
    // no value: a sound changed unheard settles as a heard change does.
    else if (currentState(app) != app.history.Present().sound)
        settleLater(app);
}

void SoundJoined(App& app, const std::string& kind, const std::string& name)
{
    keepOwnSound(app, app.history.Present().sound);
    app.sounds.Add(currentState(app), kind, name);
    showInSlots(app);
    record(app);
}

void MakeVariations(App& app, int count)
{
    SettleNow(app); // a change on its way to the list is the source's
    size_t source = app.sounds.Current();
    if (source == SoundList::kNone)
        source = app.sounds.Add(currentState(app), LastKind(app));
    std::vector<std::string> made;
    try
    {
        made = VariationsOf(*app.unit, *app.bundle, app.sounds.At(source).state, count,
                            LockedParams(app.settings.locks));
    }
    catch (const std::exception& e)
    {
        showInSlots(app);
        record(app);
        ShowStatus(app, std::string("Error: no variations were made: ") + e.what());
        return;
    }
    const std::string name = app.sounds.At(source).name;
    const size_t first = app.sounds.AddVariations(source, made);
    restore(app, app.sounds.At(first).state);
    showInSlots(app);
    record(app);
    if (!app.settings.playOnChange)
        Audition(app);
    ShowStatus(app, Counted(made.size(), "variation") + " of \"" + name + "\"");
}

void MakeKind(App& app, const std::string& recipePath)
{
    SettleNow(app); // the sound before keeps its place, and the locks their values
    const std::string before = currentState(app);
    Recipe recipe;
    try
    {
        // Read now: a recipe changed since the menu opened is made as it is.
        recipe = ReadRecipe(recipePath, TableParams());
        MakeFromRecipe(*app.unit, recipe);
    }
    catch (const std::exception& e)
    {
        ShowStatus(app, std::string("Error: no sound was made: ") + e.what());
        return;
    }
    const std::string made = currentState(app);
    const std::string kept = withLocks(app, before, made);
    keepOwnSound(app, before);
    app.sounds.Add(kept, recipe.name);
    if (kept != made)
        restore(app, kept);
    showInSlots(app);
    record(app);
    if (!app.settings.playOnChange)
        Audition(app);
}

void ChooseSound(App& app, size_t i)
{
    if (i >= app.sounds.Size())
        return;
    SettleNow(app); // a change on its way to the list is the sound's it was made to
    if (i == app.sounds.Current())
        return;
    i = keepOwnSoundBefore(app, currentState(app), i);
    if (i == SoundList::kNone)
        return ShowSoundList(app); // let go to make room: nothing to show
    app.sounds.Choose(i);
    if (app.sounds.At(i).state != currentState(app))
        restore(app, app.sounds.At(i).state);
    showInSlots(app);
    record(app);
    // A sound chosen is heard, whether or not every change is.
    if (!app.settings.playOnChange)
        Audition(app);
}

void DeleteSound(App& app, size_t i)
{
    if (i >= app.sounds.Size())
        return;
    SettleNow(app); // undo brings the sound back with its last change
    const std::string name = app.sounds.At(i).name;
    app.sounds.Remove(i);
    const size_t chosen = app.sounds.Current();
    if (chosen != SoundList::kNone && app.sounds.At(chosen).state != currentState(app))
        restore(app, app.sounds.At(chosen).state);
    showInSlots(app);
    record(app);
    ShowStatus(app, "Took \"" + name + "\" off the list (Ctrl+Z brings it back)");
}

void RenameSound(App& app, size_t i, const std::string& name)
{
    if (i >= app.sounds.Size())
        return;
    app.sounds.Rename(i, name);
    record(app);
}

void StarSound(App& app, size_t i, bool starred)
{
    if (i >= app.sounds.Size())
        return;
    app.sounds.Star(i, starred);
    record(app);
}

namespace
{

// Undo and redo bring back the list and the sound of a step together.
void stepTo(App& app, const SessionMoment* moment)
{
    if (!moment)
        return;
    app.sounds.Restore(moment->list);
    const bool newSound = moment->sound != currentState(app);
    if (newSound)
        restore(app, moment->sound);
    showInSlots(app);
    showChange(app, newSound);
}

} // namespace

void Undo(App& app)
{
    stepTo(app, app.history.Undo());
}

void Redo(App& app)
{
    stepTo(app, app.history.Redo());
}

std::string LastKind(App& app)
{
    char kind[16] = {};
    UInt32 size = sizeof kind;
    if (app.unit->GetProperty(kPropertyLastKind, kAudioUnitScope_Global, 0, kind, &size) != noErr)
        return "sound";
    kind[sizeof kind - 1] = '\0';
    return kind[0] ? kind : "sound";
}
