#include "LayeredSound.h"

#include "Levels.h"
#include "Packed.h"
#include "Params.h"
#include "ShareCode.h"
#include "SoundState.h"
#include "KIT_Text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace
{

const int kVersion = 1;
const int kMostNote = 127;
const char* const kNoteNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
const int kLetterSemitones[] = {9, 11, 0, 2, 4, 5, 7}; // A ... G
const char kRestToken[] = "-";

bool within(double value, double lo, double hi)
{
    return value >= lo && value <= hi; // false for NaN
}

std::string range(double lo, double hi)
{
    return ShortestNumberText(lo) + " ... " + ShortestNumberText(hi);
}

class Problems
{
public:
    Problems(std::vector<LayerProblem>& list, int layer) : mList(list), mLayer(layer) {}
    void add(LayerProblemCode code, const std::string& text)
    {
        mList.push_back({code, mLayer, text});
    }
    // A number's problem: its name, what it is and what is accepted.
    void outside(LayerProblemCode code, const std::string& name, double value, double lo, double hi,
                 const std::string& unit = "")
    {
        add(code,
            name + " " + ShortestNumberText(value) + unit + " is outside " + range(lo, hi) + unit);
    }

private:
    std::vector<LayerProblem>& mList;
    int mLayer;
};

// The notes before any repeat: the sound's own, the list's, or the pattern's.
std::vector<NoteSpec> baseNotes(const Layer& layer)
{
    switch (layer.notes.kind)
    {
    case LayerNotes::kList:
        return layer.notes.list;
    case LayerNotes::kPattern:
    {
        std::vector<NoteSpec> notes;
        for (size_t k = 0; k < layer.notes.steps.size(); ++k)
            if (layer.notes.steps[k] != kRestStep)
                notes.push_back({layer.notes.steps[k], kMostNote,
                                 static_cast<double>(k) * layer.notes.step, layer.notes.step});
        return notes;
    }
    default:
        return {DefaultNote(layer.state)};
    }
}

void checkNotes(const Layer& layer, Problems& problems)
{
    const LayerNotes& notes = layer.notes;
    if (notes.kind == LayerNotes::kSoundsOwn)
        return;
    const bool list = notes.kind == LayerNotes::kList;
    const size_t count = list ? notes.list.size() : notes.steps.size();
    if (count > static_cast<size_t>(kMostLayerNotes))
        problems.add(LayerProblemCode::kTooManyNotes,
                     std::string(list ? "notes" : "pattern") + " holds " + std::to_string(count) +
                         (list ? " notes" : " steps") + "; at most " +
                         std::to_string(kMostLayerNotes));
    if (!list && !(notes.step > 0.0 && notes.step <= kMostLayerSeconds))
        problems.add(LayerProblemCode::kStep, "step " + ShortestNumberText(notes.step) +
                                                  " s is outside more than 0 and at most " +
                                                  ShortestNumberText(kMostLayerSeconds) + " s");
    for (const NoteSpec& note : notes.list)
    {
        if (!within(note.note, 0, kMostNote) || !within(note.velocity, 1, kMostNote) ||
            !within(note.start, 0.0, 3600.0) || !within(note.duration, 0.0, 3600.0))
            problems.add(LayerProblemCode::kNote,
                         "a note " + std::to_string(note.note) + ":" +
                             std::to_string(note.velocity) + ":" + ShortestNumberText(note.start) +
                             ":" + ShortestNumberText(note.duration) +
                             " is outside note 0 ... 127, velocity 1 ... 127, "
                             "start and duration 0 ... 3600 s");
    }
    for (const int step : notes.steps)
        if (step != kRestStep && !within(step, 0, kMostNote))
            problems.add(LayerProblemCode::kNote,
                         "a step's note " + std::to_string(step) + " is outside 0 ... 127");
    const bool sounds = list ? !notes.list.empty()
                             : std::any_of(notes.steps.begin(), notes.steps.end(),
                                           [](int step) { return step != kRestStep; });
    if (!sounds)
        problems.add(LayerProblemCode::kNoNotes,
                     list ? "notes holds no note; leave it out for the sound's own note"
                          : "pattern holds no note, only rests");
}

// The loudest play and the notes of the last are checked once the numbers
// they are made of are right.
void checkRepeat(const Layer& layer, bool notesRight, Problems& problems)
{
    const LayerRepeat& repeat = layer.repeat;
    if (!within(repeat.count, 1, kMostPlays))
        problems.outside(LayerProblemCode::kRepeatCount, "repeat's count", repeat.count, 1,
                         kMostPlays);
    if (!within(repeat.interval, 0.0, kMostLayerSeconds))
        problems.outside(LayerProblemCode::kRepeatInterval, "repeat's interval", repeat.interval,
                         0.0, kMostLayerSeconds, " s");
    if (!within(repeat.gain, kLeastRepeatGain, kMostRepeatGain))
        problems.outside(LayerProblemCode::kRepeatGain, "repeat's gain", repeat.gain,
                         kLeastRepeatGain, kMostRepeatGain, " dB");
    if (!within(repeat.transpose, -kMostTranspose, kMostTranspose))
        problems.outside(LayerProblemCode::kTranspose, "repeat's transpose", repeat.transpose,
                         -kMostTranspose, kMostTranspose);
    if (!within(repeat.count, 1, kMostPlays) ||
        !within(repeat.gain, kLeastRepeatGain, kMostRepeatGain) ||
        !within(repeat.transpose, -kMostTranspose, kMostTranspose) ||
        !within(layer.gain, kLeastLayerGain, kMostLayerGain) || !notesRight)
        return;
    const int last = repeat.count - 1;
    const double loudest = std::max(layer.gain, layer.gain + last * repeat.gain);
    if (loudest > kMostLayerGain)
        problems.add(LayerProblemCode::kRepeatGain,
                     "a repeat would play at " + ShortestNumberText(loudest) + " dB, above " +
                         ShortestNumberText(kMostLayerGain) + " dB");
    for (const NoteSpec& note : baseNotes(layer))
    {
        const int moved = note.note + last * repeat.transpose;
        if (!within(moved, 0, kMostNote))
        {
            problems.add(LayerProblemCode::kTranspose,
                         "a repeat would transpose note " + std::to_string(note.note) + " to " +
                             std::to_string(moved) + ", outside 0 ... 127");
            return;
        }
    }
}

} // namespace

