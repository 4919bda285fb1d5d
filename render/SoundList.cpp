#include "SoundList.h"

#include "Params.h"
#include "SoundState.h"
#include "ShareCode.h"
#include "KIT_Crc32.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace
{

const char kFileHead[] = "bleepforge sounds 1";
const size_t kMostForgotten = 1000; // lengths kept of states no sound holds

// Names and kinds live in tab-separated lines.
std::string oneLine(const std::string& text)
{
    std::string line;
    for (char c : text)
        line += static_cast<unsigned char>(c) < ' ' ? ' ' : c;
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> fieldsOf(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

// The last line counts the sounds and sums what comes before it, so a file
// cut short or changed anywhere is caught.
std::string endLine(const std::string& body, size_t count)
{
    const uint32_t sum = Crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size());
    char line[64];
    std::snprintf(line, sizeof line, "end %zu %08lx", count, static_cast<unsigned long>(sum));
    return line;
}

// A whole decimal number up to most, else -1.
long long wholeNumber(const std::string& text, long long most)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const long long n = std::stoll(text);
    return n <= most ? n : -1;
}

} // namespace

size_t SoundList::Add(const std::string& state, const std::string& kind, const std::string& name)
{
    ListedSound sound;
    sound.state = state;
    sound.kind = oneLine(kind).empty() ? "sound" : oneLine(kind);
    sound.name = oneLine(name).empty() ? numbered(sound.kind + " ") : oneLine(name);
    makeRoom(1, nullptr);
    mNow.entries.push_back(std::make_shared<const ListedSound>(std::move(sound)));
    mNow.current = mNow.entries.size() - 1;
    return mNow.current;
}

size_t SoundList::AddVariations(size_t source, const std::vector<std::string>& states)
{
    At(source);
    makeRoom(states.size(), &source);
    const ListedSound from = At(source);
    for (size_t k = 0; k < states.size(); ++k)
    {
        ListedSound sound;
        sound.state = states[k];
        sound.kind = from.kind;
        sound.name = numbered(from.name + " v");
        mNow.entries.insert(mNow.entries.begin() + static_cast<std::ptrdiff_t>(source + 1 + k),
                            std::make_shared<const ListedSound>(std::move(sound)));
    }
    mNow.current = states.empty() ? source : source + 1;
    return mNow.current;
}

void SoundList::makeRoom(size_t count, size_t* keep)
{
    while (!mNow.entries.empty() && Size() + count > kMostSounds)
    {
        size_t oldest = 0;
        while (oldest + 1 < Size() && (At(oldest).starred || (keep && oldest == *keep)))
            ++oldest;
        if (keep && oldest == *keep)
            oldest = oldest == 0 ? 1 : 0; // every other sound is starred: the oldest of them goes
        if (oldest >= Size())
            return;
        Remove(oldest);
        if (keep && oldest < *keep)
            --*keep;
    }
}

void SoundList::Choose(size_t i)
{
    if (i != kNone)
        mNow.entries.at(i);
    mNow.current = i;
}

bool SoundList::Change(const std::string& state)
{
    if (mNow.current == kNone || At(mNow.current).state == state)
        return false;
    ListedSound changed = At(mNow.current);
    changed.state = state;
    replace(mNow.current, changed);
    return true;
}

void SoundList::Rename(size_t i, const std::string& name)
{
    ListedSound renamed = At(i);
    if (oneLine(name).empty() || oneLine(name) == renamed.name)
        return;
    renamed.name = oneLine(name);
    replace(i, renamed);
}

void SoundList::Star(size_t i, bool starred)
{
    ListedSound changed = At(i);
    if (changed.starred == starred)
        return;
    changed.starred = starred;
    replace(i, changed);
}

void SoundList::Remove(size_t i)
{
    At(i);
    mNow.entries.erase(mNow.entries.begin() + static_cast<std::ptrdiff_t>(i));
    if (mNow.entries.empty())
        mNow.current = kNone;
    else if (mNow.current != kNone && (mNow.current > i || mNow.current == mNow.entries.size()))
        --mNow.current;
}

void SoundList::Measured(const std::string& state, double seconds)
{
    mSeconds[state] = seconds;
    // Every tweak is measured; those no sound holds any more go in time.
    if (mSeconds.size() <= Size() + kMostForgotten)
        return;
    std::map<std::string, double> kept;
    for (const Entry& entry : mNow.entries)
        if (mSeconds.count(entry->state))
            kept[entry->state] = mSeconds[entry->state];
    mSeconds.swap(kept);
}

