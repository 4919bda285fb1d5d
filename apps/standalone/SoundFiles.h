#pragma once

#include "AudioFile.h"
#include "Clip.h"
#include "HostRender.h"
#include "Levels.h"
#include "SoundFileNames.h"
#include "SoundList.h"

#include <memory>
#include <mutex>

// A state file, or an .aupreset by its extension; never half-written.
void SaveSound(AUInstance& unit, const std::string& path);
// Either kind, an audio file Bleepforge wrote, or a sound code in place of a
// path; checked whole by the instrument before any of it applies.
void OpenSound(const AUBundle& bundle, AUInstance& unit, const std::string& path);

struct ExportSettings
{
    AudioFormat format{Container::kWav, SampleFormat::kPcm16, 1};
    double rate = 44100;
    bool normalise = true; // the peak to kExportPeak, or with loudness the loudness
    bool loudness = false; // to kExportLoudness, the true peak held at kTruePeakCeiling
};
const double kExportPeak = -1.0;      // dBFS
const double kExportLoudness = -16.0; // LUFS
// What normalising brings the sound to under these settings.
Normalization ExportNormalization(const ExportSettings& settings);

// The sound as Export writes it, before its samples are quantised.
struct ExportedSound
{
    RenderResult audio;
    double gain = 1.0; // what normalising applied
};

// The sound as it is heard: what Export writes of it, in one channel of
// floats (a file of floats holds these samples exactly).
Clip ClipOf(const ExportedSound& sound);

// The render of the current sound that Export makes: one note held through
// attack, hold and decay (as bleepforge generate renders it), then until it
// has died away. Read on the thread that owns the instance.
HostRender ExportJob(AUInstance& unit, double rate);

// Where the sound's renders run. A render seeds and draws the plug-in's random
// sequence, which is one per loaded library: in the window's own library it
// would reset the sequence the generators draw from (every press after a
// render would make the same sound) and race them. So renders run in a copy of
// the bundle loaded on its own, one at a time, and each render's noise is the
// one its seed gives.
class RenderBundle
{
public:
    // Loads a copy of the bundle made in a private folder; throws
    // std::runtime_error saying what failed.
    explicit RenderBundle(const AUBundle& bundle);
    RenderBundle(const RenderBundle&) = delete;
    RenderBundle& operator=(const RenderBundle&) = delete;

    // Renders in a fresh instance of the copy; any thread may call it.
    ExportedSound Render(const HostRender& job, const ExportSettings& settings);
    // Export's job for a state, read in a fresh instance of the copy, so the
    // window's instance stays as it is; any thread may call it.
    HostRender JobFor(const std::string& state, double rate);

private:
    std::unique_ptr<AUBundle> mCopy;
    std::mutex mMutex;
};

// Writes the sound with the state and its sound code inside, so that it opens
// again; returns the gain normalising applied.
double ExportSound(RenderBundle& renders, AUInstance& unit, const ExportSettings& settings,
                   const std::string& path);
// A listed sound written into a folder, named after it and numbered past any
// file there ("pickup 3 (2).wav"), the same bytes as Export of that sound;
// any thread may call it. Never replaces a file, even one made meanwhile;
// returns the path written.
std::string ExportListed(RenderBundle& renders, const std::string& state, const std::string& name,
                         const ExportSettings& settings, const std::string& folder);
// The names a listed sound may take in turn: "name.ext", "name (2).ext", …
std::string NumberedName(const std::string& base, int number, Container container);

// The sample formats a container lets Export choose, in SampleFormat order;
// none for those that have no choice of their own (Ogg Vorbis, MP3).
std::vector<SampleFormat> SampleFormatsOf(Container container);

// "kind-N.ext" in the folder with the lowest N from 1 whose file is not there.
std::string SuggestExportName(const std::string& folder, const std::string& kind,
                              Container container);
// A listed sound's first name free in the folder: "pickup 3.ext", then
// "pickup 3 (2).ext", …, as Export several names it.
std::string SuggestExportName(const std::string& folder, const ListedSound& sound, Container container);

// The instrument's sound slots as its property holds them: the slot shown,
// then every slot's values. Empty when it gives none.
std::string SlotsOf(AUInstance& unit);
// Throws when the instrument refuses them; its slots are then unchanged.
void RestoreSlots(AUInstance& unit, const std::string& slots);
// The slots as a file keeps them: the newest kKeptSlots only, behind a name
// and version and ahead of a checksum.
const size_t kKeptSlots = 500;
std::string SlotsFileBytes(const std::string& slots);
// Throws std::runtime_error saying what is wrong with a damaged file.
std::string SlotsFromFileBytes(const std::string& file);

// What pasted text names: a sound code, or a sound file's path as text or as
// a file:// address (as file managers copy one); "" when neither.
std::string PastedSound(const std::string& text);

// A sound of the list as the app puts it on the clipboard beside its code
// (which other programs take as text): its name and kind go with it, so that
// pasted into a list it is the sound it was.
extern const char kCopiedSoundTarget[];
std::string CopiedSoundText(const ListedSound& sound, const std::string& code);
// The sound, name and kind of such a text, the state left empty and the
// code in *code; false for anything else.
bool ReadCopiedSound(const std::string& text, ListedSound* sound, std::string* code);

// Moves a kept sound that cannot be read out of the way under the first free
// name of path.unreadable, path.unreadable-2, …, never replacing a file, so
// that every such sound can still be recovered. The new name, or "" when it
// could not be moved.
std::string MoveAside(const std::string& path);

// One app at a time keeps its sound in a file: an advisory lock on a file
// beside it, held as long as this object lives.
class KeepLock
{
public:
    explicit KeepLock(const std::string& keptPath);
    ~KeepLock();
    KeepLock(const KeepLock&) = delete;
    KeepLock& operator=(const KeepLock&) = delete;

    // False when another app holds it, or when it cannot be taken at all.
    bool Held() const { return mFd >= 0; }
    // Why it cannot be taken at all (the folder cannot be written, and
    // where); "" when it is held, here or by another app.
    const std::string& Problem() const { return mProblem; }

private:
    int mFd = -1;
    std::string mProblem;
};
