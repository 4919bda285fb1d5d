#include "Variations.h"

#include "Bleepforge.h"
#include "KIT_Text.h"
#include "KIT_UsageError.h"
#include "RunKind.h"
#include "SoundState.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <utility>

namespace
{

// A 64-bit finaliser that spreads every input bit over the output.
uint64_t mixed(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool samePlay(const Variation& a, const Variation& b)
{
    return a.note.note == b.note.note && a.state.Size() == b.state.Size() &&
           std::equal(a.state.GetBytes(), a.state.GetBytes() + a.state.Size(), b.state.GetBytes());
}

void takeState(Bleepforge& plug, ByteChunk state)
{
    if (plug.UnserializeState(&state, 0) != kStateSize)
        throw std::runtime_error("the instrument cannot apply the state");
}

// Mutate at the player's amount, leaving the sound's own "Mutation %" as it was.
void mutate(Bleepforge& plug, double amount)
{
    const double own = plug.GetParam(kMutation)->Value();
    plug.SetParameterFromHost(kMutation, amount);
    plug.MutateParams();
    plug.SetParameterFromHost(kMutation, own);
}

} // namespace

void CheckVariationSource(const VariationSource& source)
{
    if (source.base.Size() > 0)
        StateValues(source.base);
    if (!source.kind.empty() && source.recipe)
        throw UsageError("a variation draws from a kind or a recipe, not both");
    if (!source.kind.empty() && !GeneratorOf(CanonicalKind(source.kind)))
        throw UsageError("unknown kind '" + source.kind + "'");
    for (int param : source.locked)
        if (param < 0 || param >= kNumParams)
            throw UsageError("no parameter " + std::to_string(param) + " to lock");
    if (source.pitchSemitones < 0 || source.pitchSemitones > kMostVariationSemitones)
        throw UsageError("pitch: expected 0 ... " + std::to_string(kMostVariationSemitones) +
                         " semitones");
    const ParamProperties& mutation = paramProperties[kMutation];
    if (!(source.mutation >= mutation.minimum && source.mutation <= mutation.maximum))
        throw UsageError("mutation: expected " + ShortestNumberText(mutation.minimum) + " ... " +
                         ShortestNumberText(mutation.maximum) + " %");
}

unsigned VariationSeed(unsigned playerSeed, uint64_t play, unsigned attempt)
{
    const uint64_t once =
        mixed((static_cast<uint64_t>(playerSeed) << 32) ^ static_cast<uint64_t>(attempt));
    return static_cast<unsigned>(mixed(once ^ play) >> 32);
}

Variations::Variations(VariationSource source, unsigned seed)
    : mSource(std::move(source)), mSeed(seed)
{
    CheckVariationSource(mSource);
    const Variation first = candidate(0, 0);
    for (unsigned attempt = 0; attempt < kMostVariationAttempts; ++attempt)
        if (!samePlay(candidate(1, attempt), first))
            return;
    throw UsageError("the source makes the same sound whatever is drawn: give it a kind, a recipe, "
                     "a pitch or a mutation amount, or lock fewer parameters");
}

Variation Variations::Next()
{
    Variation play = following(mLast ? &*mLast : nullptr, mNext);
    mLast = play;
    ++mNext;
    return play;
}

void Variations::Seek(uint64_t play)
{
    if (play < mNext)
    {
        mNext = 0;
        mLast.reset();
    }
    while (mNext < play)
        Next();
}

Variation Variations::following(const Variation* previous, uint64_t play) const
{
    for (unsigned attempt = 0; attempt < kMostVariationAttempts; ++attempt)
    {
        Variation drawn = candidate(play, attempt);
        if (!previous || !samePlay(drawn, *previous))
            return drawn;
    }
    throw std::runtime_error("play " + std::to_string(play) + " repeated the play before it in " +
                             std::to_string(kMostVariationAttempts) + " draws");
}

Variation Variations::candidate(uint64_t play, unsigned attempt) const
{
    Variation made;
    made.index = play;
    made.seed = VariationSeed(mSeed, play, attempt);

    IPluginInstanceInfo info;
    const auto plug = std::make_unique<Bleepforge>(info);
    if (mSource.base.Size() > 0)
        takeState(*plug, mSource.base);
    std::vector<std::pair<int, double>> kept;
    for (int param : mSource.locked)
        kept.emplace_back(param, plug->GetParam(param)->Value());

    // The same order of draws as generate: the kind or recipe first.
    RunKind(*plug, mSource.kind, mSource.recipe ? &*mSource.recipe : nullptr, made.seed);
    if (mSource.mutation > 0.0)
        mutate(*plug, mSource.mutation);
    for (const auto& [param, value] : kept)
        plug->SetParameterFromHost(param, value);
    const int span = 2 * mSource.pitchSemitones + 1;
    const int shift = span > 1 ? plug->Random().draw() % span - mSource.pitchSemitones : 0;

    plug->SerializeState(&made.state);
    made.note = DefaultNote(made.state);
    made.note.note += shift;
    return made;
}
