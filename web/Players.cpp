// The sequences of plays behind the package's players: each open sequence
// makes play after play of one source, as the C library's players do, for
// the JavaScript to render ahead.
#include "Players.h"

#include "Locks.h"
#include "KIT_Text.h"
#include "SoundState.h"
#include "ShareCode.h"
#include "Variations.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using emscripten::val;

namespace
{

// Open sequences by number; a number is never given twice.
std::map<int, std::unique_ptr<Variations>> sequences;
int nextSequence = 1;

val refusal(const std::exception& e)
{
    val answer = val::object();
    answer.set("error", std::string(e.what()));
    return answer;
}

// A sequence of plays: over the sound of a code (or the default sound for
// ""), a kind drawn anew (or none), locks by parameter or group name
// (comma-separated), each play's pitch moved up to `pitch` semitones and
// mutated by `mutation` %. Answers {sequence} or {error}.
val openSequence(const std::string& code, const std::string& kind, const std::string& locks, int pitch,
                 double mutation, unsigned seed)
{
    try
    {
        VariationSource source;
        if (!code.empty())
        {
            source.base = DecodeShareCode(TrimSpace(code));
            StateValues(source.base);
        }
        source.kind = kind;
        source.locked = LockedByNames(locks);
        source.pitchSemitones = pitch;
        source.mutation = mutation;
        auto sequence = std::make_unique<Variations>(std::move(source), seed);
        const int number = nextSequence++;
        sequences[number] = std::move(sequence);
        val answer = val::object();
        answer.set("sequence", number);
        return answer;
    }
    catch (const std::exception& e)
    {
        return refusal(e);
    }
}

// The sequence's next play: {index, seed, code, note, velocity, start,
// duration}, or {error}.
val nextPlay(int number)
{
    try
    {
        const auto found = sequences.find(number);
        if (found == sequences.end())
            throw std::runtime_error("the player is closed");
        const Variation play = found->second->Next();
        val answer = val::object();
        answer.set("index", static_cast<double>(play.index));
        answer.set("seed", play.seed);
        answer.set("code", EncodeShareCode(play.state));
        answer.set("note", play.note.note);
        answer.set("velocity", play.note.velocity);
        answer.set("start", play.note.start);
        answer.set("duration", play.note.duration);
        return answer;
    }
    catch (const std::exception& e)
    {
        return refusal(e);
    }
}

void closeSequence(int number)
{
    sequences.erase(number);
}

} // namespace

std::vector<int> LockedByNames(const std::string& list)
{
    std::vector<std::string> names;
    for (size_t start = 0; start < list.size();)
    {
        const size_t end = std::min(list.find(',', start), list.size());
        names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return LockedParams(names);
}

EMSCRIPTEN_BINDINGS(bleepforge_players)
{
    emscripten::function("openSequence", &openSequence);
    emscripten::function("nextPlay", &nextPlay);
    emscripten::function("closeSequence", &closeSequence);
}
