// The module's C++ side: the instrument driven as the command line drives it,
// reached from JavaScript through a handful of calls. Every call answers an
// object; a refusal carries `error` with the reason instead of throwing, so
// JavaScript gets a readable message rather than an exception pointer. A
// refusal of one option's value also carries `option`, a code that the
// JavaScript turns into its own name for it, and `given` when the reason is
// about the text given: the reasons never name the command line's flags.
#include "Bleepforge.h"
#include "GeneratorKinds.h"
#include "InstrumentTarget.h"
#include "Levels.h"
#include "RequestParsing.h"
#include "SoundState.h"
#include "KIT_Text.h"
#include "ShareCode.h"
#include "WebInstrument.h"
#include "WebRendering.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cmath>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

using emscripten::val;

namespace
{

const double kMostSeconds = 3600.0;   // as the command line's notes and lengths
const double kOwnLength = -1.0;       // the sound's own length, until it has died away
const double kMostSampleBytes = 512.0 * 1024 * 1024;

val valuesOf(const ByteChunk& state)
{
    val values = val::array();
    for (double value : StateValues(state))
        values.call<void>("push", value);
    return val(values);
}

// A value the caller gave for an option, refused: the option's code, the
// reason in neutral words, and the text given when the reason is about it.
struct OptionRefusal : std::runtime_error
{
    OptionRefusal(std::string option, const std::string& reason, std::string given = std::string())
        : std::runtime_error(reason), option(std::move(option)), given(std::move(given))
    {
    }
    std::string option, given;
};

val refusal(const std::string& reason)
{
    val answer = val::object();
    answer.set("error", reason);
    return answer;
}

val refusal(const OptionRefusal& refused)
{
    val answer = refusal(refused.what());
    answer.set("option", refused.option);
    if (!refused.given.empty())
        answer.set("given", refused.given);
    return answer;
}

// The render layer words its refusals for the command line, "--rate: why" or
// "--normalize 'given': why"; the flag becomes an option's code.
val refusalOfUsage(const std::string& text)
{
    const size_t nameEnd = text.find_first_of(" :", 2);
    if (text.compare(0, 2, "--") != 0 || nameEnd == std::string::npos)
        return refusal(text);
    const std::string option = text.substr(2, nameEnd - 2);
    if (text.compare(nameEnd, 2, ": ") == 0)
        return refusal(OptionRefusal(option, text.substr(nameEnd + 2)));
    const size_t givenEnd = text.rfind("': ");
    if (text.compare(nameEnd, 2, " '") != 0 || givenEnd == std::string::npos || givenEnd < nameEnd + 2)
        return refusal(text);
    const std::string given = text.substr(nameEnd + 2, givenEnd - nameEnd - 2);
    return refusal(OptionRefusal(option, text.substr(givenEnd + 3), given));
}

template <typename Call>
val answer(Call call)
{
    try
    {
        return call();
    }
    catch (const OptionRefusal& e)
    {
        return refusal(e);
    }
    catch (const UsageError& e)
    {
        return refusalOfUsage(e.what());
    }
    catch (const std::exception& e)
    {
        return refusal(e.what());
    }
}

// A checked state: the code's checksum and every value finite.
ByteChunk stateOf(const std::string& code)
{
    const ByteChunk state = DecodeShareCode(TrimSpace(code));
    StateValues(state);
    return state;
}

void takeState(Bleepforge& plug, ByteChunk state)
{
    if (plug.UnserializeState(&state, 0) != kStateSize)
        throw std::runtime_error("the instrument cannot apply the state");
}

val sound(Bleepforge& plug)
{
    ByteChunk state;
    plug.SerializeState(&state);
    val result = val::object();
    result.set("code", EncodeShareCode(state));
    result.set("values", valuesOf(state));
    return result;
}

val generate(const std::string& kind, unsigned seed)
{
    return answer(
        [&]
        {
            const BleepforgeGenerator generator = GeneratorOf(kind);
            if (!generator)
                throw OptionRefusal("kind", "expected " + GeneratorKindsText(), kind);
            std::unique_ptr<Bleepforge> plug = OpenWebInstrument();
            plug->SeedRandom(seed);
            ((*plug).*generator)();
            return sound(*plug);
        });
}

val parse(const std::string& code)
{
    return answer(
        [&]
        {
            std::unique_ptr<Bleepforge> plug = OpenWebInstrument();
            takeState(*plug, stateOf(code));
            return sound(*plug);
        });
}

// Values by index, each set as a host sets it; a value outside its range, or
// a fraction where a whole number plays, is refused rather than changed.
val fromValues(const std::vector<double>& values)
{
    return answer(
        [&]
        {
            if (values.size() != kNumParams)
                throw std::runtime_error("expected " + std::to_string(kNumParams) + " values, not " +
                                         std::to_string(values.size()));
            std::unique_ptr<Bleepforge> plug = OpenWebInstrument();
            for (int i = 0; i < kNumParams; ++i)
            {
                const IParam& param = *plug->GetParam(i);
                const double value = values[static_cast<size_t>(i)];
                if (!std::isfinite(value) || value < param.GetMin() || value > param.GetMax())
                    throw std::runtime_error("'" + std::string(param.GetNameForHost()) + "': " +
                                             std::to_string(value) + " is outside " +
                                             std::to_string(param.GetMin()) + " ... " +
                                             std::to_string(param.GetMax()));
                if (param.TakesWholeNumbers() && value != std::floor(value))
                    throw std::runtime_error("'" + std::string(param.GetNameForHost()) + "': " +
                                             ShortestNumberText(value) + " is not a whole number");
                plug->SetParameterFromHost(i, value);
            }
            return sound(*plug);
        });
}

bool within(double value, double lo, double hi)
{
    return value >= lo && value <= hi; // false for NaN
}

bool wholeWithin(double value, double lo, double hi)
{
    return within(value, lo, hi) && value == std::floor(value);
}

// Checked as the command line checks --note, before any conversion.
std::vector<NoteSpec> notesOf(const std::vector<double>& flat)
{
    if (flat.size() % 4 != 0)
        throw OptionRefusal("notes", "expected note, velocity, start and duration for each");
    std::vector<NoteSpec> notes;
    for (size_t i = 0; i < flat.size(); i += 4)
    {
        if (!wholeWithin(flat[i], 0, 127) || !wholeWithin(flat[i + 1], 1, 127) ||
            !within(flat[i + 2], 0, kMostSeconds) || !within(flat[i + 3], 0, kMostSeconds))
            throw OptionRefusal("notes", "a note is a whole 0 ... 127, velocity a whole 1 ... 127, "
                                         "start and duration 0 ... 3600 s");
        NoteSpec note;
        note.note = static_cast<int>(flat[i]);
        note.velocity = static_cast<int>(flat[i + 1]);
        note.start = flat[i + 2];
        note.duration = flat[i + 3];
        notes.push_back(note);
    }
    return notes;
}

// The module's memory is at most 2 GiB, and running out ends the module:
// a render that would not fit is refused before it starts. Normalising
// keeps the rendered frames too, to measure them before they are scaled.
void refuseTooLong(const RenderRequest& request, int channels, size_t sampleBytes, bool normalizing)
{
    const double frameBytes = channels * sampleBytes + (normalizing ? 2 * sizeof(double) : 0);
    if (static_cast<double>(MostFrames(request)) * frameBytes > kMostSampleBytes)
    {
        const long seconds = static_cast<long>(kMostSampleBytes / frameBytes / request.rate);
        throw OptionRefusal("length", "at most " + std::to_string(seconds) +
                                          " s at this rate and channel count" +
                                          (normalizing ? " when normalising" : ""));
    }
}

// The command line's rules; none asked for with no text.
Normalization normalizationOf(const std::string& text)
{
    return text.empty() ? Normalization() : ParseNormalization(text);
}

template <typename Sample>
val typedArray(const std::vector<Sample>& samples)
{
    val array = val::global(std::is_same<Sample, float>::value ? "Float32Array" : "Float64Array")
                    .new_(samples.size());
    array.call<void>("set", val(emscripten::typed_memory_view(samples.size(), samples.data())));
    return array;
}

// The samples as the command line hands them to its file writer, kept as
// Sample; one channel is the two's mean.
template <typename Sample>
FrameSink collect(std::vector<Sample>* left, std::vector<Sample>* right, int channels)
{
    return [=](const double* l, const double* r, long frames)
    {
        for (long i = 0; i < frames; ++i)
        {
            left->push_back(static_cast<Sample>(channels == 1 ? 0.5 * (l[i] + r[i]) : l[i]));
            if (channels == 2)
                right->push_back(static_cast<Sample>(r[i]));
        }
    };
}

// The command line's writers and normaliser are handed single-precision
// samples, as its hosted plug-ins give them; a gain and a mean of two
// channels depend on that rounding.
void roundToSingle(double* samples, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        samples[i] = static_cast<float>(samples[i]);
}

FrameSink inSinglePrecision(const FrameSink& sink)
{
    auto rounded = std::make_shared<std::vector<double>>();
    return [sink, rounded](const double* left, const double* right, long frames)
    {
        rounded->assign(left, left + frames);
        rounded->insert(rounded->end(), right, right + frames);
        roundToSingle(rounded->data(), rounded->size());
        sink(rounded->data(), rounded->data() + frames, frames);
    };
}

// The samples of the channels written, scaled by the gain the command line's
// normaliser chooses for them.
void renderNormalized(const RenderRequest& request, const FrameProducer& produce, const Normalization& asked,
                      int channels, const FrameSink& sink)
{
    RenderResult audio;
    produce(CollectFrames(&audio));
    for (std::vector<double>* channel : {&audio.left, &audio.right})
        roundToSingle(channel->data(), channel->size());
    ApplyGain(audio, LevelSound(audio, request.rate, asked, channels).gain);
    sink(audio.left.data(), audio.right.data(), static_cast<long>(audio.left.size()));
}

template <typename Sample>
val renderAs(const RenderShape& shape, const FrameProducer& produce)
{
    std::vector<Sample> left, right;
    const FrameSink sink = collect(&left, &right, shape.channels);
    if (shape.asked.kind == Normalization::kNone)
        produce(inSinglePrecision(sink));
    else
        renderNormalized(shape.request, produce, shape.asked, shape.channels, sink);
    val out = val::array();
    out.call<void>("push", typedArray(left));
    if (shape.channels == 2)
        out.call<void>("push", typedArray(right));
    val result = val::object();
    result.set("channels", out);
    return result;
}

// Without a seed the noise is drawn from the clock, as the command line's is.
val render(const std::string& code, double rate, int block, bool seeded, unsigned seed,
           const std::vector<double>& notes, double lengthSeconds, int channels, const std::string& normalize,
           bool exact)
{
    return answer(
        [&]
        {
            RenderShape shape = CheckedShape(rate, block, lengthSeconds, channels, normalize, exact, notesOf(notes));
            const ByteChunk state = stateOf(code);
            if (shape.request.notes.empty())
                shape.request.notes.push_back(DefaultNote(state));
            std::unique_ptr<Bleepforge> plug = OpenWebInstrument();
            if (seeded)
                plug->SeedRandom(seed);
            takeState(*plug, state);
            const RenderRequest& request = shape.request;
            return RenderChannels(shape, [&](const FrameSink& sink)
                                  { RunRenderLoop(request, InstrumentTarget(*plug, request.rate, request.block), sink); });
        });
}

val params()
{
    std::unique_ptr<Bleepforge> plug = OpenWebInstrument();
    val list = val::array();
    for (int i = 0; i < kNumParams; ++i)
    {
        const IParam& param = *plug->GetParam(i);
        val entry = val::object();
        entry.set("index", i);
        entry.set("name", std::string(param.GetNameForHost()));
        entry.set("min", param.GetMin());
        entry.set("max", param.GetMax());
        entry.set("default", param.GetDefault());
        entry.set("unit", std::string(paramProperties[i].label));
        entry.set("whole", param.Type() != IParam::kTypeDouble);
        val texts = val::array();
        for (int t = 0; t < param.GetNDisplayTexts(); ++t)
        {
            int value = 0;
            const char* text = param.GetDisplayTextAtIdx(t, &value);
            val choice = val::object();
            choice.set("value", value);
            choice.set("text", std::string(text));
            texts.call<void>("push", choice);
        }
        entry.set("texts", texts);
        list.call<void>("push", entry);
    }
    return list;
}

} // namespace

