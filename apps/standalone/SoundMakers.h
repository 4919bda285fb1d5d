#pragma once

#include <gtk/gtk.h>

struct App;

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
