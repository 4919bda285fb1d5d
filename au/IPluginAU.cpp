#include "IPluginAU.h"

#include "IGraphicsContext.h"

#include <algorithm>
#include <cstdio>

IPluginAU::IPluginAU(IPluginInstanceInfo instanceInfo, int nParams, const char* channelIOStr,
                     int nPresets, const char* effectName, const char* productName,
                     const char* mfrName, int vendorVersion, int uniqueID, int mfrID, int latency,
                     bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst, int plugScChans)
    : IPluginBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion,
                  uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIAU),
      mBundleID(instanceInfo.mBundleID), mCocoaViewClassName(instanceInfo.mCocoaViewClassName)
{
    BuildBuses(plugScChans);
    AssessInputConnections();
    SetBlockSize(1024);
}

void IPluginAU::BuildBuses(int plugScChans)
{
    const int nIn = NInChannels();
    const int nOut = NOutChannels();
    if (plugScChans > 0 && nIn > 0)
    {
        const int mainChannels = nIn - plugScChans;
        mInBuses.Add(new BusChannels{false, -1, mainChannels, 0});
        mInBuses.Add(new BusChannels{false, -1, plugScChans, mainChannels});
        SetInputBusLabel(0, "main input");
        SetInputBusLabel(1, "aux input");
    }
    else if (nIn > 0)
    {
        mInBuses.Add(new BusChannels{false, -1, nIn, 0});
        SetInputBusLabel(0, "input");
        SetInputBusLabel(1, "aux input");
    }
    for (int i = 0; i < mInBuses.GetSize(); ++i)
        mInBusConnections.Add(new InputBusConnection);

    if (IsInst())
    {
        for (int i = 0; 2 * i < nOut; ++i)
        {
            mOutBuses.Add(new BusChannels{false, -1, std::min(2, nOut - 2 * i), 2 * i});
            char label[32];
            std::snprintf(label, sizeof label, "output %i", i + 1);
            SetOutputBusLabel(i, label);
        }
    }
    else
    {
        mOutBuses.Add(new BusChannels{false, -1, nOut, 0});
        SetOutputBusLabel(0, "output");
    }
}

void IPluginAU::AssessInputConnections()
{
    IMutexLock lock(this);
    SetInputChannelConnections(0, NInChannels(), false);
    for (int i = 0; i < mInBuses.GetSize(); ++i)
    {
        BusChannels* bus = mInBuses.Get(i);
        InputBusConnection* connection = mInBusConnections.Get(i);
        if (connection->mUpstreamRenderProc && connection->mUpstreamObj)
            connection->mInputType = eDirectFastProc;
        else if (connection->mUpstreamUnit)
            connection->mInputType = eDirectNoFastProc;
        else if (connection->mUpstreamRenderCallback.inputProc)
            connection->mInputType = eRenderCallback;
        else
            connection->mInputType = eNotConnected;
        bus->mConnected = connection->mInputType != eNotConnected;
        if (!bus->mConnected)
            continue;
        if (bus->mNHostChannels < 0)
            bus->mNHostChannels = bus->mNPlugChannels;
        const int nConnected = std::min(bus->mNHostChannels, bus->mNPlugChannels);
        SetInputChannelConnections(bus->mPlugChannelStartIdx, nConnected, true);
        SetInputChannelConnections(bus->mPlugChannelStartIdx + nConnected,
                                   bus->mNPlugChannels - nConnected, false);
    }
}

void IPluginAU::SendParamEvent(AudioUnitEventType type, int idx)
{
    AudioUnitEvent event = {};
    event.mEventType = type;
    event.mArgument.mParameter.mAudioUnit = mComponentInstance;
    event.mArgument.mParameter.mParameterID = static_cast<AudioUnitParameterID>(idx);
    event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
    event.mArgument.mParameter.mElement = 0;
    AUEventListenerNotify(nullptr, nullptr, &event);
}

void IPluginAU::BeginInformHostOfParamChange(int idx)
{
    SendParamEvent(kAudioUnitEvent_BeginParameterChangeGesture, idx);
}

// The host reads the new value back through the get-parameter call.
void IPluginAU::InformHostOfParamChange(int idx, double)
{
    SendParamEvent(kAudioUnitEvent_ParameterValueChange, idx);
}

void IPluginAU::EndInformHostOfParamChange(int idx)
{
    SendParamEvent(kAudioUnitEvent_EndParameterChangeGesture, idx);
}

void IPluginAU::AddPropertyListener(AudioUnitPropertyID propID, AudioUnitPropertyListenerProc proc,
                                    void* procArgs)
{
    for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
    {
        const PropertyListener* listener = mPropertyListeners.Get(i);
        if (listener->mPropID == propID && listener->mListenerProc == proc)
            return;
    }
    mPropertyListeners.Add(new PropertyListener{propID, proc, procArgs});
}

