#pragma once

#include "SoundFiles.h"
#include "SoundList.h"

#include <string>
#include <vector>

struct App;

// Writes the sounds with an ExportBatch, the window staying free, and shows
// a progress bar that can cancel; the status sums up at the end.
void StartExports(App& app, std::vector<ListedSound> sounds, const ExportSettings& settings,
                  const std::string& folder);
bool ExportsRunning(const App& app);
