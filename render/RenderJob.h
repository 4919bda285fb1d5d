#pragma once

#include "Requests.h"

class Bleepforge;

// One "NAME=VALUE" in real units or, for enumerations, a display text.
void ApplySetting(Bleepforge& plug, const std::string& assignment);
// A state file or code (checked whole before anything changes), then each
// setting; the editor's knobs follow.
void ApplyStateAndSettings(Bleepforge& plug, const std::string& statePath,
                           const std::vector<std::string>& settings);
// Constructs the instrument and drives it as a host does; the frames go to the
// sink as they render. Returns the instrument's state as rendered.
ByteChunk Render(const RenderRequest& request, const FrameSink& sink);
// The same, collected.
RenderResult Render(const RenderRequest& request);
// Renders the request's notes on an instrument already set up; its state,
// settings and seed are not applied again.
ByteChunk RenderWith(Bleepforge& plug, const RenderRequest& request, const FrameSink& sink);
// The note generate plays: 60 at full velocity, held through the sound's
// attack, hold and decay, then released.
NoteSpec GeneratedNote(Bleepforge& plug);
// The 60 parameters with defaults, ranges, units and display texts.
std::string DescribeParams();

