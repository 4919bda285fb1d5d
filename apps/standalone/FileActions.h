#pragma once

struct App;

// Writes the settings down; a failure shows in the status line.
void KeepSettings(App& app);

// File actions of the header bar and their shortcuts.
void OpenAction(App& app);
void SaveAction(App& app);
void ExportAction(App& app);
// Export starred… and Export all…: a file per sound into a chosen folder.
void ExportSeveralAction(App& app, bool starredOnly);
void PasteAction(App& app);
void CopyAction(App& app);
