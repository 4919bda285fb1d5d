#pragma once

// Kinds of sound as data: recipe files, NAME.toml, found in the user's kinds
// folder ($XDG_CONFIG_HOME/bleepforge/kinds, else ~/.config/bleepforge/kinds)
// and then in the program's own (../share/bleepforge/kinds beside the
// program); a user's recipe of a name comes before the program's.
#include <optional>
#include <string>
#include <vector>

struct RecipeKind
{
    std::string name; // the file's name without .toml
    std::string path;
    bool hidden = false; // by a recipe of the same name in an earlier folder
};

// The kind a recipe file makes: its file's name without the extension.
std::string KindNameOf(const std::string& path);
// The folders searched, the user's first.
std::vector<std::string> KindFolders();
// Every recipe file found, the first folder's first, those hidden by an
// earlier one of the same name marked.
std::vector<RecipeKind> RecipeKinds();
// The recipe file of a kind's name (in any case), if any folder holds one.
std::optional<std::string> FindRecipe(const std::string& name);
// Likewise in the program's own folder only: what every machine has.
std::optional<std::string> FindProgramRecipe(const std::string& name);
