#include "IPluginBase.h"

#include "IGraphicsContext.h"
#include "KIT_Assert.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

void GetVersionParts(int version, int* major, int* minor, int* revision)
{
    *major = (version & 0xFFFF0000) >> 16;
    *minor = (version & 0x0000FF00) >> 8;
    *revision = version & 0x000000FF;
}

int GetDecimalVersion(int version)
{
    int major, minor, revision;
    GetVersionParts(version, &major, &minor, &revision);
    return 10000 * major + 100 * minor + revision;
}

void GetVersionStr(int version, char* text)
{
    int major, minor, revision;
    GetVersionParts(version, &major, &minor, &revision);
    std::sprintf(text, "v%d.%d.%d", major, minor, revision);
}

IPluginBase::IPluginBase(int nParams, const char* channelIOStr, int nPresets,
                         const char* effectName, const char* productName, const char* mfrName,
                         int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
                         bool plugDoesChunks, bool plugIsInst, EAPI plugAPI)
    : mUniqueID(uniqueID), mMfrID(mfrID), mVersion(vendorVersion), mAPI(plugAPI),
      mDoesStateChunks(plugDoesChunks), mIsInst(plugIsInst), mDoesMIDI(plugDoesMidi),
      mLatency(latency)
{
    for (int i = 0; i < nParams; ++i)
        mParams.Add(new IParam);
    // A control holds 0 until it is first shown a value.
    mShown.reset(new std::atomic<double>[static_cast<size_t>(std::max(nParams, 0))]);
    for (int i = 0; i < nParams; ++i)
        mShown[i].store(0.0, std::memory_order_relaxed);
    for (int i = 0; i < nPresets; ++i)
        mPresets.Add(new IPreset);
    CopyCut(mEffectName, effectName, kNameSize);
    CopyCut(mProductName, productName, kNameSize);
    CopyCut(mMfrName, mfrName, kNameSize);
    ParseChannelIO(channelIOStr);
}

IPluginBase::~IPluginBase()
{
    delete mGraphics;
    mGraphics = nullptr;
    mParams.DeleteAll();
    mPresets.DeleteAll();
    mInChannels.DeleteAll();
    mOutChannels.DeleteAll();
    mChannelIO.DeleteAll();
    mInputBusLabels.DeleteAll();
    mOutputBusLabels.DeleteAll();
}

void IPluginBase::ParseChannelIO(const char* channelIOStr)
{
    int maxIn = 0, maxOut = 0;
    for (const char* p = channelIOStr;;)
    {
        int nIn = 0, nOut = 0;
        const bool channelIOStrValid = std::sscanf(p, "%d-%d", &nIn, &nOut) == 2;
        KIT_ASSERT(channelIOStrValid);
        maxIn = std::max(maxIn, nIn);
        maxOut = std::max(maxOut, nOut);
        mChannelIO.Add(new ChannelIO{nIn, nOut});
        p = std::strchr(p, ' ');
        if (!p)
            break;
        ++p;
    }
    mInData.Resize(maxIn);
    mOutData.Resize(maxOut);
    for (int i = 0; i < maxIn; ++i)
        mInChannels.Add(new InChannel)->mSrc = mInData.Get() + i;
    for (int i = 0; i < maxOut; ++i)
        mOutChannels.Add(new OutChannel)->mDest = mOutData.Get() + i;
}

void IPluginBase::Reset()
{
    KIT_MutexLock lock(mMutex);
}

void IPluginBase::OnParamChange(int)
{
    KIT_MutexLock lock(mMutex);
}

void IPluginBase::OnActivate(bool)
{
    KIT_MutexLock lock(mMutex);
}

bool IPluginBase::MidiNoteName(int, char* text)
{
    text[0] = '\0';
    return false;
}

namespace
{

// Inputs copied to outputs of the same index, every other output zero-filled.
template <class Sample>
void CopyThrough(Sample** inputs, Sample** outputs, int nIn, int nOut, int nFrames)
{
    const int common = std::min(nIn, nOut);
    for (int i = 0; i < common; ++i)
        std::copy(inputs[i], inputs[i] + nFrames, outputs[i]);
    for (int i = common; i < nOut; ++i)
        std::fill(outputs[i], outputs[i] + nFrames, Sample(0));
}

} // namespace

void IPluginBase::CopyInputsToOutputs(double** inputs, double** outputs, int nFrames)
{
    CopyThrough(inputs, outputs, NInChannels(), NOutChannels(), nFrames);
}

