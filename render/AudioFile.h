#pragma once

#include "Requests.h"

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

class KIT_SafeFile;
struct sf_private_tag;

// Writes a stereo WAV file block by block, or headerless little-endian
// interleaved samples to standard output when the path is "-". A file appears
// only on Commit; anything that ends the writer before then (an error, an
// interruption) leaves no new file and changes no existing one. A pipe or
// other output that cannot seek still gets a whole WAV, sizes included: it is
// spooled to a temporary file and sent on Commit.
class AudioWriter
{
public:
    // A comment, when given, goes into the file's INFO metadata.
    AudioWriter(const std::string& path, SampleFormat format, double rate,
                const std::string& comment = "");
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    void Write(const double* left, const double* right, long frames);
    // Finishes the audio. A companion file (the state, a preset) is written
    // whole first and committed before the audio, so it is never missing
    // beside a finished audio file.
    void Commit(const std::string& companionPath = "", const std::string& companionBytes = "");

private:
    void CloseSound();
    void SendSpool();

    std::string mWhat;
    std::unique_ptr<KIT_SafeFile> mFile; // null for standard output
    FILE* mSpool = nullptr;              // for outputs that cannot seek
    sf_private_tag* mSound = nullptr;
    std::vector<double> mInterleaved;
};

// A whole result through an AudioWriter, with the state beside it unless the
// state path is empty.
void WriteAudio(const std::string& path, SampleFormat format, double rate,
                const RenderResult& audio, const std::string& statePath = "",
                const std::string& comment = "");

// Refuses (UsageError) outputs of which two would write one file; "-" is
// standard output. Paths that are empty are no output.
void RefuseSharedOutputs(const std::vector<std::string>& paths);
