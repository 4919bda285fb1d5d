#include "DeviceIO.h"
#include "Listening.h"

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

// Messages of the window's own, beside MIDI: status bytes no MIDI message has.
const uint32_t kAuditionStart = 0x01;
const uint32_t kAuditionStop = 0x02;
const uint8_t kAuditionNote = 60;
const uint8_t kAuditionVelocity = 127;

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

// The instance is set up after the stream opens, for the rate and block the
// device settled on: a JACK server decides both.
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
        mRate = options.rate > 0 ? options.rate : kFallbackRate;
        configureUnit(options.buffer);
        mProblem = "No sound: " + e.getMessage() + ". Sounds can still be made and exported.";
        return false;
    }
}

void DeviceIO::configureUnit(unsigned maxFrames)
{
    mUnit.Uninitialize();
    mUnit.Configure(mRate, maxFrames);
    mUnit.Initialize();
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

void DeviceIO::sendFromWindow(uint32_t message)
{
    if (mStreaming)
        mWindowRing.Push(message);
}

void DeviceIO::Audition(double holdSeconds)
{
    mAuditionHold.store(holdSeconds, std::memory_order_relaxed);
    sendFromWindow(kAuditionStart); // the ring's release publishes the hold with it
}

void DeviceIO::StopAudition()
{
    sendFromWindow(kAuditionStop);
}

void DeviceIO::PlayNote(int note, bool on)
{
    if (note >= 0 && note <= 127)
        sendFromWindow(PackMidi(on ? 0x90 : 0x80, static_cast<uint8_t>(note), on ? 100 : 0));
}

void DeviceIO::SetListeningGain(double gain)
{
    mListeningGain.store(static_cast<float>(gain), std::memory_order_relaxed);
}

long DeviceIO::TakeClipped()
{
    return mClipped.exchange(0, std::memory_order_relaxed);
}

// Audio thread.
void DeviceIO::takeWindowMessage(uint32_t message)
{
    const uint32_t status = message & 0xFF;
    if (status != kAuditionStart && status != kAuditionStop)
    {
        mUnit.MIDIEvent(status, (message >> 8) & 0x7F, (message >> 16) & 0x7F, 0);
        return;
    }
    if (mAuditionLeft >= 0)
        mUnit.MIDIEvent(0x80, kAuditionNote, 0, 0);
    mAuditionLeft = -1;
    if (status == kAuditionStop)
        return;
    mUnit.MIDIEvent(0x90, kAuditionNote, kAuditionVelocity, 0);
    mAuditionLeft = static_cast<long>(mAuditionHold.load(std::memory_order_relaxed) * mRate);
}

// Audio thread: the audition's release at its frame.
void DeviceIO::endAuditionWithin(unsigned frames)
{
    if (mAuditionLeft < 0)
        return;
    if (mAuditionLeft >= static_cast<long>(frames))
    {
        mAuditionLeft -= frames;
        return;
    }
    mUnit.MIDIEvent(0x80, kAuditionNote, 0, static_cast<UInt32>(mAuditionLeft));
    mAuditionLeft = -1;
}

// Audio thread: MIDI that arrived since the last block starts it, then one
// block of stereo output. Nothing here allocates; the render goes through the
// component entry, which holds the plug-in's mutex for the block, and so waits
// while the GUI thread holds it to read the state.
int DeviceIO::onAudio(void* out, void*, unsigned frames, double, unsigned, void* self)
{
    auto* io = static_cast<DeviceIO*>(self);
    uint32_t message = 0;
    while (io->mRing.Pop(&message))
        io->mUnit.MIDIEvent(message & 0xFF, (message >> 8) & 0x7F, (message >> 16) & 0x7F, 0);
    while (io->mWindowRing.Pop(&message))
        io->takeWindowMessage(message);
    io->endAuditionWithin(frames);
    auto* left = static_cast<float*>(out);
    if (io->mUnit.RenderStereo(left, left + frames, frames, io->mSampleTime) != noErr)
        std::fill(left, left + 2 * frames, 0.0f);
    io->mClipped.fetch_add(ApplyListeningGain(left, 2 * frames, io->mListeningGain.load(std::memory_order_relaxed)),
                           std::memory_order_relaxed);
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
        RtMidiIn midi;
        text << "MIDI inputs:\n";
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
