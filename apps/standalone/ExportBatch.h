#pragma once

#include "SoundFiles.h"
#include "SoundList.h"

#include <string>
#include <vector>

struct App;

// Writes the sounds on a thread of their own, the window staying free, with
// a progress bar that can cancel; the status sums up at the end.
void StartExports(App& app, std::vector<ListedSound> sounds, const ExportSettings& settings,
                  const std::string& folder);
bool ExportsRunning(const App& app);
