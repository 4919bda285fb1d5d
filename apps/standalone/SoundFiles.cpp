// Sounds in files: 484-byte states, .aupreset files and exported WAVs.
#include "SoundFiles.h"

#include "KIT_SafeFile.h"
#include "Levels.h"
#include "ShareCode.h"
#include "SoundState.h"
#include "KIT_Text.h"

#include <glib.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

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
const unsigned kExportSeed = 1;
} // namespace

HostRender ExportJob(AUInstance& unit, double rate)
{
    HostRender job;
    job.state = CurrentState(unit);
    job.request.rate = rate;
    // The state's own values, as every other surface plays them: the host's
    // single-precision parameters would end the note a frame apart now and then.
    job.request.notes.push_back(DefaultNote(job.state));
    // Seeded, so that a sound with noise exports as its picture shows it.
    job.request.seeded = true;
    job.request.seed = kExportSeed;
    return job;
}

// The channels' mean, as a file of one channel holds it; the channels are
// the same, so either one is it exactly.
Clip ClipOf(const ExportedSound& sound)
{
    Clip clip;
    clip.gain = sound.gain;
    const std::vector<double>& left = sound.audio.left;
    const std::vector<double>& right = sound.audio.right;
    clip.samples.resize(left.size());
    for (size_t i = 0; i < left.size(); ++i)
        clip.samples[i] = static_cast<float>(0.5 * (left[i] + right[i]));
    return clip;
}

Normalization ExportNormalization(const ExportSettings& settings)
{
    Normalization normalization;
    if (settings.normalise)
        normalization = settings.loudness ? Normalization{Normalization::kLoudness, kExportLoudness}
                                          : Normalization{Normalization::kPeak, kExportPeak};
    return normalization;
}

