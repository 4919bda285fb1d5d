#include "AudioFile.h"

#include "KIT_ReadFile.h"
#include "KIT_SafeFile.h"
#include "OggPages.h"
#include "ShareCode.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
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

const char kSoundChunk[] = "bfst";

struct ContainerName
{
    Container container;
    const char* extension;
    int format;
};
const ContainerName kContainers[] = {{Container::kWav, ".wav", SF_FORMAT_WAV},
                                     {Container::kFlac, ".flac", SF_FORMAT_FLAC},
                                     {Container::kOgg, ".ogg", SF_FORMAT_OGG},
                                     {Container::kAiff, ".aiff", SF_FORMAT_AIFF},
                                     {Container::kAiff, ".aif", SF_FORMAT_AIFF},
                                     {Container::kMp3, ".mp3", SF_FORMAT_MPEG}};

const ContainerName& nameOf(Container container)
{
    return *std::find_if(std::begin(kContainers), std::end(kContainers),
                         [container](const ContainerName& n) { return n.container == container; });
}

// The libsndfile format of a container and sample format; UsageError when the
// container cannot hold it.
int fileFormat(const AudioFormat& format)
{
    const int container = nameOf(format.container).format;
    if (format.container == Container::kOgg)
        return container | SF_FORMAT_VORBIS;
    if (format.container == Container::kMp3)
        return container | SF_FORMAT_MPEG_LAYER_III;
    const bool integer =
        format.sample == SampleFormat::kPcm16 || format.sample == SampleFormat::kPcm24;
    if (format.container == Container::kFlac && !integer)
        throw UsageError("FLAC holds 16- or 24-bit samples (pcm16 or pcm24), not floating point");
    return container | subtype(format.sample);
}

long long sampleBytes(SampleFormat format)
{
    switch (format)
    {
    case SampleFormat::kPcm16:
        return 2;
    case SampleFormat::kPcm24:
        return 3;
    case SampleFormat::kFloat:
        return 4;
    default:
        return 8;
    }
}

// RIFF and AIFF count their bytes in 32 bits; this leaves room for everything
// besides the samples (format, the sound's chunk, the comment).
bool outgrows32BitSizes(const AudioFormat& format, long frames)
{
    const long long most = 0xFFFFFFFFLL - (1LL << 20);
    return static_cast<long long>(frames) * format.channels * sampleBytes(format.sample) > most;
}

const int kMostOggRate = 200000;
const int kMostFlacRateInHz = 65535; // above it, FLAC's frames give the rate in tens of Hz
const int kMp3Rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

void checkRate(Container container, int rate)
{
    const std::string asked = " Hz, not " + std::to_string(rate) + " Hz; ";
    if (container == Container::kOgg && rate > kMostOggRate)
        throw UsageError("Ogg Vorbis holds sample rates up to " + std::to_string(kMostOggRate) +
                         asked + "choose a lower rate, or .wav or .flac");
    if (container == Container::kFlac && rate > kMostFlacRateInHz && rate % 10 != 0)
        throw UsageError("FLAC holds sample rates above " + std::to_string(kMostFlacRateInHz) +
                         " Hz only in steps of 10" + asked + "choose " +
                         std::to_string(rate / 10 * 10) + " Hz, or .wav");
    if (container == Container::kMp3 &&
        std::find(std::begin(kMp3Rates), std::end(kMp3Rates), rate) == std::end(kMp3Rates))
    {
        std::string rates;
        for (const int r : kMp3Rates)
            rates += (rates.empty() ? "" : ", ") + std::to_string(r);
        throw UsageError("MP3 holds only the sample rates " + rates + " Hz, not " +
                         std::to_string(rate) + " Hz; choose one of them, or .wav, .flac or .ogg");
    }
}

