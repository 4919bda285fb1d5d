#include "Kinds.h"

#include "Generate.h"
#include "LayeredSources.h"

#include "KIT_Printable.h"

#include <sstream>

std::optional<Recipe> RecipeOf(const std::string& kind, const std::string& recipeFile,
                               const std::vector<ParamInfo>& params)
{
    if (!recipeFile.empty() && !kind.empty())
        throw UsageError("give a KIND or --recipe FILE, not both");
    if (!recipeFile.empty())
        return ReadRecipe(recipeFile, params);
    if (kind.empty())
        throw UsageError("give a KIND (such as pickup) or --recipe FILE; 'bleepforge kinds' lists the kinds");
    if (IsGeneratorKind(kind))
        return std::nullopt;
    if (const std::optional<std::string> path = FindRecipe(kind))
        return ReadRecipe(*path, params);
    return std::nullopt;
}

std::string DescribeKinds(const std::vector<ParamInfo>& params)
{
    std::ostringstream out;
    out << "Built in:\n"
           "  pickup (coin), shoot (laser), powerup (power-up), hit (hurt), jump, blip, slash,\n"
           "  random (randomize), mutate, reset\n"
           "Recipes:\n";
    const std::vector<RecipeKind> kinds = RecipeKinds();
    for (const RecipeKind& kind : kinds)
    {
        // Names, descriptions and problems come from the user's folder: their
        // control characters reach the terminal escaped.
        out << "  " << KIT_Printable(kind.name);
        if (kind.hidden)
            out << "  (not used: hidden by the recipe of this name above)";
        else if (IsGeneratorKind(kind.name))
            out << "  (not used: a built-in kind has this name)";
        else
        {
            try
            {
                const bool layered = IsLayeredInput(kind.path);
                const std::string description = layered ? ReadLayeredText(kind.path).description
                                                        : ReadRecipe(kind.path, params).description;
                if (!description.empty())
                    out << "  " << KIT_Printable(description);
                if (layered)
                    out << "  (layered)";
            }
            catch (const std::exception& e)
            {
                out << "  (damaged: " << KIT_Printable(e.what()) << ")";
            }
        }
        out << "\n      " << KIT_Printable(kind.path) << "\n";
    }
    if (kinds.empty())
        out << "  none\n";
    out << "Recipe folders, the first before the second:\n";
    for (const std::string& folder : KindFolders())
        out << "  " << KIT_Printable(folder) << "\n";
    return out.str();
}
