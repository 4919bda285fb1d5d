#include "LayeredVariations.h"

#include "SoundState.h"
#include "KIT_UsageError.h"

#include <utility>

namespace
{

VariationSource layerSource(const Layer& layer, const VariationSource& shape)
{
    VariationSource source = shape;
    source.base = layer.state;
    return source;
}

// The layer's notes moved by semitones: its own note becomes the one note
// of a list, so that it moves too.
void moveNotes(Layer* layer, int semitones, const NoteSpec& ownMoved)
{
    LayerNotes& notes = layer->notes;
    if (notes.kind == LayerNotes::kSoundsOwn)
    {
        notes.kind = LayerNotes::kList;
        notes.list = {ownMoved};
        return;
    }
    for (NoteSpec& note : notes.list)
        note.note += semitones;
    for (int& step : notes.steps)
        if (step != kRestStep)
            step += semitones;
}

// The layer with play's sound; its notes moved as far as the play moved its
// sound's own note, unless that takes a note out of range: then it keeps
// its notes.
Layer variedLayer(const Layer& layer, const Variation& play, int index)
{
    Layer varied = layer;
    varied.state = play.state;
    varied.seed = play.seed;
    const int semitones = play.note.note - DefaultNote(play.state).note;
    if (semitones == 0)
        return varied;
    Layer moved = varied;
    moveNotes(&moved, semitones, play.note);
    return CheckLayer(moved, index).empty() ? moved : varied;
}

} // namespace

LayeredVariations::LayeredVariations(LayeredSound base, const VariationSource& shape, unsigned seed)
    : mBase(std::move(base))
{
    if (!shape.kind.empty() || shape.recipe)
        throw UsageError("a layered sound varies its layers' own sounds: give no kind or recipe");
    const std::vector<LayerProblem> problems = CheckLayered(mBase);
    if (!problems.empty())
        throw UsageError(problems.front().text);
    for (size_t i = 0; i < mBase.layers.size(); ++i)
        mLayers.emplace_back(layerSource(mBase.layers[i], shape), VariationSeed(seed, i, 0));
}

LayeredVariation LayeredVariations::Next()
{
    LayeredVariation made;
    made.index = mNext++;
    made.sound = mBase;
    for (size_t i = 0; i < mLayers.size(); ++i)
        made.sound.layers[i] = variedLayer(mBase.layers[i], mLayers[i].Next(), static_cast<int>(i));
    return made;
}

void LayeredVariations::Seek(uint64_t play)
{
    for (Variations& layer : mLayers)
        layer.Seek(play);
    mNext = play;
}
