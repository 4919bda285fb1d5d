#include "DeviceIO.h"

#include <rtaudio/RtAudio.h>
#include <rtmidi/RtMidi.h>

#include <sstream>
#include <thread>

namespace
{

// RtAudio's error callback carries no context: a stream error from its thread
// is published here for the window to show.
std::atomic<bool> gStreamFailed{false};

// Far longer than any block: a stream without a callback for this long has stopped.
const std::chrono::seconds kStallTime(2);

void onStreamError(RtAudioError::Type type, const std::string&)
{
    if (type != RtAudioError::WARNING && type != RtAudioError::DEBUG_WARNING)
        gStreamFailed.store(true, std::memory_order_relaxed);
}

} // namespace

DeviceIO::DeviceIO(AUInstance& unit) : mUnit(unit) {}

DeviceIO::~DeviceIO()
{
    Stop();
}

bool DeviceIO::Start(const DeviceOptions& options)
{
    mRate = options.rate;
    const bool playing = startAudio(options);
    try
    {
        openMidi(options.midiPort);
    }
    catch (const RtMidiError& e)
    {
        if (mProblem.empty())
            mProblem = "MIDI input is unavailable: " + e.getMessage();
    }
    return playing;
}

bool DeviceIO::startAudio(const DeviceOptions& options)
{
    unsigned frames = options.buffer;
    try
    {
        mAudio = std::make_unique<RtAudio>();
        if (mAudio->getDeviceCount() == 0)
            throw RtAudioError("no audio output device was found", RtAudioError::NO_DEVICES_FOUND);
        RtAudio::StreamParameters out;
        out.deviceId = options.audioDevice >= 0 ? static_cast<unsigned>(options.audioDevice)
                                                : mAudio->getDefaultOutputDevice();
        out.nChannels = 2;
        RtAudio::StreamOptions flags;
        flags.flags = RTAUDIO_NONINTERLEAVED;
        flags.streamName = "Bleepforge";
        mUnit.Uninitialize();
        mUnit.Configure(mRate, frames);
        mUnit.Initialize();
        mAudio->openStream(&out, nullptr, RTAUDIO_FLOAT32, mRate, &frames, &DeviceIO::onAudio, this,
                           &flags, &onStreamError);
        if (frames > options.buffer)
        {
            // The device chose a larger block than the instance was set up for.
            mAudio->closeStream();
            throw RtAudioError("the device asks for blocks of " + std::to_string(frames) +
                                   " frames; try --buffer " + std::to_string(frames),
                               RtAudioError::INVALID_PARAMETER);
        }
        mRate = mAudio->getStreamSampleRate();
        mAudio->startStream();
        mStreaming = true;
        mBlocksMoved = std::chrono::steady_clock::now();
        return true;
    }
    catch (const RtAudioError& e)
    {
        mAudio.reset();
        mUnit.Uninitialize();
        mUnit.Configure(mRate, options.buffer);
        mUnit.Initialize();
        mProblem = "No sound: " + e.getMessage() + ". Sounds can still be made and exported.";
        return false;
    }
}

