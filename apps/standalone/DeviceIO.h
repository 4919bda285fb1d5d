#pragma once

#include "AUHost.h"
#include "MidiRing.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class RtAudio;
class RtMidiIn;

struct DeviceOptions
{
    int audioDevice = -1; // -1: the default output
    int midiPort = -1;    // -1: every input port
    unsigned rate = 48000, buffer = 256;
};

// Audio out through RtAudio (JACK first when a server runs) and MIDI in through
// RtMidi, driving one instance. Failures are kept as text for the window.
class DeviceIO
{
public:
    explicit DeviceIO(AUInstance& unit);
    ~DeviceIO();

    // Opens the devices. Returns false with Problem() set when there is no
    // audio; the instance is then configured at the requested rate anyway.
    bool Start(const DeviceOptions& options);
    void Stop();
    // Empty while everything runs. GUI thread, called now and then: a stream
    // that has stopped calling back (a JACK server that went away says so
    // only as a warning, or not at all) counts as stopped.
    std::string Problem();
    unsigned Rate() const { return mRate; }

    // Lists audio outputs and MIDI inputs, as the options number them.
    static std::string ListDevices();

private:
    static int onAudio(void* out, void* in, unsigned frames, double time, unsigned status,
                       void* self);
    static void onMidi(double delta, std::vector<unsigned char>* message, void* self);
    bool startAudio(const DeviceOptions& options);
    void awaitFailedStreamClosing();
    void openMidi(int port);

    AUInstance& mUnit;
    std::unique_ptr<RtAudio> mAudio;
    std::vector<std::unique_ptr<RtMidiIn>> mMidi;
    MidiRing mRing;
    unsigned mRate = 48000;
    double mSampleTime = 0.0; // audio thread only
    std::string mProblem;     // GUI thread: what Start could not open
    std::atomic<uint64_t> mBlocks{0}; // written by the audio thread, read by the GUI thread
    // GUI thread: whether the stream was started, the block count last seen
    // and when it last moved.
    bool mStreaming = false;
    uint64_t mBlocksSeen = 0;
    std::chrono::steady_clock::time_point mBlocksMoved;
};
