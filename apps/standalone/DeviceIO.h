#pragma once

#include "AUHost.h"
#include "JackIO.h"
#include "LiveAudio.h"

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
    unsigned rate = 0;    // 0: the device's own
    unsigned buffer = 256;
    bool verbose = false; // the audio libraries' own messages on the terminal
};

// The rate without a device that names one.
const unsigned kFallbackRate = 48000;

// Audio out and MIDI in, driving one instance: on one JACK client of the app's
// own when a JACK server runs, else audio through RtAudio (ALSA or PulseAudio)
// and MIDI through RtMidi. Failures are kept as text for the window.
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
    // GUI thread: whether a stream was started, which auditions play on.
    bool Streaming() const { return mStreaming; }
    // GUI thread. Plays a sound rendered whole at Rate(), cutting one still
    // playing. Without a running stream nothing happens.
    void Play(std::shared_ptr<const Clip> clip);
    void StopAudition();
    // GUI thread, now and then: lets go of the clips that have played.
    void TakeBackPlayed();
    // GUI thread: a note from the computer keyboard.
    void PlayNote(int note, bool on);
    // GUI thread: the gain keys and MIDI are heard at (the one Export
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
    bool startJack(const DeviceOptions& options);
    bool startAudio(const DeviceOptions& options);
    bool noSound(const DeviceOptions& options, const std::string& why);
    void configureUnit(unsigned maxFrames);
    void awaitFailedStreamClosing();
    void openMidi(int port);

    AUInstance& mUnit;
    LiveAudio mLive;               // what the audio callback does
    std::unique_ptr<JackIO> mJack; // while a JACK server runs; else the two below
    std::unique_ptr<RtAudio> mAudio;
    std::vector<std::unique_ptr<RtMidiIn>> mMidi;
    unsigned mRate = kFallbackRate;
    std::string mProblem; // GUI thread: what Start could not open
    // GUI thread: whether the stream was started, the block count last seen
    // and when it last moved.
    bool mStreaming = false;
    uint64_t mBlocksSeen = 0;
    std::chrono::steady_clock::time_point mBlocksMoved;
};
