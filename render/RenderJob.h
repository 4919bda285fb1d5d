#pragma once

#include "RenderSession.h"
#include "RunKind.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class Bleepforge;

// The instrument in this process, driven as a host drives it.
class InstrumentBackend : public RenderBackend
{
public:
    InstrumentBackend();
    ~InstrumentBackend() override;

    void Open(double rate, int block, std::optional<unsigned> seed) override;
    std::vector<ParamInfo> Params() override;
    void TakeState(const ByteChunk& state) override;
    void TakeSetting(const ResolvedSetting& setting) override;
    ByteChunk State() override;
    RenderTarget Target() override;

    // The instrument opened, for what only it can do (its generators).
    Bleepforge& Plug() { return *mPlug; }

private:
    std::unique_ptr<Bleepforge> mPlug;
    double mRate = 44100.0;
    int mBlock = 512;
};


// The instrument's parameters as a session reads settings for them.
std::vector<ParamInfo> InstrumentParams(Bleepforge& plug);

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
// Every parameter of a sound (a state file, an audio file Bleepforge wrote or a
// sound code) as a NAME and a VALUE text that ApplySetting takes back to the
// very same value: a display text, a whole number, or 17 digits.
std::vector<std::pair<std::string, std::string>> SettingsOf(const std::string& sound);
// The 60 parameters with defaults, ranges, units and display texts.
std::string DescribeParams();

