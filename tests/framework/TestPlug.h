#pragma once

#include "IPluginBase.h"

#include <string>
#include <vector>

// A plug-in that records what the base asks of its host and of itself.
// Parameter 0 is an int 0 ... 10, parameter 1 a bool, the rest doubles 1 ... 200.
class TestPlug : public IPluginBase
{
public:
    static const int kUniqueID = 0x54657374; // 'Test'

    explicit TestPlug(bool doesChunks = false, const char* channelIO = "0-1 0-2", int nParams = 60,
                      int nPresets = 4)
        : IPluginBase(nParams, channelIO, nPresets, "Test Effect", "Test Product", "Maker", 0x10203,
                      kUniqueID, 0x4D616B72, 0, true, doesChunks, true, kAPIAU)
    {
        for (int i = 0; i < NParams(); ++i)
        {
            const std::string name = "Param " + std::to_string(i);
            if (i == 0)
                GetParam(i)->InitInt(name.c_str(), 3, 0, 10);
            else if (i == 1)
                GetParam(i)->InitBool(name.c_str(), false);
            else
                GetParam(i)->InitDouble(name.c_str(), 10.0 + i, 1.0, 200.0, 0.01);
        }
    }

    void OnParamChange(int paramIdx) override
    {
        IMutexLock lock(this); // re-enters the mutex SetParameterFromGUI holds
        calls.push_back("change " + std::to_string(paramIdx));
    }
    void ProcessDoubleReplacing(double**, double** outputs, int nFrames) override
    {
        for (int c = 0; c < NOutChannels(); ++c)
            for (int s = 0; s < nFrames; ++s)
                outputs[c][s] = writeValue;
    }

    void BeginInformHostOfParamChange(int idx) override { gestures.push_back("begin " + std::to_string(idx)); }
    void InformHostOfParamChange(int idx, double value) override
    {
        calls.push_back("inform " + std::to_string(idx) + " " + std::to_string(value));
    }
    void EndInformHostOfParamChange(int idx) override { gestures.push_back("end " + std::to_string(idx)); }
    void InformHostOfProgramChange() override { ++programChanges; }
    int GetSamplePos() override { return 0; }
    double GetTempo() override { return tempo; }
    void GetTimeSig(int* numerator, int* denominator) override { *numerator = *denominator = 4; }
    void GetTime(ITimeInfo*) override {}
    void ResizeGraphics(int, int) override {}
    bool SendMidiMsg(IMidiMsg*) override { return sendResult; }

    std::vector<double> values() { return valuesOf(this); }
    static std::vector<double> valuesOf(IPluginBase* plug)
    {
        std::vector<double> v;
        for (int i = 0; i < plug->NParams(); ++i)
            v.push_back(plug->GetParam(i)->Value());
        return v;
    }

    std::vector<std::string> calls;
    std::vector<std::string> gestures;
    double writeValue = 0.25;
    double tempo = 120.0;
    bool sendResult = true;
    int programChanges = 0;
};
