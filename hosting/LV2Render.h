#pragma once

#include "LV2Host.h"
#include "RenderSession.h"

#include <memory>

// A fresh instance of the LV2 plug-in, driven offline as a host does. A
// preset (a label or URI) is restored when it opens, before the session's own
// state and settings; settings reach the plug-in as its single-precision
// control ports carry them, and the state as a host's restore leaves it.
class LV2Backend : public RenderBackend
{
public:
    LV2Backend(LV2World& world, const std::string& preset = "");

    void Open(double rate, int block, std::optional<unsigned> seed) override;
    std::vector<ParamInfo> Params() override;
    void TakeState(const ByteChunk& state) override;
    void TakeSetting(const ResolvedSetting& setting) override;
    ByteChunk State() override;
    RenderTarget Target() override;

private:
    LV2World& mWorld;
    std::string mPreset;
    std::unique_ptr<LV2Instance> mInstance;
    std::vector<uint32_t> mControls; // the port of each parameter Params lists
};