void IPluginBase::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames)
{
    CopyInputsToOutputs(inputs, outputs, nFrames);
}

void IPluginBase::ProcessSingleReplacing(float** inputs, float** outputs, int nFrames)
{
    CopyThrough(inputs, outputs, NInChannels(), NOutChannels(), nFrames);
}

bool IPluginBase::CompareState(const unsigned char* state, int startPos)
{
    bool isEqual = true;
    const unsigned char* data = state + startPos;
    for (int i = 0; i < NParams(); ++i, data += sizeof(double))
    {
        double stored;
        std::memcpy(&stored, data, sizeof stored);
        const float difference =
            static_cast<float>(mParams.Get(i)->Value()) - static_cast<float>(stored);
        isEqual &= std::fabs(difference) < 0.00001f;
    }
    return isEqual;
}

// The control that pushes a value holds it.
void IPluginBase::SetParameterFromGUI(int paramIdx, double normalizedValue)
{
    IParam* param = GetParam(paramIdx);
    if (!param)
        return;
    KIT_MutexLock lock(mMutex);
    mShown[paramIdx].store(normalizedValue, std::memory_order_relaxed);
    param->SetNormalized(normalizedValue);
    InformHostOfParamChange(paramIdx, normalizedValue);
    OnParamChange(paramIdx);
}

namespace
{

// As a control holds its value: NaN passes through, as it does there.
double heldToUnit(double value)
{
    if (0.0 > value)
        return 0.0;
    if (value > 1.0)
        return 1.0;
    return value;
}

} // namespace

// The control is shown the value before it goes on, so that whatever the
// host answers meanwhile (an echo through SetParameterFromHost) is what the
// control is left holding, as when a user moves it.
bool IPluginBase::SetParameterAsUserInput(int paramIdx, double normalizedValue)
{
    if (!GetParam(paramIdx))
        return false;
    KIT_MutexLock lock(mMutex);
    if (normalizedValue == GetShownValue(paramIdx))
        return false;
    const double held = heldToUnit(normalizedValue);
    ShowParam(paramIdx, held, true);
    SetParameterFromGUI(paramIdx, held);
    return true;
}

double IPluginBase::GetShownValue(int paramIdx) const
{
    return paramIdx >= 0 && paramIdx < NParams() ? mShown[paramIdx].load(std::memory_order_relaxed) : 0.0;
}

// Values the plug-in shows lie in 0 ... 1 (or are NaN), which a control takes
// as they are.
void IPluginBase::ShowParam(int paramIdx, double value, bool normalized)
{
    const double shown = normalized ? value : GetParam(paramIdx)->GetNormalized(value);
    mShown[paramIdx].store(shown, std::memory_order_relaxed);
    if (mGraphics)
        mGraphics->SetParameterFromPlug(paramIdx, value, normalized);
}

bool IPluginBase::SetParameterFromHost(int paramIdx, double value)
{
    KIT_MutexLock lock(mMutex);
    IParam* param = GetParam(paramIdx);
    if (!param)
        return false;
    param->SetAsPlayed(value);
    ShowParam(paramIdx, param->Value(), false);
    OnParamChange(paramIdx);
    return true;
}

void IPluginBase::AttachGraphics(IGraphicsContext* graphics)
{
    if (!graphics)
        return;
    KIT_MutexLock lock(mMutex);
    mGraphics = graphics;
    for (int i = 0; i < NParams(); ++i)
        ShowParam(i, mParams.Get(i)->GetNormalized(), true);
    graphics->PrepDraw();
}

// Shown with or without an editor: the values stay the controls' to compare.
void IPluginBase::RedrawParamControls()
{
    for (int i = 0; i < NParams(); ++i)
        ShowParam(i, mParams.Get(i)->Value(), false);
}

void IPluginBase::PointUnconnectedAtScratch()
{
    for (int i = 0; i < NInChannels(); ++i)
    {
        InChannel* channel = mInChannels.Get(i);
        if (!channel->mConnected)
            *channel->mSrc = channel->mScratchBuf.Get();
    }
    for (int i = 0; i < NOutChannels(); ++i)
    {
        OutChannel* channel = mOutChannels.Get(i);
        if (!channel->mConnected)
            *channel->mDest = channel->mScratchBuf.Get();
    }
}

