#include "Recipe.h"

#include "GeneratorKinds.h"
#include "IParam.h"
#include "AudioFile.h"
#include "KindFolders.h"
#include "KIT_ReadFile.h"
#include "LayeredText.h"
#include "Params.h"
#include "PresetSound.h"

#include "TomlText.h"
#include "KIT_Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sys/stat.h>

namespace
{

// Far more than sixty parameters' lines need; a link to a device or a huge
// file is refused rather than read until memory runs out.
const size_t kMostRecipeFileBytes = 1 << 20;

const char kAcceptedKeys[] = "description, start, sound, mutate and [params]";
const char kAcceptedValues[] =
    "a number, a list entry's text, { range = [LOW, HIGH] } with an optional scale = \"linear\" "
    "or \"log\", or { choose = [VALUE, ...] }";
const char kStartKinds[] = "pickup (coin), shoot (laser), powerup, hit (hurt), jump, blip, slash or random";

// Refusals name the file and the line, as compilers do.
class Where
{
public:
    explicit Where(const std::string& source) : mSource(source) {}

    [[noreturn]] void fail(const toml::source_region& at, const std::string& what) const
    {
        throw UsageError(mSource + ":" + std::to_string(at.begin.line) + ": " + what);
    }

private:
    std::string mSource;
};

// A text of the recipe; a NUL would cut it short where it is used.
std::string textOf(const toml::node& node, const std::string& what, const Where& where)
{
    const std::string text = node.as_string()->get();
    if (text.find('\0') != std::string::npos)
        where.fail(node.source(), what + " holds a NUL character");
    return text;
}

// A TOML number or text, read as --set reads "NAME=VALUE"; the rule's words
// about --set give way to the line's, and the value is called what the
// recipe calls it (label).
double settingValue(const std::vector<ParamInfo>& params, const std::string& name, const toml::node& node,
                    const Where& where, const std::string& label = "")
{
    const std::string called = label.empty() ? "\"" + name + "\"" : label;
    std::string text;
    if (const auto* i = node.as_integer())
        text = std::to_string(i->get());
    else if (const auto* f = node.as_floating_point())
        text = ShortestNumberText(f->get());
    else if (node.is_string())
        text = textOf(node, called, where);
    else
        where.fail(node.source(), called + ": expected a number or a list entry's text");
    try
    {
        return ResolveSetting(params, name + "=" + text).value;
    }
    catch (const UsageError& e)
    {
        std::string reason = e.what();
        for (const char* prefix : {"--set: ", "--set "})
            if (reason.rfind(prefix, 0) == 0)
                reason = reason.substr(std::string(prefix).size());
        if (!label.empty() && reason.rfind("\"" + name + "\"", 0) == 0)
            reason = label + reason.substr(name.size() + 2);
        where.fail(node.source(), reason);
    }
}

const toml::array& listOf(const toml::table& table, const char* key, const std::string& name, const Where& where)
{
    const toml::array* list = table[key].as_array();
    if (!list || list->empty())
        where.fail(table.source(), "\"" + name + "\": " + key + " expects a list of values, such as [" +
                                       (std::string(key) == "range" ? "LOW, HIGH" : "VALUE, VALUE") + "]");
    return *list;
}

RecipeDraw rangeOf(const std::vector<ParamInfo>& params, int index, const toml::table& table, const Where& where)
{
    const std::string& name = params[static_cast<size_t>(index)].name;
    const toml::array& ends = listOf(table, "range", name, where);
    if (ends.size() != 2)
        where.fail(table.source(), "\"" + name + "\": range expects two values, [LOW, HIGH]");
    RecipeDraw draw;
    draw.index = index;
    draw.kind = RecipeDraw::kRange;
    draw.whole = params[static_cast<size_t>(index)].whole;
    draw.lo = settingValue(params, name, *ends.get(0), where);
    draw.hi = settingValue(params, name, *ends.get(1), where);
    if (draw.lo > draw.hi)
        where.fail(table.source(), "\"" + name + "\": the range is upside down: " + ShortestNumberText(draw.lo) +
                                       " is above " + ShortestNumberText(draw.hi) + "; write [LOW, HIGH]");
    const std::string scale = table["scale"].value_or(std::string("linear"));
    if (table.contains("scale") && !table["scale"].is_string())
        where.fail(table.source(), "\"" + name + "\": scale expects \"linear\" or \"log\"");
    if (scale == "log")
    {
        if (draw.whole)
            where.fail(table.source(), "\"" + name + "\": a whole-number parameter draws on a linear scale only");
        if (!(draw.lo > 0.0))
            where.fail(table.source(), "\"" + name + "\": a log scale needs a range above 0");
        draw.logarithmic = true;
    }
    else if (scale != "linear")
        where.fail(table.source(), "\"" + name + "\": scale expects \"linear\" or \"log\", not \"" + scale + "\"");
    return draw;
}

RecipeDraw choiceOf(const std::vector<ParamInfo>& params, int index, const toml::table& table, const Where& where)
{
    const std::string& name = params[static_cast<size_t>(index)].name;
    RecipeDraw draw;
    draw.index = index;
    draw.kind = RecipeDraw::kChoice;
    for (const toml::node& choice : listOf(table, "choose", name, where))
        draw.choices.push_back(settingValue(params, name, choice, where));
    return draw;
}

RecipeDraw drawOf(const std::vector<ParamInfo>& params, int index, const toml::node& node, const Where& where)
{
    const std::string& name = params[static_cast<size_t>(index)].name;
    const toml::table* table = node.as_table();
    if (!table)
    {
        RecipeDraw draw;
        draw.index = index;
        draw.lo = draw.hi = settingValue(params, name, node, where);
        return draw;
    }
    for (const auto& [key, value] : *table)
        if (key.str() != "range" && key.str() != "choose" && key.str() != "scale")
            where.fail(value.source(), "\"" + name + "\": unknown key \"" + std::string(key.str()) +
                                           "\"; expected " + kAcceptedValues);
    if (table->contains("range") == table->contains("choose"))
        where.fail(table->source(), "\"" + name + "\": expected " + std::string(kAcceptedValues));
    if (table->contains("choose") && table->contains("scale"))
        where.fail(table->source(), "\"" + name + "\": scale applies to a range, not to choose");
    return table->contains("range") ? rangeOf(params, index, *table, where) : choiceOf(params, index, *table, where);
}

int paramIndex(const std::vector<ParamInfo>& params, const std::string& name, const toml::node& node,
               const Where& where)
{
    try
    {
        return ParamByName(params, name);
    }
    catch (const UsageError& e)
    {
        std::string reason = e.what();
        if (reason.rfind("--set: ", 0) == 0)
            reason = reason.substr(7);
        where.fail(node.source(), reason);
    }
}

std::vector<RecipeDraw> drawsOf(const std::vector<ParamInfo>& params, const toml::table& table, const Where& where)
{
    struct Named
    {
        const toml::node* node;
        std::string name;
    };
    std::map<int, Named> byIndex;
    for (const auto& [key, node] : table)
    {
        Named named{&node, std::string(key.str())};
        if (named.name.find('\0') != std::string::npos)
            where.fail(node.source(), "a parameter's name holds a NUL character");
        const int index = paramIndex(params, named.name, node, where);
        const auto already = byIndex.find(index);
        if (already != byIndex.end())
        {
            // Keys come in name order, not the file's: the later line is the one to blame.
            Named first = already->second, second = named;
            if (first.node->source().begin.line > second.node->source().begin.line)
                std::swap(first, second);
            where.fail(second.node->source(), "\"" + second.name + "\" names the parameter \"" + first.name +
                                                  "\" named on line " +
                                                  std::to_string(first.node->source().begin.line));
        }
        byIndex.emplace(index, named);
    }
    std::vector<RecipeDraw> draws;
    for (const auto& [index, named] : byIndex)
        draws.push_back(drawOf(params, index, *named.node, where));
    return draws;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// A layered sound, as a code or a text, that a recipe names as its sound:
// said so, rather than read as a state it is not.
bool isLayeredSound(const std::string& text)
{
    if (LooksLikeLayeredCode(TrimSpace(text)))
        return true;
    std::string bytes, error;
    return !LooksLikeAudioFile(text) && KIT_ReadFile(text, kMostLayeredTextBytes, &bytes, &error) &&
           DescribesLayers(bytes);
}

// An absolute path, one with a ".." part, or one through a link reaches
// out of the folder.
bool leavesFolder(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return true;
    size_t begin = 0;
    while (begin <= path.size())
    {
        const size_t end = std::min(path.find('/', begin), path.size());
        struct stat status;
        if (path.compare(begin, end - begin, "..") == 0 ||
            (lstat(path.substr(0, end).c_str(), &status) == 0 && S_ISLNK(status.st_mode)))
            return true;
        begin = end + 1;
    }
    return false;
}

void readStart(Recipe& recipe, const toml::table& table, const Where& where, RecipeSoundPaths paths)
{
    if (table.contains("start") && table.contains("sound"))
        where.fail(table["sound"].node()->source(), "give start or sound, not both");
    if (const toml::node* start = table.get("start"))
    {
        const std::string kind = start->is_string() ? CanonicalKind(textOf(*start, "start", where)) : "";
        if (!IsStartKind(kind))
            where.fail(start->source(), std::string("start expects a built-in kind: ") + kStartKinds);
        recipe.start = kind;
    }
    if (const toml::node* sound = table.get("sound"))
    {
        if (!sound->is_string())
            where.fail(sound->source(), "sound expects a sound code or a state or audio file's path");
        std::string text = textOf(*sound, "sound", where);
        if (paths == RecipeSoundPaths::kInsideFolder && leavesFolder(text))
            where.fail(sound->source(), "sound: a path inside the working folder, without a leading /, "
                                        "a .. part or a link, or a sound code");
        // A path is taken from the recipe's folder; a code stays as it is.
        if (!text.empty() && text[0] != '/' && text.find('.') != std::string::npos)
            text = folderOf(recipe.source) + text;
        if (isLayeredSound(text))
            where.fail(sound->source(), "sound: a recipe's sound is one sound, and a layered sound cannot be "
                                        "one; a kind of layered sounds has [[layer]] tables instead");
        try
        {
            recipe.sound = ReadSound(text);
        }
        catch (const std::exception& e)
        {
            where.fail(sound->source(), std::string("sound: ") + e.what());
        }
    }
}

void readMutate(Recipe& recipe, const std::vector<ParamInfo>& params, const toml::table& table, const Where& where)
{
    const toml::node* mutate = table.get("mutate");
    if (!mutate)
        return;
    recipe.mutate = settingValue(params, params[kMutation].name, *mutate, where, "mutate");
}

} // namespace

Recipe ParseRecipe(const std::string& text, const std::string& source, const std::vector<ParamInfo>& params,
                   RecipeSoundPaths paths)
{
    const Where where(source);
    toml::table table;
    try
    {
        table = ParseTomlText(text, source);
    }
    catch (const toml::parse_error& e)
    {
        where.fail(e.source(), "not TOML: " + std::string(e.description()));
    }
    Recipe recipe;
    recipe.name = KindNameOf(source);
    recipe.source = source;
    for (const auto& [key, node] : table)
    {
        const std::string name(key.str());
        if (name != "description" && name != "start" && name != "sound" && name != "mutate" && name != "params")
            where.fail(node.source(), "unknown key \"" + name.substr(0, name.find('\0')) + "\"; a recipe has " +
                                          kAcceptedKeys);
    }
    if (const toml::node* description = table.get("description"))
    {
        if (!description->is_string())
            where.fail(description->source(), "description expects a text");
        recipe.description = textOf(*description, "description", where);
    }
    readStart(recipe, table, where, paths);
    readMutate(recipe, params, table, where);
    if (const toml::node* draws = table.get("params"))
    {
        if (!draws->is_table())
            where.fail(draws->source(), "params expects a table: [params] then one \"NAME\" = VALUE a line");
        recipe.draws = drawsOf(params, *draws->as_table(), where);
    }
    return recipe;
}

Recipe ReadRecipe(const std::string& path, const std::vector<ParamInfo>& params)
{
    std::string text, error;
    if (!KIT_ReadFile(path, kMostRecipeFileBytes, &text, &error))
        throw UsageError(error); // it names the file
    return ParseRecipe(text, path, params);
}

std::vector<ParamInfo> TableParams()
{
    std::vector<ParamInfo> params;
    for (int i = 0; i < kNumParams; ++i)
    {
        IParam param;
        InitParam(static_cast<EParams>(i), &param);
        params.push_back(ParamInfoOf(param));
    }
    return params;
}
