#pragma once

#include "SoundFiles.h"

#include <string>
#include <vector>

// The app's remembered choices, kept between runs.
struct AppSettings
{
    bool playOnChange = true;
    ExportSettings exportSettings;
    std::string exportFolder; // the last folder exported to; empty before the first
    std::vector<std::string> locks; // parameter names and groups kept through generators
    int variations = 5;             // sounds "Variations of this…" makes
};

const int kMostVariations = 50;

// The rates Export offers.
const int kExportRates[] = {22050, 44100, 48000, 96000};

// What the file says; a missing or unreadable file, or a value out of place,
// leaves the default for it. A file that is there but cannot be read (not a
// regular file, too large, unreadable) sets *problem to say so.
AppSettings LoadSettings(const std::string& path, std::string* problem = nullptr);
// Written whole under a temporary name first; throws saying what failed.
void SaveSettings(const AppSettings& settings, const std::string& path);

// Where Export's dialogs open: the last folder exported to while it is
// there, else the user's music folder (null: none is set), else home. Never
// the folder the app was started from, which is rarely the user's.
std::string ExportStartFolder(const std::string& lastFolder, const char* musicFolder,
                              const std::string& home);
