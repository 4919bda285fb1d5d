#include "AudioFile.h"

#include "KIT_SafeFile.h"

#include <sndfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <unistd.h>

namespace
{

int subtype(SampleFormat format)
{
    switch (format)
    {
    case SampleFormat::kPcm16:
        return SF_FORMAT_PCM_16;
    case SampleFormat::kPcm24:
        return SF_FORMAT_PCM_24;
    case SampleFormat::kFloat:
        return SF_FORMAT_FLOAT;
    default:
        return SF_FORMAT_DOUBLE;
    }
}

bool seekable(int fd)
{
    return lseek(fd, 0, SEEK_CUR) != -1;
}

SNDFILE* openSound(int fd, SF_INFO* info, const std::string& what)
{
    SNDFILE* sound = sf_open_fd(fd, SFM_WRITE, info, SF_FALSE);
    if (!sound)
        throw std::runtime_error("cannot create " + what + ": " + sf_strerror(nullptr));
    // Integer formats clip rather than wrap around. No peak chunk: it carries
    // the time of writing, and the same sound must give the same file.
    sf_command(sound, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_command(sound, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    return sound;
}

} // namespace

SampleFormat ParseSampleFormat(const std::string& name)
{
    if (name == "pcm16")
        return SampleFormat::kPcm16;
    if (name == "pcm24")
        return SampleFormat::kPcm24;
    if (name == "float")
        return SampleFormat::kFloat;
    if (name == "double")
        return SampleFormat::kDouble;
    throw UsageError("--format '" + name + "': expected pcm16, pcm24, float or double");
}

AudioWriter::AudioWriter(const std::string& path, SampleFormat format, double rate,
                         const std::string& comment)
{
    SF_INFO info = {};
    info.samplerate = static_cast<int>(rate);
    info.channels = 2;
    if (path == "-")
    {
        mWhat = "standard output";
        info.format = SF_FORMAT_RAW | subtype(format) | SF_ENDIAN_LITTLE;
        mSound = openSound(STDOUT_FILENO, &info, mWhat);
        return;
    }
    mWhat = "'" + path + "'";
    info.format = SF_FORMAT_WAV | subtype(format);
    mFile = std::make_unique<KIT_SafeFile>(path);
    if (!mFile->IsOpen())
        throw std::runtime_error(mFile->Error());
    int fd = mFile->Descriptor();
    if (!seekable(fd))
    {
        mSpool = std::tmpfile();
        if (!mSpool)
            throw std::runtime_error("cannot make a temporary file for " + mWhat + ": " +
                                     std::strerror(errno));
        fd = fileno(mSpool);
    }
    mSound = openSound(fd, &info, mWhat);
    if (!comment.empty())
        sf_set_string(mSound, SF_STR_COMMENT, comment.c_str());
}

AudioWriter::~AudioWriter()
{
    if (mSound)
        sf_close(mSound);
    if (mSpool)
        std::fclose(mSpool);
}

void AudioWriter::Write(const double* left, const double* right, long frames)
{
    mInterleaved.resize(static_cast<size_t>(frames) * 2);
    for (long i = 0; i < frames; ++i)
    {
        mInterleaved[static_cast<size_t>(2 * i)] = left[i];
        mInterleaved[static_cast<size_t>(2 * i + 1)] = right[i];
    }
    if (sf_writef_double(mSound, mInterleaved.data(), frames) != frames)
        throw std::runtime_error("cannot write " + mWhat + ": " + sf_strerror(mSound));
}

void AudioWriter::CloseSound()
{
    SNDFILE* sound = mSound;
    mSound = nullptr;
    if (sf_close(sound) != 0)
        throw std::runtime_error("cannot finish " + mWhat);
}

// The spooled WAV, sizes now known, goes to the output that cannot seek.
void AudioWriter::SendSpool()
{
    std::rewind(mSpool);
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, mSpool)) > 0)
    {
        if (!mFile->Write(buffer, n))
            throw std::runtime_error(mFile->Error());
    }
    if (std::ferror(mSpool))
        throw std::runtime_error("cannot read back the temporary file for " + mWhat);
}

void AudioWriter::Commit(const std::string& companionPath, const std::string& companionBytes)
{
    CloseSound();
    if (mSpool)
        SendSpool();
    std::unique_ptr<KIT_SafeFile> companion;
    if (!companionPath.empty())
    {
        companion = std::make_unique<KIT_SafeFile>(companionPath);
        if (!companion->Write(companionBytes.data(), companionBytes.size()) || !companion->Commit())
            throw std::runtime_error("cannot write '" + companionPath + "': " + companion->Error());
    }
    if (mFile && !mFile->Commit())
        throw std::runtime_error(mFile->Error());
}

void WriteAudio(const std::string& path, SampleFormat format, double rate,
                const RenderResult& audio, const std::string& statePath, const std::string& comment)
{
    AudioWriter writer(path, format, rate, comment);
    writer.Write(audio.left.data(), audio.right.data(), static_cast<long>(audio.left.size()));
    const std::string state(reinterpret_cast<const char*>(audio.state.GetBytes()),
                            static_cast<size_t>(audio.state.Size()));
    writer.Commit(statePath, state);
}

void RefuseSharedOutputs(const std::vector<std::string>& paths)
{
    std::map<std::string, std::string> seen; // identity -> the path first given
    for (const std::string& path : paths)
    {
        if (path.empty())
            continue;
        const std::string identity = KIT_OutputIdentity(path == "-" ? "/dev/stdout" : path);
        if (identity.empty())
            continue;
        const auto [earlier, added] = seen.emplace(identity, path);
        if (!added)
            throw UsageError("'" + earlier->second + "' and '" + path +
                             "' are the same file; give each output its own name (nothing was "
                             "written)");
    }
}
