#pragma once

#include "Containers.h"
#include "Hosts.h"
#include "IParam.h"
#include "IPluginStructs.h"
#include "KIT_Mutex.h"
#include "KIT_PtrList.h"
#include "KIT_String.h"
#include "KIT_TypedBuf.h"

#include <atomic>
#include <memory>
#include <vector>

class IGraphicsContext;
struct ProgramFileOwner;
struct ProgramValues;

enum EAPI
{
    kAPIVST2 = 0,
    kAPIVST3 = 1,
    kAPIAU = 2,
    kAPIRTAS = 3,
    kAPIAAX = 4,
    kAPISA = 5
};

// Version numbers are 0xVVVVRRMM: major, minor and revision.
void GetVersionParts(int version, int* major, int* minor, int* revision);
int GetDecimalVersion(int version);
void GetVersionStr(int version, char* text);

// The host-independent core of a plug-in: identity, parameters, presets, channel
// configurations and buffers, sample rate and block size, the attached editor
// and one recursive mutex. Host adapters supply the abstract operations.
//
// Threads. The audio thread runs the process and attach calls and
// ProcessMidiMsg; the host's main thread runs everything else: parameters,
// presets, state and files, Reset, sample rate and block size. The adapter's
// component entry holds the mutex around each host request, its render and
// MIDI included, and the state, preset and parameter paths take it again (it
// is recursive), so the main thread's changes never interleave with a block
// rendered through the entry. The adapter's fast-dispatch render and MIDI
// procedures take no lock: a host's audio thread that calls them never waits
// for the main or GUI thread, and the plug-in hands parameter changes made
// meanwhile to its audio thread (the instrument's OnParamChange). Channel
// records and scratch buffers are touched only by the render or under the
// mutex while none runs. The GUI thread reaches the base only through
// SetParameterFromGUI and SetParameterAsUserInput, which take the mutex too.
// Values the plug-in publishes to other threads while audio runs are atomics
// of the plug-in itself; so is each parameter's shown value (mShown).
class IPluginBase
{
public:
    static const int kNameSize = 128;

    struct ChannelIO
    {
        int mIn, mOut;
    };

    struct InChannel
    {
        bool mConnected = false;
        double** mSrc = nullptr; // this channel's slot in mInData
        KIT_TypedBuf<double> mScratchBuf;
        KIT_String mLabel;
    };

    struct OutChannel
    {
        bool mConnected = false;
        double** mDest = nullptr; // this channel's slot in mOutData
        float* mFDest = nullptr;  // a single-precision host's buffer for this block
        KIT_TypedBuf<double> mScratchBuf;
        KIT_String mLabel;
    };

    // Holds a plug-in's mutex for a scope.
    class IMutexLock
    {
    public:
        explicit IMutexLock(IPluginBase* plug) : mMutex(&plug->mMutex) { mMutex->Enter(); }
        ~IMutexLock() { mMutex->Leave(); }
        IMutexLock(const IMutexLock&) = delete;
        IMutexLock& operator=(const IMutexLock&) = delete;

    private:
        KIT_Mutex* mMutex;
    };

    IPluginBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
                int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
                EAPI plugAPI);
    virtual ~IPluginBase();
    IPluginBase(const IPluginBase&) = delete;
    IPluginBase& operator=(const IPluginBase&) = delete;

    virtual void Reset();
    virtual void OnParamChange(int paramIdx);
    virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames);
    virtual void ProcessSingleReplacing(float** inputs, float** outputs, int nFrames);
    virtual void OnGUIOpen() {}
    virtual void OnGUIClose() {}
    virtual void OnIdle() {}
    virtual void OnActivate(bool active);
    virtual void ProcessMidiMsg(IMidiMsg* msg) { SendMidiMsg(msg); }
    virtual void ProcessSysEx(ISysEx*) {}
    virtual bool MidiNoteName(int noteNumber, char* text);
    virtual bool SerializeState(ByteChunk* chunk) { return SerializeParams(chunk); }
    virtual int UnserializeState(ByteChunk* chunk, int startPos)
    {
        return UnserializeParams(chunk, startPos);
    }
    virtual bool CompareState(const unsigned char* state, int startPos);
    virtual void OnWindowResize() {}
    virtual bool HostRequestingAboutBox() { return false; }
    virtual void OnHostIdentified() {}
    virtual void PopupHostContextMenuForParam(int, int, int) {}
    virtual void SetParameterFromGUI(int paramIdx, double normalizedValue);
    // A normalised value given as a user gives it to the parameter's control,
    // with or without an editor: nothing happens when the control already
    // holds exactly that value; otherwise the control holds it to 0 ... 1,
    // shows it, and it goes on as SetParameterFromGUI (the parameter rounded
    // to its step, the host told, OnParamChange). Whether it was taken.
    bool SetParameterAsUserInput(int paramIdx, double normalizedValue);
    // The normalised value the parameter's control holds, editor or not: what
    // a user last gave it, or what the plug-in last showed on it.
    double GetShownValue(int paramIdx) const;
    // A value in real units from a host (the adapter, the command line, any
    // later host): the parameter, then the editor's controls, then the
    // engine. False for an index that names no parameter.
    bool SetParameterFromHost(int paramIdx, double value);
    virtual void BeginInformHostOfParamChange(int paramIdx) = 0;
    virtual void InformHostOfParamChange(int paramIdx, double normalizedValue) = 0;
    virtual void EndInformHostOfParamChange(int paramIdx) = 0;
    virtual void InformHostOfProgramChange() = 0;
    virtual bool IsRenderingOffline() { return false; }
    virtual int GetSamplePos() = 0;
    virtual double GetTempo() = 0;
    virtual void GetTimeSig(int* numerator, int* denominator) = 0;
    virtual void GetTime(ITimeInfo* timeInfo) = 0;
    virtual EHost GetHost() { return mHost; }
    virtual EAPI GetAPI() { return mAPI; }
    virtual void ResizeGraphics(int width, int height) = 0;
    virtual void HostSpecificInit() {}
    virtual void AttachGraphics(IGraphicsContext* graphics);
    virtual void SetLatency(int samples) { mLatency = samples; }
    virtual bool SendMidiMsg(IMidiMsg* msg) = 0;
    virtual bool SendSysEx(ISysEx*) { return false; }
    virtual void RedrawParamControls();
    virtual void DirtyPTCompareState() {}
    virtual void PresetsChangedByHost() {}
    virtual void SetBlockSize(int blockSize);

    // Queries.
    IParam* GetParam(int idx) { return mParams.Get(idx); }
    int NParams() const { return mParams.GetSize(); }
    int NPresets() const { return mPresets.GetSize(); }
    int NInChannels() const { return mInChannels.GetSize(); }
    int NOutChannels() const { return mOutChannels.GetSize(); }
    int GetUniqueID() const { return mUniqueID; }
    int GetMfrID() const { return mMfrID; }
    int GetLatency() const { return mLatency; }
    unsigned GetTailSize() const { return mTailSize; }
    int GetBlockSize() const { return mBlockSize; }
    double GetSampleRate() const { return mSampleRate; }
    int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
    bool IsInst() const { return mIsInst; }
    bool DoesStateChunks() const { return mDoesStateChunks; }
    bool DoesMIDI() const { return mDoesMIDI; }
    IGraphicsContext* GetGUI() { return mGraphics; }
    const char* GetEffectName() const { return mEffectName; }
    const char* GetProductName() const { return mProductName; }
    const char* GetMfrName() const { return mMfrName; }
    int GetEffectVersion(bool decimal) const;
    char* GetEffectVersionStr(char* text) const;
    int GetHostVersion(bool decimal);
    void GetHostVersionStr(char* text);
    const char* GetAPIString() const;
    const char* GetArchString() const { return "x86"; }
    bool IsInChannelConnected(int i) const;
    bool IsOutChannelConnected(int i) const;
    const KIT_String* GetInputBusLabel(int bus) const { return mInputBusLabels.Get(bus); }
    const KIT_String* GetOutputBusLabel(int bus) const { return mOutputBusLabels.Get(bus); }
    bool LegalIO(int nIn, int nOut) const;
    double GetSamplesPerBeat();
    int NChannelIO() const { return mChannelIO.GetSize(); }
    const ChannelIO* GetChannelIO(int idx) const { return mChannelIO.Get(idx); }

    // For the host adapter.
    void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
    void SetHost(const char* hostName, int version);
    void SetInputChannelConnections(int first, int n, bool connected);
    void SetOutputChannelConnections(int first, int n, bool connected);
    void AttachInputBuffers(int first, int n, double** data, int nFrames);
    void AttachInputBuffers(int first, int n, float** data, int nFrames);
    void AttachOutputBuffers(int first, int n, double** data);
    void AttachOutputBuffers(int first, int n, float** data);
    void ProcessBuffers(double, int nFrames);
    void ProcessBuffers(float, int nFrames);
    void ProcessBuffersAccumulating(float, int nFrames);
    void PassThroughBuffers(double, int nFrames);
    void PassThroughBuffers(float, int nFrames);
    void ZeroScratchBuffers();
    void SetInputBusLabel(int bus, const char* text);
    void SetOutputBusLabel(int bus, const char* text);
    void OnParamReset();
    void SetBypassed(bool bypassed) { mIsBypassed = bypassed; }
    bool IsBypassed() const { return mIsBypassed; }

    // For the plug-in and its editor.
    void DirtyParameters();
    bool SendMidiMsgs(KIT_TypedBuf<IMidiMsg>* msgs);
    void SetInputLabel(int channel, const char* text);
    void SetOutputLabel(int channel, const char* text);

    // Parameter and preset state.
    bool SerializeParams(ByteChunk* chunk);
    int UnserializeParams(ByteChunk* chunk, int startPos);
    // Every parameter from values checked to be finite, one per parameter,
    // as each plays; then OnParamReset.
    void RestoreParams(const double* values);
    bool SerializePresets(ByteChunk* chunk);
    int UnserializePresets(ByteChunk* chunk, int startPos);
    void MakeDefaultPreset(const char* name, int nPresets);
    void MakePreset(const char* name, ...);
    void MakePresetFromNamedParams(const char* name, int nParamsNamed, ...);
    void MakePresetFromChunk(const char* name, ByteChunk* chunk);
    void MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk);
    void EnsureDefaultPreset() { MakeDefaultPreset("Empty", NPresets()); }
    void PruneUninitializedPresets();
    bool RestorePreset(int idx);
    bool RestorePreset(const char* name);
    const char* GetPresetName(int idx) const;
    const IPreset* GetPreset(int idx) const { return mPresets.Get(idx); }
    void ModifyCurrentPreset(const char* newName = nullptr);
    static void InitChunkWithIPluginVer(ByteChunk* chunk);
    static int GetIPluginVerFromChunk(ByteChunk* chunk, int* pos);
    bool SaveProgramAsFXP(const KIT_String* fileName);
    bool LoadProgramFromFXP(const KIT_String* fileName);
    bool SaveBankAsFXB(const KIT_String* fileName);
    bool LoadBankFromFXB(const KIT_String* fileName);
    bool DumpPresetSrcCode(const char* fileName, const char** paramEnumNames);
    bool DumpPresetBlob(const char* fileName);
    bool DumpBankBlob(const char* fileName);

