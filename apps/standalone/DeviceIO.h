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
    unsigned rate = 0; // 0: the device's own
    unsigned buffer = 256;
    bool verbose = false; // the audio libraries' own messages on the terminal
};

// The rate without a device that names one.
const unsigned kFallbackRate = 48000;

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
    // GUI thread. Plays the sound as bleepforge generate renders it: note 60
    // at full velocity, released after holdSeconds; an audition still
    // sounding is cut first. Without a running stream nothing happens.
    void Audition(double holdSeconds);
    void StopAudition();
    // GUI thread: a note from the computer keyboard.
    void PlayNote(int note, bool on);
    // GUI thread: the gain everything played is heard at (the one Export
    // applies to the current sound), and the samples of the output that have
    // reached full scale since the last call.
    void SetListeningGain(double gain);
    long TakeClipped();

    // Lists audio outputs and MIDI inputs, as the options number them.
    static std::string ListDevices();

private:
    static int onAudio(void* out, void* in, unsigned frames, double time, unsigned status,
                       void* self);
    static void onMidi(double delta, std::vector<unsigned char>* message, void* self);
    void sendFromWindow(uint32_t message);
    void takeWindowMessage(uint32_t message);
    void endAuditionWithin(unsigned frames);
    bool startAudio(const DeviceOptions& options);
    void configureUnit(unsigned maxFrames);
    void awaitFailedStreamClosing();
    void openMidi(int port);

    AUInstance& mUnit;
    std::unique_ptr<RtAudio> mAudio;
    std::vector<std::unique_ptr<RtMidiIn>> mMidi;
    MidiRing mRing;       // the MIDI devices' thread to the audio thread
    MidiRing mWindowRing; // the GUI thread to the audio thread: notes and auditions
    std::atomic<double> mAuditionHold{0.0}; // GUI thread, written before its message
    long mAuditionLeft = -1; // audio thread: frames to the audition's release, -1: none sounds
    unsigned mRate = kFallbackRate; // set before the stream starts, read by the audio thread after
    double mSampleTime = 0.0; // audio thread only
    std::string mProblem;     // GUI thread: what Start could not open
    std::atomic<uint64_t> mBlocks{0}; // written by the audio thread, read by the GUI thread
    std::atomic<float> mListeningGain{1.0f}; // written by the GUI thread, read by the audio thread
    std::atomic<long> mClipped{0}; // added to by the audio thread, taken by the GUI thread
    // GUI thread: whether the stream was started, the block count last seen
    // and when it last moved.
    bool mStreaming = false;
    uint64_t mBlocksSeen = 0;
    std::chrono::steady_clock::time_point mBlocksMoved;
};
