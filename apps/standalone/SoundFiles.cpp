// Sounds in files: 484-byte states, .aupreset files and exported WAVs.
#include "SoundFiles.h"

#include "AudioFile.h"
#include "KIT_SafeFile.h"

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

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

// A 484-byte state file, or an .aupreset by its extension.
void SaveSound(AUInstance& unit, const std::string& path)
{
    if (endsWith(path, ".aupreset"))
    {
        CFDictionaryRef state = nullptr;
        if (unit.SaveState(&state) != noErr || !state)
            throw std::runtime_error("the instrument did not give its sound");
        try
        {
            SaveAUPreset(state, path);
        }
        catch (...)
        {
            CFRelease(state);
            throw;
        }
        CFRelease(state);
        return;
    }
    const ByteChunk bytes = CurrentState(unit);
    std::string error;
    if (bytes.Size() == 0 ||
        !KIT_WriteFileSafely(path, bytes.GetBytes(), static_cast<size_t>(bytes.Size()), &error))
        throw std::runtime_error("cannot write '" + path + "': " + error);
}

void OpenSound(const AUBundle& bundle, AUInstance& unit, const std::string& path)
{
    if (endsWith(path, ".aupreset"))
        RestoreFrom(unit, LoadAUPreset(path), "'" + path + "'");
    else
        RestoreFrom(unit, StateDictionary(bundle, ReadState(path)), "'" + path + "'");
}

namespace
{

float parameterNamed(AUInstance& unit, const std::vector<AUParameterDescription>& params,
                     const char* name)
{
    float value = 0.0f;
    for (const AUParameterDescription& p : params)
        if (p.name == name)
            unit.GetParameter(p.id, &value);
    return value;
}

} // namespace

// One note held through attack, hold and decay, then as long as it sounds.
void ExportWav(const AUBundle& bundle, AUInstance& unit, const std::string& path)
{
    const std::vector<AUParameterDescription> params = unit.Parameters();
    HostRender job;
    job.state = CurrentState(unit);
    NoteSpec note;
    note.duration = parameterNamed(unit, params, "Amp Env Attack") +
                    parameterNamed(unit, params, "Amp Env Hold") +
                    parameterNamed(unit, params, "Amp Env Decay");
    job.request.notes.push_back(note);
    WriteAudio(path, SampleFormat::kPcm16, job.request.rate, RenderThroughBundle(bundle, job));
}