protected:
    KIT_Mutex& Mutex() { return mMutex; }
    // Shows a value on the parameter's control, plain or normalised (then as
    // it is): kept as the shown value, and given to the editor if one is attached.
    void ShowParam(int paramIdx, double value, bool normalized);

private:
    void ParseChannelIO(const char* channelIOStr);
    void PointUnconnectedAtScratch();
    void ConvertOutputs(int nFrames, bool accumulate);
    void CopyInputsToOutputs(double** inputs, double** outputs, int nFrames);
    int ClampFrames(int nFrames) const;
    ProgramFileOwner FileOwner();
    ProgramValues CurrentValues(const char* name);
    bool FillProgramRecords(ByteChunk* image);
    bool ApplyProgramFile(const ByteChunk& file);
    bool ApplyBankFile(const ByteChunk& file);

    KIT_PtrList<ChannelIO> mChannelIO;
    KIT_Mutex mMutex;
    char mEffectName[kNameSize];
    char mProductName[kNameSize];
    char mMfrName[kNameSize];
    int mUniqueID;
    int mMfrID;
    int mVersion;
    EAPI mAPI;
    EHost mHost = static_cast<EHost>(-1);
    int mHostVersion = 0;
    bool mDoesStateChunks;
    bool mIsInst;
    bool mDoesMIDI;
    bool mIsBypassed = false;
    int mCurrentPresetIdx = 0;
    double mSampleRate = 44100.0;
    int mBlockSize = 0;
    int mLatency;
    unsigned mTailSize = 0;
    IGraphicsContext* mGraphics = nullptr; // owned once attached
    KIT_PtrList<IParam> mParams;
    // Per parameter, the value its control holds (one control a parameter):
    // written by the thread that shows or sets a value (host, GUI, or an LV2
    // host's audio thread under its rules), read by the GUI thread's generators.
    std::unique_ptr<std::atomic<double>[]> mShown;
    KIT_PtrList<IPreset> mPresets;
    KIT_TypedBuf<double*> mInData;
    KIT_TypedBuf<double*> mOutData;
    KIT_PtrList<InChannel> mInChannels;
    KIT_PtrList<OutChannel> mOutChannels;
    KIT_PtrList<KIT_String> mInputBusLabels;
    KIT_PtrList<KIT_String> mOutputBusLabels;
};

IPreset* GetNextUninitializedPreset(KIT_PtrList<IPreset>* presets);
void MakeDefaultUserPresetName(KIT_PtrList<IPreset>* presets, char* name);