void IPluginBase::SetBlockSize(int blockSize)
{
    blockSize = std::max(blockSize, 0);
    if (blockSize == mBlockSize)
        return;
    for (int i = 0; i < NInChannels(); ++i)
    {
        KIT_TypedBuf<double>& scratch = mInChannels.Get(i)->mScratchBuf;
        std::fill_n(scratch.Resize(blockSize), blockSize, 0.0);
    }
    for (int i = 0; i < NOutChannels(); ++i)
    {
        KIT_TypedBuf<double>& scratch = mOutChannels.Get(i)->mScratchBuf;
        std::fill_n(scratch.Resize(blockSize), blockSize, 0.0);
    }
    PointUnconnectedAtScratch();
    mBlockSize = blockSize;
}

int IPluginBase::GetEffectVersion(bool decimal) const
{
    return decimal ? GetDecimalVersion(mVersion) : mVersion;
}

char* IPluginBase::GetEffectVersionStr(char* text) const
{
    GetVersionStr(mVersion, text);
    std::strcat(text, "D");
    return text;
}

int IPluginBase::GetHostVersion(bool decimal)
{
    GetHost();
    return decimal ? GetDecimalVersion(mHostVersion) : mHostVersion;
}

void IPluginBase::GetHostVersionStr(char* text)
{
    GetHost();
    GetVersionStr(mHostVersion, text);
}

const char* IPluginBase::GetAPIString() const
{
    static const char* const kNames[] = {"VST2", "VST3", "AU", "RTAS", "AAX", "Standalone"};
    return mAPI >= kAPIVST2 && mAPI <= kAPISA ? kNames[mAPI] : "";
}

bool IPluginBase::IsInChannelConnected(int i) const
{
    return i >= 0 && i < NInChannels() && mInChannels.Get(i)->mConnected;
}

bool IPluginBase::IsOutChannelConnected(int i) const
{
    return i >= 0 && i < NOutChannels() && mOutChannels.Get(i)->mConnected;
}

bool IPluginBase::LegalIO(int nIn, int nOut) const
{
    for (int i = 0; i < mChannelIO.GetSize(); ++i)
    {
        const ChannelIO* io = mChannelIO.Get(i);
        if ((nIn < 0 || nIn == io->mIn) && (nOut < 0 || nOut == io->mOut))
            return true;
    }
    return false;
}

double IPluginBase::GetSamplesPerBeat()
{
    const double tempo = GetTempo();
    return tempo > 0.0 ? GetSampleRate() * 60.0 / tempo : 0.0;
}

void IPluginBase::SetHost(const char* hostName, int version)
{
    mHost = LookUpHost(hostName);
    mHostVersion = version;
}

namespace
{

// Visits the channels first ... first + n - 1 that exist.
template <class Channel, class Visit>
void ForChannels(KIT_PtrList<Channel>& channels, int first, int n, Visit visit)
{
    const int64_t end = std::min<int64_t>(static_cast<int64_t>(first) + n, channels.GetSize());
    for (int64_t i = std::max(first, 0); i < end; ++i)
        visit(channels.Get(static_cast<int>(i)));
}

} // namespace

void IPluginBase::SetInputChannelConnections(int first, int n, bool connected)
{
    ForChannels(mInChannels, first, n,
                [&](InChannel* channel)
                {
                    channel->mConnected = connected;
                    if (!connected)
                        *channel->mSrc = channel->mScratchBuf.Get();
                });
}

void IPluginBase::SetOutputChannelConnections(int first, int n, bool connected)
{
    ForChannels(mOutChannels, first, n,
                [&](OutChannel* channel)
                {
                    channel->mConnected = connected;
                    if (!connected)
                        *channel->mDest = channel->mScratchBuf.Get();
                });
}

// A host asking for more frames than the block size it announced would run
// past the scratch buffers; such blocks are cut to the block size.
int IPluginBase::ClampFrames(int nFrames) const
{
    return std::max(0, std::min(nFrames, mBlockSize));
}

// Connected channels take the host's buffers in order; others consume none.
void IPluginBase::AttachInputBuffers(int first, int n, double** data, int)
{
    ForChannels(mInChannels, first, n,
                [&](InChannel* channel)
                {
                    if (channel->mConnected)
                        *channel->mSrc = *(data++);
                });
}

