#pragma once

// What every render call of the module shares (web/Bindings.cpp): the
// options checked as the command line checks them, the samples handed over
// as its writers take them, and refusals answered as objects.
#include "Levels.h"
#include "RenderLoop.h"

#include <emscripten/val.h>

#include <functional>
#include <string>
#include <vector>

// A render's request and what it is handed back as.
struct RenderShape
{
    RenderRequest request;
    int channels = 2;
    Normalization asked;
    bool exact = false; // Float64Array channels, for a file's writer
};

// Sends a render's frames to the sink, block by block.
using FrameProducer = std::function<void(const FrameSink& sink)>;

// The call's answer, or {error} (with {option, given} for an option's value).
emscripten::val AnswerOf(const std::function<emscripten::val()>& call);
// The options every render takes, checked; lengthSeconds -1 for the
// sound's own length. Throws the refusal AnswerOf answers with.
RenderShape CheckedShape(double rate, int block, double lengthSeconds, int channels, const std::string& normalize,
                         bool exact, std::vector<NoteSpec> notes);
// {channels}: the frames produced, rounded, normalised and mixed down as the
// command line's writer has them.
emscripten::val RenderChannels(const RenderShape& shape, const FrameProducer& produce);
