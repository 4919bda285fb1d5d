#pragma once

// The recipe kinds the program ships (data/kinds), their texts compiled into
// the page's module: ShippedKinds.cpp is written by Library.cmake.
struct ShippedKind
{
    const char* name; // the file's name without .toml
    const char* text;
};
extern const ShippedKind kShippedKinds[];
extern const unsigned kShippedKindCount;
