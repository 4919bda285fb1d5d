#pragma once

// A game's whole sound set from one manifest (TOML): defaults, then one
// [[sound]] table an entry. Each file is made as `generate` (or, for a state
// or code, `render`) would make it with the same options, byte for byte.
// Beside the manifest, MANIFEST.built records each file's entry and bytes,
// so that a build skips what is up to date and --check names what is not.
// A build reads and writes only inside the manifest's folder, never through
// a link, and renders in a scratch folder of its own.
#include <string>

struct BuildRequest
{
    std::string manifest;
    int jobs = 1;
    bool force = false; // rebuild every file
    bool check = false; // write nothing; say what is missing, stale or different
};

// Builds (or checks) every file; prints a line a file made or found wanting,
// and a summary. The exit status: 0 when every file was made or is as the
// manifest says, 1 otherwise. Throws UsageError, before anything is written,
// for a damaged manifest (naming its line).
int RunBuild(const BuildRequest& request);