// The bits per sample we round ourselves: libsndfile's own conversion truncates
// pcm16 and pcm24 in WAV, AIFF and raw streams but rounds in FLAC. Lossy
// encoders take the samples as they are.
int pcmBits(const AudioFormat& format)
{
    if (format.container == Container::kOgg || format.container == Container::kMp3)
        return 0;
    if (format.sample == SampleFormat::kPcm16)
        return 16;
    return format.sample == SampleFormat::kPcm24 ? 24 : 0;
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

long PcmValue(double sample, int bits)
{
    if (std::isnan(sample))
        return 0;
    const double top = static_cast<double>(1L << (bits - 1));
    const double held = std::min(std::max(sample * top, -top), top - 1.0);
    // Adding and taking away 1.5 * 2^52 rounds a value this small to the
    // nearest integer, an exact half to the even one, as lrint does in the
    // default rounding mode, without a library call per sample.
    const double kRounder = 6755399441055744.0;
    return static_cast<long>((held + kRounder) - kRounder);
}

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

Container ContainerOf(const std::string& path)
{
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    std::string extension = dot == std::string::npos ||
                                    (slash != std::string::npos && dot < slash)
                                ? ""
                                : path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension.empty())
        return Container::kWav; // devices, pipes and bare names, as always
    std::string known;
    for (const ContainerName& name : kContainers)
    {
        if (extension == name.extension)
            return name.container;
        known += std::string(known.empty() ? "" : ", ") + name.extension;
    }
    throw UsageError("'" + path + "': unknown kind of audio file; use one of " + known);
}

const char* ExtensionOf(Container container)
{
    return nameOf(container).extension;
}

AudioFormat OutputFormat(const std::string& path, SampleFormat sample, int channels,
                         const RenderRequest& request)
{
    if (channels != 1 && channels != 2)
        throw UsageError("--channels: expected 1 or 2");
    const AudioFormat format{path == "-" ? Container::kWav : ContainerOf(path), sample, channels};
    fileFormat(format); // refuses a sample format the container cannot hold
    CheckFits(format, request.rate, MostFrames(request));
    return format;
}

void CheckFits(const AudioFormat& format, double rate, long frames)
{
    checkRate(format.container, static_cast<int>(rate));
    if (format.container == Container::kAiff && outgrows32BitSizes(format, frames))
        throw UsageError("AIFF holds at most 4 GiB, less than " + std::to_string(frames) +
                         " frames in this format; use .wav (RF64 past 4 GiB), .flac, a smaller "
                         "--format or a shorter --length");
}

bool NeedsRF64(const AudioFormat& format, long frames)
{
    return format.container == Container::kWav && outgrows32BitSizes(format, frames);
}

AudioWriter::AudioWriter(const std::string& path, const AudioFormat& format, double rate,
                         long mostFrames, const AudioTags& tags)
    : mChannels(format.channels), mContainer(format.container), mFramesLeft(mostFrames),
      mPcmBits(pcmBits(format))
{
    if (mChannels != 1 && mChannels != 2)
        throw UsageError("channels: expected 1 or 2");
    SF_INFO info = {};
    info.samplerate = static_cast<int>(rate);
    info.channels = mChannels;
    if (path != "-")
    {
        CheckFits(format, rate, mostFrames);
        info.format = fileFormat(format);
        if (NeedsRF64(format, mostFrames))
            info.format = (info.format & ~SF_FORMAT_TYPEMASK) | SF_FORMAT_RF64;
        if (!sf_format_check(&info))
            throw UsageError(std::string("this system's libsndfile cannot write ") +
                             ExtensionOf(format.container) + " files at " + std::to_string(info.samplerate) +
                             " Hz; try .wav, .flac or .ogg");
    }
    if (path == "-")
    {
        mWhat = "standard output";
        info.format = SF_FORMAT_RAW | subtype(format.sample) | SF_ENDIAN_LITTLE;
        mSound = openSound(STDOUT_FILENO, &info, mWhat);
        return;
    }
    mWhat = "'" + path + "'";
    mFile = std::make_unique<KIT_SafeFile>(path);
    if (!mFile->IsOpen())
        throw std::runtime_error(mFile->Error());
    int fd = mFile->Descriptor();
    // Ogg is renumbered once written, which needs a file it can read back.
    if (!seekable(fd) || format.container == Container::kOgg)
    {
        mSpool = std::tmpfile();
        if (!mSpool)
            throw std::runtime_error("cannot make a temporary file for " + mWhat + ": " +
                                     std::strerror(errno));
        fd = fileno(mSpool);
    }
    mSound = openSound(fd, &info, mWhat);
    Tag(tags, format.container);
}