void IPluginAU::NotifyPropertyListeners(AudioUnitPropertyID propID)
{
    for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
    {
        const PropertyListener* listener = mPropertyListeners.Get(i);
        if (listener->mPropID == propID)
            listener->mListenerProc(listener->mProcArgs, mComponentInstance, propID,
                                    kAudioUnitScope_Global, 0);
    }
}

void IPluginAU::InformHostOfProgramChange()
{
    NotifyPropertyListeners(kAudioUnitProperty_PresentPreset);
}

int IPluginAU::GetSamplePos()
{
    if (!mHostCallbacks.transportStateProc)
        return 0;
    Boolean playing = 0, changed = 0, cycling = 0;
    double sample = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
    mHostCallbacks.transportStateProc(mHostCallbacks.hostUserData, &playing, &changed, &sample,
                                      &cycling, &cycleStart, &cycleEnd);
    return TruncateToInt(sample + 0.5);
}

double IPluginAU::GetTempo()
{
    if (mHostCallbacks.beatAndTempoProc)
    {
        double beat = 0.0, tempo = 0.0;
        mHostCallbacks.beatAndTempoProc(mHostCallbacks.hostUserData, &beat, &tempo);
        if (tempo > 0.0)
            mTempo = tempo;
    }
    return mTempo;
}

void IPluginAU::GetTimeSig(int* numerator, int* denominator)
{
    if (!mHostCallbacks.musicalTimeLocationProc)
        return;
    UInt32 deltaToNextBeat = 0, denom = 0;
    float num = 0.0f;
    double downBeat = 0.0;
    mHostCallbacks.musicalTimeLocationProc(mHostCallbacks.hostUserData, &deltaToNextBeat, &num,
                                           &denom, &downBeat);
    *numerator = TruncateToInt(num);
    *denominator = static_cast<int>(denom);
}

void IPluginAU::GetTime(ITimeInfo* timeInfo)
{
    auto setIfPositive = [](double& field, double value)
    {
        if (value > 0.0)
            field = value;
    };
    if (mHostCallbacks.beatAndTempoProc)
    {
        double beat = 0.0, tempo = 0.0;
        mHostCallbacks.beatAndTempoProc(mHostCallbacks.hostUserData, &beat, &tempo);
        setIfPositive(timeInfo->mTempo, tempo);
        setIfPositive(timeInfo->mPPQPos, beat);
    }
    if (mHostCallbacks.transportStateProc)
    {
        Boolean playing = 0, changed = 0, cycling = 0;
        double sample = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
        mHostCallbacks.transportStateProc(mHostCallbacks.hostUserData, &playing, &changed, &sample,
                                          &cycling, &cycleStart, &cycleEnd);
        setIfPositive(timeInfo->mSamplePos, sample);
        setIfPositive(timeInfo->mCycleStart, cycleStart);
        setIfPositive(timeInfo->mCycleEnd, cycleEnd);
        timeInfo->mTransportIsRunning = playing;
        timeInfo->mTransportLoopEnabled = cycling;
    }
    if (mHostCallbacks.musicalTimeLocationProc)
    {
        UInt32 deltaToNextBeat = 0, denom = 0;
        float num = 0.0f;
        double downBeat = 0.0;
        mHostCallbacks.musicalTimeLocationProc(mHostCallbacks.hostUserData, &deltaToNextBeat, &num,
                                               &denom, &downBeat);
        timeInfo->mNumerator = TruncateToInt(num);
        timeInfo->mDenominator = static_cast<int>(denom);
        setIfPositive(timeInfo->mLastBar, downBeat);
    }
}

EHost IPluginAU::GetHost()
{
    if (IPluginBase::GetHost() == static_cast<EHost>(-1))
    {
        char identifier[256];
        CFStringRef bundleID = CFBundleGetIdentifier(CFBundleGetMainBundle());
        if (bundleID &&
            CFStringGetCString(bundleID, identifier, sizeof identifier, kCFStringEncodingUTF8))
            SetHost(identifier, 0);
        if (IPluginBase::GetHost() == static_cast<EHost>(-1))
            SetHost("", 0);
    }
    return IPluginBase::GetHost();
}

void IPluginAU::ResizeGraphics(int, int)
{
    if (GetGUI())
        OnWindowResize();
}

void IPluginAU::HostSpecificInit()
{
    GetHost();
    OnHostIdentified();
}

void IPluginAU::SetLatency(int samples)
{
    NotifyPropertyListeners(kAudioUnitProperty_Latency);
    IPluginBase::SetLatency(samples);
}

void IPluginAU::SetBlockSize(int blockSize)
{
    const int size = std::max(blockSize, 0);
    std::fill_n(mInScratchBuf.Resize(NInChannels() * size), NInChannels() * size, 0.0f);
    std::fill_n(mOutScratchBuf.Resize(NOutChannels() * size), NOutChannels() * size, 0.0f);
    IPluginBase::SetBlockSize(blockSize);
}
