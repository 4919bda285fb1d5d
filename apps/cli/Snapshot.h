#pragma once

#include "RenderJob.h"

#include <string>
#include <vector>

struct SnapshotRequest
{
    std::string stateIn;
    std::vector<std::string> settings; // "NAME=VALUE", applied in order
    std::vector<int> notes;            // held while half a second renders
    bool about = false;
    int scale = 1;
};

// Builds the instrument headless, applies the request and writes the whole
// editor, drawn once, as a PNG (pixel-doubled at scale 2).
void WriteSnapshot(const SnapshotRequest& request, const std::string& path);