val AnswerOf(const std::function<val()>& call)
{
    return answer(call);
}

RenderShape CheckedShape(double rate, int block, double lengthSeconds, int channels, const std::string& normalize,
                         bool exact, std::vector<NoteSpec> notes)
{
    RenderShape shape;
    RenderRequest& request = shape.request;
    request.rate = rate;
    request.block = block;
    request.notes = std::move(notes);
    request.lengthSeconds = lengthSeconds;
    if (lengthSeconds != kOwnLength && !(lengthSeconds > 0 && lengthSeconds <= kMostSeconds))
        throw OptionRefusal("length", "expected seconds, more than 0 and at most 3600");
    CheckRequest(request);
    if (block < 1 || block > 8192)
        throw OptionRefusal("block", "expected 1 ... 8192");
    if (channels != 1 && channels != 2)
        throw OptionRefusal("channels", "expected 1 or 2");
    shape.channels = channels;
    shape.asked = normalizationOf(normalize);
    shape.exact = exact;
    refuseTooLong(request, channels, exact ? sizeof(double) : sizeof(float),
                  shape.asked.kind != Normalization::kNone);
    return shape;
}

val RenderChannels(const RenderShape& shape, const FrameProducer& produce)
{
    return shape.exact ? renderAs<double>(shape, produce) : renderAs<float>(shape, produce);
}

EMSCRIPTEN_BINDINGS(bleepforge)
{
    emscripten::register_vector<double>("VectorDouble");
    // What the page and the package would otherwise write again: a state
    // file's size and how a sound code begins.
    emscripten::constant("stateBytes", kStateSize);
    emscripten::constant("codePrefix", ShareCodePrefix());
    emscripten::function("generate", &generate);
    emscripten::function("parse", &parse);
    emscripten::function("fromValues", &fromValues);
    emscripten::function("render", &render);
    emscripten::function("params", &params);
    emscripten::function("liveSound", &SetLiveSound);
    emscripten::function("liveParam", &SetLiveParam);
}
