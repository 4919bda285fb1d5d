#include "LayerEdits.h"

#include "SoundState.h"

#include <stdexcept>

namespace
{

std::string codeOf(const LayeredSound& sound)
{
    return sound.layers.empty() ? std::string() : EncodeLayered(sound);
}

void transposeNotes(Layer* layer, int semitones)
{
    LayerNotes& notes = layer->notes;
    if (notes.kind == LayerNotes::kSoundsOwn)
    {
        notes.kind = LayerNotes::kList;
        notes.list = {DefaultNote(layer->state)};
    }
    for (NoteSpec& note : notes.list)
        note.note += semitones;
    for (int& step : notes.steps)
        if (step != kRestStep)
            step += semitones;
}

} // namespace

void LayerEdits::Open(const LayeredSound& sound)
{
    if (!sound.layers.empty() && !CheckLayered(sound).empty())
        throw std::invalid_argument("the layered sound cannot play: " + CheckLayered(sound).front().text);
    mSound = sound;
    mHistory.Reset(codeOf(sound));
}

bool LayerEdits::record(const LayeredSound& sound)
{
    if (!sound.layers.empty() && !CheckLayered(sound).empty())
        return false;
    if (!mHistory.Record(codeOf(sound)))
        return false;
    mSound = sound;
    return true;
}

template <class Edit> bool LayerEdits::edit(int layer, Edit change)
{
    if (layer < 0 || layer >= Layers())
        return false;
    LayeredSound edited = mSound;
    change(edited.layers[static_cast<size_t>(layer)]);
    return record(edited);
}

bool LayerEdits::Add(const std::string& state, unsigned seed)
{
    Layer layer;
    layer.state.PutBytes(state.data(), static_cast<int>(state.size()));
    layer.seed = seed;
    LayeredSound edited = mSound;
    edited.layers.push_back(layer);
    return record(edited);
}

bool LayerEdits::Remove(int layer)
{
    if (layer < 0 || layer >= Layers())
        return false;
    LayeredSound edited = mSound;
    edited.layers.erase(edited.layers.begin() + layer);
    return record(edited);
}

bool LayerEdits::MoveTo(int layer, double start)
{
    return edit(layer, [start](Layer& l) { l.start = start; });
}

bool LayerEdits::SetGain(int layer, double decibels)
{
    return edit(layer, [decibels](Layer& l) { l.gain = decibels; });
}

bool LayerEdits::SetPan(int layer, double pan)
{
    return edit(layer, [pan](Layer& l) { l.pan = pan; });
}

bool LayerEdits::Transpose(int layer, int semitones)
{
    return semitones != 0 && edit(layer, [semitones](Layer& l) { transposeNotes(&l, semitones); });
}

bool LayerEdits::SetRepeat(int layer, const LayerRepeat& repeat)
{
    return edit(layer, [&repeat](Layer& l) { l.repeat = repeat; });
}

bool LayerEdits::SetMute(int layer, bool mute)
{
    return edit(layer, [mute](Layer& l) { l.mute = mute; });
}

bool LayerEdits::SetSolo(int layer, bool solo)
{
    return edit(layer, [solo](Layer& l) { l.solo = solo; });
}

bool LayerEdits::bringBack(const std::string* code)
{
    if (!code)
        return false;
    mSound = code->empty() ? LayeredSound() : DecodeLayered(*code);
    return true;
}

bool LayerEdits::Undo()
{
    return bringBack(mHistory.Undo());
}

bool LayerEdits::Redo()
{
    return bringBack(mHistory.Redo());
}
