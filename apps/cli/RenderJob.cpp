#include "RenderJob.h"

#include "Bleepforge.h"
#include "IGraphicsContext.h"
#include "ShareCode.h"
#include "qxDSP.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace
{

const int kStateSize = 4 + 8 * kNumParams;

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

bool parseNumber(const std::string& text, double* value)
{
    const std::string t = trim(text);
    if (t.empty())
        return false;
    char* end = nullptr;
    *value = std::strtod(t.c_str(), &end);
    return *end == '\0' && std::isfinite(*value);
}

size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
    {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j)
        {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string nearMatches(const std::string& name)
{
    const std::string wanted = lower(trim(name));
    std::vector<std::pair<size_t, std::string>> ranked;
    for (const ParamProperties& row : paramProperties)
    {
        const std::string candidate = lower(row.name);
        const size_t distance = candidate.find(wanted) != std::string::npos && !wanted.empty()
                                    ? 0
                                    : editDistance(wanted, candidate);
        if (distance <= std::max<size_t>(3, wanted.size() / 3))
            ranked.push_back({distance, row.name});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    if (ranked.empty())
        return " (see 'bleepforge params')";
    std::string list = "; did you mean ";
    for (size_t i = 0; i < ranked.size() && i < 5; ++i)
        list += (i ? ", \"" : "\"") + ranked[i].second + "\"";
    return list + "?";
}

int findParam(const std::string& name)
{
    for (int i = 0; i < kNumParams; ++i)
    {
        if (name == paramProperties[i].name)
            return i;
    }
    return -1;
}

bool mapDisplayText(const IParam& param, const std::string& text, double* value)
{
    for (int i = 0; i < param.GetNDisplayTexts(); ++i)
    {
        int v = 0;
        const char* display = param.GetDisplayTextAtIdx(i, &v);
        if (lower(display) == lower(trim(text)))
        {
            *value = v;
            return true;
        }
    }
    return false;
}

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

// Within one frame: the offs of notes that began earlier, then the ons, then
// the offs of notes that begin on that frame, so a note of zero length still
// ends and a same-key restrike sounds whatever the order of the notes given.
enum EventRank
{
    kOffOfEarlierNote = 0,
    kOn = 1,
    kOffOfSameFrameNote = 2
};

struct NoteEvent
{
    long frame;
    EventRank rank;
    int note;
    int velocity;
};

std::vector<NoteEvent> scheduleNotes(const std::vector<NoteSpec>& notes, double rate)
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

} // namespace

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
        if (!parseNumber(fields[i], &values[i]))
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
    if (lower(trim(text)) == "auto")
        return -1.0;
    double seconds = 0.0;
    if (!parseNumber(text, &seconds) || seconds <= 0.0 || seconds > 3600.0)
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

void ApplySetting(Bleepforge& plug, const std::string& assignment)
{
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos)
        throw UsageError("--set '" + assignment + "': expected \"NAME=VALUE\"");
    const std::string name = trim(assignment.substr(0, equals));
    const std::string text = assignment.substr(equals + 1);
    const int idx = findParam(name);
    if (idx < 0)
        throw UsageError("--set: unknown parameter \"" + name + "\"" + nearMatches(name));
    IParam* param = plug.GetParam(idx);
    double value = 0.0;
    if (!mapDisplayText(*param, text, &value) && !parseNumber(text, &value))
    {
        std::string choices;
        for (int i = 0; i < param->GetNDisplayTexts(); ++i)
            choices += std::string(i ? ", " : " (one of: ") + param->GetDisplayTextAtIdx(i);
        throw UsageError("--set \"" + name + "\": '" + trim(text) + "' is not a number" +
                         (choices.empty() ? "" : choices + ")"));
    }
    param->Set(value);
    plug.OnParamChange(idx);
    if (IGraphicsContext* editor = plug.GetGUI())
        editor->SetParameterFromPlug(idx, param->Value(), false); // the knob follows
}

ByteChunk ReadState(const std::string& fileOrCode)
{
    if (LooksLikeShareCode(fileOrCode) && access(fileOrCode.c_str(), F_OK) != 0)
        return DecodeShareCode(fileOrCode);
    return readStateFile(fileOrCode);
}

void ApplyStateAndSettings(Bleepforge& plug, const std::string& statePath,
                           const std::vector<std::string>& settings)
{
    if (!statePath.empty())
    {
        ByteChunk state = ReadState(statePath);
        if (plug.UnserializeState(&state, 0) != kStateSize)
            throw std::runtime_error("'" + statePath + "' holds a state that cannot be applied");
        plug.RedrawParamControls();
    }
    for (const std::string& setting : settings)
        ApplySetting(plug, setting);
}

RenderResult Render(const RenderRequest& request)
{
    if (!request.stateIn.empty())
        ReadState(request.stateIn); // refused before anything is built or rendered

    IPluginInstanceInfo info;
    Bleepforge plug(info);
    if (request.seeded)
        qxDSP::seedRandom(request.seed);
    ApplyStateAndSettings(plug, request.stateIn, request.settings);
    return RenderWith(plug, request);
}

RenderResult RenderWith(Bleepforge& plug, const RenderRequest& request)
{
    plug.SetSampleRate(request.rate);
    plug.SetBlockSize(request.block);
    plug.SetOutputChannelConnections(0, 2, true);
    plug.Reset();

    const std::vector<NoteEvent> events = scheduleNotes(request.notes, request.rate);
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
        {
            const NoteEvent& e = events[nextEvent];
            const int offset = static_cast<int>(e.frame - rendered);
            IMidiMsg msg;
            if (e.rank == kOn)
                msg.MakeNoteOnMsg(e.note, e.velocity, offset);
            else
                msg.MakeNoteOffMsg(e.note, offset);
            plug.ProcessMidiMsg(&msg);
        }
        double* outputs[] = {left.data(), right.data()};
        plug.AttachOutputBuffers(0, 2, outputs);
        plug.ProcessBuffers(0.0, request.block);
        result.left.insert(result.left.end(), left.begin(), left.end());
        result.right.insert(result.right.end(), right.begin(), right.end());
        rendered = blockEnd;

        // The exact frame at which the sound ended, whatever the block size.
        if (totalFrames < 0 && nextEvent == events.size() && plug.GetIdleFrames() > 0)
        {
            const long idleFrom = rendered - plug.GetIdleFrames();
            totalFrames = std::max(lastEventFrame, idleFrom) + 1 + tailFrames;
        }
        if (totalFrames < 0 && rendered >= maxFrames)
            totalFrames = maxFrames;
    }
    totalFrames = std::min(totalFrames, maxFrames);
    result.left.resize(static_cast<size_t>(totalFrames));
    result.right.resize(static_cast<size_t>(totalFrames));
    result.state.Clear();
    plug.SerializeState(&result.state);
    return result;
}

std::string DescribeParams()
{
    IPluginInstanceInfo info;
    Bleepforge plug(info);
    std::ostringstream out;
    for (int i = 0; i < kNumParams; ++i)
    {
        const IParam* param = plug.GetParam(i);
        char value[IParam::kDisplaySize], lo[IParam::kDisplaySize], hi[IParam::kDisplaySize];
        param->GetDisplayForHostNoDisplayText(value);
        param->GetDisplayForHost(param->GetMin(), false, lo, false);
        param->GetDisplayForHost(param->GetMax(), false, hi, false);
        out << i << "\t" << param->GetNameForHost() << "\tdefault " << value << "\trange " << lo
            << " ... " << hi;
        const std::string unit = paramProperties[i].label;
        if (!unit.empty())
            out << "\tunit " << unit;
        for (int t = 0; t < param->GetNDisplayTexts(); ++t)
        {
            int v = 0;
            const char* text = param->GetDisplayTextAtIdx(t, &v);
            out << (t ? ", " : "\tvalues ") << v << "=" << text;
        }
        out << "\n";
    }
    return out.str();
}
