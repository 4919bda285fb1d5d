#include "Kinds.h"

#include "Generate.h"
#include "Recipe.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <set>
#include <sstream>
#include <unistd.h>

namespace
{

const char kExtension[] = ".toml";

std::string programFolder()
{
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "";
    std::string path(self, static_cast<size_t>(length));
    return path.substr(0, path.rfind('/'));
}

bool isRecipeFile(const std::string& file)
{
    const size_t n = sizeof kExtension - 1;
    return file.size() > n && file.compare(file.size() - n, n, kExtension) == 0 && file[0] != '.';
}

std::vector<std::string> recipeFilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return files;
    while (const dirent* entry = readdir(dir))
        if (isRecipeFile(entry->d_name))
            files.push_back(entry->d_name);
    closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

std::vector<std::string> KindFolders()
{
    std::vector<std::string> folders;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (config && config[0] == '/')
        folders.push_back(std::string(config) + "/bleepforge/kinds");
    else if (home && home[0])
        folders.push_back(std::string(home) + "/.config/bleepforge/kinds");
    const std::string program = programFolder();
    if (!program.empty())
    {
        const std::string shipped = program + "/../share/bleepforge/kinds";
        char* real = realpath(shipped.c_str(), nullptr);
        folders.push_back(real ? real : shipped);
        std::free(real);
    }
    return folders;
}

namespace
{

std::string lower(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Every recipe file of the folders, the first folder's first; a name met
// again (in any case) is hidden by the one before it.
std::vector<RecipeKind> recipesIn(const std::vector<std::string>& folders)
{
    std::vector<RecipeKind> kinds;
    std::set<std::string> seen;
    for (const std::string& folder : folders)
        for (const std::string& file : recipeFilesIn(folder))
        {
            const std::string name = file.substr(0, file.size() - (sizeof kExtension - 1));
            kinds.push_back({name, folder + "/" + file, !seen.insert(lower(name)).second});
        }
    return kinds;
}

std::optional<std::string> findIn(const std::vector<std::string>& folders, const std::string& name)
{
    for (const RecipeKind& kind : recipesIn(folders))
        if (!kind.hidden && lower(kind.name) == lower(name))
            return kind.path;
    return std::nullopt;
}

} // namespace

std::vector<RecipeKind> RecipeKinds()
{
    return recipesIn(KindFolders());
}

std::optional<std::string> FindRecipe(const std::string& name)
{
    return findIn(KindFolders(), name);
}

std::optional<std::string> FindProgramRecipe(const std::string& name)
{
    const std::vector<std::string> folders = KindFolders();
    return findIn({folders.back()}, name);
}

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
        out << "  " << kind.name;
        if (kind.hidden)
            out << "  (not used: hidden by the recipe of this name above)";
        else if (IsGeneratorKind(kind.name))
            out << "  (not used: a built-in kind has this name)";
        else
        {
            try
            {
                const Recipe recipe = ReadRecipe(kind.path, params);
                if (!recipe.description.empty())
                    out << "  " << recipe.description;
            }
            catch (const std::exception& e)
            {
                out << "  (damaged: " << e.what() << ")";
            }
        }
        out << "\n      " << kind.path << "\n";
    }
    if (kinds.empty())
        out << "  none\n";
    out << "Recipe folders, the first before the second:\n";
    for (const std::string& folder : KindFolders())
        out << "  " << folder << "\n";
    return out.str();
}
