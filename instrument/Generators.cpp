// The sound generators: each fills the parameters with a new sound of its kind,
// each value given as a user gives it to its knob, then keeps it as a new
// sound slot.
#include "Bleepforge.h"

#include "qxDSP.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace
{

const double kInvSqrt2 = 0.7071067811865476;

enum EKind
{
    kPickup = 0,
    kShoot,
    kPowerup,
    kHit,
    kJump,
    kBlit,
    kSlash,
    kNumKinds
};

// One cell of a recipe.
struct Cell
{
    enum EType
    {
        kFixed, // lo itself, no draw
        kDraw,  // lo, consuming one draw
        kRange, // one draw between lo and hi
        kChoice // a first draw below the threshold gives first (drawn), else lo ... hi
    };
    EType type;
    double lo, hi;
    double threshold = 0.0, first = 0.0;
};

Cell fixed(double v)
{
    return {Cell::kFixed, v, v};
}
Cell drawn(double v)
{
    return {Cell::kDraw, v, v};
}
Cell range(double lo, double hi)
{
    return {Cell::kRange, lo, hi};
}
Cell choice(double threshold, double first, double lo, double hi)
{
    return {Cell::kChoice, lo, hi, threshold, first};
}

struct Step
{
    EParams param;
    Cell cells[kNumKinds];
};

const int kSin = 2, kSquare = 3, kSaw = 4, kOff = 0, kOnNoteOn = 0, kBoth = 2;

// Steps 1 to 33 for Pickup, Shoot, Powerup, Hit, Jump, Blit and Slash.
const Step kRecipes[] = {
    {kOsc1Type,
     {drawn(kSin), range(kSin, kSaw), choice(0.5, kSin, kSaw, kSaw), range(kSquare, kSaw), drawn(kSquare),
      range(kSquare, kSaw), drawn(kOff)}},
    {kOsc1Level, {fixed(0), fixed(0), fixed(0), fixed(0), fixed(0), fixed(0), fixed(-96)}},
    {kWhiteLevel, {fixed(-96), fixed(-96), fixed(-96), fixed(-96), fixed(-96), fixed(-96), fixed(0)}},
    {kPinkLevel,
     {fixed(-96), fixed(-96), fixed(-96), fixed(-96), fixed(-96), fixed(-96), fixed(-96)}},
    {kOsc1SquareDuty,
     {fixed(0.5), range(0.01, 0.5), range(0.01, 0.5), range(0.01, 0.5), range(0.01, 0.5),
      range(0.01, 0.5), fixed(0.5)}},
    {kOsc1EnvDepth, {fixed(1), fixed(1), fixed(1), fixed(1), fixed(1), fixed(1), fixed(1)}},
    {kWhiteEnvDepth, {fixed(1), fixed(1), fixed(1), fixed(1), fixed(1), fixed(1), fixed(1)}},
    {kPinkEnvDepth, {fixed(1), fixed(1), fixed(1), fixed(1), fixed(1), fixed(1), fixed(1)}},
    {kAmpEnvAttack,
     {range(0.001, 0.2), range(0.001, 0.2), range(0.001, 0.2), range(0.001, 0.2), range(0.001, 0.2),
      range(0.001, 0.2), range(0.001, 0.2)}},
    {kAmpEnvHold,
     {range(0.001, 0.4), range(0.001, 0.4), range(0.001, 0.4), range(0.001, 0.2), fixed(0.001),
      fixed(0.001), range(0.001, 0.4)}},
    {kAmpEnvDecay,
     {range(0.001, 0.4), range(0.1, 0.8), range(0.001, 0.4), range(0.001, 0.2), range(0.001, 0.2),
      range(0.001, 0.2), range(0.001, 0.4)}},
    {kAmpEnvSustain,
     {fixed(1e-06), fixed(1e-06), range(0.001, 1), fixed(1e-06), fixed(1), fixed(1), fixed(1e-06)}},
    {kAmpEnvRelease,
     {range(0.03, 0.3), range(0.03, 0.3), range(0.02, 0.3), range(0.03, 0.2), range(0.03, 0.2),
      range(0.03, 0.2), range(0.03, 0.3)}},
    {kPitchDuration,
     {drawn(1), range(0.1, 0.5), range(0.1, 3), range(0.1, 0.3), range(0.1, 0.3), drawn(1),
      drawn(0.1)}},
    {kPitchStart, {drawn(0), drawn(0), drawn(0), drawn(0), drawn(0), drawn(0), drawn(0)}},
    {kPitchEnd,
     {drawn(0), range(-0.5, 0), range(0, 1), range(-0.5, 0), range(0.1, 1), drawn(0), drawn(0)}},
    {kPitchCurve,
     {drawn(1), range(0.125, 8), range(0.125, 8), range(0.125, 8), range(0.125, 8), drawn(1),
      drawn(1)}},
    {kFilterLPEnvDepth,
     {range(-1, 1), range(-1, 1), range(-1, 1), range(-1, 1), range(-1, 1), range(-1, 1),
      range(-1, 1)}},
    {kFilterHPEnvDepth,
     {range(-1, 1), range(-1, 1), range(-1, 1), range(-1, 1), range(-1, 1), range(-1, 1),
      range(-1, 1)}},
    {kFilterLPCutoff,
     {fixed(22050), drawn(22050), range(1000, 22050), range(8000, 22050), range(8000, 22050),
      range(8000, 22050), range(200, 8000)}},
    {kFilterLPResonance,
     {fixed(kInvSqrt2), fixed(kInvSqrt2), range(kInvSqrt2, 6), range(kInvSqrt2, 6),
      fixed(kInvSqrt2), range(kInvSqrt2, 6), range(kInvSqrt2, 6)}},
    {kFilterHPCutoff,
     {fixed(0), range(0, 800), range(800, 22050), range(0, 800), fixed(0), range(0, 800),
      range(0, 800)}},
    {kFilterHPResonance,
     {fixed(kInvSqrt2), fixed(kInvSqrt2), range(kInvSqrt2, 6), range(kInvSqrt2, 6),
      fixed(kInvSqrt2), range(kInvSqrt2, 6), range(kInvSqrt2, 6)}},
    {kFilterEnvAttack,
     {range(0.001, 10), range(0.001, 10), range(0.001, 0.2), range(0.001, 0.2), range(0.001, 0.2),
      range(0.001, 0.2), range(0.001, 0.2)}},
    {kFilterEnvHold,
     {range(0.001, 10), range(0.001, 10), range(0.001, 0.4), range(0.001, 0.4), range(0.001, 0.2),
      range(0.001, 0.2), range(0.001, 0.4)}},
    {kFilterEnvDecay,
     {range(0.001, 10), range(0.001, 10), range(0.001, 0.4), range(0.001, 0.4), range(0.001, 0.2),
      range(0.001, 0.2), range(0.001, 0.4)}},
    {kFilterEnvSustain,
     {range(0.001, 1), range(0.001, 1), range(0.001, 1), range(0.001, 1), range(0.001, 1),
      range(0.001, 1), range(0.001, 1)}},
    {kFilterEnvRelease,
     {range(0.001, 10), range(0.001, 10), range(0.001, 0.3), range(0.001, 0.3), range(0.001, 0.2),
      range(0.001, 0.2), range(0.03, 0.3)}},
    {kCompressionFactor,
     {drawn(0.3), drawn(0.3), range(0.3, 0.5), range(0.3, 0.5), range(0.3, 0.5), range(0.3, 0.5),
      range(0.2, 0.7)}},
    {kPitchJumpTranspose,
     {range(5, 24), drawn(0), drawn(0), drawn(0), drawn(0), drawn(0), drawn(0)}},
    {kPitchJumpDelay,
     {choice(0.3, 0, 0.01, 0.3), fixed(0), range(0, 0.9), fixed(0), fixed(0), fixed(0), drawn(0)}},
    {kPitchJumpTime,
     {range(0.01, 0.2), fixed(0.01), range(0.01, 0.2), fixed(0.01), fixed(0.01), fixed(0.01),
      range(0.01, 0.1)}},
    {kPitchJumpTrigger,
     {range(kOnNoteOn, kBoth), fixed(kOnNoteOn), fixed(kBoth), fixed(kOnNoteOn), fixed(kOnNoteOn),
      fixed(kOnNoteOn), drawn(kOnNoteOn)}},
};

// The parameters Mutate moves, in order; the last moves ten times as far.
const EParams kMutated[] = {
    kOsc1SquareDuty,   kOsc1EnvDepth,     kWhiteEnvDepth,     kPinkEnvDepth,      kAmpEnvAttack,
    kAmpEnvHold,       kAmpEnvDecay,      kAmpEnvSustain,     kAmpEnvRelease,     kPitchDuration,
    kPitchStart,       kPitchEnd,         kPitchCurve,        kFilterLPEnvDepth,  kFilterHPEnvDepth,
    kFilterLPCutoff,   kFilterLPResonance, kFilterHPCutoff,   kFilterHPResonance, kFilterEnvAttack,
    kFilterEnvHold,    kFilterEnvDecay,   kFilterEnvSustain,  kFilterEnvRelease,  kCompressionFactor,
    kPitchJumpTranspose, kPitchJumpDelay, kPitchJumpTime,     kPitchJumpTrigger};

// The normalised value a cell gives, with exactly the draws it consumes.
double cellValue(const IParam& param, EParams p, const Cell& cell, RandomSource& random)
{
    switch (cell.type)
    {
    case Cell::kFixed:
        return param.GetNormalized(cell.lo);
    case Cell::kDraw:
        return getNormalizado(p, cell.lo, cell.lo, random);
    case Cell::kRange:
        return getNormalizado(p, cell.lo, cell.hi, random);
    case Cell::kChoice:
    default:
        if (qxDSP::rand01(random) < cell.threshold)
            return getNormalizado(p, cell.first, cell.first, random);
        return getNormalizado(p, cell.lo, cell.hi, random);
    }
}

} // namespace

