// Rendering through a hosted bundle as bleepforge render plays notes, and the
// state helpers it needs. Shared by auhost and the standalone app.
#include "HostRender.h"
#include "SoundState.h"

#include <algorithm>
#include <stdexcept>

CFDictionaryRef StateDictionary(const AUBundle& bundle, const ByteChunk& state)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
    const ComponentDescription& d = bundle.Description();
    const std::pair<const char*, SInt32> numbers[] = {
        {"version", static_cast<SInt32>(bundle.Version())},
        {"type", static_cast<SInt32>(d.componentType)},
        {"subtype", static_cast<SInt32>(d.componentSubType)},
        {"manufacturer", static_cast<SInt32>(d.componentManufacturer)}};
    for (const auto& [key, value] : numbers)
    {
        CFStringRef name = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
        CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
        CFDictionarySetValue(dictionary, name, number);
        CFRelease(number);
        CFRelease(name);
    }
    CFStringRef nameKey = CFStringCreateWithCString(nullptr, "name", kCFStringEncodingUTF8);
    CFStringRef name = CFStringCreateWithCString(nullptr, "-", kCFStringEncodingUTF8);
    CFStringRef dataKey = CFStringCreateWithCString(nullptr, "data", kCFStringEncodingUTF8);
    CFDataRef data = CFDataCreate(nullptr, state.GetBytes(), state.Size());
    CFDictionarySetValue(dictionary, nameKey, name);
    CFDictionarySetValue(dictionary, dataKey, data);
    for (CFTypeRef object : {static_cast<CFTypeRef>(nameKey), static_cast<CFTypeRef>(name),
                             static_cast<CFTypeRef>(dataKey), static_cast<CFTypeRef>(data)})
        CFRelease(object);
    return dictionary;
}

void RestoreFrom(AUInstance& unit, CFDictionaryRef state, const std::string& what)
{
    const OSStatus result = unit.RestoreState(state);
    CFRelease(state);
    if (result != noErr)
        throw std::runtime_error("the bundle refused the state of " + what + " (" +
                                 std::to_string(result) + ")");
}

ByteChunk CurrentState(AUInstance& unit)
{
    CFDictionaryRef state = nullptr;
    ByteChunk bytes;
    if (unit.SaveState(&state) != noErr || !state)
        return bytes;
    CFStringRef key = CFStringCreateWithCString(nullptr, "data", kCFStringEncodingUTF8);
    auto data = static_cast<CFDataRef>(CFDictionaryGetValue(state, key));
    if (data)
        bytes.PutBytes(CFDataGetBytePtr(data), static_cast<int>(CFDataGetLength(data)));
    CFRelease(key);
    CFRelease(state);
    return bytes;
}

namespace
{

void setParameter(AUInstance& unit, AudioUnitParameterID id, double value)
{
    if (unit.SetParameter(id, static_cast<float>(value)) != noErr)
        throw std::runtime_error("the bundle refused parameter " + std::to_string(id));
}

} // namespace

std::vector<ParamInfo> ParamsOf(const std::vector<AUParameterDescription>& params)
{
    std::vector<ParamInfo> infos;
    for (const AUParameterDescription& p : params)
    {
        ParamInfo info;
        info.name = p.name;
        info.minimum = p.minValue;
        info.maximum = p.maxValue;
        info.whole = p.unitKind == kAudioUnitParameterUnit_Indexed;
        info.single = true;
        for (size_t i = 0; i < p.valueStrings.size(); ++i)
            info.texts.emplace_back(p.minValue + static_cast<double>(i), p.valueStrings[i]);
        infos.push_back(info);
    }
    return infos;
}

void ApplySetting(AUInstance& unit, const std::vector<AUParameterDescription>& params,
                  const std::string& assignment)
{
    const ResolvedSetting setting = ResolveSetting(ParamsOf(params), assignment);
    setParameter(unit, params[static_cast<size_t>(setting.index)].id, setting.value);
}

