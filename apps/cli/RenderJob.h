#pragma once

#include "Containers.h"

#include <stdexcept>
#include <string>
#include <vector>

class Bleepforge;

// A mistake in what the user asked for (exit status 2), as opposed to a
// failure while doing it (exit status 1).
struct UsageError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

struct NoteSpec
{
    int note = 60;
    int velocity = 127;
    double start = 0.0;
    double duration = 0.5;
};

struct RenderRequest
{
    double rate = 44100.0;
    int block = 512;
    std::vector<std::string> settings; // "NAME=VALUE", applied in order
    std::string stateIn; // a file or a sound code
    std::vector<NoteSpec> notes;
    double lengthSeconds = -1.0; // below 0: until every voice has finished
    bool seeded = false;
    unsigned seed = 0;
};

struct RenderResult
{
    std::vector<double> left, right;
    ByteChunk state; // the instrument's state as rendered
};

// "N[:VEL[:START[:DUR]]]"
NoteSpec ParseNote(const std::string& text);
// "auto" or seconds.
double ParseLength(const std::string& text);
// One "NAME=VALUE" in real units or, for enumerations, a display text.
void ApplySetting(Bleepforge& plug, const std::string& assignment);
// Refuses a request whose numbers cannot make a render: a non-finite or
// fractional rate, a length shorter than one frame.
void CheckRequest(const RenderRequest& request);
// A 484-byte state from a file, or from a sound code given in its place.
ByteChunk ReadState(const std::string& fileOrCode);
// A state file or code (checked whole before anything changes), then each
// setting; the editor's knobs follow.
void ApplyStateAndSettings(Bleepforge& plug, const std::string& statePath,
                           const std::vector<std::string>& settings);
// Constructs the instrument and drives it as a host does.
RenderResult Render(const RenderRequest& request);
// Renders the request's notes on an instrument already set up; its state,
// settings and seed are not applied again.
RenderResult RenderWith(Bleepforge& plug, const RenderRequest& request);
// The 60 parameters with defaults, ranges, units and display texts.
std::string DescribeParams();

const int kMinRate = 1000;
const int kMaxRate = 384000;
const double kMaxAutoSeconds = 30.0;
const double kAutoTailSeconds = 0.05;