// A value given as a user gives it to the parameter's knob: it reaches the
// parameter, the host and the engine only when the knob would take it, editor
// or not. A parameter without a knob takes nothing.
void Bleepforge::SetAsKnob(int paramIdx, double normalized)
{
    if (ParamHasKnob(static_cast<EParams>(paramIdx)))
        SetParameterAsUserInput(paramIdx, normalized);
}

void Bleepforge::ApplyRecipe(int kind)
{
    for (const Step& step : kRecipes)
        SetAsKnob(step.param, cellValue(*GetParam(step.param), step.param, step.cells[kind], mRandom));
    mLastKind = kGeneratorKinds[kind]; // the seven come first, in this order
    PrevData();
}

void Bleepforge::PickupParams()
{
    ApplyRecipe(kPickup);
}
void Bleepforge::ShootParams()
{
    ApplyRecipe(kShoot);
}
void Bleepforge::PowerupParams()
{
    ApplyRecipe(kPowerup);
}
void Bleepforge::HitParams()
{
    ApplyRecipe(kHit);
}
void Bleepforge::JumpParams()
{
    ApplyRecipe(kJump);
}
void Bleepforge::BlitParams()
{
    ApplyRecipe(kBlit);
}
void Bleepforge::SlashParams()
{
    ApplyRecipe(kSlash);
}

