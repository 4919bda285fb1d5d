#pragma once

#include <string>

class Bleepforge;
struct Recipe;

// Makes a kind's sound in the instrument as generate does: seeds its random
// source, then draws the recipe when one is given, else runs the generator
// of the built-in kind named (none for "").
void RunKind(Bleepforge& plug, const std::string& kind, const Recipe* recipe, unsigned seed);
