#include "JackIO.h"
#include "JackGraph.h"
#include "LiveAudio.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <sstream>

namespace
{

// A list from jack_get_ports, copied and given back.
std::vector<std::string> takeNames(const char** names)
{
    std::vector<std::string> taken;
    for (size_t n = 0; names && names[n]; ++n)
        taken.push_back(names[n]);
    jack_free(names);
    return taken;
}

std::vector<JackPort> audioPorts(jack_client_t* client)
{
    std::vector<JackPort> ports;
    for (const std::string& name :
         takeNames(jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, 0)))
    {
        const jack_port_t* port = jack_port_by_name(client, name.c_str());
        const int flags = port ? jack_port_flags(port) : 0;
        ports.push_back({name, (flags & JackPortIsInput) != 0, (flags & JackPortIsPhysical) != 0});
    }
    return ports;
}

// Numbered as --midi-port takes them.
std::vector<std::string> midiSources(jack_client_t* client)
{
    return takeNames(jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput));
}

} // namespace

std::unique_ptr<JackIO> JackIO::Open(const char* name, bool verbose)
{
    if (!verbose)
    {
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
    }
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name, JackNoStartServer, &status);
    return client ? std::unique_ptr<JackIO>(new JackIO(client)) : nullptr;
}

JackIO::~JackIO()
{
    // After the server has gone the client is still closed, to free it.
    jack_client_close(mClient);
}

unsigned JackIO::Rate() const
{
    return jack_get_sample_rate(mClient);
}

unsigned JackIO::BlockFrames() const
{
    return jack_get_buffer_size(mClient);
}

// The port names are those users and their saved connections know.
bool JackIO::registerPorts()
{
    mLeft = jack_port_register(mClient, "outport 0", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    mRight = jack_port_register(mClient, "outport 1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    mMidiIn = jack_port_register(mClient, "MIDI in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    return mLeft && mRight && mMidiIn;
}

std::string JackIO::Start(LiveAudio& live, int audioDevice)
{
    const std::vector<std::string> playback = PlaybackPorts(audioPorts(mClient), audioDevice);
    if (audioDevice >= 0 && playback.empty())
        return "there is no audio output " + std::to_string(audioDevice) +
               " (--list-devices lists them)";
    if (!registerPorts())
        return "the JACK server refused the app's ports";
    mLive = &live;
    jack_set_process_callback(mClient, &JackIO::onProcess, this);
    jack_on_info_shutdown(mClient, &JackIO::onShutdown, this);
    if (jack_activate(mClient) != 0)
        return "the JACK server did not start the app's client";
    const jack_port_t* outputs[] = {mLeft, mRight};
    for (size_t n = 0; n < std::min<size_t>(2, playback.size()); ++n)
        jack_connect(mClient, jack_port_name(outputs[n]), playback[n].c_str());
    return {};
}

std::string JackIO::ConnectMidi(int midiPort)
{
    const std::vector<std::string> sources = midiSources(mClient);
    if (midiPort >= static_cast<int>(sources.size()))
        return "there is no MIDI port " + std::to_string(midiPort);
    for (size_t n = 0; n < sources.size(); ++n)
    {
        if (midiPort < 0 || n == static_cast<size_t>(midiPort))
            jack_connect(mClient, sources[n].c_str(), jack_port_name(mMidiIn));
    }
    return {};
}

// Audio thread: the block's MIDI at its frames, then the block. Nothing here
// allocates, locks or prints.
int JackIO::onProcess(jack_nframes_t frames, void* self)
{
    auto& io = *static_cast<JackIO*>(self);
    void* midi = jack_port_get_buffer(io.mMidiIn, frames);
    const uint32_t count = jack_midi_get_event_count(midi);
    for (uint32_t n = 0; n < count; ++n)
    {
        jack_midi_event_t event;
        uint32_t message = 0;
        if (jack_midi_event_get(&event, midi, n) == 0 &&
            PackChannelMessage(event.buffer, event.size, &message))
            io.mLive->MidiAt(message, std::min(event.time, frames - 1));
    }
    io.mLive->Render(static_cast<float*>(jack_port_get_buffer(io.mLeft, frames)),
                     static_cast<float*>(jack_port_get_buffer(io.mRight, frames)), frames);
    return 0;
}

// libjack's thread, once the server has gone.
void JackIO::onShutdown(jack_status_t, const char*, void* self)
{
    static_cast<JackIO*>(self)->mServerGone.store(true, std::memory_order_relaxed);
}

std::string JackIO::ListDevices()
{
    // Its caller decides what reaches the terminal.
    const std::unique_ptr<JackIO> lister = Open("bleepforge-list", true);
    if (!lister)
        return {};
    std::ostringstream text;
    text << "audio outputs (Jack):\n";
    const std::vector<AudioDestination> destinations =
        AudioDestinations(audioPorts(lister->mClient));
    for (const AudioDestination& destination : destinations)
        text << "  " << destination.number << "\t" << destination.client
             << (destination.isDefault ? " (default)" : "") << "\n";
    if (destinations.empty())
        text << "  none: no client of the JACK server takes audio\n";
    text << "MIDI inputs (Jack):\n";
    const std::vector<std::string> sources = midiSources(lister->mClient);
    for (size_t n = 0; n < sources.size(); ++n)
        text << "  " << n << "\t" << sources[n] << "\n";
    if (sources.empty())
        text << "  none: no MIDI device is connected\n";
    return text.str();
}
