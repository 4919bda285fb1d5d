// The audio side of the Audio Unit adapter: buses, stream formats,
// connections and the render call. Host buffers are checked against the
// frame count and the channels before anything is attached.
#include "IPluginAU.h"

#include <algorithm>

IPluginAU::BusChannels* IPluginAU::GetBus(AudioUnitScope scope, AudioUnitElement element)
{
    const int idx = static_cast<int>(element);
    if (scope == kAudioUnitScope_Input)
        return element < static_cast<UInt32>(NInBuses()) ? mInBuses.Get(idx) : nullptr;
    if (scope == kAudioUnitScope_Output)
        return element < static_cast<UInt32>(NOutBuses()) ? mOutBuses.Get(idx) : nullptr;
    if (scope == kAudioUnitScope_Global && NOutBuses() > 0)
        return element < static_cast<UInt32>(NOutBuses()) ? mOutBuses.Get(idx) : nullptr;
    return nullptr;
}

int IPluginAU::NHostChannelsConnected(const KIT_PtrList<BusChannels>& buses, int excludeIdx)
{
    int total = 0;
    bool known = false;
    for (int i = 0; i < buses.GetSize(); ++i)
    {
        if (i != excludeIdx && buses.Get(i)->mNHostChannels >= 0)
        {
            total += buses.Get(i)->mNHostChannels;
            known = true;
        }
    }
    return known ? total : -1;
}

bool IPluginAU::CheckLegalIO() const
{
    const int nIn = NHostChannelsConnected(mInBuses), nOut = NHostChannelsConnected(mOutBuses);
    if (nIn == 0 && nOut == 0)
        return true;
    return LegalIO(nIn, nOut);
}

bool IPluginAU::CheckLegalIO(AudioUnitScope scope, int element, int nChannels) const
{
    if (scope == kAudioUnitScope_Input)
    {
        const int nIn = std::max(0, NHostChannelsConnected(mInBuses, element)) + nChannels;
        const int nOut = mActive ? NHostChannelsConnected(mOutBuses) : -1;
        return LegalIO(nIn, nOut);
    }
    const int nOut = std::max(0, NHostChannelsConnected(mOutBuses, element)) + nChannels;
    const int nIn = mActive ? NHostChannelsConnected(mInBuses) : -1;
    return LegalIO(nIn, nOut);
}

OSStatus IPluginAU::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                    const AudioStreamBasicDescription* format)
{
    BusChannels* bus = GetBus(scope, element);
    if (!bus)
        return kAudioUnitErr_InvalidProperty;
    bus->mNHostChannels = 0;
    const int nChannels = static_cast<int>(std::min<UInt32>(format->mChannelsPerFrame, 1024));
    const bool accepted = nChannels > 0 && CheckLegalIO(scope, static_cast<int>(element), nChannels) &&
                          format->mFormatID == kAudioFormatLinearPCM &&
                          (format->mFormatFlags & (kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked));
    if (accepted)
    {
        bus->mNHostChannels = nChannels;
        if (format->mSampleRate > 0.0)
            SetSampleRate(format->mSampleRate);
    }
    AssessInputConnections();
    return accepted ? noErr : kAudioUnitErr_InvalidProperty;
}

OSStatus IPluginAU::MakeConnection(const AudioUnitConnection* connection)
{
    const int busIdx = static_cast<int>(connection->destInputNumber);
    if (connection->destInputNumber >= static_cast<UInt32>(NInBuses()))
        return kAudioUnitErr_InvalidProperty;
    InputBusConnection* input = mInBusConnections.Get(busIdx);
    *input = InputBusConnection();
    bool connected = true;
    if (connection->sourceAudioUnit)
    {
        AudioStreamBasicDescription format = {};
        UInt32 size = sizeof format;
        connected = AudioUnitGetProperty(connection->sourceAudioUnit, kAudioUnitProperty_StreamFormat,
                                         kAudioUnitScope_Output, connection->sourceOutputNumber,
                                         &format, &size) == noErr &&
                    SetStreamFormat(kAudioUnitScope_Input, connection->destInputNumber, &format) ==
                        noErr;
        if (connected)
        {
            input->mUpstreamUnit = connection->sourceAudioUnit;
            input->mUpstreamBusIdx = static_cast<int>(connection->sourceOutputNumber);
            AudioUnitRenderProc proc = nullptr;
            UInt32 procSize = sizeof proc;
            if (AudioUnitGetProperty(connection->sourceAudioUnit, kAudioUnitProperty_FastDispatch,
                                     kAudioUnitScope_Global, kAudioUnitRenderSelect, &proc,
                                     &procSize) == noErr)
            {
                input->mUpstreamRenderProc = proc;
                input->mUpstreamObj = GetComponentInstanceStorage(connection->sourceAudioUnit);
            }
        }
    }
    AssessInputConnections();
    return connected ? noErr : kAudioUnitErr_InvalidProperty;
}

