// Layered sounds in the page's module: a layered text or code read whole
// and checked as the command line reads it, and rendered as
// `bleepforge render --layers` renders it, play by play in instruments of
// their own, in the calling thread.
#include "LayeredSources.h"
#include "LayeredText.h"
#include "KIT_Text.h"
#include "WebRendering.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <string>

using emscripten::val;

namespace
{

// How refusals name a text handed over, where the command line names its file.
const char kTextName[] = "layers";

LayeredSound layeredOf(const std::string& textOrCode)
{
    const std::string trimmed = TrimSpace(textOrCode);
    if (LooksLikeLayeredCode(trimmed))
        return DecodeLayered(trimmed);
    if (textOrCode.size() > kMostLayeredTextBytes)
        throw UsageError("the layered text is longer than " + std::to_string(kMostLayeredTextBytes) + " bytes");
    return MakeLayered(ParseLayeredText(textOrCode, kTextName));
}

// {code, layers}: the sound a layered text or code holds, as its code.
val readLayered(const std::string& textOrCode)
{
    return AnswerOf(
        [&]
        {
            const LayeredSound sound = layeredOf(textOrCode);
            const std::vector<LayerProblem> problems = CheckLayered(sound);
            if (!problems.empty())
                throw UsageError(problems.front().text);
            val answer = val::object();
            answer.set("code", EncodeLayered(sound));
            answer.set("layers", static_cast<int>(sound.layers.size()));
            answer.set("text", LayeredText(sound));
            return answer;
        });
}

// {channels}, as render answers for a single sound; each layer carries its
// own notes and seed.
val renderLayered(const std::string& textOrCode, double rate, int block, double lengthSeconds, int channels,
                  const std::string& normalize, bool exact)
{
    return AnswerOf(
        [&]
        {
            const RenderShape shape = CheckedShape(rate, block, lengthSeconds, channels, normalize, exact, {});
            const LayeredSound sound = layeredOf(textOrCode);
            LayeredRender render(sound, shape.request, InstrumentBackends(), 1);
            return RenderChannels(shape, [&render](const FrameSink& sink) { RenderLayered(render, sink); });
        });
}

} // namespace

EMSCRIPTEN_BINDINGS(bleepforge_layered)
{
    emscripten::function("readLayered", &readLayered);
    emscripten::function("renderLayered", &renderLayered);
}