std::vector<LayerProblem> CheckLayer(const Layer& layer, int index)
{
    std::vector<LayerProblem> list;
    Problems problems(list, index);
    try
    {
        StateValues(layer.state);
    }
    catch (const std::exception& e)
    {
        problems.add(LayerProblemCode::kNotAState, std::string("the sound: ") + e.what());
        return list; // nothing else can be told of a layer without its sound
    }
    if (!within(layer.start, 0.0, kMostLayerSeconds))
        problems.outside(LayerProblemCode::kStart, "start", layer.start, 0.0, kMostLayerSeconds,
                         " s");
    if (!within(layer.gain, kLeastLayerGain, kMostLayerGain))
        problems.outside(LayerProblemCode::kGain, "gain", layer.gain, kLeastLayerGain,
                         kMostLayerGain, " dB");
    if (!within(layer.pan, -1.0, 1.0))
        problems.outside(LayerProblemCode::kPan, "pan", layer.pan, -1.0, 1.0);
    const size_t before = list.size();
    checkNotes(layer, problems);
    checkRepeat(layer, list.size() == before, problems);
    return list;
}

std::vector<LayerProblem> CheckLayered(const LayeredSound& sound)
{
    std::vector<LayerProblem> list;
    if (sound.layers.empty())
        list.push_back(
            {LayerProblemCode::kNoLayers, -1, "no layers: a layered sound has 1 ... 16"});
    if (sound.layers.size() > static_cast<size_t>(kMostLayers))
        list.push_back({LayerProblemCode::kTooManyLayers, -1,
                        std::to_string(sound.layers.size()) +
                            " layers; a layered sound has at most " + std::to_string(kMostLayers)});
    for (size_t i = 0; i < sound.layers.size() && i < static_cast<size_t>(kMostLayers); ++i)
    {
        const std::vector<LayerProblem> layer = CheckLayer(sound.layers[i], static_cast<int>(i));
        list.insert(list.end(), layer.begin(), layer.end());
    }
    return list;
}

int ParseNoteName(const std::string& name)
{
    const std::string refusal =
        "'" + name + "' is not a note name such as C4 (60), F#3 or Eb5, from C-1 to G9";
    if (name.size() < 2)
        throw UsageError(refusal);
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (letter < 'A' || letter > 'G')
        throw UsageError(refusal);
    int semitone = kLetterSemitones[letter - 'A'];
    size_t at = 1;
    if (name[at] == '#' || name[at] == 'b')
        semitone += name[at++] == '#' ? 1 : -1;
    const std::string octave = name.substr(at);
    const size_t digits = octave.compare(0, 1, "-") == 0 ? 1 : 0;
    if (octave.size() != digits + 1 || !std::isdigit(static_cast<unsigned char>(octave[digits])))
        throw UsageError(refusal);
    const int note = (std::stoi(octave) + 1) * 12 + semitone;
    if (!within(note, 0, kMostNote))
        throw UsageError(refusal);
    return note;
}

