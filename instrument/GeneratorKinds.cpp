#include "GeneratorKinds.h"

#include <cctype>
#include <map>

std::string CanonicalKind(const std::string& kind)
{
    static const std::map<std::string, std::string> aliases = {
        {"coin", "pickup"},     {"laser", "shoot"}, {"power-up", "powerup"},
        {"hurt", "hit"},        {"blips", "blip"},  {"randomize", "random"}};
    std::string lower;
    for (char c : kind)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto alias = aliases.find(lower);
    return alias != aliases.end() ? alias->second : lower;
}

size_t GeneratorKindIndex(const std::string& kind)
{
    for (size_t i = 0; i < kNumGeneratorKinds; ++i)
        if (kind == kGeneratorKinds[i])
            return i;
    return kNumGeneratorKinds;
}

bool IsStartKind(const std::string& kind)
{
    return GeneratorKindIndex(kind) < kNumGeneratorKinds && kind != "mutate" && kind != "reset";
}

std::string GeneratorKindsText()
{
    std::string list;
    for (size_t i = 0; i < kNumGeneratorKinds; ++i)
        list += std::string(i == 0 ? "" : i + 1 == kNumGeneratorKinds ? " or " : ", ") + kGeneratorKinds[i];
    return list;
}
