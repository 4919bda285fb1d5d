#include "Requests.h"

#include "ShareCode.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace
{

ByteChunk readStateFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read state file '" + path + "'");
    // One byte more than a state is enough to tell that a file is too long, and
    // a device that never ends (/dev/zero) is not read into memory.
    std::vector<char> bytes(kStateSize + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const size_t size = static_cast<size_t>(in.gcount());
    if (in.bad() || size != kStateSize)
        throw std::runtime_error("'" + path + "' is not a complete state (" +
                                 (size > kStateSize ? std::string("more than ") + std::to_string(kStateSize)
                                                    : std::to_string(size)) +
                                 " bytes, expected " + std::to_string(kStateSize) + ")");
    ByteChunk chunk;
    chunk.PutBytes(bytes.data(), kStateSize);
    return chunk;
}

} // namespace

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

bool ParseNumber(const std::string& text, double* value)
{
    const std::string t = Trim(text);
    if (t.empty())
        return false;
    char* end = nullptr;
    *value = std::strtod(t.c_str(), &end);
    return *end == '\0' && std::isfinite(*value);
}

std::vector<NoteEvent> ScheduleNotes(const std::vector<NoteSpec>& notes, double rate)
{
    std::vector<NoteEvent> events;
    for (const NoteSpec& n : notes)
    {
        const long on = static_cast<long>(n.start * rate);
        const long off = static_cast<long>((n.start + n.duration) * rate);
        events.push_back({on, kOn, n.note, n.velocity});
        events.push_back({off, off == on ? kOffOfSameFrameNote : kOffOfEarlierNote, n.note, 0});
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const NoteEvent& a, const NoteEvent& b)
                     { return a.frame != b.frame ? a.frame < b.frame : a.rank < b.rank; });
    return events;
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
        throw UsageError("--length '" + text + "': expected 'auto' or seconds, 0 ... 3600");
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
    if (LooksLikeShareCode(fileOrCode) && access(fileOrCode.c_str(), F_OK) != 0)
        return DecodeShareCode(fileOrCode);
    return readStateFile(fileOrCode);
}


RenderResult RunRenderLoop(const RenderRequest& request, const RenderTarget& target)
{
    const std::vector<NoteEvent> events = ScheduleNotes(request.notes, request.rate);
    const long lastEventFrame = events.empty() ? 0 : events.back().frame;
    const long maxFrames = static_cast<long>(
        (request.lengthSeconds > 0 ? request.lengthSeconds : kMaxAutoSeconds) * request.rate);
    const long tailFrames = static_cast<long>(kAutoTailSeconds * request.rate);
    long totalFrames = request.lengthSeconds > 0 ? maxFrames : -1;

    RenderResult result;
    std::vector<double> left(static_cast<size_t>(request.block)), right(left.size());
    size_t nextEvent = 0;
    for (long rendered = 0; totalFrames < 0 || rendered < totalFrames;)
    {
        const long blockEnd = rendered + request.block;
        for (; nextEvent < events.size() && events[nextEvent].frame < blockEnd; ++nextEvent)
            target.sendNote(events[nextEvent], static_cast<int>(events[nextEvent].frame - rendered));
        target.renderBlock(left.data(), right.data(), request.block);
        result.left.insert(result.left.end(), left.begin(), left.end());
        result.right.insert(result.right.end(), right.begin(), right.end());
        rendered = blockEnd;

        // The exact frame at which the sound ended, whatever the block size.
        const long idle = target.idleFrames();
        if (totalFrames < 0 && nextEvent == events.size() && idle > 0)
            totalFrames = std::max(lastEventFrame, rendered - idle) + 1 + tailFrames;
        if (totalFrames < 0 && rendered >= maxFrames)
            totalFrames = maxFrames;
    }
    totalFrames = std::min(totalFrames, maxFrames);
    result.left.resize(static_cast<size_t>(totalFrames));
    result.right.resize(static_cast<size_t>(totalFrames));
    return result;
}
