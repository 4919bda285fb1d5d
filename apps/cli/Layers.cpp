#include "Layers.h"

#include "Generate.h"
#include "KindFolders.h"
#include "LayeredSources.h"
#include "SoundWriting.h"

void RenderLayers(const std::string& input, RenderOptions& options)
{
    if (!options.request.settings.empty() || !options.notes.empty() || options.SeedGiven())
        throw UsageError("--set, --note and --seed shape one sound; the layers of a layered sound "
                         "have their own "
                         "sounds, notes and seeds");
    const LayeredSound sound = ReadLayered(input);
    const AudioFormat format = options.Finish(options.output);
    RefuseSharedOutputs({options.output, options.stateOut});
    SoundFile file;
    file.path = options.output;
    file.format = format;
    file.normalization = options.normalization;
    file.program = "bleepforge";
    const std::string text = LayeredText(sound);
    file.companions = {{options.stateOut, [text](const ByteChunk&) { return text; }}};
    WriteLayered(sound, options.request, file, InstrumentBackends(), PlayThreads());
}

std::optional<LayeredDraft> LayeredKindOf(const std::string& kind, const std::string& recipeFile)
{
    const std::optional<std::string> path =
        !recipeFile.empty()                     ? std::optional<std::string>(recipeFile)
        : kind.empty() || IsGeneratorKind(kind) ? std::nullopt
                                                : FindRecipe(kind);
    if (!path || !IsLayeredInput(*path))
        return std::nullopt;
    return ReadLayeredText(*path);
}