std::string NoteName(int note)
{
    return kNoteNames[note % 12] + std::to_string(note / 12 - 1);
}

std::vector<int> ParsePattern(const std::string& text)
{
    std::vector<int> steps;
    for (size_t at = text.find_first_not_of(" \t"); at != std::string::npos;
         at = text.find_first_not_of(" \t", at))
    {
        const size_t end = text.find_first_of(" \t", at);
        const std::string token =
            text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        steps.push_back(token == kRestToken ? kRestStep : ParseNoteName(token));
        at = end;
    }
    return steps;
}

std::string PatternText(const std::vector<int>& steps)
{
    std::string text;
    for (const int step : steps)
        text += (text.empty() ? "" : " ") +
                (step == kRestStep ? std::string(kRestToken) : NoteName(step));
    return text;
}

std::vector<NoteSpec> PlayedNotes(const Layer& layer, int play)
{
    std::vector<NoteSpec> notes = baseNotes(layer);
    for (NoteSpec& note : notes)
        note.note += play * layer.repeat.transpose;
    return notes;
}

std::vector<LayerPart> PartsOf(const LayeredSound& sound, double rate)
{
    const bool anySolo = std::any_of(sound.layers.begin(), sound.layers.end(),
                                     [](const Layer& l) { return l.solo; });
    std::vector<LayerPart> parts;
    for (size_t i = 0; i < sound.layers.size(); ++i)
    {
        const Layer& layer = sound.layers[i];
        if (layer.mute || (anySolo && !layer.solo))
            continue;
        for (int play = 0; play < layer.repeat.count; ++play)
        {
            LayerPart part;
            part.layer = static_cast<int>(i);
            part.play = play;
            part.offset = static_cast<long>((layer.start + play * layer.repeat.interval) * rate);
            const double gain = DecibelsToGain(layer.gain + play * layer.repeat.gain);
            part.leftWeight = gain * std::min(1.0, 1.0 - layer.pan);
            part.rightWeight = gain * std::min(1.0, 1.0 + layer.pan);
            part.notes = PlayedNotes(layer, play);
            parts.push_back(part);
        }
    }
    return parts;
}

namespace
{

// The code's bytes, little-endian whatever the machine.
class Writer
{
public:
    void byte(int value) { mBytes.push_back(static_cast<unsigned char>(value)); }
    void word(uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            byte(static_cast<int>(value >> shift & 0xFF));
    }
    void number(double value)
    {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int shift = 0; shift < 64; shift += 8)
            byte(static_cast<int>(bits >> shift & 0xFF));
    }
    void bytes(const unsigned char* from, size_t size)
    {
        mBytes.insert(mBytes.end(), from, from + size);
    }
    const std::vector<unsigned char>& all() const { return mBytes; }

private:
    std::vector<unsigned char> mBytes;
};

class Reader
{
public:
    explicit Reader(const std::vector<unsigned char>& bytes) : mBytes(bytes) {}
    int byte()
    {
        need(1);
        return mBytes[mAt++];
    }
    uint32_t word()
    {
        uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8)
            value |= static_cast<uint32_t>(byte()) << shift;
        return value;
    }
    double number()
    {
        uint64_t bits = 0;
        for (int shift = 0; shift < 64; shift += 8)
            bits |= static_cast<uint64_t>(byte()) << shift;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value + 0.0; // -0 plays as 0 and is written as 0, so it reads as 0
    }
    const unsigned char* bytes(size_t size)
    {
        need(size);
        mAt += size;
        return mBytes.data() + mAt - size;
    }
    bool atEnd() const { return mAt == mBytes.size(); }

private:
    void need(size_t size) const
    {
        if (mBytes.size() - mAt < size)
            throw std::runtime_error("it ends inside a layer");
    }
    const std::vector<unsigned char>& mBytes;
    size_t mAt = 0;
};

enum Flags
{
    kMuteFlag = 1,
    kSoloFlag = 2
};
const int kRestByte = 255;

// The most bytes a layer takes: a list of the most notes.
const size_t kMostLayerBytes =
    kStateSize + 4 + 3 * 8 + 2 + 1 + kMostLayerNotes * (2 + 2 * 8) + 1 + 2 * 8 + 1;
const size_t kMostPayload = 1 + kMostLayers * kMostLayerBytes;
// Far past the longest code: its payload deflates to no more than it holds.
const size_t kLongestCode = 4 * (kMostPayload + 64) / 3 + 16;

