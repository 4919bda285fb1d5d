#include "LayerTables.h"

#include "TomlText.h"

#include <algorithm>
#include <sstream>

namespace
{

// A line that begins a [[layer]] table, blanks taken out.
bool hasLayerHeader(const std::string& text)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
    {
        line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; }),
                   line.end());
        if (line.compare(0, 9, "[[layer]]") == 0)
            return true;
    }
    return false;
}

} // namespace

bool DescribesLayers(const std::string& text)
{
    try
    {
        return ParseTomlText(text).contains("layer");
    }
    catch (const toml::parse_error&)
    {
        // Still layered when it says so: its refusal is then the parser's,
        // naming the line, not a state reader's.
        return hasLayerHeader(text);
    }
}
