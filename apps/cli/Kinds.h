#pragma once

// Kinds on the command line: the recipe a generate command names, and the
// list 'bleepforge kinds' prints.
#include "KindFolders.h"
#include "Recipe.h"

#include <optional>
#include <string>
#include <vector>

// The recipe a generate command names: its --recipe file, or a recipe kind
// when KIND is no built-in one; none for a built-in kind. Throws UsageError
// for both or neither, and for a damaged recipe.
std::optional<Recipe> RecipeOf(const std::string& kind, const std::string& recipeFile,
                               const std::vector<ParamInfo>& params);
// The list 'bleepforge kinds' prints: built-in kinds with their other names,
// then recipe kinds with their description and file.
std::string DescribeKinds(const std::vector<ParamInfo>& params);
