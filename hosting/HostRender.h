#pragma once

#include "AUHost.h"
#include "Requests.h"

// The plug-in's own properties: frames since the sound went silent, the seed
// of its random sequence, the sound slot shown with the slot count, and the
// kind of sound the last generator made (char[16], "" before one).
const AudioUnitPropertyID kIdleFramesProperty = 64000;
const AudioUnitPropertyID kRandomSeedProperty = 64001;
const AudioUnitPropertyID kSoundSlotProperty = 64002;
const AudioUnitPropertyID kLastKindProperty = 64003;
// The sound slots: SInt32 slot shown, then 60 normalised doubles a slot.
const AudioUnitPropertyID kSlotsProperty = 64004;

struct HostRender
{
    RenderRequest request;
    std::string presetIn;
    ByteChunk state; // applied after the request's own state when not empty
};

// "NAME=VALUE": a value text of an enumeration, or a value in the parameter's
// units. Throws UsageError for an unknown name or a value that is not one.
void ApplySetting(AUInstance& unit, const std::vector<AUParameterDescription>& params,
                  const std::string& assignment);
// A class-info dictionary holding a plug-in state, owned by the caller.
CFDictionaryRef StateDictionary(const AUBundle& bundle, const ByteChunk& state);
// Restores and releases the state; throws saying what was refused.
void RestoreFrom(AUInstance& unit, CFDictionaryRef state, const std::string& what);
// Renders the job's notes in a fresh instance of the bundle, the frames to the
// sink as they render; returns the instance's class-info state after the
// render, owned by the caller (CFRelease).
CFDictionaryRef RenderThroughBundle(const AUBundle& bundle, const HostRender& job,
                                    const FrameSink& sink);
// The same, collected.
RenderResult RenderThroughBundle(const AUBundle& bundle, const HostRender& job);
