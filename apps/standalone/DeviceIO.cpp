#include "DeviceIO.h"

#include <rtaudio/RtAudio.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
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

DeviceIO::DeviceIO(AUInstance& unit) : mUnit(unit), mLive(unit) {}

DeviceIO::~DeviceIO()
{
    Stop();
}

bool DeviceIO::Start(const DeviceOptions& options)
{
    mJack = JackIO::Open("Bleepforge", options.verbose);
    if (mJack)
        return startJack(options);
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

namespace
{

// The rate to ask for: the one given, else the device's own (a JACK server
// runs at one rate only).
unsigned rateToAsk(RtAudio& audio, unsigned device, unsigned given)
{
    if (given > 0)
        return given;
    const RtAudio::DeviceInfo info = audio.getDeviceInfo(device);
    return info.preferredSampleRate > 0 ? info.preferredSampleRate : kFallbackRate;
}

} // namespace

// The server decides the rate and the block; the instance is ready before
// the callback starts.
bool DeviceIO::startJack(const DeviceOptions& options)
{
    mRate = mJack->Rate();
    if (options.rate > 0 && options.rate != mRate)
    {
        mJack.reset();
        return noSound(options, "the JACK server runs at " + std::to_string(mRate) +
                                    " Hz, not at " + std::to_string(options.rate) +
                                    " Hz; start without --rate to play at the server's rate");
    }
    configureUnit(std::max(mJack->BlockFrames(), options.buffer));
    const std::string failure = mJack->Start(mLive, options.audioDevice);
    if (!failure.empty())
    {
        mJack.reset();
        return noSound(options, failure);
    }
    mStreaming = true;
    mBlocksMoved = std::chrono::steady_clock::now();
    const std::string midiFailure = mJack->ConnectMidi(options.midiPort);
    if (!midiFailure.empty() && mProblem.empty())
        mProblem = "MIDI input is unavailable: " + midiFailure;
    return true;
}

// The instance is set up after the stream opens, for the rate and block the
// device settled on.
bool DeviceIO::startAudio(const DeviceOptions& options)
{
    unsigned frames = options.buffer;
    try
    {
        mAudio = std::make_unique<RtAudio>();
        mAudio->showWarnings(options.verbose);
        if (mAudio->getDeviceCount() == 0)
            throw RtAudioError("no audio output device was found", RtAudioError::NO_DEVICES_FOUND);
        RtAudio::StreamParameters out;
        out.deviceId = options.audioDevice >= 0 ? static_cast<unsigned>(options.audioDevice)
                                                : mAudio->getDefaultOutputDevice();
        out.nChannels = 2;
        RtAudio::StreamOptions flags;
        flags.flags = RTAUDIO_NONINTERLEAVED;
        flags.streamName = "Bleepforge";
        mRate = rateToAsk(*mAudio, out.deviceId, options.rate);
        mAudio->openStream(&out, nullptr, RTAUDIO_FLOAT32, mRate, &frames, &DeviceIO::onAudio, this,
                           &flags, &onStreamError);
        mRate = mAudio->getStreamSampleRate();
        configureUnit(std::max(frames, options.buffer));
        mAudio->startStream();
        mStreaming = true;
        mBlocksMoved = std::chrono::steady_clock::now();
        return true;
    }
    catch (const RtAudioError& e)
    {
        mAudio.reset();
        return noSound(options, e.getMessage());
    }
}

bool DeviceIO::noSound(const DeviceOptions& options, const std::string& why)
{
    mRate = options.rate > 0 ? options.rate : kFallbackRate;
    configureUnit(options.buffer);
    mProblem = "No sound: " + why + ". Sounds can still be made and exported.";
    return false;
}

void DeviceIO::configureUnit(unsigned maxFrames)
{
    mUnit.Uninitialize();
    mUnit.Configure(mRate, maxFrames);
    mUnit.Initialize();
    if (mLive.Prepare(maxFrames) != noErr && mProblem.empty())
        mProblem = "No sound: the instrument cannot render for a live audio device.";
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
    mJack.reset();
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
    const uint64_t blocks = mLive.Blocks();
    if (blocks != mBlocksSeen)
    {
        mBlocksSeen = blocks;
        mBlocksMoved = now;
    }
    if (mStreaming && now - mBlocksMoved > kStallTime)
        gStreamFailed.store(true, std::memory_order_relaxed);
    if (gStreamFailed.load(std::memory_order_relaxed) || (mJack && mJack->ServerGone()))
        return "The audio device stopped; restart the app to hear sound again.";
    return mProblem;
}

// Without JACK: the system's default, the ALSA sequencer.
void DeviceIO::openMidi(int port)
{
    RtMidiIn probe(RtMidi::UNSPECIFIED, "Bleepforge");
    const unsigned count = probe.getPortCount();
    if (port >= static_cast<int>(count))
        throw RtMidiError("there is no MIDI port " + std::to_string(port),
                          RtMidiError::INVALID_PARAMETER);
    for (unsigned p = 0; p < count; ++p)
    {
        if (port >= 0 && p != static_cast<unsigned>(port))
            continue;
        auto input = std::make_unique<RtMidiIn>(RtMidi::UNSPECIFIED, "Bleepforge");
        input->setCallback(&DeviceIO::onMidi, this);
        input->openPort(p, "MIDI in");
        mMidi.push_back(std::move(input));
    }
}

// Device thread: only short channel messages are passed on.
void DeviceIO::onMidi(double, std::vector<unsigned char>* message, void* self)
{
    uint32_t packed = 0;
    if (message && PackChannelMessage(message->data(), message->size(), &packed))
        static_cast<DeviceIO*>(self)->mLive.PushMidi(packed);
}

// Without a running stream nothing would take them.
void DeviceIO::Play(std::shared_ptr<const Clip> clip)
{
    if (mStreaming)
        mLive.Play(std::move(clip));
}

void DeviceIO::TakeBackPlayed()
{
    mLive.TakeBackPlayed();
}

void DeviceIO::StopAudition()
{
    if (mStreaming)
        mLive.StopAudition();
}

void DeviceIO::PlayNote(int note, bool on)
{
    if (mStreaming)
        mLive.PlayNote(note, on);
}

void DeviceIO::SetListeningGain(double gain)
{
    mLive.SetListeningGain(gain);
}

long DeviceIO::TakeClipped()
{
    return mLive.TakeClipped();
}

// Audio thread. Nothing here allocates or takes a lock: the window's thread
// may hold the instrument's mutex meanwhile.
int DeviceIO::onAudio(void* out, void*, unsigned frames, double, unsigned, void* self)
{
    float* samples = static_cast<float*>(out);
    static_cast<DeviceIO*>(self)->mLive.Render(samples, samples + frames, frames);
    return 0;
}

// Listed from where Start takes them: JACK's ports while a JACK server runs.
std::string DeviceIO::ListDevices()
{
    const std::string jack = JackIO::ListDevices();
    if (!jack.empty())
        return jack;
    std::ostringstream text;
    try
    {
        RtAudio audio;
        text << "audio outputs (" << RtAudio::getApiDisplayName(audio.getCurrentApi()) << "):\n";
        unsigned listed = 0;
        for (unsigned d = 0; d < audio.getDeviceCount(); ++d)
        {
            const RtAudio::DeviceInfo info = audio.getDeviceInfo(d);
            if (!info.probed || info.outputChannels == 0)
                continue;
            text << "  " << d << "\t" << info.name << (info.isDefaultOutput ? " (default)" : "")
                 << "\n";
            ++listed;
        }
        if (listed == 0)
            text << "  none: no sound card or sound server was found; sounds can still be made "
                    "and exported\n";
    }
    catch (const RtAudioError& e)
    {
        text << "audio outputs: none (" << e.getMessage() << ")\n";
    }
    try
    {
        RtMidiIn midi(RtMidi::UNSPECIFIED, "Bleepforge");
        text << "MIDI inputs (" << RtMidi::getApiDisplayName(midi.getCurrentApi()) << "):\n";
        for (unsigned p = 0; p < midi.getPortCount(); ++p)
            text << "  " << p << "\t" << midi.getPortName(p) << "\n";
        if (midi.getPortCount() == 0)
            text << "  none: no MIDI device is connected\n";
    }
    catch (const RtMidiError& e)
    {
        text << "MIDI inputs: none, because this system has no MIDI system running (the ALSA "
                "sequencer or a JACK server); the computer keyboard and the on-screen keys "
                "still play. The MIDI library said: "
             << e.getMessage() << "\n";
    }
    return text.str();
}