OSStatus IPluginAU::SetRenderCallback(AudioUnitElement element,
                                      const AURenderCallbackStruct* callback)
{
    if (element >= static_cast<UInt32>(NInBuses()))
        return kAudioUnitErr_InvalidProperty;
    InputBusConnection* input = mInBusConnections.Get(static_cast<int>(element));
    *input = InputBusConnection();
    if (callback->inputProc)
        input->mUpstreamRenderCallback = *callback;
    AssessInputConnections();
    return noErr;
}

void IPluginAU::ClearConnections()
{
    for (int i = 0; i < NInBuses(); ++i)
    {
        *mInBusConnections.Get(i) = InputBusConnection();
        mInBuses.Get(i)->mConnected = false;
        mInBuses.Get(i)->mNHostChannels = -1;
    }
    for (int i = 0; i < NOutBuses(); ++i)
    {
        mOutBuses.Get(i)->mConnected = false;
        mOutBuses.Get(i)->mNHostChannels = -1;
    }
}

int IPluginAU::GetChannelLayoutTags(AudioUnitScope scope, AudioUnitElement element, UInt32* tags)
{
    const bool inputBus = scope == kAudioUnitScope_Input && NInBuses() > 0;
    const BusChannels* bus = scope == kAudioUnitScope_Output || inputBus ? GetBus(scope, element)
                                                                         : nullptr;
    if (!bus)
        return 0;
    if (tags)
        tags[0] = bus->mNPlugChannels == 1   ? kAudioChannelLayoutTag_Mono
                  : bus->mNPlugChannels == 2 ? kAudioChannelLayoutTag_Stereo
                                             : kAudioChannelLayoutTag_Unknown;
    return 1;
}

OSStatus IPluginAU::RenderProc(void* storage, AudioUnitRenderActionFlags* flags,
                               const AudioTimeStamp* timeStamp, UInt32 outputBusIdx,
                               UInt32 nFrames, AudioBufferList* bufferList)
{
    auto* plug = static_cast<IPluginAU*>(storage);
    if (!plug)
        return kAudioUnitErr_InvalidParameter;
    return plug->Render(flags, timeStamp, outputBusIdx, nFrames, bufferList);
}

// The audio thread's MIDI, beside its render: no lock either.
OSStatus IPluginAU::MIDIEventProc(void* storage, UInt32 status, UInt32 data1, UInt32 data2,
                                  UInt32 offset)
{
    auto* plug = static_cast<IPluginAU*>(storage);
    if (!plug)
        return kAudioUnitErr_InvalidParameter;
    IMidiMsg msg(static_cast<int>(offset), static_cast<uint8_t>(status), static_cast<uint8_t>(data1),
                 static_cast<uint8_t>(data2));
    plug->ProcessMidiMsg(&msg);
    return noErr;
}

void IPluginAU::NotifyRender(AudioUnitRenderActionFlags flag, const AudioTimeStamp* timeStamp,
                             UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* bufferList)
{
    for (const AURenderCallbackStruct& notify : mRenderNotify)
    {
        AudioUnitRenderActionFlags flags = flag;
        notify.inputProc(notify.inputProcRefCon, &flags, timeStamp, outputBusIdx, nFrames,
                         bufferList);
    }
}

