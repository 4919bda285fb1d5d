#include "Generating.h"

#include "GeneratorKinds.h"
#include "LayeredText.h"
#include "Locks.h"
#include "Params.h"
#include "SoundState.h"
#include "KIT_UsageError.h"

#include "KIT_ReadFile.h"

#include <stdexcept>

std::vector<std::string> KnownLocks(const std::vector<std::string>& locks)
{
    std::vector<std::string> known;
    for (const std::string& lock : locks)
    {
        try
        {
            LockedParams({lock});
            known.push_back(lock);
        }
        catch (const UsageError&)
        {
            // a name the table no longer has locks nothing
        }
    }
    return known;
}

namespace
{

// The labels the panel prints over each group's controls.
const std::pair<const char*, const char*> kPanelLabels[] = {
    {"osc1", "OSC1"},
    {"osc2", "OSC2"},
    {"osc3", "OSC3"},
    {"noise", "WHITE NOISE and PINK NOISE"},
    {"amp-env", "AMP ENVELOPE"},
    {"filter-env", "FLT ENVELOPE"},
    {"filters", "FILTERS"},
    {"pitch", "PITCH SWEEP and PITCH JUMP"},
    {"crusher", "BIT CRUSHER"},
    {"output", "OUTPUT and COMPRESS"}};

} // namespace

std::string PanelLabelOf(const std::string& lock)
{
    for (const auto& [group, label] : kPanelLabels)
        if (lock == group)
            return label;
    for (int i = 0; i < kNumParams; ++i)
        if (lock == paramProperties[i].name)
            return ParamPlainName(static_cast<EParams>(i));
    return lock;
}

void RunGenerator(AUInstance& unit, const std::string& kind)
{
    char name[16] = {};
    kind.copy(name, sizeof name - 1);
    if (unit.SetProperty(kPropertyGenerate, kAudioUnitScope_Global, 0, name, sizeof name) != noErr)
        throw std::runtime_error("the instrument has no generator '" + kind + "'");
}

void MakeFromRecipe(AUInstance& unit, const Recipe& recipe)
{
    std::vector<unsigned char> bytes;
    try
    {
        bytes = EncodeRecipe(recipe);
    }
    catch (const std::length_error& e)
    {
        throw std::runtime_error(recipe.name + ": " + e.what());
    }
    if (unit.SetProperty(kPropertyRecipe, kAudioUnitScope_Global, 0, bytes.data(),
                         static_cast<UInt32>(bytes.size())) != noErr)
        throw std::runtime_error("the instrument refused the recipe '" + recipe.name + "'");
}

namespace
{

void restoreState(AUInstance& unit, const AUBundle& bundle, const std::string& state)
{
    ByteChunk chunk;
    chunk.PutBytes(state.data(), static_cast<int>(state.size()));
    RestoreFrom(unit, StateDictionary(bundle, chunk), "the sound");
}

} // namespace

std::vector<std::string> VariationsOf(AUInstance& unit, const AUBundle& bundle,
                                      const std::string& source, int count,
                                      const std::vector<int>& locked)
{
    std::vector<std::string> made;
    for (int k = 0; k < count; ++k)
    {
        restoreState(unit, bundle, source);
        RunGenerator(unit, "mutate");
        made.push_back(KeepLockedValues(source, BytesOf(CurrentState(unit)), locked));
    }
    restoreState(unit, bundle, source);
    return made;
}

namespace
{

KindMenuEntry kindEntry(const RecipeKind& kind)
{
    KindMenuEntry entry{kind.name, "", kind.path, false};
    try
    {
        std::string text, error;
        if (!KIT_ReadFile(kind.path, kMostLayeredTextBytes, &text, &error))
            throw std::runtime_error(error);
        if (DescribesLayers(text))
        {
            const std::string description = ParseLayeredText(text, kind.path).description;
            entry.label += " (layered)";
            entry.tooltip = (description.empty() ? "" : description + "\n") +
                            "Layered: this window holds one sound at a time; make it with bleepforge generate " +
                            kind.name;
            return entry;
        }
        entry.tooltip = ParseRecipe(text, kind.path, TableParams()).description;
        entry.usable = true;
    }
    catch (const std::exception& e)
    {
        entry.label += " (damaged)";
        entry.tooltip = e.what();
    }
    if (entry.tooltip.empty())
        entry.tooltip = kind.path;
    return entry;
}

} // namespace

std::vector<KindMenuEntry> KindMenuEntries(const std::vector<RecipeKind>& kinds)
{
    std::vector<KindMenuEntry> entries;
    for (const RecipeKind& kind : kinds)
    {
        if (kind.hidden)
            continue;
        if (GeneratorKindIndex(CanonicalKind(kind.name)) < kNumGeneratorKinds)
            entries.push_back({kind.name + " (not used: a built-in kind has this name)",
                               kind.path + ": rename the file to use it", kind.path, false});
        else
            entries.push_back(kindEntry(kind));
    }
    return entries;
}
