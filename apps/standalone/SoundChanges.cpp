// How a change of the sound reaches the ear, the picture and the history.
#include "App.h"

namespace
{

std::string currentState(App& app)
{
    return BytesOf(CurrentState(*app.unit));
}

// A mouse button held anywhere on the window: a knob gesture still going.
bool pointerHeld(App& app)
{
    GdkWindow* window = gtk_widget_get_window(app.window);
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
    if (!window || !pointer)
        return false;
    GdkModifierType mask = static_cast<GdkModifierType>(0);
    gdk_device_get_state(pointer, window, nullptr, &mask);
    return (mask & (GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK)) != 0;
}

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
    app.seen = state;
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

void WatchSound(App& app)
{
    const std::string now = currentState(app);
    const bool settled = !now.empty() && now == app.seen && !pointerHeld(app);
    app.seen = now;
    if (settled && app.history.Record(now))
        SoundChanged(app);
}

void SoundReplaced(App& app)
{
    app.seen = currentState(app);
    app.history.Record(app.seen);
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
