#pragma once

// Layered sounds on the command line: render --layers (or --state given a
// layered sound), and the layered kinds generate makes.
#include "LayeredText.h"
#include "RenderOptions.h"

#include <optional>
#include <string>

// Renders the layered sound (a text file, a code, or an audio file carrying
// one) with the render options: every one but those that shape one sound
// (--set, --note, --seed), which are refused. --state-out writes its text.
void RenderLayers(const std::string& input, RenderOptions& options);
// The layers of a kind (a recipe of layered sounds), or of a --recipe file
// of them; none for any other kind or recipe.
std::optional<LayeredDraft> LayeredKindOf(const std::string& kind, const std::string& recipeFile);
