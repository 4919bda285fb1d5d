#pragma once

// A kind of sound as data: where a sound starts (a built-in kind, or a
// sound), then per parameter a fixed value, a range to draw from or a list
// to choose from, then an optional Mutate. Read from a TOML file; every
// value is read by the rules --set reads it by, and the whole file is
// checked before anything is made.
#include "ParamSettings.h"
#include "SoundRecipe.h"

#include <string>
#include <vector>

// Where a recipe's sound may be read from: anywhere its reader may read (a
// person's own recipe files), or only inside the folder it is taken from (a
// text a program was handed, whose author is not the person running it).
enum class RecipeSoundPaths
{
    kAnywhere,
    kInsideFolder,
};

// Reads a recipe; "source" names it in errors, and a relative sound path is
// taken from the folder "source" is in. Throws UsageError naming the line
// and saying what is accepted.
Recipe ParseRecipe(const std::string& text, const std::string& source,
                   const std::vector<ParamInfo>& params,
                   RecipeSoundPaths paths = RecipeSoundPaths::kAnywhere);
Recipe ReadRecipe(const std::string& path, const std::vector<ParamInfo>& params);

// The parameters as the instrument's table makes them, for reading a recipe
// where no instrument is built (a program that hosts the bundle).
std::vector<ParamInfo> TableParams();
