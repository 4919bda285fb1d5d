#pragma once

#include "IPluginBase.h"
#include "KIT_PtrList.h"
#include "KIT_String.h"
#include "KIT_TypedBuf.h"

#ifdef __APPLE__
#include <AudioUnit/AudioUnit.h>
#else
#include "AUCompat.h"
#endif

struct IPluginInstanceInfo
{
    KIT_String mBundleID;
    KIT_String mCocoaViewClassName;
};

// The plug-in base connected to an Audio Unit host: parameter-change events,
// transport queries and the bus layout of a music device.
class IPluginAU : public IPluginBase
{
public:
    enum EAUInputType
    {
        eNotConnected = 0,
        eDirectFastProc,
        eDirectNoFastProc,
        eRenderCallback
    };

    struct BusChannels
    {
        bool mConnected;
        int mNHostChannels;
        int mNPlugChannels;
        int mPlugChannelStartIdx;
    };

    struct InputBusConnection
    {
        void* mUpstreamObj = nullptr;
        AudioUnit mUpstreamUnit = nullptr;
        int mUpstreamBusIdx = 0;
        void* mUpstreamRenderProc = nullptr;
        void* mCallbackProc = nullptr;
        EAUInputType mInputType = eNotConnected;
    };

    struct PropertyListener
    {
        AudioUnitPropertyID mPropID;
        AudioUnitPropertyListenerProc mListenerProc;
        void* mProcArgs;
    };

    IPluginAU(IPluginInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
              const char* effectName, const char* productName, const char* mfrName,
              int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
              bool plugDoesChunks, bool plugIsInst, int plugScChans);

    void BeginInformHostOfParamChange(int idx) override;
    void InformHostOfParamChange(int idx, double normalizedValue) override;
    void EndInformHostOfParamChange(int idx) override;
    void InformHostOfProgramChange() override;
    bool IsRenderingOffline() override { return mIsOffline; }
    int GetSamplePos() override;
    double GetTempo() override;
    void GetTimeSig(int* numerator, int* denominator) override;
    void GetTime(ITimeInfo* timeInfo) override;
    EHost GetHost() override;
    void ResizeGraphics(int width, int height) override;
    void HostSpecificInit() override;
    void SetLatency(int samples) override;
    bool SendMidiMsg(IMidiMsg*) override { return false; }
    void SetBlockSize(int blockSize) override;

    void AddPropertyListener(AudioUnitPropertyID propID, AudioUnitPropertyListenerProc proc,
                             void* procArgs);
    void SetHostCallbacks(const HostCallbackInfo& callbacks) { mHostCallbacks = callbacks; }
    void SetComponentInstance(ComponentInstance instance) { mComponentInstance = instance; }
    int NInBuses() const { return mInBuses.GetSize(); }
    int NOutBuses() const { return mOutBuses.GetSize(); }
    const BusChannels* GetInBus(int idx) const { return mInBuses.Get(idx); }
    const BusChannels* GetOutBus(int idx) const { return mOutBuses.Get(idx); }

    void AssessInputConnections();

private:
    void BuildBuses(int plugScChans);
    void SendParamEvent(AudioUnitEventType type, int idx);
    void NotifyPropertyListeners(AudioUnitPropertyID propID);

    KIT_String mBundleID;
    KIT_String mCocoaViewClassName;
    ComponentInstance mComponentInstance = nullptr;
    bool mIsOffline = false;
    double mTempo = 120.0;
    HostCallbackInfo mHostCallbacks = {};
    KIT_TypedBuf<float> mInScratchBuf;
    KIT_TypedBuf<float> mOutScratchBuf;
    KIT_PtrList<BusChannels> mInBuses;
    KIT_PtrList<BusChannels> mOutBuses;
    KIT_PtrList<InputBusConnection> mInBusConnections;
    KIT_PtrList<PropertyListener> mPropertyListeners;
};
