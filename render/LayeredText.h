#pragma once

// A layered sound as text (TOML), as people and scripts write it:
//
//   version = 1
//   [[layer]]
//   sound = "bfs1:..."     # or a state or audio file, or kind = "hit", or recipe = "boom.toml"
//   seed = 3               # its noise's, and its kind's or recipe's draws
//   start = 0.1            # seconds from the start of the whole
//   gain = -6              # dB
//   pan = 0                # -1 ... 1
//   notes = ["60:127:0:0.2"]   # or pattern = "C5 E5 G5 C6" with step = 0.08
//   repeat = { count = 3, interval = 0.12, gain = -6, transpose = 0 }
//   mute = false
//   solo = false
//
// Read whole and checked before anything is made from it; a refusal names
// the line and what is accepted. A kind or a recipe is read here and made
// into a sound where an instrument is (LayeredSources.h).
#include "LayerTables.h"
#include "LayeredSound.h"
#include "RenderSession.h"
#include "SoundRecipe.h"

#include <optional>
#include <string>
#include <vector>

// Where a layer's sound comes from, until it is made.
struct LayerSource
{
    enum Kind
    {
        kSound, // the layer's state, read
        kKind,  // a built-in kind's generator, named by kind
        kRecipe // a recipe, read
    };
    Kind from = kSound;
    std::string kind;             // the built-in kind (canonical name)
    std::optional<Recipe> recipe; // a recipe file's, or a recipe kind's
    std::string recipeText;       // the recipe as read
};

// A layered sound as read, its kinds and recipes not yet made: those layers
// hold a stand-in state, and their seeds are added to the seed they are
// made with.
struct LayeredDraft
{
    std::string name;        // the kind it makes, as its file is named
    std::string description; // one line, or ""
    LayeredSound sound;
    std::vector<LayerSource> sources; // one a layer
};

// A layered sound as a draft of sounds only, made as it is.
LayeredDraft DraftOf(const LayeredSound& sound);

// How kind names in a layer are found.
enum class KindLookup
{
    kUsersFirst, // the user's kinds folder, then the program's
    kProgramOnly // what every machine has, for builds
};

// Reads a layered sound's text; source names it in refusals, and relative
// paths are taken from its folder. Throws UsageError naming the line.
LayeredDraft ParseLayeredText(const std::string& text, const std::string& source,
                              KindLookup lookup = KindLookup::kUsersFirst);
// The same from a file, read as a regular file without waiting, at most
// kMostLayeredTextBytes.
LayeredDraft ReadLayeredText(const std::string& path, KindLookup lookup = KindLookup::kUsersFirst);
const size_t kMostLayeredTextBytes = 1 << 20;

// The text of a layered sound, each layer's sound as its code: read again,
// it is the same sound.
std::string LayeredText(const LayeredSound& sound);
