#pragma once

#include "AudioFile.h"
#include "Levels.h"

#include <cstdio>
#include <string>
#include <vector>

// Writes a sound brought to a level as asked while holding only a block of it
// in memory: the rendered samples are measured as they are spooled to an
// unlinked temporary file, then read back, scaled and written on Commit. The
// written samples are the gain times the rendered ones, as if the whole sound
// had been held.
class NormalizedWriter
{
public:
    NormalizedWriter(const std::string& path, const AudioFormat& format, double rate,
                     const Normalization& asked);
    ~NormalizedWriter();
    NormalizedWriter(const NormalizedWriter&) = delete;
    NormalizedWriter& operator=(const NormalizedWriter&) = delete;

    // The frames in order, as a FrameSink takes them.
    void Write(const double* left, const double* right, long frames);
    // Chooses the gain, writes the file with the tags and the companion
    // beside it (as AudioWriter::Commit), and says what normalising did.
    Leveling Commit(const AudioTags& tags, const std::vector<Companion>& companions = {});

private:
    void Replay(const FrameSink& sink);

    std::string mPath;
    AudioFormat mFormat;
    double mRate;
    Leveler mLeveler;
    FILE* mSpool;
    long mFrames = 0;
    std::vector<double> mInterleaved, mLeft, mRight;
};
