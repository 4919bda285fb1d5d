#pragma once

// A kind of sound as data: where a sound starts (a built-in kind, or a
// sound), then per parameter a fixed value, a range to draw from or a list
// to choose from, then an optional Mutate. Read from a TOML file; every
// value is read by the rules --set reads it by, and the whole file is
// checked before anything is made.
#include "RenderSession.h"

#include <optional>
#include <string>
#include <vector>

class Bleepforge;

struct RecipeDraw
{
    enum Kind
    {
        kFixed,  // lo
        kRange,  // one draw between lo and hi
        kChoice, // one draw among choices
    };
    int index = 0; // the parameter
    Kind kind = kFixed;
    double lo = 0.0, hi = 0.0;
    bool logarithmic = false;
    bool whole = false; // draws whole numbers
    std::vector<double> choices;
};

struct Recipe
{
    std::string name;        // the kind it makes, as files and lists name it
    std::string description; // one line, or ""
    std::string source;      // the file it was read from
    std::string start;       // a built-in kind, or "" for the default sound
    ByteChunk sound;         // the state to start from instead, or empty
    std::optional<double> mutate; // Mutate's amount in %, after the draws
    std::vector<RecipeDraw> draws; // in parameter order
};

// Reads a recipe; "source" names it in errors, and a relative sound path is
// taken from the folder "source" is in. Throws UsageError naming the line
// and saying what is accepted.
Recipe ParseRecipe(const std::string& text, const std::string& source,
                   const std::vector<ParamInfo>& params);
Recipe ReadRecipe(const std::string& path, const std::vector<ParamInfo>& params);

// Makes the recipe's sound in the instrument from the random sequence as it
// stands (seed it first): the start, each draw in parameter order, Mutate.
void ApplyRecipe(Bleepforge& plug, const Recipe& recipe);