// Input is pulled once per sample time, whichever output bus asks first.
OSStatus IPluginAU::PullInput(const AudioTimeStamp* timeStamp, UInt32 nFrames)
{
    if (timeStamp->mSampleTime == mLastRenderSampleTime)
        return noErr;
    for (int b = 0; b < NInBuses(); ++b)
    {
        BusChannels* bus = mInBuses.Get(b);
        InputBusConnection* input = mInBusConnections.Get(b);
        if (!bus->mConnected)
            continue;
        const int nChannels = std::max(0, std::min(bus->mNHostChannels, bus->mNPlugChannels));
        std::vector<char> listMemory(sizeof(AudioBufferList) + sizeof(AudioBuffer) * nChannels);
        auto* list = reinterpret_cast<AudioBufferList*>(listMemory.data());
        list->mNumberBuffers = static_cast<UInt32>(nChannels);
        for (int c = 0; c < nChannels; ++c)
            list->mBuffers[c] = {1, static_cast<UInt32>(nFrames * sizeof(float)), nullptr};
        AudioUnitRenderActionFlags flags = 0;
        OSStatus result = noErr;
        switch (input->mInputType)
        {
        case eDirectFastProc:
            result = input->mUpstreamRenderProc(input->mUpstreamObj, &flags, timeStamp,
                                                static_cast<UInt32>(input->mUpstreamBusIdx), nFrames,
                                                list);
            break;
        case eDirectNoFastProc:
            result = AudioUnitRender(input->mUpstreamUnit, &flags, timeStamp,
                                     static_cast<UInt32>(input->mUpstreamBusIdx), nFrames, list);
            break;
        default:
            for (int c = 0; c < nChannels; ++c)
                list->mBuffers[c].mData =
                    mInScratchBuf.Get() + (bus->mPlugChannelStartIdx + c) * GetBlockSize();
            result = input->mUpstreamRenderCallback.inputProc(
                input->mUpstreamRenderCallback.inputProcRefCon, &flags, timeStamp,
                static_cast<UInt32>(b), nFrames, list);
            break;
        }
        if (result != noErr)
            return result;
        const int returned = std::min(nChannels, static_cast<int>(list->mNumberBuffers));
        for (int c = 0; c < returned; ++c)
        {
            float* data = static_cast<float*>(list->mBuffers[c].mData);
            if (!data || list->mBuffers[c].mDataByteSize < nFrames * sizeof(float))
                return kAudioUnitErr_InvalidPropertyValue; // upstream gave too little
            AttachInputBuffers(bus->mPlugChannelStartIdx + c, 1, &data, static_cast<int>(nFrames));
        }
    }
    mLastRenderSampleTime = timeStamp->mSampleTime;
    return noErr;
}

OSStatus IPluginAU::Render(AudioUnitRenderActionFlags*, const AudioTimeStamp* timeStamp,
                           UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* bufferList)
{
    if (!timeStamp || !(timeStamp->mFlags & kAudioTimeStampSampleTimeValid) || !bufferList ||
        outputBusIdx >= static_cast<UInt32>(NOutBuses()) ||
        nFrames > static_cast<UInt32>(GetBlockSize()))
        return kAudioUnitErr_InvalidPropertyValue;
    BusChannels* bus = mOutBuses.Get(static_cast<int>(outputBusIdx));
    const int nBuffers = static_cast<int>(bufferList->mNumberBuffers);
    // A list with more buffers than the bus has channels, or buffers too short
    // for the frames, would be written out of bounds.
    if (nBuffers > bus->mNPlugChannels)
        return kAudioUnitErr_InvalidPropertyValue;
    for (int c = 0; c < nBuffers; ++c)
    {
        const AudioBuffer& buffer = bufferList->mBuffers[c];
        if (buffer.mData && buffer.mDataByteSize < nFrames * sizeof(float))
            return kAudioUnitErr_InvalidPropertyValue;
    }

    NotifyRender(kAudioUnitRenderAction_PreRender, timeStamp, outputBusIdx, nFrames, bufferList);
    const OSStatus pulled = PullInput(timeStamp, nFrames);
    if (pulled != noErr)
        return pulled;

    if (!bus->mConnected || bus->mNHostChannels != nBuffers)
    {
        const int nConnected = bus->mNHostChannels < 0 ? nBuffers : std::min(bus->mNHostChannels, nBuffers);
        const int nUnconnected = std::max(0, bus->mNPlugChannels - nConnected);
        SetOutputChannelConnections(bus->mPlugChannelStartIdx, nConnected, true);
        SetOutputChannelConnections(bus->mPlugChannelStartIdx + nConnected, nUnconnected, false);
        bus->mConnected = true;
    }
    for (int c = 0; c < nBuffers; ++c)
    {
        AudioBuffer& buffer = bufferList->mBuffers[c];
        const int channel = bus->mPlugChannelStartIdx + c;
        if (!buffer.mData)
        {
            buffer.mData = mOutScratchBuf.Get() + channel * GetBlockSize();
            buffer.mDataByteSize = nFrames * sizeof(float);
        }
        float* data = static_cast<float*>(buffer.mData);
        AttachOutputBuffers(channel, 1, &data);
    }

    int lastConnected = -1;
    while (lastConnected + 1 < NOutBuses() && mOutBuses.Get(lastConnected + 1)->mConnected)
        ++lastConnected;
    if (lastConnected == static_cast<int>(outputBusIdx))
    {
        const int after = 2 * (static_cast<int>(outputBusIdx) + 1);
        if (lastConnected + 1 < NOutBuses())
            SetOutputChannelConnections(after, std::max(0, 2 * NOutBuses() - after), false);
        if (IsBypassed())
            PassThroughBuffers(0.0f, static_cast<int>(nFrames));
        else
            ProcessBuffers(0.0f, static_cast<int>(nFrames));
    }
    NotifyRender(kAudioUnitRenderAction_PostRender, timeStamp, outputBusIdx, nFrames, bufferList);
    return noErr;
}
