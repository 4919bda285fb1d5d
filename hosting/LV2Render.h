#pragma once

#include "LV2Host.h"

#include <functional>

struct LV2Render
{
    RenderRequest request;
    std::string preset; // a label or URI, restored before the request's state
};

// Renders the job's notes in a fresh instance, as bleepforge render plays
// them: the frames go to the sink as they render. Returns the plug-in's
// state property after the render. Settings reach the plug-in as its
// single-precision control ports carry them.
std::vector<uint8_t> RenderThroughLV2(LV2World& world, const LV2Render& job, const FrameSink& sink);
// The same, telling settled the state the plug-in will render (its settings
// taken, before any frame), so that a file can carry it from its head.
std::vector<uint8_t> RenderThroughLV2(LV2World& world, const LV2Render& job, const FrameSink& sink,
                                      const std::function<void(const ByteChunk&)>& settled);
RenderResult RenderThroughLV2(LV2World& world, const LV2Render& job);
// "NAME=VALUE" onto the instance's control ports: a port's name or symbol, a
// scale point's label or a number within the port's range.
void ApplySetting(LV2Instance& instance, const std::string& assignment);