// After the JACK server went away, RtAudio closes its stream on a thread of
// its own; closing other JACK clients at the same time can deadlock inside
// libjack, so that close is waited for (a while) before anything else closes.
void DeviceIO::awaitFailedStreamClosing()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (mAudio && gStreamFailed.load(std::memory_order_relaxed) && mAudio->isStreamOpen() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void DeviceIO::Stop()
{
    awaitFailedStreamClosing();
    if (mAudio && mAudio->isStreamOpen())
    {
        if (mAudio->isStreamRunning())
            mAudio->stopStream();
        mAudio->closeStream();
    }
    mAudio.reset();
    mStreaming = false;
    for (auto& port : mMidi)
        port->closePort();
    mMidi.clear();
}

std::string DeviceIO::Problem()
{
    const auto now = std::chrono::steady_clock::now();
    const uint64_t blocks = mBlocks.load(std::memory_order_relaxed);
    if (blocks != mBlocksSeen)
    {
        mBlocksSeen = blocks;
        mBlocksMoved = now;
    }
    if (mStreaming && now - mBlocksMoved > kStallTime)
        gStreamFailed.store(true, std::memory_order_relaxed);
    if (gStreamFailed.load(std::memory_order_relaxed))
        return "The audio device stopped; restart the app to hear sound again.";
    return mProblem;
}

// MIDI comes through JACK when the audio does, else the system's default.
void DeviceIO::openMidi(int port)
{
    const RtMidi::Api api = mAudio && mAudio->getCurrentApi() == RtAudio::UNIX_JACK
                                ? RtMidi::UNIX_JACK
                                : RtMidi::UNSPECIFIED;
    RtMidiIn probe(api, "Bleepforge");
    const unsigned count = probe.getPortCount();
    if (port >= static_cast<int>(count))
        throw RtMidiError("there is no MIDI port " + std::to_string(port),
                          RtMidiError::INVALID_PARAMETER);
    for (unsigned p = 0; p < count; ++p)
    {
        if (port >= 0 && p != static_cast<unsigned>(port))
            continue;
        auto input = std::make_unique<RtMidiIn>(api, "Bleepforge");
        input->setCallback(&DeviceIO::onMidi, this);
        input->openPort(p, "MIDI in");
        mMidi.push_back(std::move(input));
    }
    // Under JACK other programs connect to us: one port of our own, always.
    if (port < 0 && api == RtMidi::UNIX_JACK)
    {
        auto input = std::make_unique<RtMidiIn>(api, "Bleepforge");
        input->setCallback(&DeviceIO::onMidi, this);
        input->openVirtualPort("MIDI in");
        mMidi.push_back(std::move(input));
    }
}

// Device thread: only short channel messages are passed on.
void DeviceIO::onMidi(double, std::vector<unsigned char>* message, void* self)
{
    if (!message || message->empty() || message->size() > 3 || (*message)[0] < 0x80 ||
        (*message)[0] >= 0xF0)
        return;
    const uint8_t data1 = message->size() > 1 ? (*message)[1] : 0;
    const uint8_t data2 = message->size() > 2 ? (*message)[2] : 0;
    static_cast<DeviceIO*>(self)->mRing.Push(PackMidi((*message)[0], data1, data2));
}

// Audio thread: MIDI that arrived since the last block starts it, then one
// block of stereo output. Nothing here blocks or allocates.
int DeviceIO::onAudio(void* out, void*, unsigned frames, double, unsigned, void* self)
{
    auto* io = static_cast<DeviceIO*>(self);
    uint32_t message = 0;
    while (io->mRing.Pop(&message))
        io->mUnit.MIDIEvent(message & 0xFF, (message >> 8) & 0x7F, (message >> 16) & 0x7F, 0);
    auto* left = static_cast<float*>(out);
    if (io->mUnit.RenderStereo(left, left + frames, frames, io->mSampleTime) != noErr)
        std::fill(left, left + 2 * frames, 0.0f);
    io->mSampleTime += frames;
    io->mBlocks.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

std::string DeviceIO::ListDevices()
{
    std::ostringstream text;
    try
    {
        RtAudio audio;
        text << "audio outputs (" << RtAudio::getApiDisplayName(audio.getCurrentApi()) << "):\n";
        for (unsigned d = 0; d < audio.getDeviceCount(); ++d)
        {
            const RtAudio::DeviceInfo info = audio.getDeviceInfo(d);
            if (info.probed && info.outputChannels > 0)
                text << "  " << d << "\t" << info.name << (info.isDefaultOutput ? " (default)" : "")
                     << "\n";
        }
    }
    catch (const RtAudioError& e)
    {
        text << "audio: " << e.getMessage() << "\n";
    }
    try
    {
        RtMidiIn midi;
        text << "MIDI inputs:\n";
        for (unsigned p = 0; p < midi.getPortCount(); ++p)
            text << "  " << p << "\t" << midi.getPortName(p) << "\n";
    }
    catch (const RtMidiError& e)
    {
        text << "MIDI: " << e.getMessage() << "\n";
    }
    return text.str();
}
