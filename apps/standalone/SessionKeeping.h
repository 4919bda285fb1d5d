#pragma once

#include "SoundFiles.h"

#include <memory>
#include <string>

struct App;

// The app's folder in the user's config folder, made when missing.
std::string ConfigFolder();
// Where the last sound lives between runs.
std::string AutosavePath();
// Only the first app started on a config folder keeps its sound and list
// there; it brings them back. The others say so instead of overwriting them
// unseen, and keep nothing.
void TakeKeptSound(App& app, std::unique_ptr<KeepLock>& lock);
// Saves the sound and the list when they changed since the last save; also on exit.
void Autosave(App& app);