double SoundList::SecondsOf(size_t i) const
{
    const auto measured = mSeconds.find(At(i).state);
    return measured == mSeconds.end() ? -1.0 : measured->second;
}

std::string SoundList::numbered(const std::string& prefix) const
{
    long long highest = 0;
    for (const Entry& entry : mNow.entries)
        if (entry->name.compare(0, prefix.size(), prefix) == 0)
            highest = std::max(highest, wholeNumber(entry->name.substr(prefix.size()), 1LL << 40));
    return prefix + std::to_string(highest + 1);
}

void SoundList::replace(size_t i, const ListedSound& sound)
{
    mNow.entries.at(i) = std::make_shared<const ListedSound>(sound);
}

std::string SoundList::FileText() const
{
    std::ostringstream text;
    text << kFileHead << "\nchosen "
         << (mNow.current == kNone ? std::string("-") : std::to_string(mNow.current)) << "\n";
    for (size_t i = 0; i < Size(); ++i)
    {
        const ListedSound& sound = At(i);
        ByteChunk state;
        state.PutBytes(sound.state.data(), static_cast<int>(sound.state.size()));
        char seconds[32] = "-";
        if (SecondsOf(i) >= 0)
            std::snprintf(seconds, sizeof seconds, "%.17g", SecondsOf(i)); // read back exactly
        text << EncodeShareCode(state) << '\t' << (sound.starred ? '*' : '-') << '\t' << sound.kind
             << '\t' << seconds << '\t' << sound.name << '\n';
    }
    const std::string body = text.str();
    return body + endLine(body, Size()) + "\n";
}

SoundList SoundList::FromFileText(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    if (lines.size() < 3 || lines[0] != kFileHead)
        throw std::runtime_error("not a list of sounds");
    const size_t bodySize = text.rfind("\nend ") + 1;
    if (text.back() != '\n' || lines.back() != endLine(text.substr(0, bodySize), lines.size() - 3))
        throw std::runtime_error("the list is damaged or cut short (its last line does not match it)");
    const auto damaged = [](size_t line, const std::string& what)
    { return std::runtime_error("line " + std::to_string(line + 1) + ": " + what); };
    SoundList list;
    const size_t count = lines.size() - 3;
    if (count > kMostSounds)
        throw std::runtime_error("more than " + std::to_string(kMostSounds) + " sounds");
    for (size_t i = 0; i < count; ++i)
    {
        const size_t line = i + 2;
        const std::vector<std::string> fields = fieldsOf(lines[line]);
        if (fields.size() != 5 || (fields[1] != "*" && fields[1] != "-") || oneLine(fields[2]).empty() ||
            oneLine(fields[4]).empty())
            throw damaged(line, "not a sound of the list");
        ListedSound sound;
        try
        {
            sound.state = BytesOf(DecodeShareCode(fields[0]));
        }
        catch (const std::exception& e)
        {
            throw damaged(line, e.what());
        }
        double values[kNumParams];
        int32_t version = 0;
        if (sound.state.size() != kStateSize ||
            StateCodec::Decode(reinterpret_cast<const unsigned char*>(sound.state.data()), sound.state.size(),
                               kNumParams, &version, values) < 0)
            throw damaged(line, "not a sound of this instrument");
        sound.starred = fields[1] == "*";
        sound.kind = oneLine(fields[2]);
        sound.name = oneLine(fields[4]);
        if (fields[3] != "-")
        {
            char* end = nullptr;
            const double seconds = std::strtod(fields[3].c_str(), &end);
            if (end == fields[3].c_str() || *end || !std::isfinite(seconds) || seconds < 0)
                throw damaged(line, "a length that is not a number of seconds");
            list.mSeconds[sound.state] = seconds;
        }
        list.mNow.entries.push_back(std::make_shared<const ListedSound>(std::move(sound)));
    }
    const std::string chosen = lines[1].compare(0, 7, "chosen ") == 0 ? lines[1].substr(7) : "";
    const long long current = chosen == "-" ? -2 : wholeNumber(chosen, static_cast<long long>(count) - 1);
    if (current == -1)
        throw damaged(1, "the sound chosen is not in the list");
    list.mNow.current = current < 0 ? kNone : static_cast<size_t>(current);
    return list;
}
