#include "SoundRecipe.h"

#include "GeneratorKinds.h"
#include "IParam.h"
#include "Params.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace
{

// The layout, little-endian: "BFR1"; the start kind (a length byte, then
// its letters); the sound (two length bytes, then the state); Mutate (a flag
// byte, then its amount); the draws (a count byte, then for each its
// parameter, kind and flags bytes, lo and hi, two count bytes and the choices).
const char kMagic[4] = {'B', 'F', 'R', '1'};
const size_t kMostStartLetters = 15;
const unsigned kLogarithmic = 1, kWhole = 2;

class Writer
{
public:
    void bytes(const void* data, size_t size)
    {
        const auto* from = static_cast<const unsigned char*>(data);
        mOut.insert(mOut.end(), from, from + size);
    }
    void u8(unsigned value) { mOut.push_back(static_cast<unsigned char>(value)); }
    void u16(unsigned value)
    {
        u8(value & 0xff);
        u8(value >> 8);
    }
    void number(double value)
    {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int i = 0; i < 8; ++i)
            u8(static_cast<unsigned>(bits >> (8 * i)) & 0xff);
    }
    std::vector<unsigned char> take() { return std::move(mOut); }

private:
    std::vector<unsigned char> mOut;
};

// Reads forward, failing (with what was read) past the end.
class Reader
{
public:
    Reader(const unsigned char* bytes, size_t size) : mBytes(bytes), mSize(size) {}

    bool bytes(size_t size, const unsigned char** at)
    {
        if (mSize - mPos < size)
            return false;
        *at = mBytes + mPos;
        mPos += size;
        return true;
    }
    bool u8(unsigned* value)
    {
        const unsigned char* at;
        if (!bytes(1, &at))
            return false;
        *value = at[0];
        return true;
    }
    bool u16(unsigned* value)
    {
        const unsigned char* at;
        if (!bytes(2, &at))
            return false;
        *value = at[0] | (static_cast<unsigned>(at[1]) << 8);
        return true;
    }
    bool number(double* value)
    {
        const unsigned char* at;
        if (!bytes(8, &at))
            return false;
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i)
            bits = (bits << 8) | at[i];
        std::memcpy(value, &bits, sizeof bits);
        return true;
    }
    size_t left() const { return mSize - mPos; }
    bool atEnd() const { return mPos == mSize; }

private:
    const unsigned char* mBytes;
    size_t mSize, mPos = 0;
};

// The parameters as the instrument's table makes them: ranges and kinds.
const IParam& paramAt(int index)
{
    static const struct Table
    {
        Table()
        {
            for (int i = 0; i < kNumParams; ++i)
                InitParam(static_cast<EParams>(i), &params[static_cast<size_t>(i)]);
        }
        std::array<IParam, kNumParams> params;
    } table;
    return table.params[static_cast<size_t>(index)];
}

bool isWhole(int index)
{
    return paramAt(index).Type() != IParam::kTypeDouble;
}

// What is wrong with a value for a parameter, or "".
std::string valueProblem(int index, double value)
{
    const IParam& param = paramAt(index);
    if (!std::isfinite(value))
        return "a value that is not a number";
    if (value < param.GetMin() || value > param.GetMax())
        return "a value out of \"" + std::string(paramProperties[index].name) + "\"'s range";
    if (isWhole(index) && value != std::floor(value))
        return "a fraction for \"" + std::string(paramProperties[index].name) + "\", which takes whole numbers";
    return "";
}

void writeDraw(Writer& out, const RecipeDraw& draw)
{
    out.u8(static_cast<unsigned>(draw.index));
    out.u8(static_cast<unsigned>(draw.kind));
    out.u8((draw.logarithmic ? kLogarithmic : 0) | (draw.whole ? kWhole : 0));
    out.number(draw.lo);
    out.number(draw.hi);
    out.u16(static_cast<unsigned>(draw.choices.size()));
    for (double choice : draw.choices)
        out.number(choice);
}

// +0.0, the value a part that is not used holds, so that one encoding
// stands for each recipe.
bool isUnused(double value)
{
    return value == 0.0 && !std::signbit(value);
}

std::string choiceProblem(const RecipeDraw& draw)
{
    if (draw.choices.empty())
        return "a list to choose from that is empty";
    if (!isUnused(draw.lo) || !isUnused(draw.hi) || draw.logarithmic || draw.whole)
        return "a list to choose from with a range's parts";
    for (double choice : draw.choices)
        if (const std::string problem = valueProblem(draw.index, choice); !problem.empty())
            return problem;
    return "";
}

// What is wrong with a draw read whole, or "".
std::string drawProblem(const RecipeDraw& draw)
{
    if (draw.kind == RecipeDraw::kChoice)
        return choiceProblem(draw);
    if (!draw.choices.empty())
        return "choices for a draw that has none";
    if (draw.whole != (draw.kind == RecipeDraw::kRange && isWhole(draw.index)))
        return "a draw of whole numbers where the parameter takes fractions, or the reverse";
    for (double value : {draw.lo, draw.hi})
        if (const std::string problem = valueProblem(draw.index, value); !problem.empty())
            return problem;
    if (draw.lo > draw.hi)
        return "a range upside down";
    if (draw.kind == RecipeDraw::kFixed && draw.lo != draw.hi)
        return "a fixed value with two ends";
    if (draw.logarithmic && (draw.kind != RecipeDraw::kRange || draw.whole || !(draw.lo > 0.0)))
        return "a log scale that is not a range above 0 of a parameter with fractions";
    return "";
}