// Before any sample: the chunk and the strings go into the file's head.
void AudioWriter::Tag(const AudioTags& tags, Container container)
{
    const std::string comment =
        tags.comment + (tags.comment.empty() || tags.soundCode.empty() ? "" : " ") + tags.soundCode;
    if (!comment.empty())
        sf_set_string(mSound, SF_STR_COMMENT, comment.c_str());
    if (tags.soundCode.empty() || container != Container::kWav)
        return;
    std::string code = tags.soundCode;
    SF_CHUNK_INFO chunk = {};
    std::memcpy(chunk.id, kSoundChunk, 4);
    chunk.id_size = 4;
    chunk.datalen = static_cast<unsigned>(code.size());
    chunk.data = &code[0];
    if (sf_set_chunk(mSound, &chunk) != SF_ERR_NO_ERROR)
        throw std::runtime_error("cannot write the sound into " + mWhat + ": " +
                                 sf_strerror(mSound));
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
    // A WAV's or AIFF's sizes were settled for the frames announced; more
    // would wrap them.
    if (frames > mFramesLeft)
        throw std::runtime_error("cannot write " + mWhat + ": more audio than the " +
                                 "length it was opened for");
    mFramesLeft -= frames;
    mInterleaved.resize(static_cast<size_t>(frames) * static_cast<size_t>(mChannels));
    for (long i = 0; i < frames; ++i)
    {
        if (mChannels == 1)
        {
            mInterleaved[static_cast<size_t>(i)] = 0.5 * (left[i] + right[i]);
            continue;
        }
        mInterleaved[static_cast<size_t>(2 * i)] = left[i];
        mInterleaved[static_cast<size_t>(2 * i + 1)] = right[i];
    }
    if (WriteInterleaved(frames) != frames)
        throw std::runtime_error("cannot write " + mWhat + ": " + sf_strerror(mSound));
}

long AudioWriter::WriteInterleaved(long frames)
{
    if (mPcmBits == 0)
        return sf_writef_double(mSound, mInterleaved.data(), frames);
    // libsndfile keeps the top bits of an int exactly.
    const long step = 1L << (32 - mPcmBits);
    mWhole.resize(mInterleaved.size());
    for (size_t i = 0; i < mWhole.size(); ++i)
        mWhole[i] = static_cast<int>(PcmValue(mInterleaved[i], mPcmBits) * step);
    return sf_writef_int(mSound, mWhole.data(), frames);
}

