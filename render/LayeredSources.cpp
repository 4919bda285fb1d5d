#include "LayeredSources.h"

#include "AudioFile.h"
#include "Bleepforge.h"
#include "RenderJob.h"

#include "KIT_ReadFile.h"
#include "KIT_Text.h"

#include <algorithm>
#include <thread>
#include <unistd.h>

namespace
{

ByteChunk madeSound(const LayerSource& source, unsigned seed)
{
    InstrumentBackend instrument;
    instrument.Open(44100.0, 512, std::nullopt);
    RunKind(instrument.Plug(), source.kind, source.recipe ? &*source.recipe : nullptr, seed);
    return instrument.State();
}

bool isCode(const std::string& text)
{
    return LooksLikeLayeredCode(TrimSpace(text)) && access(text.c_str(), F_OK) != 0;
}

bool isLayeredText(const std::string& path)
{
    std::string text, error;
    return KIT_ReadFile(path, kMostLayeredTextBytes, &text, &error) && DescribesLayers(text);
}

bool isLayeredAudio(const std::string& path)
{
    try
    {
        return LooksLikeAudioFile(path) && LooksLikeLayeredCode(ReadCodeFromAudio(path));
    }
    catch (const std::exception&)
    {
        return false;
    }
}

} // namespace

LayeredSound MakeLayered(const LayeredDraft& draft, unsigned seedOffset)
{
    LayeredSound sound = draft.sound;
    for (size_t i = 0; i < sound.layers.size(); ++i)
    {
        Layer& layer = sound.layers[i];
        const LayerSource& source = draft.sources[i];
        layer.seed += seedOffset; // unsigned: modulo 2^32
        if (source.from != LayerSource::kSound)
            layer.state = madeSound(source, layer.seed);
    }
    return sound;
}

LayeredSound ReadLayered(const std::string& fileOrCode, KindLookup lookup)
{
    if (isCode(fileOrCode))
        return DecodeLayered(TrimSpace(fileOrCode));
    if (LooksLikeAudioFile(fileOrCode))
    {
        const std::string code = ReadCodeFromAudio(fileOrCode);
        if (!LooksLikeLayeredCode(code))
            throw UsageError("'" + fileOrCode +
                             "' holds one sound, not layers; give it to --state");
        try
        {
            return DecodeLayered(code);
        }
        catch (const std::exception& e)
        {
            throw std::runtime_error("the layered sound in '" + fileOrCode +
                                     "' is damaged: " + e.what());
        }
    }
    return MakeLayered(ReadLayeredText(fileOrCode, lookup));
}

bool IsLayeredInput(const std::string& fileOrCode)
{
    return isCode(fileOrCode) || isLayeredAudio(fileOrCode) || isLayeredText(fileOrCode);
}

BackendMaker InstrumentBackends()
{
    return [] { return std::make_unique<InstrumentBackend>(); };
}

int PlayThreads()
{
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}