std::string readDraw(Reader& in, int after, RecipeDraw* draw)
{
    unsigned index, kind, flags, count;
    if (!in.u8(&index) || !in.u8(&kind) || !in.u8(&flags) || !in.number(&draw->lo) || !in.number(&draw->hi) ||
        !in.u16(&count))
        return "it ends inside a draw";
    if (static_cast<int>(index) <= after || index >= kNumParams)
        return "a parameter out of order, twice, or not the instrument's";
    if (kind > RecipeDraw::kChoice || (flags & ~(kLogarithmic | kWhole)) != 0)
        return "a draw of no known kind";
    draw->index = static_cast<int>(index);
    draw->kind = static_cast<RecipeDraw::Kind>(kind);
    draw->logarithmic = flags & kLogarithmic;
    draw->whole = flags & kWhole;
    if (count > in.left() / 8)
        return "it ends inside a list of choices";
    draw->choices.resize(count);
    for (double& choice : draw->choices)
        if (!in.number(&choice))
            return "it ends inside a list of choices";
    return drawProblem(*draw);
}

std::string readStart(Reader& in, Recipe* recipe)
{
    unsigned letters, soundSize;
    const unsigned char* at;
    if (!in.u8(&letters) || letters > kMostStartLetters || !in.bytes(letters, &at))
        return "a start kind too long or cut short";
    recipe->start.assign(reinterpret_cast<const char*>(at), letters);
    if (!recipe->start.empty() && !IsStartKind(recipe->start))
        return "a start that is no built-in kind";
    if (!in.u16(&soundSize) || !in.bytes(soundSize, &at))
        return "a sound cut short";
    if (soundSize == 0)
        return "";
    double values[kNumParams];
    int32_t version = 0;
    if (soundSize != static_cast<unsigned>(kStateSize) ||
        StateCodec::Decode(at, soundSize, kNumParams, &version, values) < 0)
        return "a sound that is not a state";
    if (!recipe->start.empty())
        return "both a start kind and a sound";
    recipe->sound.PutBytes(at, static_cast<int>(soundSize));
    return "";
}

std::string readMutate(Reader& in, Recipe* recipe)
{
    unsigned flag;
    double amount;
    if (!in.u8(&flag) || !in.number(&amount))
        return "it ends before Mutate";
    if (flag > 1)
        return "a Mutate flag that is neither on nor off";
    if (flag == 0) // and nothing else can be read into the amount
        return isUnused(amount) ? "" : "a Mutate amount with Mutate off";
    if (const std::string problem = valueProblem(kMutation, amount); !problem.empty())
        return problem;
    recipe->mutate = amount;
    return "";
}

std::string readRecipe(Reader& in, Recipe* recipe)
{
    const unsigned char* magic;
    if (!in.bytes(sizeof kMagic, &magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0)
        return "not a recipe's encoding";
    std::string problem = readStart(in, recipe);
    if (problem.empty())
        problem = readMutate(in, recipe);
    if (!problem.empty())
        return problem;
    unsigned count;
    if (!in.u8(&count) || count > kNumParams)
        return "no count of draws, or more than there are parameters";
    recipe->draws.resize(count);
    int after = -1;
    for (RecipeDraw& draw : recipe->draws)
    {
        if (const std::string wrong = readDraw(in, after, &draw); !wrong.empty())
            return wrong;
        after = draw.index;
    }
    return in.atEnd() ? "" : "bytes after its end";
}

// Whether each part fits the room the layout gives it.
bool fitsLayout(const Recipe& recipe)
{
    for (const RecipeDraw& draw : recipe.draws)
        if (draw.index < 0 || draw.index > 0xff || draw.choices.size() > 0xffff)
            return false;
    return recipe.start.size() <= kMostStartLetters && recipe.sound.Size() <= 0xffff &&
           recipe.draws.size() <= 0xff;
}

} // namespace

std::vector<unsigned char> EncodeRecipe(const Recipe& recipe)
{
    if (!fitsLayout(recipe))
        throw std::length_error("a recipe too large to hand over");
    Writer out;
    out.bytes(kMagic, sizeof kMagic);
    out.u8(static_cast<unsigned>(recipe.start.size()));
    out.bytes(recipe.start.data(), recipe.start.size());
    out.u16(static_cast<unsigned>(recipe.sound.Size()));
    out.bytes(recipe.sound.GetBytes(), static_cast<size_t>(recipe.sound.Size()));
    out.u8(recipe.mutate ? 1 : 0);
    out.number(recipe.mutate.value_or(0.0));
    out.u8(static_cast<unsigned>(recipe.draws.size()));
    for (const RecipeDraw& draw : recipe.draws)
        writeDraw(out, draw);
    std::vector<unsigned char> bytes = out.take();
    if (bytes.size() > kMostRecipeBytes)
        throw std::length_error("a recipe too large to hand over");
    return bytes;
}

std::string DecodeRecipe(const unsigned char* bytes, size_t size, Recipe* recipe)
{
    if (!bytes || size > kMostRecipeBytes)
        return "no recipe, or one too large";
    Reader in(bytes, size);
    Recipe read;
    const std::string problem = readRecipe(in, &read);
    if (problem.empty())
        *recipe = std::move(read);
    return problem;
}
