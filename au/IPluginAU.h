#pragma once

#include "IPluginBase.h"
#include "KIT_PtrList.h"
#include "KIT_String.h"
#include "KIT_TypedBuf.h"

#include <atomic>
#include <string>
#include <vector>

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
        AudioUnitRenderProc mUpstreamRenderProc = nullptr;
        AURenderCallbackStruct mUpstreamRenderCallback = {};
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
    void ClearConnections();

    // The component entry the bundle exports, and the fast-dispatch procedures.
    // Hosts may ask for larger slices than the default, but not without bound:
    // every channel keeps a scratch buffer this long.
    static const UInt32 kMaxFramesPerSlice = 65536;

    static OSStatus IPluginAUEntry(ComponentParameters* params, void* storage);
    static OSStatus IPluginAUCarbonViewEntry(ComponentParameters* params, void* storage);
    static OSStatus GetProc(SInt16 selector, UInt32* dataSize, void* proc);
    static OSStatus GetParamProc(void* storage, AudioUnitParameterID paramID, AudioUnitScope scope,
                                 AudioUnitElement element, AudioUnitParameterValue* value);
    static OSStatus SetParamProc(void* storage, AudioUnitParameterID paramID, AudioUnitScope scope,
                                 AudioUnitElement element, AudioUnitParameterValue value,
                                 UInt32 bufferOffset);
    static OSStatus RenderProc(void* storage, AudioUnitRenderActionFlags* flags,
                               const AudioTimeStamp* timeStamp, UInt32 outputBusIdx,
                               UInt32 nFrames, AudioBufferList* bufferList);
    static OSStatus MIDIEventProc(void* storage, UInt32 status, UInt32 data1, UInt32 data2,
                                  UInt32 offset);

    // Once a host has taken the render or MIDI procedure, its audio thread may
    // call them holding no lock while its other threads change parameters:
    // OnParamChange then hands the engine's changes to the audio thread.
    bool AudioThreadTakesNoLock() const { return mAudioThreadTakesNoLock.load(std::memory_order_acquire); }

    // Property requests; data null asks only for the size and writability.
    OSStatus GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                         AudioUnitElement element, UInt32* dataSize, Boolean* writable,
                         void* data);
    OSStatus SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                         AudioUnitElement element, UInt32 dataSize, const void* data);
    OSStatus GetState(CFDictionaryRef* dictionary);
    OSStatus SetState(CFDictionaryRef dictionary);
    bool IsActive() const { return mActive; }

    // Properties from 64000 on are the plug-in's own; the default knows none.
    static const AudioUnitPropertyID kFirstCustomProperty = 64000;
    virtual OSStatus GetCustomProperty(AudioUnitPropertyID, UInt32*, void*)
    {
        return kAudioUnitErr_InvalidProperty;
    }
    virtual OSStatus SetCustomProperty(AudioUnitPropertyID, UInt32, const void*)
    {
        return kAudioUnitErr_InvalidProperty;
    }
    int NRenderNotify() const { return static_cast<int>(mRenderNotify.size()); }
    int NPropertyListeners() const { return mPropertyListeners.GetSize(); }

private:
    OSStatus Dispatch(SInt16 what, const long* args, int nArgs);
    OSStatus GetPropertySized(AudioUnitPropertyID propID, AudioUnitScope scope,
                              AudioUnitElement element, UInt32* dataSize, Boolean* writable,
                              void* data);
    OSStatus GetParameterInfo(AudioUnitElement element, AudioUnitParameterInfo* info);
    OSStatus GetParameterText(AudioUnitPropertyID propID, void* data);
    OSStatus SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                             const AudioStreamBasicDescription* format);
    OSStatus MakeConnection(const AudioUnitConnection* connection);
    OSStatus SetRenderCallback(AudioUnitElement element, const AURenderCallbackStruct* callback);
    BusChannels* GetBus(AudioUnitScope scope, AudioUnitElement element);
    static int NHostChannelsConnected(const KIT_PtrList<BusChannels>& buses, int excludeIdx = -1);
    bool CheckLegalIO() const;
    bool CheckLegalIO(AudioUnitScope scope, int element, int nChannels) const;
    int GetChannelLayoutTags(AudioUnitScope scope, AudioUnitElement element, UInt32* tags);
    OSStatus PullInput(const AudioTimeStamp* timeStamp, UInt32 nFrames);
    OSStatus Render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp,
                    UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* bufferList);
    void NotifyRender(AudioUnitRenderActionFlags flag, const AudioTimeStamp* timeStamp,
                      UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* bufferList);
    void RemovePropertyListeners(AudioUnitPropertyID propID, AudioUnitPropertyListenerProc proc,
                                 bool matchArgs, void* procArgs);
    int ClumpOf(const char* group);
    void BuildBuses(int plugScChans);
    void SendParamEvent(AudioUnitEventType type, int idx);
    void NotifyPropertyListeners(AudioUnitPropertyID propID);

    KIT_String mBundleID;
    KIT_String mCocoaViewClassName;
    char mParamDisplayText[IParam::kDisplaySize] = {};
    ComponentInstance mComponentInstance = nullptr;
    bool mActive = false;
    bool mIsOffline = false;
    double mLastRenderSampleTime = -1.0;
    std::vector<AURenderCallbackStruct> mRenderNotify;
    std::atomic<bool> mAudioThreadTakesNoLock{false}; // set on the host's main thread, never cleared
    std::vector<std::string> mParamGroups;
    double mTempo = 120.0;
    HostCallbackInfo mHostCallbacks = {};
    KIT_TypedBuf<float> mInScratchBuf;
    KIT_TypedBuf<float> mOutScratchBuf;
    KIT_PtrList<BusChannels> mInBuses;
    KIT_PtrList<BusChannels> mOutBuses;
    KIT_PtrList<InputBusConnection> mInBusConnections;
    KIT_PtrList<PropertyListener> mPropertyListeners;
};
