#pragma once

#include "Requests.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

class Bleepforge;

// One "NAME=VALUE" in real units or, for enumerations, a display text;
// returns the index of the parameter set.
int ApplySetting(Bleepforge& plug, const std::string& assignment);
// A state file or code (checked whole before anything changes), then each
// setting; the editor's knobs follow.
void ApplyStateAndSettings(Bleepforge& plug, const std::string& statePath,
                           const std::vector<std::string>& settings);
// Constructs the instrument and drives it as a host does; the frames go to the
// sink as they render. Returns the instrument's state as rendered.
ByteChunk Render(const RenderRequest& request, const FrameSink& sink);
// The same, collected.
RenderResult Render(const RenderRequest& request);
// The same, telling settled the state it will render (after the state file
// and settings, before any frame), so that a file can carry it from its head.
ByteChunk Render(const RenderRequest& request, const FrameSink& sink,
                 const std::function<void(const ByteChunk&)>& settled);
// Renders the request's notes on an instrument already set up; its state,
// settings and seed are not applied again.
ByteChunk RenderWith(Bleepforge& plug, const RenderRequest& request, const FrameSink& sink);
// The note generate plays, for the instrument's sound.
NoteSpec GeneratedNote(Bleepforge& plug);
// Every parameter of a sound (a state file, an audio file Bleepforge wrote or a
// sound code) as a NAME and a VALUE text that ApplySetting takes back to the
// very same value: a display text, a whole number, or 17 digits.
std::vector<std::pair<std::string, std::string>> SettingsOf(const std::string& sound);
// The 60 parameters with defaults, ranges, units and display texts.
std::string DescribeParams();

