#include "AudioFile.h"

#include "KIT_SafeFile.h"

#include <sndfile.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <unistd.h>
#include <vector>

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

using SoundFile = std::unique_ptr<SNDFILE, int (*)(SNDFILE*)>;

void writeFrames(SNDFILE* file, const RenderResult& audio, const std::string& what)
{
    // Integer formats clip rather than wrap around. No peak chunk: it carries
    // the time of writing, and the same sound must give the same file.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    std::vector<double> interleaved;
    interleaved.reserve(audio.left.size() * 2);
    for (size_t i = 0; i < audio.left.size(); ++i)
    {
        interleaved.push_back(audio.left[i]);
        interleaved.push_back(audio.right[i]);
    }
    const sf_count_t frames = static_cast<sf_count_t>(audio.left.size());
    if (sf_writef_double(file, interleaved.data(), frames) != frames)
        throw std::runtime_error("cannot write " + what + ": " + sf_strerror(file));
}

std::unique_ptr<KIT_SafeFile> prepareState(const std::string& path, const ByteChunk& state)
{
    auto file = std::make_unique<KIT_SafeFile>(path);
    if (!file->Write(state.GetBytes(), static_cast<size_t>(state.Size())))
        throw std::runtime_error("cannot write state file: " + file->Error());
    return file;
}

void writeState(const std::string& path, const ByteChunk& state)
{
    std::unique_ptr<KIT_SafeFile> file = prepareState(path, state);
    if (!file->Commit())
        throw std::runtime_error("cannot write state file: " + file->Error());
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

void WriteAudio(const std::string& path, SampleFormat format, double rate,
                const RenderResult& audio, const std::string& statePath,
                const std::string& comment)
{
    SF_INFO info = {};
    info.samplerate = static_cast<int>(rate);
    info.channels = 2;
    if (path == "-")
    {
        info.format = SF_FORMAT_RAW | subtype(format) | SF_ENDIAN_LITTLE;
        SoundFile out(sf_open_fd(STDOUT_FILENO, SFM_WRITE, &info, SF_FALSE), &sf_close);
        if (!out)
            throw std::runtime_error(std::string("cannot write to standard output: ") +
                                     sf_strerror(nullptr));
        writeFrames(out.get(), audio, "standard output");
        out.reset();
        if (!statePath.empty())
            writeState(statePath, audio.state);
        return;
    }

    // Both files are written whole before either replaces what was there.
    info.format = SF_FORMAT_WAV | subtype(format);
    KIT_SafeFile file(path);
    if (!file.IsOpen())
        throw std::runtime_error(file.Error());
    {
        SoundFile out(sf_open_fd(file.Descriptor(), SFM_WRITE, &info, SF_FALSE), &sf_close);
        if (!out)
            throw std::runtime_error("cannot create '" + path + "': " + sf_strerror(nullptr));
        if (!comment.empty())
            sf_set_string(out.get(), SF_STR_COMMENT, comment.c_str());
        writeFrames(out.get(), audio, "'" + path + "'");
        if (sf_close(out.release()) != 0)
            throw std::runtime_error("cannot finish '" + path + "'");
    }
    std::unique_ptr<KIT_SafeFile> state;
    if (!statePath.empty())
        state = prepareState(statePath, audio.state);
    if (!file.Commit())
        throw std::runtime_error(file.Error());
    if (state && !state->Commit())
        throw std::runtime_error("cannot write state file: " + state->Error());
}
