#include "KindFolders.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <set>
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

std::string KindNameOf(const std::string& path)
{
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

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
