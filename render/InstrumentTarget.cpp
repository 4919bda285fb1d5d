#include "InstrumentTarget.h"

#include "Bleepforge.h"

RenderTarget InstrumentTarget(Bleepforge& plug, double rate, int block)
{
    plug.SetSampleRate(rate);
    plug.SetBlockSize(block);
    plug.SetOutputChannelConnections(0, 2, true);
    plug.Reset();

    RenderTarget target;
    target.sendNote = [&plug](const NoteEvent& e, int offset)
    {
        IMidiMsg msg;
        if (e.rank == kOn)
            msg.MakeNoteOnMsg(e.note, e.velocity, offset);
        else
            msg.MakeNoteOffMsg(e.note, offset);
        plug.ProcessMidiMsg(&msg);
    };
    target.renderBlock = [&plug](double* left, double* right, int frames)
    {
        double* outputs[] = {left, right};
        plug.AttachOutputBuffers(0, 2, outputs);
        plug.ProcessBuffers(0.0, frames);
    };
    target.idleFrames = [&plug] { return plug.GetIdleFrames(); };
    return target;
}
