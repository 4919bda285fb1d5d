// Sounds in files: 484-byte states, .aupreset files and exported WAVs.
#include "SoundFiles.h"

#include "AudioFile.h"
#include "KIT_SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
    AudioWriter writer(path, SampleFormat::kPcm16, job.request.rate);
    CFRelease(RenderThroughBundle(bundle, job,
                                  [&writer](const double* left, const double* right, long frames)
                                  { writer.Write(left, right, frames); }));
    writer.Commit();
}

std::string MoveAside(const std::string& path)
{
    const int kMaxAttempts = 1000;
    for (int n = 1; n <= kMaxAttempts; ++n)
    {
        const std::string aside = path + ".unreadable" + (n == 1 ? "" : "-" + std::to_string(n));
        // RENAME_NOREPLACE: a name taken meanwhile is never written over.
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno != EEXIST)
            return "";
    }
    return "";
}

KeepLock::KeepLock(const std::string& keptPath)
{
    mFd = open((keptPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (mFd >= 0 && flock(mFd, LOCK_EX | LOCK_NB) != 0)
    {
        close(mFd);
        mFd = -1;
    }
}

KeepLock::~KeepLock()
{
    if (mFd >= 0)
        close(mFd);
}