void Bleepforge::RandomizeParams()
{
    mLastKind = "random";
    const int k = mRandom.draw() % 9;
    const bool pinkOnly = k == 8, whiteOnly = k == 7;
    SetAsKnob(kOsc1Level, pinkOnly || whiteOnly ? 0.0 : 1.0);
    SetAsKnob(kWhiteLevel, whiteOnly ? 1.0 : 0.0);
    SetAsKnob(kPinkLevel, pinkOnly ? 1.0 : 0.0);
    if (!pinkOnly && !whiteOnly)
        SetAsKnob(kOsc1Type, getNormalizado(kOsc1Type, 1, 7, mRandom));

    auto draw = [this](int p, double scale) { SetAsKnob(p, qxDSP::rand01(mRandom) * scale); };
    for (int p : {kOsc1SquareDuty, kOsc1EnvDepth, kWhiteEnvDepth, kPinkEnvDepth})
        draw(p, 1.0);
    for (int p = kAmpEnvAttack; p <= kAmpEnvRelease; ++p)
        draw(p, 0.2);
    draw(kPitchDuration, 0.2);
    for (int p : {kPitchStart, kPitchEnd, kPitchCurve, kFilterLPEnvDepth, kFilterHPEnvDepth})
        draw(p, 1.0);
    for (int p = kFilterEnvAttack; p <= kFilterEnvRelease; ++p)
        draw(p, 0.2);
    draw(kCompressionFactor, 1.0);
    draw(kPitchJumpTranspose, 1.0);
    draw(kPitchJumpDelay, 0.2);
    draw(kPitchJumpTime, 0.2);
    draw(kPitchJumpTrigger, 1.0);
    PrevData();
}

