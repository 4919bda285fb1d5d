#pragma once

// A build's manifest (TOML): [defaults], then one [[sound]] table an entry,
// read whole and checked before anything is made.
#include "Generate.h"
#include "RenderSession.h"

#include <string>
#include <vector>

// One file of the set, and how to make it.
struct BuildFile
{
    std::string path;  // as opened, from the working folder
    std::string shown; // from the manifest's folder, as printed and stamped
    std::string entry; // "NAME (line N)"
    GenerateRequest request;
    unsigned seed = 0;
    std::string fingerprint; // every choice that shapes the file's bytes
};

// Every file the manifest names, in its order. Throws UsageError, naming the
// line and what is accepted, for a damaged manifest.
std::vector<BuildFile> ReadManifest(const std::string& path, const std::vector<ParamInfo>& params);
