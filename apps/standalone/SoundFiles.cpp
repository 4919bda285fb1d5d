// Sounds in files: 484-byte states, .aupreset files and exported WAVs.
#include "SoundFiles.h"

#include "KIT_SafeFile.h"
#include "Levels.h"
#include "ShareCode.h"

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

namespace
{
const unsigned kExportSeed = 1;
} // namespace

HostRender ExportJob(AUInstance& unit, double rate)
{
    const std::vector<AUParameterDescription> params = unit.Parameters();
    HostRender job;
    job.state = CurrentState(unit);
    job.request.rate = rate;
    NoteSpec note;
    note.duration = parameterNamed(unit, params, "Amp Env Attack") +
                    parameterNamed(unit, params, "Amp Env Hold") +
                    parameterNamed(unit, params, "Amp Env Decay");
    job.request.notes.push_back(note);
    // Seeded, so that a sound with noise exports as its picture shows it.
    job.request.seeded = true;
    job.request.seed = kExportSeed;
    return job;
}

ExportedSound RenderExport(const AUBundle& bundle, const HostRender& job, bool normalise)
{
    ExportedSound sound;
    sound.audio = RenderThroughBundle(bundle, job);
    if (normalise)
    {
        sound.gain = PeakGain(MeasureLevels(sound.audio).peak, kExportPeak);
        ApplyGain(sound.audio, sound.gain);
    }
    return sound;
}

double ExportSound(const AUBundle& bundle, AUInstance& unit, const ExportSettings& settings,
                   const std::string& path)
{
    const HostRender job = ExportJob(unit, settings.rate);
    const ExportedSound sound = RenderExport(bundle, job, settings.normalise);
    AudioWriter writer(path, settings.format, settings.rate,
                       AudioTags{"", EncodeShareCode(job.state)});
    writer.Write(sound.audio.left.data(), sound.audio.right.data(),
                 static_cast<long>(sound.audio.left.size()));
    writer.Commit();
    return sound.gain;
}

std::string SuggestExportName(const std::string& folder, const std::string& kind,
                              Container container)
{
    for (int n = 1;; ++n)
    {
        const std::string name = kind + "-" + std::to_string(n) + ExtensionOf(container);
        if (access((folder + "/" + name).c_str(), F_OK) != 0)
            return name;
    }
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