void writeNotes(Writer& out, const LayerNotes& notes)
{
    out.byte(notes.kind);
    if (notes.kind == LayerNotes::kList)
    {
        out.byte(static_cast<int>(notes.list.size()));
        for (const NoteSpec& note : notes.list)
        {
            out.byte(note.note);
            out.byte(note.velocity);
            out.number(note.start);
            out.number(note.duration);
        }
    }
    else if (notes.kind == LayerNotes::kPattern)
    {
        out.number(notes.step);
        out.byte(static_cast<int>(notes.steps.size()));
        for (const int step : notes.steps)
            out.byte(step == kRestStep ? kRestByte : step);
    }
}

LayerNotes readNotes(Reader& in)
{
    LayerNotes notes;
    const int kind = in.byte();
    if (kind > LayerNotes::kPattern)
        throw std::runtime_error("it names notes of an unknown kind");
    notes.kind = static_cast<LayerNotes::Kind>(kind);
    if (notes.kind == LayerNotes::kList)
    {
        const int count = in.byte();
        for (int k = 0; k < count; ++k)
        {
            NoteSpec note;
            note.note = in.byte();
            note.velocity = in.byte();
            note.start = in.number();
            note.duration = in.number();
            notes.list.push_back(note);
        }
    }
    else if (notes.kind == LayerNotes::kPattern)
    {
        notes.step = in.number();
        const int count = in.byte();
        for (int k = 0; k < count; ++k)
        {
            const int step = in.byte();
            notes.steps.push_back(step == kRestByte ? kRestStep : step);
        }
    }
    return notes;
}

void writeLayer(Writer& out, const Layer& layer)
{
    out.bytes(layer.state.GetBytes(), static_cast<size_t>(layer.state.Size()));
    out.word(layer.seed);
    out.number(layer.start);
    out.number(layer.gain);
    out.number(layer.pan);
    out.byte((layer.mute ? kMuteFlag : 0) | (layer.solo ? kSoloFlag : 0));
    writeNotes(out, layer.notes);
    out.byte(layer.repeat.count);
    out.number(layer.repeat.interval);
    out.number(layer.repeat.gain);
    out.byte(layer.repeat.transpose & 0xFF);
}

Layer readLayer(Reader& in)
{
    Layer layer;
    layer.state.PutBytes(in.bytes(kStateSize), kStateSize);
    layer.seed = in.word();
    layer.start = in.number();
    layer.gain = in.number();
    layer.pan = in.number();
    const int flags = in.byte();
    if (flags & ~(kMuteFlag | kSoloFlag))
        throw std::runtime_error("it holds unknown flags");
    layer.mute = flags & kMuteFlag;
    layer.solo = flags & kSoloFlag;
    layer.notes = readNotes(in);
    layer.repeat.count = in.byte();
    layer.repeat.interval = in.number();
    layer.repeat.gain = in.number();
    layer.repeat.transpose = static_cast<int8_t>(in.byte());
    return layer;
}

} // namespace

std::string EncodeLayered(const LayeredSound& sound)
{
    const std::vector<LayerProblem> problems = CheckLayered(sound);
    if (!problems.empty())
        throw std::invalid_argument("cannot encode the layered sound: " + problems.front().text);
    Writer out;
    out.byte(static_cast<int>(sound.layers.size()));
    for (const Layer& layer : sound.layers)
        writeLayer(out, layer);
    return kLayeredCodePrefix + std::to_string(kVersion) + ":" + PackForText(out.all());
}

LayeredSound DecodeLayered(const std::string& code)
{
    CheckCodeVersion(code, kLayeredCodePrefix, kVersion, "layered sound code");
    if (code.size() > kLongestCode)
        throw std::runtime_error(
            "the layered sound code is damaged: it is far longer than any layered sound's");
    LayeredSound sound;
    try
    {
        const std::vector<unsigned char> payload =
            UnpackText(code.substr(code.find(':') + 1), kMostPayload);
        Reader in(payload);
        const int count = in.byte();
        if (count < 1 || count > kMostLayers)
            throw std::runtime_error("it holds " + std::to_string(count) + " layers");
        for (int i = 0; i < count; ++i)
            sound.layers.push_back(readLayer(in));
        if (!in.atEnd())
            throw std::runtime_error("it goes on past its layers");
    }
    catch (const std::exception& e)
    {
        throw std::runtime_error(std::string("the layered sound code is damaged: ") + e.what());
    }
    const std::vector<LayerProblem> problems = CheckLayered(sound);
    if (!problems.empty())
        throw std::runtime_error("the layered sound code holds a layer that cannot play: layer " +
                                 std::to_string(problems.front().layer + 1) + ": " +
                                 problems.front().text);
    return sound;
}
