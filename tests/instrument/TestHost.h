#pragma once

#include "Bleepforge.h"
#include "Params.h"
#include "RenderJob.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace test_host
{

// Drives the instrument as a host does, one block at a time.
class Host
{
public:
    explicit Host(int block = 64, double rate = 44100.0) : mBlock(block)
    {
        plug.SetSampleRate(rate);
        plug.SetBlockSize(block);
        plug.SetOutputChannelConnections(0, 2, true);
        plug.Reset();
    }

    void set(const char* assignment) { ApplySetting(plug, assignment); }

    void send(IMidiMsg msg) { plug.ProcessMidiMsg(&msg); }

    std::vector<double> render(int blocks)
    {
        std::vector<double> out;
        std::vector<double> left(mBlock), right(mBlock);
        for (int b = 0; b < blocks; ++b)
        {
            double* outputs[] = {left.data(), right.data()};
            plug.AttachOutputBuffers(0, 2, outputs);
            plug.ProcessBuffers(0.0, mBlock);
            out.insert(out.end(), left.begin(), left.end());
            EXPECT_EQ(left, right);
        }
        return out;
    }

    IPluginInstanceInfo info;
    Bleepforge plug{info};
    int mBlock;
};

inline IMidiMsg noteOn(int note, int velocity, int offset)
{
    IMidiMsg msg;
    msg.MakeNoteOnMsg(note, velocity, offset);
    return msg;
}

inline IMidiMsg noteOff(int note, int offset)
{
    IMidiMsg msg;
    msg.MakeNoteOffMsg(note, offset);
    return msg;
}

// Every parameter's value, plain or normalised.
inline std::vector<double> paramValues(Bleepforge& plug, bool normalized = false)
{
    std::vector<double> values;
    for (int i = 0; i < kNumParams; ++i)
        values.push_back(normalized ? plug.GetParam(i)->GetNormalized() : plug.GetParam(i)->Value());
    return values;
}

inline double peak(const std::vector<double>& x, size_t from = 0)
{
    double p = 0.0;
    for (size_t i = from; i < x.size(); ++i)
        p = std::max(p, std::fabs(x[i]));
    return p;
}

} // namespace test_host

using namespace test_host;
