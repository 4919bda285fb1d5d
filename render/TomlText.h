#pragma once

// TOML texts as every reader here parses them: recipes, layered sounds and
// manifests. The parser builds a table a level per dotted key part and walks
// those levels recursively, so a text whose keys reach thousands of levels
// deep overflows the stack; such a text is refused before it is parsed.
#include <toml++/toml.h>

#include <string>
#include <string_view>

// The deepest a key may reach: its dotted parts, with those of the [table]
// it sits in and of the keys whose { } or [ ] hold it, each bracket a level.
const int kMostTomlDepth = 256;

// The text's table; source names it in errors. Throws toml::parse_error,
// with the line, for a text that is not TOML or nests deeper than
// kMostTomlDepth.
toml::table ParseTomlText(std::string_view text, const std::string& source = "");
