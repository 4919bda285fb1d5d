#include "Snapshot.h"

#include "Bleepforge.h"
#include "IGraphics.h"
#include "Layout.h"
#include "PIX.h"
#include "ViewConversions.h"

#include <stdexcept>
#include <vector>

namespace
{

const double kSnapshotRate = 44100.0;
const int kSnapshotBlock = 512;
const double kNoteSeconds = 0.5;

void holdNotes(Bleepforge& plug, const std::vector<int>& notes)
{
    plug.SetSampleRate(kSnapshotRate);
    plug.SetBlockSize(kSnapshotBlock);
    plug.SetOutputChannelConnections(0, 2, true);
    plug.Reset();
    for (int note : notes)
    {
        IMidiMsg msg;
        msg.MakeNoteOnMsg(note, 127, 0);
        plug.ProcessMidiMsg(&msg);
    }
    std::vector<double> left(kSnapshotBlock), right(kSnapshotBlock);
    const int blocks = static_cast<int>(kNoteSeconds * kSnapshotRate / kSnapshotBlock);
    for (int b = 0; b < blocks; ++b)
    {
        double* outputs[] = {left.data(), right.data()};
        plug.AttachOutputBuffers(0, 2, outputs);
        plug.ProcessBuffers(0.0, kSnapshotBlock);
    }
}

} // namespace

void WriteSnapshot(const SnapshotRequest& request, const std::string& path)
{
    if (request.scale != 1 && request.scale != 2)
        throw UsageError("--scale: expected 1 or 2");
    IPluginInstanceInfo info;
    Bleepforge plug(info);
    IGraphics* editor = AttachEditor(plug);
    ApplyStateAndSettings(plug, request.stateIn, request.settings);
    if (!request.notes.empty())
        holdNotes(plug, request.notes);
    if (request.about)
        plug.HostRequestingAboutBox();

    IRECT all(0, 0, editor->Width(), editor->Height());
    editor->Draw(&all);
    PIX_IBitmap* image = editor->GetDrawBitmap();
    PIX_MemBitmap doubled;
    if (request.scale == 2)
    {
        PixelDouble(image, &doubled);
        image = &doubled;
    }
    if (!PIX_WritePNG(path.c_str(), image))
        throw std::runtime_error("cannot write '" + path + "'");
}
