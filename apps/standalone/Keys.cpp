// The window's keys: shortcuts, and a piano on the computer keyboard.
#include "Keys.h"

#include "App.h"
#include "AppWindow.h"
#include "FileActions.h"
#include "SoundChanges.h"
#include "SoundMakers.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>

namespace
{

// One octave from C, white and black keys where a piano has them.
const guint kPianoKeys[] = {GDK_KEY_a, GDK_KEY_w, GDK_KEY_s, GDK_KEY_e, GDK_KEY_d,
                            GDK_KEY_f, GDK_KEY_t, GDK_KEY_g, GDK_KEY_y, GDK_KEY_h,
                            GDK_KEY_u, GDK_KEY_j, GDK_KEY_k};
const int kMiddleC = 60;
const int kOctaveReach = 4; // octaves from middle C either way

int semitoneOf(guint key)
{
    for (int i = 0; i < static_cast<int>(sizeof kPianoKeys / sizeof kPianoKeys[0]); ++i)
        if (kPianoKeys[i] == key)
            return i;
    return -1;
}

// A value being typed, or any other text field, keeps its keys.
bool typingInField(App& app)
{
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(app.window));
    return focus && GTK_IS_EDITABLE(focus);
}

bool shortcut(App& app, guint key, bool shift)
{
    switch (key)
    {
    case GDK_KEY_o:
        OpenAction(app);
        return true;
    case GDK_KEY_s:
        SaveAction(app);
        return true;
    case GDK_KEY_e:
        shift ? ExportSeveralAction(app, true) : ExportAction(app);
        return true;
    case GDK_KEY_v:
        PasteAction(app);
        return true;
    case GDK_KEY_c:
        CopyAction(app);
        return true;
    case GDK_KEY_q:
        gtk_window_close(GTK_WINDOW(app.window));
        return true;
    case GDK_KEY_z:
        shift ? Redo(app) : Undo(app);
        return true;
    case GDK_KEY_y:
        Redo(app);
        return true;
    default:
        return false;
    }
}

// The digits make sounds in the order of the editor's buttons.
const char* const kDigitKinds[] = {"pickup", "shoot", "powerup", "hit", "jump", "blip", "slash"};

bool generatorKey(App& app, guint key)
{
    const size_t digit = key - GDK_KEY_1;
    if (key < GDK_KEY_1 || digit >= sizeof kDigitKinds / sizeof kDigitKinds[0])
        return false;
    GenerateAction(app, kDigitKinds[digit]);
    return true;
}

bool plainKey(App& app, guint key)
{
    switch (key)
    {
    case GDK_KEY_F1:
        ShowKeys(app);
        return true;
    case GDK_KEY_space:
        Audition(app);
        return true;
    case GDK_KEY_Escape:
        StopAudition(app);
        return true;
    case GDK_KEY_Delete:
        DeleteSound(app, app.sounds.Current());
        return true;
    case GDK_KEY_F2:
        RenameChosen(app);
        return true;
    case GDK_KEY_z:
        app.octave = std::max(app.octave - 1, -kOctaveReach);
        ShowOctave(app);
        return true;
    case GDK_KEY_x:
        app.octave = std::min(app.octave + 1, kOctaveReach);
        ShowOctave(app);
        return true;
    case GDK_KEY_m:
        GenerateAction(app, "mutate");
        return true;
    case GDK_KEY_r:
        GenerateAction(app, "random");
        return true;
    case GDK_KEY_v:
        VariationsAction(app);
        return true;
    case GDK_KEY_b:
        StarChosen(app);
        return true;
    default:
        return generatorKey(app, key);
    }
}

} // namespace

gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data)
{
    App& app = *static_cast<App*>(data);
    if (typingInField(app))
        return FALSE;
    const guint key = gdk_keyval_to_lower(event->keyval);
    if (event->state & GDK_CONTROL_MASK)
        return shortcut(app, key, (event->state & GDK_SHIFT_MASK) != 0);
    // Opened here rather than by the label's mnemonic, so that the menu has
    // the key press to pop up for.
    if ((event->state & GDK_MOD1_MASK) && key == GDK_KEY_k && app.kindsButton)
    {
        gtk_button_clicked(GTK_BUTTON(app.kindsButton));
        return TRUE;
    }
    if (event->state & (GDK_MOD1_MASK | GDK_SUPER_MASK))
        return FALSE;
    if (plainKey(app, key))
        return TRUE;
    const int semitone = semitoneOf(key);
    if (semitone < 0)
        return FALSE;
    // A held key repeats its press; the note sounds once.
    const int note = kMiddleC + 12 * app.octave + semitone;
    if (app.heldNotes.emplace(event->hardware_keycode, note).second)
        app.io->PlayNote(note, true);
    return TRUE;
}

gboolean OnKeyRelease(GtkWidget*, GdkEventKey* event, gpointer data)
{
    App& app = *static_cast<App*>(data);
    const auto held = app.heldNotes.find(event->hardware_keycode);
    if (held == app.heldNotes.end())
        return FALSE;
    app.io->PlayNote(held->second, false);
    app.heldNotes.erase(held);
    return TRUE;
}

namespace
{

// The keys and what they do, in two columns; an empty row leaves a gap.
const char* const kKeyList[][2] = {
    {"Space", "play the sound"},
    {"Escape", "stop it; in a value field, close it and keep the value"},
    {"Ctrl+Z", "undo"},
    {"Ctrl+Shift+Z, Ctrl+Y", "redo"},
    {"Ctrl+O", "open a sound (state, preset, or an audio file from Bleepforge)"},
    {"Ctrl+S", "save the sound"},
    {"Ctrl+E", "export"},
    {"Ctrl+Shift+E", "export the starred sounds, a file each"},
    {"Ctrl+C", "copy the sound's code"},
    {"Ctrl+V", "paste a sound code or a sound file's path"},
    {"1 2 3 4 5 6 7", "a new pickup, shoot, powerup, hit, jump, blip, slash sound"},
    {"M, R", "mutate the sound, a random sound"},
    {"V", "variations of the sound (locks kept)"},
    {"Alt+K", "the menu of recipe kinds (the explosion, your own)"},
    {"B", "star the sound, or take its star"},
    {"Delete", "take the sound off the list"},
    {"F2", "rename the sound"},
    {"Ctrl+Q", "quit"},
    {"F1", "this list"},
    {"", ""},
    {"A W S E D F T G Y H U J K", "play C to the next C"},
    {"Z, X", "an octave down, up (the header shows it)"},
};

GtkWidget* leftLabel(const char* text)
{
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    return label;
}

} // namespace

void ShowKeys(App& app)
{
    GtkWidget* dialog = gtk_dialog_new_with_buttons("Keys", GTK_WINDOW(app.window), GTK_DIALOG_MODAL, "_Close",
                                                    GTK_RESPONSE_CLOSE, nullptr);
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_column_spacing(GTK_GRID(grid), 24);
    gtk_grid_set_row_spacing(GTK_GRID(grid), 4);
    gtk_container_set_border_width(GTK_CONTAINER(grid), 18);
    int row = 0;
    for (const auto& key : kKeyList)
    {
        GtkWidget* keys = leftLabel(key[0]);
        gtk_style_context_add_class(gtk_widget_get_style_context(keys), "dim-label");
        gtk_grid_attach(GTK_GRID(grid), keys, 0, row, 1, 1);
        gtk_grid_attach(GTK_GRID(grid), leftLabel(key[1]), 1, row++, 1, 1);
    }
    GtkWidget* tuning = leftLabel("Keys play in the instrument's own tuning, which stored sounds depend on: "
                                  "MIDI note 69 (the A above middle C) sounds at about 414.9 Hz, not 440 Hz, "
                                  "and semitone steps are slightly uneven.");
    gtk_label_set_line_wrap(GTK_LABEL(tuning), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(tuning), 60);
    gtk_widget_set_margin_top(tuning, 12);
    gtk_grid_attach(GTK_GRID(grid), tuning, 0, row, 2, 1);
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), grid);
    gtk_widget_show_all(dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}
