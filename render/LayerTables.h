#pragma once

// Telling a layered sound's or a layered recipe's text from others, apart
// from reading one: what only refuses layers needs none of their reading.
#include <string>

// Whether a TOML text describes layers ([[layer]]), as a layered sound or
// a recipe of layered sounds does.
bool DescribesLayers(const std::string& text);