RenderBundle::RenderBundle(const AUBundle& bundle)
{
    namespace fs = std::filesystem;
    std::string folder = (fs::temp_directory_path() / "bleepforge-renders-XXXXXX").string();
    if (!mkdtemp(&folder[0]))
        throw std::runtime_error("cannot make a folder for renders in " +
                                 fs::temp_directory_path().string() + ": " + std::strerror(errno));
    // A copy under another name: the loader would hand out the loaded library
    // again. Once loaded it needs its files no more (renders draw nothing), so
    // they go at once and nothing is left behind, however the app ends.
    const std::string copy = folder + "/" + fs::path(bundle.Path()).filename().string();
    std::string error;
    try
    {
        fs::copy(bundle.Path(), copy, fs::copy_options::recursive);
        mCopy = std::make_unique<AUBundle>(copy);
    }
    catch (const std::exception& e)
    {
        error = e.what();
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    if (!mCopy)
        throw std::runtime_error("cannot prepare the renders: " + error);
}

ExportedSound RenderBundle::Render(const HostRender& job, const ExportSettings& settings)
{
    std::lock_guard<std::mutex> lock(mMutex);
    ExportedSound sound;
    sound.audio = RenderThroughBundle(*mCopy, job);
    // Measured as the file will hold it: a mono export is the channels' mean.
    sound.gain = LevelSound(sound.audio, job.request.rate, ExportNormalization(settings),
                            settings.format.channels)
                     .gain;
    if (sound.gain != 1.0)
        ApplyGain(sound.audio, sound.gain);
    return sound;
}

HostRender RenderBundle::JobFor(const std::string& state, double rate)
{
    std::lock_guard<std::mutex> lock(mMutex);
    AUInstance unit(*mCopy, "bleepforge-standalone");
    ByteChunk chunk;
    chunk.PutBytes(state.data(), static_cast<int>(state.size()));
    RestoreFrom(unit, StateDictionary(*mCopy, chunk), "the listed sound");
    return ExportJob(unit, rate);
}

namespace
{

double writeExport(RenderBundle& renders, const HostRender& job, const ExportSettings& settings,
                   const std::string& path)
{
    CheckFits(settings.format, settings.rate, MostFrames(job.request)); // before it renders
    const ExportedSound sound = renders.Render(job, settings);
    AudioWriter writer(path, settings.format, settings.rate,
                       static_cast<long>(sound.audio.left.size()),
                       AudioTags{"", EncodeShareCode(job.state)});
    writer.Write(sound.audio.left.data(), sound.audio.right.data(),
                 static_cast<long>(sound.audio.left.size()));
    writer.Commit();
    return sound.gain;
}

// Gives the file the name unless a file has it: 0, EEXIST, or why it failed.
int claimName(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the no-replace rename: a hard link never replaces either.
    if (link(from.c_str(), to.c_str()) != 0)
        return errno;
    unlink(from.c_str());
    return 0;
}

const int kMostNumbers = 10000;
} // namespace

double ExportSound(RenderBundle& renders, AUInstance& unit, const ExportSettings& settings,
                   const std::string& path)
{
    return writeExport(renders, ExportJob(unit, settings.rate), settings, path);
}

std::string ExportListed(RenderBundle& renders, const std::string& state, const std::string& name,
                         const ExportSettings& settings, const std::string& folder)
{
    const HostRender job = renders.JobFor(state, settings.rate);
    // Written whole in a hidden folder of its own first, then moved to a name
    // no file has: a file that appears meanwhile is never replaced.
    std::string work = folder + "/.bleepforge-export-XXXXXX";
    if (!mkdtemp(&work[0]))
        throw std::runtime_error("cannot write in '" + folder + "': " + std::strerror(errno));
    const std::string written = work + "/sound";
    try
    {
        writeExport(renders, job, settings, written);
        const std::string base = FileNameFor(name);
        for (int n = 1; n <= kMostNumbers; ++n)
        {
            const std::string path = folder + "/" + NumberedName(base, n, settings.format.container);
            const int error = claimName(written, path);
            if (error == 0)
            {
                rmdir(work.c_str());
                return path;
            }
            if (error != EEXIST)
                throw std::runtime_error("cannot write '" + path + "': " + std::strerror(error));
        }
        throw std::runtime_error("every name for '" + base + "' up to " + std::to_string(kMostNumbers) +
                                 " is taken in '" + folder + "'");
    }
    catch (...)
    {
        unlink(written.c_str());
        rmdir(work.c_str());
        throw;
    }
}

std::string NumberedName(const std::string& base, int number, Container container)
{
    return base + (number == 1 ? "" : " (" + std::to_string(number) + ")") + ExtensionOf(container);
}

std::vector<SampleFormat> SampleFormatsOf(Container container)
{
    switch (container)
    {
    case Container::kOgg:
    case Container::kMp3:
        return {};
    case Container::kFlac:
        return {SampleFormat::kPcm16, SampleFormat::kPcm24};
    default:
        return {SampleFormat::kPcm16, SampleFormat::kPcm24, SampleFormat::kFloat};
    }
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

std::string SuggestExportName(const std::string& folder, const ListedSound& sound, Container container)
{
    const std::string base = FileNameFor(sound.name);
    for (int n = 1;; ++n)
    {
        const std::string name = NumberedName(base, n, container);
        if (access((folder + "/" + name).c_str(), F_OK) != 0)
            return name;
    }
}

std::string SlotsOf(AUInstance& unit)
{
    UInt32 size = 0;
    Boolean writable = false;
    if (unit.GetPropertyInfo(kPropertySlots, kAudioUnitScope_Global, 0, &size, &writable) != noErr ||
        size < sizeof(SInt32))
        return "";
    std::string slots(size, '\0');
    if (unit.GetProperty(kPropertySlots, kAudioUnitScope_Global, 0, &slots[0], &size) != noErr)
        return "";
    slots.resize(size);
    return slots;
}

void RestoreSlots(AUInstance& unit, const std::string& slots)
{
    if (unit.SetProperty(kPropertySlots, kAudioUnitScope_Global, 0, slots.data(),
                         static_cast<UInt32>(slots.size())) != noErr)
        throw std::runtime_error("the instrument refused the kept slots");
}

namespace
{

const char kSlotsMagic[] = "BFSL";
const uint32_t kSlotsVersion = 1;
const size_t kSlotBytes = 60 * sizeof(double);
const size_t kHeadBytes = 8; // name and version

uint32_t checksum(const std::string& bytes)
{
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

} // namespace

std::string SlotsFileBytes(const std::string& slots)
{
    std::string kept = slots;
    const size_t count = (slots.size() - sizeof(SInt32)) / kSlotBytes;
    if (count > kKeptSlots)
    {
        const size_t dropped = count - kKeptSlots;
        SInt32 shown;
        std::memcpy(&shown, slots.data(), sizeof shown);
        shown = std::max<SInt32>(0, shown - static_cast<SInt32>(dropped));
        kept = std::string(reinterpret_cast<const char*>(&shown), sizeof shown) +
               slots.substr(sizeof shown + dropped * kSlotBytes);
    }
    std::string file(kSlotsMagic, 4);
    file.append(reinterpret_cast<const char*>(&kSlotsVersion), sizeof kSlotsVersion);
    file += kept;
    const uint32_t sum = checksum(file);
    file.append(reinterpret_cast<const char*>(&sum), sizeof sum);
    return file;
}

std::string SlotsFromFileBytes(const std::string& file)
{
    uint32_t version = 0, sum = 0;
    if (file.size() < kHeadBytes + sizeof(SInt32) + sizeof sum || file.compare(0, 4, kSlotsMagic) != 0)
        throw std::runtime_error("not a file of kept slots");
    std::memcpy(&version, file.data() + 4, sizeof version);
    std::memcpy(&sum, file.data() + file.size() - sizeof sum, sizeof sum);
    if (version != kSlotsVersion)
        throw std::runtime_error("kept slots of version " + std::to_string(version) +
                                 ", which this Bleepforge cannot read");
    if (checksum(file.substr(0, file.size() - sizeof sum)) != sum)
        throw std::runtime_error("the kept slots are damaged (their checksum does not match)");
    return file.substr(kHeadBytes, file.size() - kHeadBytes - sizeof sum);
}

std::string PastedSound(const std::string& text)
{
    const std::string trimmed = TrimSpace(text);
    const std::string first = TrimSpace(trimmed.substr(0, trimmed.find_first_of("\r\n")));
    if (LooksLikeShareCode(first))
        return first;
    if (first.rfind("file://", 0) == 0)
    {
        gchar* path = g_filename_from_uri(first.c_str(), nullptr, nullptr);
        const std::string result = path ? path : "";
        g_free(path);
        return result;
    }
    if (first.rfind("~/", 0) == 0)
        return std::string(g_get_home_dir()) + first.substr(1);
    return first.rfind('/', 0) == 0 ? first : "";
}

const char kCopiedSoundTarget[] = "application/x-bleepforge-sound";

namespace
{

const char kCopiedSoundHead[] = "bleepforge sound 1\n";
const size_t kMostCopiedBytes = 1 << 16;

} // namespace

// The head, then name, kind and code on one line between tabs, which
// names and kinds in the list never hold.
std::string CopiedSoundText(const ListedSound& sound, const std::string& code)
{
    return kCopiedSoundHead + sound.name + '\t' + sound.kind + '\t' + code;
}

bool ReadCopiedSound(const std::string& text, ListedSound* sound, std::string* code)
{
    const size_t head = sizeof kCopiedSoundHead - 1;
    if (text.size() > kMostCopiedBytes || text.compare(0, head, kCopiedSoundHead) != 0)
        return false;
    const std::string line = text.substr(head);
    const size_t tab = line.find('\t'), second = line.find('\t', tab + 1);
    if (tab == 0 || second == std::string::npos || second == tab + 1 || line.find('\n') != std::string::npos ||
        !LooksLikeShareCode(line.substr(second + 1)))
        return false;
    sound->name = line.substr(0, tab);
    sound->kind = line.substr(tab + 1, second - tab - 1);
    sound->state.clear();
    *code = line.substr(second + 1);
    return true;
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
    const std::string lock = keptPath + ".lock";
    // O_NONBLOCK: a FIFO in its place must not hang the app.
    mFd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (mFd < 0)
    {
        const std::string reason = std::strerror(errno);
        const std::string folder = lock.substr(0, lock.rfind('/') + 1);
        mProblem = "the folder '" + (folder.empty() ? std::string("./") : folder) +
                   "' cannot be written (" + reason + ")";
        return;
    }
    if (flock(mFd, LOCK_EX | LOCK_NB) != 0)
    {
        if (errno != EWOULDBLOCK)
            mProblem = "'" + lock + "' cannot be locked (" + std::strerror(errno) + ")";
        close(mFd);
        mFd = -1;
    }
}

KeepLock::~KeepLock()
{
    if (mFd >= 0)
        close(mFd);
}
