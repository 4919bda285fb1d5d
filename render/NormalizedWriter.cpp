#include "NormalizedWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace
{

const long kReplayFrames = 4096;

} // namespace

NormalizedWriter::NormalizedWriter(const std::string& path, const AudioFormat& format, double rate,
                                   const Normalization& asked)
    : mPath(path), mFormat(format), mRate(rate), mLeveler(asked, rate, format.channels),
      mSpool(std::tmpfile())
{
    if (!mSpool)
        throw std::runtime_error("cannot make a temporary file to normalise '" + path + "': " +
                                 std::strerror(errno));
}

NormalizedWriter::~NormalizedWriter()
{
    std::fclose(mSpool);
}

void NormalizedWriter::Write(const double* left, const double* right, long frames)
{
    mLeveler.Add(left, right, frames);
    mInterleaved.resize(2 * static_cast<size_t>(frames));
    for (long i = 0; i < frames; ++i)
    {
        mInterleaved[2 * static_cast<size_t>(i)] = left[i];
        mInterleaved[2 * static_cast<size_t>(i) + 1] = right[i];
    }
    if (std::fwrite(mInterleaved.data(), sizeof(double), mInterleaved.size(), mSpool) != mInterleaved.size())
        throw std::runtime_error("cannot keep the sound in a temporary file to normalise '" + mPath +
                                 "': " + std::strerror(errno));
    mFrames += frames;
}

void NormalizedWriter::Replay(const FrameSink& sink)
{
    if (std::fflush(mSpool) != 0 || std::fseek(mSpool, 0, SEEK_SET) != 0)
        throw std::runtime_error("cannot read back the sound to normalise '" + mPath + "'");
    mInterleaved.resize(2 * static_cast<size_t>(kReplayFrames));
    mLeft.resize(static_cast<size_t>(kReplayFrames));
    mRight.resize(mLeft.size());
    for (long done = 0; done < mFrames;)
    {
        const long frames = std::min(kReplayFrames, mFrames - done);
        if (std::fread(mInterleaved.data(), 2 * sizeof(double), static_cast<size_t>(frames), mSpool) !=
            static_cast<size_t>(frames))
            throw std::runtime_error("cannot read back the sound to normalise '" + mPath + "'");
        for (size_t i = 0; i < static_cast<size_t>(frames); ++i)
        {
            mLeft[i] = mInterleaved[2 * i];
            mRight[i] = mInterleaved[2 * i + 1];
        }
        sink(mLeft.data(), mRight.data(), frames);
        done += frames;
    }
}

Leveling NormalizedWriter::Commit(const AudioTags& tags, const std::vector<Companion>& companions)
{
    const Leveling done = mLeveler.Finish([this](const FrameSink& sink) { Replay(sink); });
    AudioWriter writer(mPath, mFormat, mRate, mFrames, tags);
    std::vector<double> left, right;
    Replay(
        [&](const double* rawLeft, const double* rawRight, long frames)
        {
            left.resize(static_cast<size_t>(frames));
            right.resize(left.size());
            for (size_t i = 0; i < left.size(); ++i)
            {
                left[i] = rawLeft[i] * done.gain;
                right[i] = rawRight[i] * done.gain;
            }
            writer.Write(left.data(), right.data(), frames);
        });
    writer.Commit(companions);
    return done;
}