void AudioWriter::CloseSound()
{
    SNDFILE* sound = mSound;
    mSound = nullptr;
    if (sf_close(sound) != 0)
        throw std::runtime_error("cannot finish " + mWhat);
    // The same sound makes the same bytes.
    if (mContainer == Container::kOgg && mSpool && !RenumberOggStream(fileno(mSpool)))
        throw std::runtime_error("cannot finish " + mWhat + ": its Ogg pages do not read back");
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

void AudioWriter::Commit(const std::vector<Companion>& companions)
{
    CloseSound();
    if (mSpool)
        SendSpool();
    for (const Companion& companion : companions)
    {
        if (companion.path == "-")
        {
            if (std::fwrite(companion.bytes.data(), 1, companion.bytes.size(), stdout) !=
                    companion.bytes.size() ||
                std::fflush(stdout) != 0)
                throw std::runtime_error("cannot write the state to standard output");
        }
        else if (!companion.path.empty())
        {
            KIT_SafeFile file(companion.path);
            if (!file.Write(companion.bytes.data(), companion.bytes.size()) || !file.Commit())
                throw std::runtime_error(file.Error()); // it names the file
        }
    }
    if (mFile && !mFile->Commit())
        throw std::runtime_error(mFile->Error());
}

namespace
{

struct SoundFileReader
{
    explicit SoundFileReader(const std::string& path) : what("'" + path + "'")
    {
        std::string error;
        const int fd = KIT_OpenRegularFile(path, &error);
        if (fd < 0)
            throw std::runtime_error(error);
        sound = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
        if (!sound)
            throw std::runtime_error(what + " is not an audio file that can be read: " +
                                     sf_strerror(nullptr));
    }
    ~SoundFileReader() { sf_close(sound); }
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    // The bytes of our own chunk; empty when there is none.
    std::string chunk()
    {
        SF_CHUNK_INFO wanted = {};
        std::memcpy(wanted.id, kSoundChunk, 4);
        wanted.id_size = 4;
        SF_CHUNK_ITERATOR* found = sf_get_chunk_iterator(sound, &wanted);
        SF_CHUNK_INFO data = {};
        if (!found || sf_get_chunk_size(found, &data) != SF_ERR_NO_ERROR || data.datalen == 0 ||
            data.datalen > kMostCodeBytes)
            return "";
        std::string bytes(data.datalen, '\0');
        data.data = &bytes[0];
        if (sf_get_chunk_data(found, &data) != SF_ERR_NO_ERROR)
            return "";
        // libsndfile pads a chunk it writes to a multiple of four bytes.
        return bytes.substr(0, bytes.find('\0'));
    }
    // The first sound code in the comment, of one sound or of layers; empty
    // when there is none.
    std::string commentCode() const
    {
        const char* comment = sf_get_string(sound, SF_STR_COMMENT);
        const std::string text = comment ? comment : "";
        const size_t start = std::min(text.find("bfs1:"), text.find("bfl1:"));
        if (start == std::string::npos)
            return "";
        const size_t end = text.find_first_of(" \t\r\n", start);
        return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }

    // Far past the code of the largest layered sound.
    static const unsigned kMostCodeBytes = 1 << 17;
    const std::string what;
    SF_INFO info = {};
    SNDFILE* sound = nullptr;
};

} // namespace

std::string ReadCodeFromAudio(const std::string& path)
{
    SoundFileReader reader(path);
    std::string code = reader.chunk();
    if (code.empty())
        code = reader.commentCode();
    if (code.empty())
        throw std::runtime_error(reader.what + " holds no Bleepforge sound: only audio files "
                                               "that Bleepforge wrote can be opened as sounds");
    return code;
}

ByteChunk ReadSoundFromAudio(const std::string& path)
{
    const std::string code = ReadCodeFromAudio(path);
    if (!LooksLikeShareCode(code))
        throw std::runtime_error("'" + path + "' holds a layered sound, not one sound; open it where layered "
                                 "sounds are taken (render --layers, show)");
    try
    {
        return DecodeShareCode(code);
    }
    catch (const std::exception& e)
    {
        throw std::runtime_error("the sound in '" + path + "' is damaged: " + e.what());
    }
}

bool LooksLikeAudioFile(const std::string& path)
{
    const int fd = KIT_OpenRegularFile(path, nullptr);
    if (fd < 0)
        return false;
    char head[12] = {};
    const ssize_t n = read(fd, head, sizeof head);
    close(fd);
    if (n < 4)
        return false;
    const std::string start(head, static_cast<size_t>(n));
    const bool riff = start.compare(0, 4, "RIFF") == 0 || start.compare(0, 4, "RF64") == 0;
    // MP3: its ID3 tag, or without one its first frame's sync bits.
    const bool mp3 =
        start.compare(0, 3, "ID3") == 0 || (static_cast<unsigned char>(head[0]) == 0xFF &&
                                            (static_cast<unsigned char>(head[1]) & 0xE0) == 0xE0);
    return (riff && n == 12 && start.compare(8, 4, "WAVE") == 0) ||
           start.compare(0, 4, "fLaC") == 0 || start.compare(0, 4, "OggS") == 0 ||
           (start.compare(0, 4, "FORM") == 0 && n == 12 && start.compare(8, 3, "AIF") == 0) || mp3;
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