void Bleepforge::MutateParams()
{
    const double m = mMutationAmount;
    for (EParams p : kMutated)
    {
        const double spread = p == kPitchJumpTrigger ? 10.0 * m : m;
        const double n = GetParam(p)->GetNormalized();
        SetAsKnob(p, n + qxDSP::lerp(-spread, spread, qxDSP::rand01(mRandom)));
    }
    PrevData();
}

void Bleepforge::ResetParams()
{
    RestorePreset(0);
}

BleepforgeGenerator GeneratorOf(const std::string& kind)
{
    // In kGeneratorKinds' order.
    static const BleepforgeGenerator all[] = {
        &Bleepforge::PickupParams, &Bleepforge::ShootParams, &Bleepforge::PowerupParams,
        &Bleepforge::HitParams,    &Bleepforge::JumpParams,  &Bleepforge::BlitParams,
        &Bleepforge::SlashParams,  &Bleepforge::RandomizeParams, &Bleepforge::MutateParams,
        &Bleepforge::ResetParams};
    static_assert(sizeof all / sizeof all[0] == kNumGeneratorKinds, "a generator for every kind");
    const size_t index = GeneratorKindIndex(kind);
    return index < kNumGeneratorKinds ? all[index] : nullptr;
}

namespace
{

// One draw of a recipe from the instrument's random source: a choice, a whole
// number, or a value on a linear or log scale.
double drawn(const RecipeDraw& draw, RandomSource& random)
{
    const double u = std::min(qxDSP::rand01(random), 1.0);
    if (draw.kind == RecipeDraw::kChoice)
    {
        const size_t n = draw.choices.size();
        return draw.choices[std::min(static_cast<size_t>(u * static_cast<double>(n)), n - 1)];
    }
    if (draw.whole)
        return std::min(draw.lo + std::floor(u * (draw.hi - draw.lo + 1.0)), draw.hi);
    if (draw.logarithmic)
        return draw.lo * std::pow(draw.hi / draw.lo, u);
    return draw.lo + u * (draw.hi - draw.lo);
}

} // namespace

void ApplyRecipe(Bleepforge& plug, const Recipe& recipe)
{
    if (!recipe.start.empty())
        (plug.*GeneratorOf(recipe.start))();
    if (recipe.sound.Size() > 0)
    {
        ByteChunk state = recipe.sound;
        plug.UnserializeState(&state, 0);
    }
    for (const RecipeDraw& draw : recipe.draws)
        plug.SetParameterFromHost(draw.index, draw.kind == RecipeDraw::kFixed ? draw.lo : drawn(draw, plug.Random()));
    if (recipe.mutate)
    {
        plug.SetParameterFromHost(kMutation, *recipe.mutate);
        plug.MutateParams();
    }
}
