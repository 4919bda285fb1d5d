// The maths routines give the same bits on every machine: a table of arguments
// and results, written once, that no C library, compiler or processor may
// change. Some of its arguments are ones where the C library of the machine
// that wrote it rounds the other way, so calling that library would fail here.
#include "PortableMath.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace
{
uint64_t bitsOf(double x)
{
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

double fromBits(uint64_t bits)
{
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// A fixed sequence of draws, so that a rewrite chooses the same arguments.
struct Draws
{
    uint64_t state = 0x9E3779B97F4A7C15u;
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    double unit() { return static_cast<double>(next() >> 11) * 0x1p-53; }
    double within(double lo, double hi) { return lo + (hi - lo) * unit(); }
    // Any magnitude, evenly by exponent.
    double anyPositive() { return std::ldexp(1.0 + unit(), static_cast<int>(next() % 2046) - 1022); }
};

struct Args
{
    double x, y;
};

struct Routine
{
    const char* name;
    bool binary;
    double (*ours)(double, double);
    double (*library)(double, double);
    // The arguments the engine gives it, and any others.
    Args (*draw)(Draws&);
};

const double kTwoPi = 6.283185307179586;
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

const Routine kRoutines[] = {
    {"sin", false, [](double x, double) { return bf_sin(x); }, [](double x, double) { return std::sin(x); },
     [](Draws& d) { return Args{d.next() % 4 ? kTwoPi * d.unit() : d.within(-1e6, 1e6), 0}; }},
    {"cos", false, [](double x, double) { return bf_cos(x); }, [](double x, double) { return std::cos(x); },
     [](Draws& d) { return Args{d.next() % 4 ? d.within(-4.0, 4.0) : d.within(-1e6, 1e6), 0}; }},
    {"tan", false, [](double x, double) { return bf_tan(x); }, [](double x, double) { return std::tan(x); },
     [](Draws& d) { return Args{d.next() % 4 ? 3.141592653589793 * d.unit() : d.within(-1e6, 1e6), 0}; }},
    {"exp", false, [](double x, double) { return bf_exp(x); }, [](double x, double) { return std::exp(x); },
     [](Draws& d) { return Args{d.within(-40.0, 40.0), 0}; }},
    {"log", false, [](double x, double) { return bf_log(x); }, [](double x, double) { return std::log(x); },
     [](Draws& d) { return Args{d.next() % 2 ? d.within(0.0, 2.0) : d.anyPositive(), 0}; }},
    {"log10", false, [](double x, double) { return bf_log10(x); },
     [](double x, double) { return std::log10(x); },
     [](Draws& d) { return Args{d.next() % 2 ? d.within(0.0, 4.0) : d.anyPositive(), 0}; }},
    {"pow", true, [](double x, double y) { return bf_pow(x, y); },
     [](double x, double y) { return std::pow(x, y); },
     [](Draws& d)
     {
         switch (d.next() % 3)
         {
         case 0: return Args{d.unit(), d.within(0.1, 10.0)}; // shapes and curves
         case 1: return Args{10.0, d.within(-6.0, 2.0)};     // decibels
         default: return Args{d.within(0.0, 1e4), d.within(-4.0, 4.0)};
         }
     }},
    {"hypot", true, [](double x, double y) { return bf_hypot(x, y); },
     [](double x, double y) { return std::hypot(x, y); },
     [](Draws& d) { return Args{d.within(-4.0, 4.0), d.within(-4.0, 4.0)}; }},
};

// Where the standard fixes the answer (a unary routine takes only the first
// as its second argument), or a routine takes its slowest road.
const double kSpecials[] = {0.0, -0.0, 1.0, -1.0, 0.5, 1e-310, 1e300, -1e300, kInf, -kInf, kNaN};

const int kOrdinary = 200;  // arguments per routine, as drawn
const int kDiffering = 40;  // and ones where the C library rounds the other way

const char* tablePath() { return BLEEPFORGE_MATHS_TABLE; }

std::string entry(const Routine& r, Args a)
{
    char line[96];
    const double result = r.ours(a.x, a.y);
    if (r.binary)
        std::snprintf(line, sizeof line, "%s %016" PRIx64 " %016" PRIx64 " %016" PRIx64, r.name, bitsOf(a.x),
                      bitsOf(a.y), bitsOf(result));
    else
        std::snprintf(line, sizeof line, "%s %016" PRIx64 " %016" PRIx64, r.name, bitsOf(a.x), bitsOf(result));
    return line;
}

// A NaN's sign and payload are the processor's, not the routine's.
bool sameBits(double a, double b) { return bitsOf(a) == bitsOf(b) || (std::isnan(a) && std::isnan(b)); }

void writeTable()
{
    std::ofstream out(tablePath());
    for (const Routine& r : kRoutines)
    {
        for (double x : kSpecials)
            for (size_t j = 0; j < (r.binary ? std::size(kSpecials) : 1); ++j)
                out << entry(r, {x, kSpecials[j]}) << '\n';
        Draws draws;
        for (int i = 0; i < kOrdinary; ++i)
            out << entry(r, r.draw(draws)) << '\n';
        int differing = 0;
        for (long tries = 0; differing < kDiffering && tries < 10000000; ++tries)
        {
            const Args a = r.draw(draws);
            if (!sameBits(r.ours(a.x, a.y), r.library(a.x, a.y)))
            {
                out << entry(r, a) << '\n';
                ++differing;
            }
        }
        std::printf("%s: %d arguments where the C library rounds otherwise\n", r.name, differing);
    }
}

const Routine* routineNamed(const std::string& name)
{
    for (const Routine& r : kRoutines)
        if (name == r.name)
            return &r;
    return nullptr;
}
} // namespace

TEST(PortableMath, EveryRoutineGivesTheBitsOfItsTable)
{
    if (std::getenv("BLEEPFORGE_REWRITE_REFERENCE"))
        writeTable();
    std::ifstream in(tablePath());
    ASSERT_TRUE(in) << tablePath();
    std::vector<int> checked(std::size(kRoutines), 0);
    std::vector<std::string> wrong;
    std::string line;
    while (std::getline(in, line))
    {
        std::istringstream words(line);
        std::string name;
        words >> name;
        const Routine* r = routineNamed(name);
        ASSERT_NE(r, nullptr) << line;
        uint64_t x = 0, y = 0, expected = 0;
        words >> std::hex >> x;
        if (r->binary)
            words >> y;
        words >> expected;
        ASSERT_FALSE(words.fail()) << line;
        ++checked[r - kRoutines];
        const Args args{fromBits(x), fromBits(y)};
        if (!sameBits(r->ours(args.x, args.y), fromBits(expected)))
            wrong.push_back(entry(*r, args) + " (the table: " + line + ")");
    }
    for (size_t i = 0; i < std::size(kRoutines); ++i)
        EXPECT_GE(checked[i], kOrdinary + kDiffering) << kRoutines[i].name << ": the table is short";
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " results differ, the first: " << wrong.front();
}
