#pragma once

#include "RenderLoop.h"
#include "KIT_UsageError.h"

#include <memory>
#include <string>
#include <vector>

enum class SampleFormat
{
    kPcm16,
    kPcm24,
    kFloat,
    kDouble
};

SampleFormat ParseSampleFormat(const std::string& name);

// The integer a pcm16 (bits 16) or pcm24 (bits 24) file holds for a sample:
// the nearest step of 2^-(bits-1) full scale, an exact half to the even step,
// held to the format's range; a NaN is silence. Every container and surface
// stores whole-number samples so, so that a sound's files agree.
long PcmValue(double sample, int bits);

// File kinds libsndfile writes for us.
enum class Container
{
    kWav,
    kFlac,
    kOgg,
    kAiff,
    kMp3
};

// The container a file name's extension names (any case), WAV for a name
// without one (devices, pipes); throws UsageError naming the known extensions
// for any other.
Container ContainerOf(const std::string& path);
// The usual extension, with its dot.
const char* ExtensionOf(Container container);

struct AudioFormat
{
    Container container = Container::kWav;
    SampleFormat sample = SampleFormat::kPcm16; // Ogg Vorbis and MP3 have none of their own
    int channels = 2;                           // 1: the two channels' mean
};

// The format of an output: its container by the path's extension (standard
// output, "-", is raw), the sample format and channels given. Throws
// UsageError for an unknown extension, channels other than 1 or 2, or a rate
// or length the container cannot carry, so that nothing renders in vain.
AudioFormat OutputFormat(const std::string& path, SampleFormat sample, int channels,
                         const RenderRequest& request);

// Refuses (UsageError, naming the limit) a rate the container cannot carry,
// or more frames than an AIFF's 32-bit sizes hold.
void CheckFits(const AudioFormat& format, double rate, long frames);
// Whether a WAV of this many frames outgrows the 32-bit sizes of RIFF, and is
// written as RF64 instead.
bool NeedsRF64(const AudioFormat& format, long frames);

// What a file carries beside its samples. A sound code goes into the
// comment and, in a WAV, into a chunk of our own ("bfst"); both carry the
// state with its checksum, so the file opens again as the sound it plays.
struct AudioTags
{
    std::string comment;
    std::string soundCode;
};

// A file written beside the audio (the state, a preset); "-" sends it to
// standard output.
struct Companion
{
    std::string path;
    std::string bytes;
};

class KIT_SafeFile;
struct sf_private_tag;

// Writes an audio file block by block, or headerless little-endian
// interleaved samples to standard output when the path is "-". A file appears
// only on Commit; anything that ends the writer before then (an error, an
// interruption) leaves no new file and changes no existing one. A pipe or
// other output that cannot seek still gets a whole WAV, sizes included: it is
// spooled to a temporary file and sent on Commit. An Ogg is spooled too, so
// that its stream is renumbered before it is sent.
class AudioWriter
{
public:
    // For at most mostFrames frames, which decide between RIFF and RF64 for a
    // WAV. Throws UsageError for a format, rate or length the container
    // cannot hold.
    AudioWriter(const std::string& path, const AudioFormat& format, double rate, long mostFrames,
                const AudioTags& tags);
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // Throws, writing nothing, past the frames announced.
    void Write(const double* left, const double* right, long frames);
    // Finishes the audio. Companion files are written whole first and
    // committed before the audio, so none is missing beside a finished audio
    // file.
    void Commit(const std::vector<Companion>& companions = {});

private:
    long WriteInterleaved(long frames);
    void CloseSound();
    void SendSpool();
    void Tag(const AudioTags& tags, Container container);

    std::string mWhat;
    std::unique_ptr<KIT_SafeFile> mFile; // null for standard output
    FILE* mSpool = nullptr;              // for outputs that cannot seek, and Ogg
    sf_private_tag* mSound = nullptr;
    std::vector<double> mInterleaved;
    int mChannels = 2;
    Container mContainer = Container::kWav;
    long mFramesLeft = 0;
    int mPcmBits = 0;        // 16 or 24 when we round the samples ourselves, else 0
    std::vector<int> mWhole; // the samples as PcmValue stores them, left-aligned in 32 bits
};

// The code a Bleepforge audio file carries, of one sound or of layers: in WAV
// its chunk, else the code in its comment (an ID3 comment in MP3). Throws
// std::runtime_error when it is not an audio file or none of ours.
std::string ReadCodeFromAudio(const std::string& path);
// The state a Bleepforge audio file of one sound carries. Throws
// std::runtime_error saying what is wrong: not an audio file, none of ours, a
// layered sound, or a damaged code (the checksum catches it).
ByteChunk ReadSoundFromAudio(const std::string& path);
// Whether a file begins as a WAV (RIFF or RF64), FLAC, Ogg, AIFF or MP3 file
// does.
bool LooksLikeAudioFile(const std::string& path);

// Refuses (UsageError) outputs of which two would write one file; "-" is
// standard output. Paths that are empty are no output.
void RefuseSharedOutputs(const std::vector<std::string>& paths);
