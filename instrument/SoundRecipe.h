#pragma once

// A kind of sound as data, read: where a sound starts (a built-in kind, or a
// sound), then per parameter a fixed value, a range to draw from or a list
// to choose from, then an optional Mutate. A program that hosts the bundle
// hands a recipe to the instrument as bytes, which the instrument checks
// whole before it makes anything, so that the instrument's own random
// sequence makes the sound the command line makes for the same seed.
#include "Containers.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

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

// The largest encoding the instrument takes.
constexpr size_t kMostRecipeBytes = 1 << 20;

// What the instrument makes a sound from: the start, the sound, Mutate and
// the draws (not the name, description or source). Throws std::length_error
// for a recipe larger than kMostRecipeBytes.
std::vector<unsigned char> EncodeRecipe(const Recipe& recipe);
// Reads an encoding into *recipe, checking all of it first: a known start
// kind or a sound that is a state (not both), each parameter once and in
// order, every value finite and in its parameter's range (whole where the
// parameter is), ranges low to high, log ranges above 0, lists not empty,
// and no byte left over. Returns what is wrong, with *recipe untouched, or
// "" when nothing is.
std::string DecodeRecipe(const unsigned char* bytes, size_t size, Recipe* recipe);
