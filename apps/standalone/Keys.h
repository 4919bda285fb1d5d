#pragma once

#include <gtk/gtk.h>

struct App;

// Keys for the whole window: shortcuts and musical typing.
gboolean OnKeyPress(GtkWidget* window, GdkEventKey* event, gpointer app);
gboolean OnKeyRelease(GtkWidget* window, GdkEventKey* event, gpointer app);
void ShowKeys(App& app);
