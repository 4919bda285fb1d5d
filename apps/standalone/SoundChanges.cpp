// How a change of the sound reaches the ear, the picture and the history.
#include "App.h"

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

// The note is held as long as the export's: through attack, hold and decay.
void play(App& app, const HostRender& job)
{
    app.auditionDue.clear();
    if (!app.settings.exportSettings.normalise)
        app.io->SetListeningGain(1.0);
    app.io->Audition(job.request.notes.front().duration);
}

// Export's gain is known without a render when it does not normalise.
bool gainKnown(App& app, const std::string& state)
{
    return !app.settings.exportSettings.normalise || state == app.strip->ShownState();
}

HostRender exportJob(App& app)
{
    return ExportJob(*app.unit, app.settings.exportSettings.rate);
}

} // namespace

void Audition(App& app)
{
    const HostRender job = exportJob(app);
    const std::string state = BytesOf(job.state);
    if (gainKnown(app, state))
        return play(app, job);
    if (app.auditionDue != state)
        app.strip->Show(job, app.settings.exportSettings);
    app.auditionDue = state;
}

void StopAudition(App& app)
{
    app.auditionDue.clear();
    app.io->StopAudition();
}

void SoundRendered(App& app, const std::string& state, double gain)
{
    const HostRender job = exportJob(app);
    if (state != BytesOf(job.state))
        return; // an earlier sound, rendered late
    app.io->SetListeningGain(gain);
    if (state == app.auditionDue)
        play(app, job);
}

void ExportChanged(App& app)
{
    app.strip->Show(exportJob(app), app.settings.exportSettings);
}

// One look at the instrument serves the audition and the picture.
void SoundChanged(App& app)
{
    const HostRender job = exportJob(app);
    app.strip->Show(job, app.settings.exportSettings);
    app.auditionDue.clear();
    if (app.settings.playOnChange && !app.settings.exportSettings.normalise)
        play(app, job);
    else if (app.settings.playOnChange)
        app.auditionDue = BytesOf(job.state);
    updateUndoButtons(app);
}

namespace
{

// The sound as it is now becomes a step, unless it is the one already there
// (an undo's restore is heard too).
gboolean settled(gpointer data)
{
    App& app = *static_cast<App*>(data);
    app.settling = 0;
    const std::string now = currentState(app);
    if (!now.empty() && app.history.Record(now))
        SoundChanged(app);
    return G_SOURCE_REMOVE;
}

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

void SoundReplaced(App& app)
{
    app.history.Record(currentState(app));
    SoundChanged(app);
}

void Undo(App& app)
{
    if (const std::string* state = app.history.Undo())
    {
        restore(app, *state);
        SoundChanged(app);
    }
}

void Redo(App& app)
{
    if (const std::string* state = app.history.Redo())
    {
        restore(app, *state);
        SoundChanged(app);
    }
}
