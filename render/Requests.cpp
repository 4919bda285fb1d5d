#include "Requests.h"

#include "AudioFile.h"
#include "ShareCode.h"

#include "KIT_ReadFile.h"

#include <cctype>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace
{

ByteChunk readStateFile(const std::string& path)
{
    std::string bytes, error;
    if (!KIT_ReadFile(path, kStateSize, &bytes, &error)) // a longer file is refused here too
        throw std::runtime_error("cannot read state file: " + error);
    if (bytes.size() != kStateSize)
        throw std::runtime_error("'" + path + "' is not a complete state (" +
                                 std::to_string(bytes.size()) + " bytes, expected " +
                                 std::to_string(kStateSize) + ")");
    ByteChunk chunk;
    chunk.PutBytes(bytes.data(), kStateSize);
    return chunk;
}

// The values, or what is wrong with the state, named as `what`.
std::vector<double> decodeState(const ByteChunk& state, const std::string& what)
{
    if (state.Size() != kStateSize)
        throw std::runtime_error(what + " has " + std::to_string(state.Size()) + " bytes, not the " +
                                 std::to_string(kStateSize) + " of a state");
    std::vector<double> values(kNumParams);
    int32_t version = 0, nonFinite = -1;
    if (StateCodec::Decode(state.GetBytes(), static_cast<size_t>(state.Size()), kNumParams, &version,
                           values.data(), &nonFinite) < 0)
        throw std::runtime_error(what + " holds a value that is not a finite number "
                                 "(parameter " + std::to_string(nonFinite) + ")");
    return values;
}

} // namespace

std::vector<double> StateValues(const ByteChunk& state)
{
    return decodeState(state, "the state");
}

NoteSpec DefaultNote(const ByteChunk& state)
{
    const std::vector<double> values = StateValues(state);
    NoteSpec note;
    note.note = 60;
    note.velocity = 127;
    note.start = 0.0;
    note.duration = values[kAmpEnvAttack] + values[kAmpEnvHold] + values[kAmpEnvDecay];
    return note;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::string TrimSpace(const std::string& text)
{
    const char* blanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(blanks);
    const size_t last = text.find_last_not_of(blanks);
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

bool ParseNumber(const std::string& text, double* value)
{
    const std::string t = Trim(text);
    if (t.empty())
        return false;
    char* end = nullptr;
    *value = std::strtod(t.c_str(), &end);
    return *end == '\0' && std::isfinite(*value);
}

std::string ShortestNumberText(double value)
{
    char text[400];
    // Plain decimals where they are short: 120, not 1.2e+02.
    if (value == 0.0 || (std::fabs(value) >= 1e-4 && std::fabs(value) < 1e15))
        for (int decimals = 0; decimals <= 17; ++decimals)
        {
            std::snprintf(text, sizeof text, "%.*f", decimals, value);
            if (std::strtod(text, nullptr) == value)
                return text;
        }
    for (int digits = 1; digits <= 17; ++digits)
    {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value)
            break;
    }
    return text;
}

long long ParseWhole(const std::string& text, long long min, long long max, const std::string& what)
{
    const std::string range = std::to_string(min) + " ... " + std::to_string(max);
    const std::string t = Trim(text);
    const size_t digits = t.compare(0, 1, "-") == 0 ? 1 : 0;
    if (t.size() == digits || t.find_first_not_of("0123456789", digits) != std::string::npos)
        throw UsageError(what + " '" + text + "': expected a whole decimal number, " + range);
    errno = 0;
    const long long value = std::strtoll(t.c_str(), nullptr, 10);
    if (errno == ERANGE || value < min || value > max)
        throw UsageError(what + " '" + text + "': out of range, expected " + range);
    return value;
}

std::string BytesOf(const ByteChunk& chunk)
{
    return std::string(reinterpret_cast<const char*>(chunk.GetBytes()),
                       static_cast<size_t>(chunk.Size()));
}

NoteSpec ParseNote(const std::string& text)
{
    std::vector<std::string> fields;
    for (size_t from = 0;;)
    {
        const size_t colon = text.find(':', from);
        fields.push_back(text.substr(from, colon - from));
        if (colon == std::string::npos)
            break;
        from = colon + 1;
    }
    if (fields.size() > 4)
        throw UsageError("--note '" + text + "': expected N[:VEL[:START[:DUR]]]");
    double values[4] = {0, 127, 0, 0.5};
    for (size_t i = 0; i < fields.size(); ++i)
    {
        if (!ParseNumber(fields[i], &values[i]))
            throw UsageError("--note '" + text + "': '" + fields[i] + "' is not a number");
    }
    NoteSpec note;
    if (values[0] != std::floor(values[0]) || values[0] < 0 || values[0] > 127)
        throw UsageError("--note '" + text + "': the note number must be a whole 0 ... 127");
    if (values[1] != std::floor(values[1]) || values[1] < 1 || values[1] > 127)
        throw UsageError("--note '" + text + "': the velocity must be a whole 1 ... 127");
    if (values[2] < 0 || values[2] > 3600 || values[3] < 0 || values[3] > 3600)
        throw UsageError("--note '" + text + "': start and duration must be 0 ... 3600 s");
    note.note = static_cast<int>(values[0]);
    note.velocity = static_cast<int>(values[1]);
    note.start = values[2];
    note.duration = values[3];
    return note;
}

double ParseLength(const std::string& text)
{
    if (Lower(Trim(text)) == "auto")
        return -1.0;
    double seconds = 0.0;
    if (!ParseNumber(text, &seconds) || seconds <= 0.0 || seconds > 3600.0)
        throw UsageError("--length '" + text + "': expected 'auto' or seconds, more than 0 and at most 3600");
    return seconds;
}

void CheckRequest(const RenderRequest& request)
{
    const double rate = request.rate;
    if (!std::isfinite(rate) || rate != std::floor(rate) || rate < kMinRate || rate > kMaxRate)
        throw UsageError("--rate: expected a whole number of Hz, " + std::to_string(kMinRate) +
                         " ... " + std::to_string(kMaxRate));
    if (request.lengthSeconds > 0 && request.lengthSeconds * rate < 1.0)
        throw UsageError("--length: shorter than one frame at this rate");
}

ByteChunk ReadState(const std::string& fileOrCode)
{
    // A code copied from a terminal may bring blanks and line ends along.
    const std::string code = TrimSpace(fileOrCode);
    const bool isCode = LooksLikeShareCode(code) && access(fileOrCode.c_str(), F_OK) != 0;
    const ByteChunk state = isCode                            ? DecodeShareCode(code)
                            : LooksLikeAudioFile(fileOrCode) ? ReadSoundFromAudio(fileOrCode)
                                                             : readStateFile(fileOrCode);
    decodeState(state, isCode ? std::string("the sound code") : "'" + fileOrCode + "'");
    return state;
}

unsigned ClockSeed()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<unsigned>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}
