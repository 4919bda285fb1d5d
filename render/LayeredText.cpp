#include "LayeredText.h"

#include "AudioFile.h"
#include "GeneratorKinds.h"
#include "IParam.h"
#include "KindFolders.h"
#include "Params.h"
#include "PresetSound.h"
#include "Recipe.h"
#include "ShareCode.h"
#include "StateCodec.h"

#include "KIT_ReadFile.h"

#include "TomlText.h"
#include "RequestParsing.h"
#include "KIT_Text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <set>
#include <unistd.h>

namespace
{

const int kTextVersion = 1;
const char kTopKeys[] = "version, description and [[layer]] tables";
const char kLayerKeys[] =
    "sound, kind, recipe, seed, start, gain, pan, notes, pattern, step, repeat, mute and solo";
const char kRepeatKeys[] = "count, interval, gain and transpose";
const char kNoNesting[] = "a layer is one sound: layered sounds do not nest";

// The instrument's default sound, held by a kind's or recipe's layer until
// it is made, so that the rest of the layer is checked as it will play.
ByteChunk standInState()
{
    double values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
    {
        IParam param;
        InitParam(static_cast<EParams>(i), &param);
        values[i] = param.Value();
    }
    unsigned char bytes[kStateSize];
    StateCodec::Encode(0x10000, values, kNumParams, bytes);
    ByteChunk state;
    state.PutBytes(bytes, kStateSize);
    return state;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string readText(const std::string& path, const std::string& what)
{
    std::string text, error;
    if (!KIT_ReadFile(path, kMostLayeredTextBytes, &text, &error))
        throw UsageError("cannot read the " + what + ": " + error);
    return text;
}

// The key of a layer whose line a problem names.
const char* keyOf(LayerProblemCode code, const LayerNotes& notes)
{
    switch (code)
    {
    case LayerProblemCode::kStart:
        return "start";
    case LayerProblemCode::kGain:
        return "gain";
    case LayerProblemCode::kPan:
        return "pan";
    case LayerProblemCode::kNoNotes:
    case LayerProblemCode::kTooManyNotes:
    case LayerProblemCode::kNote:
        return notes.kind == LayerNotes::kPattern ? "pattern" : "notes";
    case LayerProblemCode::kStep:
        return "step";
    case LayerProblemCode::kRepeatCount:
    case LayerProblemCode::kRepeatInterval:
    case LayerProblemCode::kRepeatGain:
    case LayerProblemCode::kTranspose:
        return "repeat";
    default:
        return "";
    }
}

class LayeredReader
{
public:
    LayeredReader(const std::string& source, KindLookup lookup)
        : mSource(source), mFolder(folderOf(source)), mLookup(lookup)
    {
    }

    LayeredDraft Read(const std::string& text)
    {
        toml::table table;
        try
        {
            table = ParseTomlText(text, mSource);
        }
        catch (const toml::parse_error& e)
        {
            fail(e.source(), "not TOML: " + std::string(e.description()));
        }
        for (const auto& [key, node] : table)
            if (key.str() != "version" && key.str() != "description" && key.str() != "layer")
                fail(node.source(), "unknown key \"" + printable(std::string(key.str())) +
                                        "\"; a layered sound has " + kTopKeys);
        readVersion(table);
        LayeredDraft draft;
        draft.name = KindNameOf(mSource);
        if (const toml::node* description = table.get("description"))
            draft.description = textOf(*description, "description");
        const toml::array* layers = table["layer"].as_array();
        if (!layers || layers->empty())
            fail(table.source(),
                 "no layers: add [[layer]] tables, 1 ... " + std::to_string(kMostLayers));
        for (const toml::node& node : *layers)
        {
            if (draft.sound.layers.size() == static_cast<size_t>(kMostLayers))
                fail(node.source(),
                     "a layered sound has at most " + std::to_string(kMostLayers) + " layers");
            if (!node.is_table())
                fail(node.source(), "each layer expects a table: [[layer]]");
            readLayer(*node.as_table(), draft);
        }
        return draft;
    }

private:
    [[noreturn]] void fail(const toml::source_region& at, const std::string& what) const
    {
        throw UsageError(mSource + ":" + std::to_string(at.begin.line) + ": " + what);
    }

    // A key as a refusal quotes it: up to its first NUL.
    static std::string printable(const std::string& text)
    {
        return text.substr(0, text.find('\0'));
    }

    void readVersion(const toml::table& table) const
    {
        const toml::node* version = table.get("version");
        if (!version)
            fail(table.source(), "no version: a layered sound begins with version = " +
                                     std::to_string(kTextVersion));
        if (!version->is_integer())
            fail(version->source(),
                 "version expects a whole number: version = " + std::to_string(kTextVersion));
        const long long given = version->as_integer()->get();
        if (given > kTextVersion)
            fail(version->source(), "version " + std::to_string(given) +
                                        " is newer than this bleepforge reads (" +
                                        std::to_string(kTextVersion) + "); update bleepforge");
        if (given != kTextVersion)
            fail(version->source(), "unknown version " + std::to_string(given) +
                                        "; expected version = " + std::to_string(kTextVersion));
    }

    std::string textOf(const toml::node& node, const std::string& key) const
    {
        if (!node.is_string())
            fail(node.source(), key + " expects a text");
        const std::string text = node.as_string()->get();
        if (text.find('\0') != std::string::npos)
            fail(node.source(), key + " holds a NUL character");
        return text;
    }

    double number(const toml::node& node, const std::string& key) const
    {
        if (const auto* whole = node.as_integer())
            return static_cast<double>(whole->get());
        if (!node.is_floating_point())
            fail(node.source(), key + " expects a number");
        const double value = node.as_floating_point()->get();
        if (!std::isfinite(value))
            fail(node.source(), key + " expects a finite number, not " + ShortestNumberText(value));
        return value + 0.0; // -0 is written back as 0, so it reads as 0 here too
    }

    long long whole(const toml::node& node, const std::string& key, long long lo,
                    long long hi) const
    {
        if (!node.is_integer() || node.as_integer()->get() < lo || node.as_integer()->get() > hi)
            fail(node.source(), key + " expects a whole number " + std::to_string(lo) + " ... " +
                                    std::to_string(hi));
        return node.as_integer()->get();
    }

    bool flag(const toml::node& node, const std::string& key) const
    {
        if (!node.is_boolean())
            fail(node.source(), key + " expects true or false");
        return node.as_boolean()->get();
    }

    void readLayer(const toml::table& table, LayeredDraft& draft)
    {
        static const std::set<std::string> keys = {"sound",  "kind", "recipe", "seed",    "start",
                                                   "gain",   "pan",  "notes",  "pattern", "step",
                                                   "repeat", "mute", "solo"};
        for (const auto& [key, node] : table)
            if (!keys.count(std::string(key.str())))
                fail(node.source(), "unknown key \"" + printable(std::string(key.str())) +
                                        "\"; a layer has " + kLayerKeys);
        Layer layer;
        LayerSource source = readSource(table, layer);
        if (const toml::node* seed = table.get("seed"))
            layer.seed = static_cast<unsigned>(whole(*seed, "seed", 0, UINT_MAX));
        else if (source.from != LayerSource::kSound)
            fail(table.source(),
                 std::string(source.from == LayerSource::kKind ? "a kind" : "a recipe") +
                     " makes the layer's sound from its seed: give seed = N");
        if (const toml::node* start = table.get("start"))
            layer.start = number(*start, "start");
        if (const toml::node* gain = table.get("gain"))
            layer.gain = number(*gain, "gain");
        if (const toml::node* pan = table.get("pan"))
            layer.pan = number(*pan, "pan");
        if (const toml::node* mute = table.get("mute"))
            layer.mute = flag(*mute, "mute");
        if (const toml::node* solo = table.get("solo"))
            layer.solo = flag(*solo, "solo");
        readNotes(table, layer.notes);
        if (const toml::node* repeat = table.get("repeat"))
            layer.repeat = readRepeat(*repeat);
        const int index = static_cast<int>(draft.sound.layers.size());
        for (const LayerProblem& problem : CheckLayer(layer, index))
        {
            const char* key = keyOf(problem.code, layer.notes);
            fail(*key && table.contains(key) ? table.get(key)->source() : table.source(),
                 "layer " + std::to_string(index + 1) + ": " + problem.text);
        }
        draft.sound.layers.push_back(layer);
        draft.sources.push_back(source);
    }

    LayerSource readSource(const toml::table& table, Layer& layer) const
    {
        int given = 0;
        for (const char* key : {"sound", "kind", "recipe"})
            given += table.contains(key) ? 1 : 0;
        if (given != 1)
            fail(
                table.source(),
                "give the layer one sound: sound = a code or a state or audio file, kind = a kind, "
                "or recipe = a recipe file");
        LayerSource source;
        if (const toml::node* sound = table.get("sound"))
        {
            layer.state = readSound(*sound);
            return source;
        }
        layer.state = standInState();
        if (const toml::node* kind = table.get("kind"))
            return readKind(*kind);
        const toml::node& recipe = *table.get("recipe");
        const std::string named = textOf(recipe, "recipe");
        const std::string path = !named.empty() && named[0] == '/' ? named : mFolder + named;
        source.from = LayerSource::kRecipe;
        readRecipe(recipe, path, source);
        return source;
    }

    ByteChunk readSound(const toml::node& node) const
    {
        const std::string given = textOf(node, "sound");
        const std::string trimmed = TrimSpace(given);
        if (LooksLikeLayeredCode(trimmed))
            fail(node.source(), std::string("sound: ") + kNoNesting);
        const bool code =
            LooksLikeShareCode(trimmed) && access((mFolder + given).c_str(), F_OK) != 0;
        const std::string path =
            code || (!given.empty() && given[0] == '/') ? given : mFolder + given;
        if (!code && path.size() > 5 && path.compare(path.size() - 5, 5, ".toml") == 0)
            fail(
                node.source(),
                "sound takes a sound code, a state or an audio file: a recipe goes in recipe = \"" +
                    given + "\", and " + kNoNesting);
        try
        {
            if (!code && LooksLikeAudioFile(path) && LooksLikeLayeredCode(ReadCodeFromAudio(path)))
                throw std::runtime_error("'" + path + "' holds a layered sound; " + kNoNesting);
            return ReadSound(code ? trimmed : path);
        }
        catch (const std::exception& e)
        {
            fail(node.source(), std::string("sound: ") + e.what());
        }
    }

    LayerSource readKind(const toml::node& node) const
    {
        const std::string name = textOf(node, "kind");
        LayerSource source;
        if (GeneratorKindIndex(CanonicalKind(name)) < kNumGeneratorKinds)
        {
            source.from = LayerSource::kKind;
            source.kind = CanonicalKind(name);
            return source;
        }
        const std::optional<std::string> path =
            mLookup == KindLookup::kProgramOnly ? FindProgramRecipe(name) : FindRecipe(name);
        if (!path)
            fail(node.source(),
                 "unknown kind '" + name + "': " +
                     (mLookup == KindLookup::kProgramOnly
                          ? "a build's layers take the kinds built in or shipped with the program"
                          : "'bleepforge kinds' lists the kinds"));
        source.from = LayerSource::kRecipe;
        readRecipe(node, *path, source);
        return source;
    }

    void readRecipe(const toml::node& node, const std::string& path, LayerSource& source) const
    {
        try
        {
            source.recipeText = readText(path, "recipe");
            if (DescribesLayers(source.recipeText))
                throw UsageError("'" + path + "' makes layered sounds; " + kNoNesting);
            source.recipe = ParseRecipe(source.recipeText, path, TableParams());
        }
        catch (const std::exception& e)
        {
            fail(node.source(), e.what());
        }
    }

    void readNotes(const toml::table& table, LayerNotes& notes) const
    {
        const toml::node* list = table.get("notes");
        const toml::node* pattern = table.get("pattern");
        const toml::node* step = table.get("step");
        if (list && pattern)
            fail(pattern->source(), "give notes or a pattern, not both");
        if (step && !pattern)
            fail(step->source(),
                 "step is the length of a pattern's step: give pattern = \"C5 E5 G5\" with it");
        if (pattern && !step)
            fail(pattern->source(), "a pattern needs its step: step = SECONDS");
        if (list)
        {
            if (!list->is_array())
                fail(list->source(), "notes expects a list of texts, such as [\"60:127:0:0.2\"]");
            notes.kind = LayerNotes::kList;
            for (const toml::node& note : *list->as_array())
                notes.list.push_back(readNote(note));
        }
        if (pattern)
        {
            notes.kind = LayerNotes::kPattern;
            try
            {
                notes.steps = ParsePattern(textOf(*pattern, "pattern"));
            }
            catch (const UsageError& e)
            {
                fail(pattern->source(), std::string("pattern: ") + e.what() + "; a rest is -");
            }
            notes.step = number(*step, "step");
        }
    }

    NoteSpec readNote(const toml::node& node) const
    {
        try
        {
            return ParseNote(textOf(node, "notes"));
        }
        catch (const UsageError& e)
        {
            const std::string reason = e.what();
            fail(node.source(),
                 "notes: " + (reason.rfind("--note ", 0) == 0 ? reason.substr(7) : reason) +
                     "; a note is NOTE[:VELOCITY[:START[:DURATION]]]");
        }
    }

    LayerRepeat readRepeat(const toml::node& node) const
    {
        const toml::table* table = node.as_table();
        if (!table)
            fail(node.source(), std::string("repeat expects a table: { ") + kRepeatKeys + " }");
        LayerRepeat repeat;
        for (const auto& [key, value] : *table)
        {
            const std::string name(key.str());
            if (name == "count")
                repeat.count = static_cast<int>(whole(value, "repeat's count", 1, kMostPlays));
            else if (name == "interval")
                repeat.interval = number(value, "repeat's interval");
            else if (name == "gain")
                repeat.gain = number(value, "repeat's gain");
            else if (name == "transpose")
                repeat.transpose = static_cast<int>(
                    whole(value, "repeat's transpose", -kMostTranspose, kMostTranspose));
            else
                fail(value.source(),
                     "unknown key \"" + printable(name) + "\" in repeat; it has " + kRepeatKeys);
        }
        if (!table->contains("count"))
            fail(node.source(),
                 "repeat needs its count: the plays in all, 1 ... " + std::to_string(kMostPlays));
        return repeat;
    }

    std::string mSource, mFolder;
    KindLookup mLookup;
};

std::string noteText(const NoteSpec& note)
{
    return std::to_string(note.note) + ":" + std::to_string(note.velocity) + ":" +
           ShortestNumberText(note.start) + ":" + ShortestNumberText(note.duration);
}

// A repeat of one play still keeps what it was given, so the text gives back
// the same code; only the untouched default is left out.
bool isDefaultRepeat(const LayerRepeat& repeat)
{
    const LayerRepeat none;
    return repeat.count == none.count && repeat.transpose == none.transpose &&
           std::memcmp(&repeat.interval, &none.interval, sizeof none.interval) == 0 &&
           std::memcmp(&repeat.gain, &none.gain, sizeof none.gain) == 0;
}

std::string layerText(const Layer& layer)
{
    std::string text = "[[layer]]\nsound = \"" + EncodeShareCode(layer.state) + "\"\n";
    text += "seed = " + std::to_string(layer.seed) + "\n";
    text += "start = " + ShortestNumberText(layer.start) + "\n";
    text += "gain = " + ShortestNumberText(layer.gain) + "\n";
    text += "pan = " + ShortestNumberText(layer.pan) + "\n";
    if (layer.notes.kind == LayerNotes::kList)
    {
        text += "notes = [";
        for (size_t k = 0; k < layer.notes.list.size(); ++k)
            text += (k ? ", \"" : "\"") + noteText(layer.notes.list[k]) + "\"";
        text += "]\n";
    }
    if (layer.notes.kind == LayerNotes::kPattern)
        text += "pattern = \"" + PatternText(layer.notes.steps) +
                "\"\nstep = " + ShortestNumberText(layer.notes.step) + "\n";
    if (!isDefaultRepeat(layer.repeat))
        text += "repeat = { count = " + std::to_string(layer.repeat.count) +
                ", interval = " + ShortestNumberText(layer.repeat.interval) +
                ", gain = " + ShortestNumberText(layer.repeat.gain) +
                ", transpose = " + std::to_string(layer.repeat.transpose) + " }\n";
    if (layer.mute)
        text += "mute = true\n";
    if (layer.solo)
        text += "solo = true\n";
    return text;
}

} // namespace

LayeredDraft DraftOf(const LayeredSound& sound)
{
    LayeredDraft draft;
    draft.sound = sound;
    draft.sources.resize(sound.layers.size());
    return draft;
}

LayeredDraft ParseLayeredText(const std::string& text, const std::string& source, KindLookup lookup)
{
    return LayeredReader(source, lookup).Read(text);
}

LayeredDraft ReadLayeredText(const std::string& path, KindLookup lookup)
{
    return ParseLayeredText(readText(path, "layered sound"), path, lookup);
}

std::string LayeredText(const LayeredSound& sound)
{
    std::string text = "version = " + std::to_string(kTextVersion) + "\n";
    for (const Layer& layer : sound.layers)
        text += "\n" + layerText(layer);
    return text;
}