BundleBackend::BundleBackend(const AUBundle& bundle, const std::string& preset, const ByteChunk& sound)
    : mBundle(bundle), mPreset(preset), mSound(sound)
{
}

void BundleBackend::Open(double rate, int block, std::optional<unsigned> seed)
{
    mUnit = std::make_unique<AUInstance>(mBundle);
    if (seed && mUnit->SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &*seed,
                                   sizeof *seed) != noErr)
        throw std::runtime_error("the bundle cannot be seeded");
    if (mUnit->Configure(rate, static_cast<UInt32>(block)) != noErr || mUnit->Initialize() != noErr)
        throw std::runtime_error("the bundle refused the stream format or to initialise");
    mLeft.assign(static_cast<size_t>(block), 0.0f);
    mRight.assign(mLeft.size(), 0.0f);
    if (!mPreset.empty())
        RestoreFrom(*mUnit, LoadAUPreset(mPreset), "'" + mPreset + "'");
    if (mSound.Size() > 0)
        RestoreFrom(*mUnit, StateDictionary(mBundle, mSound), "the sound");
}

std::vector<ParamInfo> BundleBackend::Params()
{
    const std::vector<AUParameterDescription> params = mUnit->Parameters();
    mIds.clear();
    for (const AUParameterDescription& p : params)
        mIds.push_back(p.id);
    return ParamsOf(params);
}

void BundleBackend::TakeState(const ByteChunk& state)
{
    RestoreFrom(*mUnit, StateDictionary(mBundle, state), "the state");
}

void BundleBackend::TakeSetting(const ResolvedSetting& setting)
{
    setParameter(*mUnit, mIds.at(static_cast<size_t>(setting.index)), setting.value);
}

ByteChunk BundleBackend::State()
{
    ByteChunk state = CurrentState(*mUnit);
    StateValues(state); // refuses a bundle that gives no state of ours
    return state;
}

std::string BundleBackend::PresetText()
{
    CFDictionaryRef state = nullptr;
    if (mUnit->SaveState(&state) != noErr || !state)
        throw std::runtime_error("the bundle did not give its state");
    const std::string text = AUPresetText(state);
    CFRelease(state);
    return text;
}

RenderTarget BundleBackend::Target()
{
    AUInstance& unit = *mUnit;
    RenderTarget target;
    target.sendNote = [&unit](const NoteEvent& e, int offset)
    {
        const bool on = e.rank == kOn;
        unit.MIDIEvent(on ? 0x90 : 0x80, static_cast<UInt32>(e.note),
                       on ? static_cast<UInt32>(e.velocity) : 0, static_cast<UInt32>(offset));
    };
    mSampleTime = 0.0;
    target.renderBlock = [this](double* outLeft, double* outRight, int frames)
    {
        const OSStatus rendering =
            mUnit->Render({mLeft.data(), mRight.data()}, static_cast<UInt32>(frames), mSampleTime);
        if (rendering != noErr)
            throw std::runtime_error("the bundle failed to render (" + std::to_string(rendering) +
                                     ")");
        mSampleTime += frames;
        std::copy(mLeft.begin(), mLeft.begin() + frames, outLeft);
        std::copy(mRight.begin(), mRight.begin() + frames, outRight);
    };
    target.idleFrames = [&unit]
    {
        UInt64 idle = 0;
        UInt32 size = sizeof idle;
        unit.GetProperty(kPropertyIdleFrames, kAudioUnitScope_Global, 0, &idle, &size);
        return static_cast<long>(idle);
    };
    return target;
}

RenderResult RenderThroughBundle(const AUBundle& bundle, const HostRender& job)
{
    BundleBackend backend(bundle, job.presetIn, job.state);
    RenderSession session(backend, job.request);
    session.Prepare();
    RenderResult result;
    result.state = session.Render(CollectFrames(&result));
    return result;
}