void IPluginBase::AttachInputBuffers(int first, int n, float** data, int nFrames)
{
    nFrames = ClampFrames(nFrames);
    ForChannels(mInChannels, first, n,
                [&](InChannel* channel)
                {
                    if (!channel->mConnected)
                        return;
                    double* scratch = channel->mScratchBuf.Get();
                    std::copy(*data, *data + nFrames, scratch);
                    ++data;
                    *channel->mSrc = scratch;
                });
}

void IPluginBase::AttachOutputBuffers(int first, int n, double** data)
{
    ForChannels(mOutChannels, first, n,
                [&](OutChannel* channel)
                {
                    if (channel->mConnected)
                        *channel->mDest = *(data++);
                });
}

void IPluginBase::AttachOutputBuffers(int first, int n, float** data)
{
    ForChannels(mOutChannels, first, n,
                [&](OutChannel* channel)
                {
                    if (!channel->mConnected)
                        return;
                    *channel->mDest = channel->mScratchBuf.Get();
                    channel->mFDest = *(data++);
                });
}

void IPluginBase::ConvertOutputs(int nFrames, bool accumulate)
{
    for (int i = 0; i < NOutChannels(); ++i)
    {
        OutChannel* channel = mOutChannels.Get(i);
        if (!channel->mConnected || !channel->mFDest)
            continue;
        const double* source = *channel->mDest;
        for (int s = 0; s < nFrames; ++s)
        {
            const float sample = static_cast<float>(source[s]);
            channel->mFDest[s] = accumulate ? channel->mFDest[s] + sample : sample;
        }
    }
}

void IPluginBase::ProcessBuffers(double, int nFrames)
{
    ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), ClampFrames(nFrames));
}

void IPluginBase::ProcessBuffers(float, int nFrames)
{
    nFrames = ClampFrames(nFrames);
    ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
    ConvertOutputs(nFrames, false);
}

void IPluginBase::ProcessBuffersAccumulating(float, int nFrames)
{
    nFrames = ClampFrames(nFrames);
    ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
    ConvertOutputs(nFrames, true);
}

void IPluginBase::PassThroughBuffers(double, int nFrames)
{
    CopyInputsToOutputs(mInData.Get(), mOutData.Get(), ClampFrames(nFrames));
}

void IPluginBase::PassThroughBuffers(float, int nFrames)
{
    nFrames = ClampFrames(nFrames);
    CopyInputsToOutputs(mInData.Get(), mOutData.Get(), nFrames);
    ConvertOutputs(nFrames, false);
}

void IPluginBase::ZeroScratchBuffers()
{
    for (int i = 0; i < NInChannels(); ++i)
        std::fill_n(mInChannels.Get(i)->mScratchBuf.Get(), mBlockSize, 0.0);
    for (int i = 0; i < NOutChannels(); ++i)
        std::fill_n(mOutChannels.Get(i)->mScratchBuf.Get(), mBlockSize, 0.0);
}

namespace
{

void ReplaceLabel(KIT_PtrList<KIT_String>& labels, int bus, const char* text)
{
    labels.Delete(bus);
    labels.Insert(bus, new KIT_String(text));
}

} // namespace

void IPluginBase::SetInputBusLabel(int bus, const char* text)
{
    if (bus == 0 || bus == 1)
        ReplaceLabel(mInputBusLabels, bus, text);
}

void IPluginBase::SetOutputBusLabel(int bus, const char* text)
{
    if (bus >= 0)
        ReplaceLabel(mOutputBusLabels, bus, text);
}

void IPluginBase::OnParamReset()
{
    for (int i = 0; i < NParams(); ++i)
        OnParamChange(i);
}

void IPluginBase::DirtyParameters()
{
    KIT_MutexLock lock(mMutex);
    for (int i = 0; i < NParams(); ++i)
        InformHostOfParamChange(i, mParams.Get(i)->GetNormalized());
}

bool IPluginBase::SendMidiMsgs(KIT_TypedBuf<IMidiMsg>* msgs)
{
    bool allSent = true;
    for (int i = 0; i < msgs->GetSize(); ++i)
        allSent &= SendMidiMsg(msgs->Get() + i);
    return allSent;
}

void IPluginBase::SetInputLabel(int channel, const char* text)
{
    if (InChannel* in = mInChannels.Get(channel))
        in->mLabel.Set(text);
}

void IPluginBase::SetOutputLabel(int channel, const char* text)
{
    if (OutChannel* out = mOutChannels.Get(channel))
        out->mLabel.Set(text);
}
