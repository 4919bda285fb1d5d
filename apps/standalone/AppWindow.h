#pragma once

#include <gtk/gtk.h>

#include <string>

struct App;

// The window: the editor, the header bar, the strip, the list and the status.

// The line under the strip: what just happened or went wrong, shown whole.
// What happened clears after a few seconds; what went wrong stays until closed.
void ShowStatus(App& app, const std::string& text);
// The free area (no panels) of the screen a window is on, or of the main one.
bool WorkAreaOf(GtkWidget* widget, GdkRectangle* area);

// Brings the list's rows up to date: names, stars, lengths, the chosen one.
void ShowSoundList(App& app);
// Puts the chosen sound's name in a field to type a new one.
void RenameChosen(App& app);

// Builds the window around the instrument's editor and shows it.
void BuildWindow(App& app);
// The header's count of sounds and which one is shown.
void ShowSlot(App& app);
