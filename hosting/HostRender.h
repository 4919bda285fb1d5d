#pragma once

#include "AUHost.h"
#include "BleepforgeProperties.h"
#include "RenderSession.h"

#include <memory>

struct HostRender
{
    RenderRequest request;
    std::string presetIn;
    ByteChunk state; // applied after the request's own state when not empty
};

// The bundle's parameters as a session reads settings for them.
std::vector<ParamInfo> ParamsOf(const std::vector<AUParameterDescription>& params);
// "NAME=VALUE" onto an open instance, read as a session reads it.
void ApplySetting(AUInstance& unit, const std::vector<AUParameterDescription>& params,
                  const std::string& assignment);
// A class-info dictionary holding a plug-in state, owned by the caller.
CFDictionaryRef StateDictionary(const AUBundle& bundle, const ByteChunk& state);
// Restores and releases the state; throws saying what was refused.
void RestoreFrom(AUInstance& unit, CFDictionaryRef state, const std::string& what);
// The plug-in's 484-byte state as its class-info state holds it; empty when
// it gives none.
ByteChunk CurrentState(AUInstance& unit);

// A fresh instance of the bundle, driven through its entry as a host does.
// A preset, then a sound, are restored when it opens, before the session's
// own state and settings; settings arrive as single-precision parameters.
class BundleBackend : public RenderBackend
{
public:
    BundleBackend(const AUBundle& bundle, const std::string& preset = "",
                  const ByteChunk& sound = ByteChunk());

    void Open(double rate, int block, std::optional<unsigned> seed) override;
    std::vector<ParamInfo> Params() override;
    void TakeState(const ByteChunk& state) override;
    void TakeSetting(const ResolvedSetting& setting) override;
    ByteChunk State() override;
    RenderTarget Target() override;

    // The instance's state as an .aupreset holds it.
    std::string PresetText();

private:
    const AUBundle& mBundle;
    std::string mPreset;
    ByteChunk mSound;
    std::unique_ptr<AUInstance> mUnit;
    std::vector<AudioUnitParameterID> mIds;
    std::vector<float> mLeft, mRight;
    double mSampleTime = 0.0;
};

// Renders the job's notes in a fresh instance of the bundle, collected.
RenderResult RenderThroughBundle(const AUBundle& bundle, const HostRender& job);
