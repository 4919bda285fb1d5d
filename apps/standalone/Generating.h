#pragma once

#include "HostRender.h"
#include "KindFolders.h"
#include "Locks.h"
#include "Recipe.h"

#include <string>
#include <vector>

// The locks the user chose that still name something; any other is let go.
std::vector<std::string> KnownLocks(const std::vector<std::string>& locks);
// A lock as the editor's panel names what it keeps: a group by its printed
// label (OSC1, AMP ENVELOPE, PITCH SWEEP and PITCH JUMP, …), a parameter by its
// plain name. Settings and the command line keep the locks' own names.
std::string PanelLabelOf(const std::string& lock);
// Runs the instance's generator of a kind ("pickup", "mutate", …) as its
// button does; throws std::runtime_error when the instance refuses it.
void RunGenerator(AUInstance& unit, const std::string& kind);
// Makes a recipe's sound in the instance as generate makes it: from the
// default sound unless the recipe starts elsewhere, drawn from the
// instance's random sequence. Throws std::runtime_error when the instance
// refuses it, which then changes nothing.
void MakeFromRecipe(AUInstance& unit, const Recipe& recipe);
// Sounds mutated from source, each with draws of its own and the locked
// values of source. The instance is left holding source.
std::vector<std::string> VariationsOf(AUInstance& unit, const AUBundle& bundle,
                                      const std::string& source, int count,
                                      const std::vector<int>& locked);

// A recipe kind as the Kinds menu offers it.
struct KindMenuEntry
{
    std::string label;   // its name, and why it is greyed
    std::string tooltip; // its description, or why it cannot be made here
    std::string recipe;  // the file a sound is made from
    bool usable = false; // false: greyed
};
// The menu's entries for the kinds found, each file read now: a kind hidden
// by one of its name is left out, as generate leaves it out. One named as a
// built-in kind, a damaged one and a layered one (the window holds one sound
// at a time) are greyed, saying why.
std::vector<KindMenuEntry> KindMenuEntries(const std::vector<RecipeKind>& kinds);
