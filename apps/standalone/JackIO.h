#pragma once

#include <jack/types.h>

#include <atomic>
#include <memory>
#include <string>

class LiveAudio;

// The app as one JACK client: its two audio outputs and its MIDI input on the
// same client, the server's process callback rendering through LiveAudio
// with each MIDI event at its frame.
class JackIO
{
public:
    // Opens the client without starting a server; null when none runs.
    // Unless verbose, JACK's own messages (on any of its threads, for as
    // long as the process runs) stay off the terminal: what matters reaches
    // the window.
    static std::unique_ptr<JackIO> Open(const char* name, bool verbose);
    ~JackIO();
    JackIO(const JackIO&) = delete;
    JackIO& operator=(const JackIO&) = delete;

    unsigned Rate() const;
    unsigned BlockFrames() const;
    // Once the instance is ready: registers the ports, starts the callback
    // through live and connects the outputs to the playback ports of
    // audioDevice (-1: the physical ones). Returns why there is no sound, or
    // nothing.
    std::string Start(LiveAudio& live, int audioDevice);
    // Connects the MIDI input from every MIDI source, or only from source
    // midiPort; returns why it cannot, or nothing.
    std::string ConnectMidi(int midiPort);
    // Any thread: the server went away.
    bool ServerGone() const { return mServerGone.load(std::memory_order_relaxed); }

    // Audio outputs and MIDI inputs as the options number them; empty when
    // no JACK server runs.
    static std::string ListDevices();

private:
    explicit JackIO(jack_client_t* client) : mClient(client) {}
    static int onProcess(jack_nframes_t frames, void* self);
    static void onShutdown(jack_status_t code, const char* reason, void* self);
    bool registerPorts();

    jack_client_t* mClient;
    // Set on the GUI thread before the client is activated; the server's
    // thread only reads them.
    jack_port_t* mLeft = nullptr;
    jack_port_t* mRight = nullptr;
    jack_port_t* mMidiIn = nullptr;
    LiveAudio* mLive = nullptr;
    std::atomic<bool> mServerGone{false}; // set by libjack's thread, read by the GUI thread
};
