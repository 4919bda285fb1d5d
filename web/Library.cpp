// The page's list of sounds: the desktop app's list (names, stars, kinds,
// variations, the record it keeps and its checks), here with the page's
// storage and downloads in JavaScript. Codes cross to JavaScript, states stay
// here. A refusal answers the reason as text ("" when done), never a throw.
#include "Bleepforge.h"
#include "LayeredText.h"
#include "Locks.h"
#include "Params.h"
#include "Recipe.h"
#include "ShippedKinds.h"
#include "SlotStates.h"
#include "SoundFileNames.h"
#include "SoundList.h"
#include "SoundState.h"
#include "ShareCode.h"
#include "KIT_Text.h"
#include "KIT_UsageError.h"
#include "Variations.h"
#include "WebInstrument.h"
#include "ZipArchive.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using emscripten::val;

namespace
{

const int kMostVariations = 100;

std::string stateOfCode(const std::string& code)
{
    const ByteChunk state = DecodeShareCode(TrimSpace(code));
    StateValues(state);
    return BytesOf(state);
}

std::string codeOfState(const std::string& bytes)
{
    ByteChunk state;
    state.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
    return EncodeShareCode(state);
}

std::vector<std::string> textsOf(const val& array)
{
    std::vector<std::string> texts;
    if (!array.isArray())
        throw std::invalid_argument("expected a list of texts");
    const size_t count = array["length"].as<size_t>();
    for (size_t i = 0; i < count; ++i)
    {
        if (!array[i].isString())
            throw std::invalid_argument("expected a list of texts");
        texts.push_back(array[i].as<std::string>());
    }
    return texts;
}

template <typename Call>
std::string refusalOf(Call call)
{
    try
    {
        call();
        return "";
    }
    catch (const std::exception& e)
    {
        return e.what();
    }
}

// The sound a new instrument holds: what Reset makes.
std::string defaultState()
{
    ByteChunk state;
    OpenWebInstrument()->SerializeState(&state);
    return BytesOf(state);
}

class WebLibrary
{
public:
    WebLibrary() : mDefaults(defaultState()) {}

    // Takes a record as record() gave it, checked whole: "" when taken, else
    // what is wrong and where, with the list unchanged.
    std::string load(const std::string& text)
    {
        return refusalOf([&] { mList = SoundList::FromFileText(text); });
    }

    std::string record() const { return mList.FileText(); }

    // The slots an earlier visit kept ({ shown, values }, as the editor gives
    // them) become the list's sounds, "kept 1", "kept 2", …, of the state
    // version the code's sound has.
    std::string adoptSlots(const val& kept, const std::string& code)
    {
        return refusalOf(
            [&]
            {
                const std::string version = stateOfCode(code).substr(0, sizeof(int32_t));
                mList = ListOfSlots(slotsBytes(kept), version);
            });
    }

    int size() const { return static_cast<int>(mList.Size()); }
    int current() const { return mList.Current() == SoundList::kNone ? -1 : static_cast<int>(mList.Current()); }

    // { name, kind, starred, code, seconds } (seconds < 0: not measured); null
    // past the end.
    val item(int i) const
    {
        if (!listed(i))
            return val::null();
        const ListedSound& sound = mList.At(static_cast<size_t>(i));
        val item = val::object();
        item.set("name", sound.name);
        item.set("kind", sound.kind);
        item.set("starred", sound.starred);
        item.set("code", codeOfState(sound.state));
        item.set("seconds", mList.SecondsOf(static_cast<size_t>(i)));
        return item;
    }

    std::string add(const std::string& code, const std::string& kind)
    {
        return refusalOf([&] { mList.Add(stateOfCode(code), kind); });
    }

    // A sound opened (a file, a code, a link) joins the list; the editor's
    // own sound before it joins first, so that none is lost.
    std::string opened(const std::string& code, const std::string& before)
    {
        return refusalOf(
            [&]
            {
                const std::string state = stateOfCode(code);
                keepOwn(stateOfCode(before));
                mList.Add(state, "opened");
            });
    }

    // -1 chooses none.
    std::string choose(int i)
    {
        if (i != -1 && !listed(i))
            return "no sound " + std::to_string(i);
        mList.Choose(i == -1 ? SoundList::kNone : static_cast<size_t>(i));
        return "";
    }

    std::string rename(int i, const std::string& name)
    {
        if (!listed(i))
            return "no sound " + std::to_string(i);
        mList.Rename(static_cast<size_t>(i), name);
        return "";
    }

    std::string star(int i, bool starred)
    {
        if (!listed(i))
            return "no sound " + std::to_string(i);
        mList.Star(static_cast<size_t>(i), starred);
        return "";
    }

    // Takes sound i off, keeping it for putBack.
    std::string remove(int i)
    {
        if (!listed(i))
            return "no sound " + std::to_string(i);
        const size_t at = static_cast<size_t>(i);
        mRemoved.push_back({mList.Now().entries[at], at, mList.Current() == at});
        if (mRemoved.size() > kMostRemoved)
            mRemoved.erase(mRemoved.begin());
        mList.Remove(at);
        return "";
    }

    // The sound taken off last goes back where it was (or at the end of a
    // list grown shorter since), chosen again if it was; what the list
    // gained meanwhile stays.
    std::string putBack()
    {
        if (mRemoved.empty())
            return "no sound was taken off";
        if (mList.Size() >= SoundList::kMostSounds)
            return "the list is full: take a sound off first";
        const Removed removed = mRemoved.back();
        mRemoved.pop_back();
        SoundList::Snapshot now = mList.Now();
        const size_t at = std::min(removed.index, now.entries.size());
        now.entries.insert(now.entries.begin() + static_cast<std::ptrdiff_t>(at), removed.entry);
        if (removed.chosen)
            now.current = at;
        else if (now.current != SoundList::kNone && now.current >= at)
            ++now.current;
        mList.Restore(now);
        return "";
    }

    bool canPutBack() const { return !mRemoved.empty(); }

    void measured(const std::string& code, double seconds)
    {
        refusalOf([&] { mList.Measured(stateOfCode(code), seconds); });
    }

    // Each sound as the list shows it, { name, kind, starred, seconds }, in
    // one call and without their codes, which item() gives when asked.
    val rows() const
    {
        val rows = val::array();
        for (size_t i = 0; i < mList.Size(); ++i)
        {
            const ListedSound& sound = mList.At(i);
            val row = val::object();
            row.set("name", sound.name);
            row.set("kind", sound.kind);
            row.set("starred", sound.starred);
            row.set("seconds", mList.SecondsOf(i));
            rows.call<void>("push", row);
        }
        return rows;
    }

    // The slots property's bytes for the list, as the editor's setSlotBytes takes them.
    val slotBytes() const
    {
        const std::string bytes = SlotsOfList(mList);
        return val(emscripten::typed_memory_view(bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data())))
            .call<val>("slice");
    }

    // The slots the editor shows for the list, as it takes them: { shown, values }.
    val slots() const
    {
        const std::string bytes = SlotsOfList(mList);
        int32_t shown = 0;
        std::memcpy(&shown, bytes.data(), sizeof shown);
        val values = val::array();
        for (size_t at = sizeof shown; at < bytes.size(); at += kSlotBytes)
        {
            double slot[kNumParams];
            std::memcpy(slot, &bytes[at], kSlotBytes);
            values.call<void>("push", val::array(slot, slot + kNumParams));
        }
        val kept = val::object();
        kept.set("shown", shown);
        kept.set("values", values);
        return kept;
    }

    // The editor's generators, SAVE, PREV and NEXT move its slots; the list
    // follows, as the app's does: a slot added at the end is a new sound (of
    // the kind given, with the locked values of the sound before; SAVE's own
    // sound, unchanged, is "saved"), another slot shown chooses its sound,
    // Reset starts a sound of the editor's own (none chosen, the locked
    // values kept), and any other change stays with the chosen sound. A
    // sound of the editor's own joins the list before another takes its
    // place. Answers { code } the editor shows now, or { error }.
    val follow(int shown, int count, const std::string& code, const std::string& before, const std::string& kind,
               const val& locks)
    {
        val answer = val::object();
        const std::string refused = refusalOf(
            [&]
            {
                const std::string now = stateOfCode(code);
                const size_t listed = mList.Size();
                std::string shows = now;
                const std::string was = before.empty() ? now : stateOfCode(before);
                if (count >= 0 && static_cast<size_t>(count) == listed + 1 && static_cast<size_t>(shown) == listed)
                {
                    if (now == was)
                        mList.Add(now, "saved");
                    else
                        shows = added(now, was, kind, locks);
                }
                else if (static_cast<size_t>(count) == listed && shown >= 0 && static_cast<size_t>(shown) < listed &&
                         static_cast<size_t>(shown) != mList.Current())
                {
                    const SoundList::Entry entry = mList.Now().entries[static_cast<size_t>(shown)];
                    keepOwn(was);
                    const auto& entries = mList.Now().entries;
                    const auto at = std::find(entries.begin(), entries.end(), entry);
                    if (at != entries.end())
                    {
                        mList.Choose(static_cast<size_t>(at - entries.begin()));
                        shows = (*at)->state;
                    }
                }
                else if (now == mDefaults && was != now)
                {
                    shows = KeepLockedValues(was, now, LockedParams(textsOf(locks)));
                    keepOwn(was);
                    mList.Choose(SoundList::kNone);
                }
                else
                    mList.Change(now);
                answer.set("code", codeOfState(shows));
            });
        if (!refused.empty())
            answer.set("error", refused);
        return answer;
    }

    // A sound a recipe kind made joins the list as a generator's does, the
    // locked values of the sound before put back: { code } it holds, or { error }.
    val made(const std::string& code, const std::string& before, const std::string& kind, const val& locks)
    {
        val answer = val::object();
        const std::string refused = refusalOf(
            [&] { answer.set("code", codeOfState(added(stateOfCode(code), stateOfCode(before), kind, locks))); });
        if (!refused.empty())
            answer.set("error", refused);
        return answer;
    }

    // A sound brought back (undo, redo): the listed sound it is is chosen;
    // one of none stays with the chosen sound, as a tweak of it.
    std::string settle(const std::string& code)
    {
        return refusalOf(
            [&]
            {
                const std::string state = stateOfCode(code);
                const size_t chosen = mList.Current();
                if (chosen != SoundList::kNone && mList.At(chosen).state == state)
                    return;
                for (size_t i = 0; i < mList.Size(); ++i)
                    if (mList.At(i).state == state)
                        return mList.Choose(i);
                mList.Change(state);
            });
    }

    // count variations of sound i, mutated at its own Mutation % from a seed,
    // the locked parameters kept, joining the list after it.
    std::string vary(int i, int count, unsigned seed, const val& locks)
    {
        if (!listed(i))
            return "no sound " + std::to_string(i);
        if (count < 1 || count > kMostVariations)
            return "make 1 to " + std::to_string(kMostVariations) + " variations at a time";
        return refusalOf(
            [&]
            {
                VariationSource source;
                const std::string state = mList.At(static_cast<size_t>(i)).state;
                source.base.PutBytes(state.data(), static_cast<int>(state.size()));
                source.mutation = StateValues(source.base)[kMutation];
                if (source.mutation <= 0.0)
                    throw std::runtime_error("its Mutation % is 0: turn it up to vary the sound");
                source.locked = LockedParams(textsOf(locks));
                Variations plays(std::move(source), seed);
                std::vector<std::string> states;
                for (int k = 0; k < count; ++k)
                    states.push_back(BytesOf(plays.Next().state));
                mList.AddVariations(static_cast<size_t>(i), states);
            });
    }

    // The file names of the sounds given, in order, each "name.wav", numbered
    // past one already given ("name (2).wav"; "name_2.wav" for a game's).
    val exportNames(const val& indices, bool forGames) const
    {
        val names = val::array();
        std::set<std::string> given; // in lower case: many desktops ignore case
        const size_t count = indices.isArray() ? indices["length"].as<size_t>() : 0;
        for (size_t k = 0; k < count; ++k)
        {
            const int i = indices[k].isNumber() ? indices[k].as<int>() : -1;
            const std::string name = listed(i) ? mList.At(static_cast<size_t>(i)).name : "sound";
            const std::string base = forGames ? GameFileNameFor(name) : FileNameFor(name);
            std::string file;
            for (int n = 1; file.empty() || !given.insert(lowerCase(file)).second; ++n)
                file = base + (n == 1 ? "" : forGames ? "_" + std::to_string(n) : " (" + std::to_string(n) + ")") +
                       ".wav";
            names.call<void>("push", file);
        }
        return names;
    }

private:
    static constexpr size_t kSlotBytes = kNumParams * sizeof(double);

    bool listed(int i) const { return i >= 0 && static_cast<size_t>(i) < mList.Size(); }

    // The editor's own sound (none of the list's chosen) joins the list,
    // unless it is Reset's, which Reset makes again.
    void keepOwn(const std::string& state)
    {
        if (mList.Current() == SoundList::kNone && state != mDefaults)
            mList.Add(state, "reset");
    }

    // A new sound of a kind, with the locked values of the sound before; the state it holds.
    std::string added(const std::string& now, const std::string& before, const std::string& kind, const val& locks)
    {
        keepOwn(before);
        const std::string kept = KeepLockedValues(before, now, LockedParams(textsOf(locks)));
        mList.Add(kept, kind);
        return kept;
    }

    static std::string lowerCase(std::string text)
    {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return text;
    }

    static std::string slotsBytes(const val& kept)
    {
        if (kept.typeOf().as<std::string>() != "object" || kept.isNull() || !kept["shown"].isNumber() ||
            !kept["values"].isArray())
            throw std::runtime_error("expected { shown, values }");
        const val values = kept["values"];
        const int32_t shown = kept["shown"].as<int32_t>();
        std::string bytes(reinterpret_cast<const char*>(&shown), sizeof shown);
        const size_t count = values["length"].as<size_t>();
        for (size_t s = 0; s < count; ++s)
        {
            const val slot = values[s];
            if (!slot.isArray() || slot["length"].as<size_t>() != kNumParams)
                throw std::runtime_error("slot " + std::to_string(s) + " is not " + std::to_string(kNumParams) +
                                         " values");
            for (int p = 0; p < kNumParams; ++p)
            {
                const double value = slot[p].isNumber() ? slot[p].as<double>() : -1.0;
                if (!(value >= 0.0 && value <= 1.0))
                    throw std::runtime_error("slot " + std::to_string(s) + " holds a value outside 0 to 1");
                bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
            }
        }
        return bytes;
    }

    struct Removed
    {
        SoundList::Entry entry;
        size_t index;
        bool chosen;
    };
    static constexpr size_t kMostRemoved = 50;

    const std::string mDefaults;
    SoundList mList;
    std::vector<Removed> mRemoved; // oldest first
};

// { bytes } of a ZIP archive holding each file (names and Uint8Arrays, in
// order), or { error }.
val zipOf(const val& names, const val& files)
{
    val answer = val::object();
    const std::string refused = refusalOf(
        [&]
        {
            const std::vector<std::string> given = textsOf(names);
            if (!files.isArray() || files["length"].as<size_t>() != given.size())
                throw std::invalid_argument("expected a file for each name");
            ZipArchive archive;
            for (size_t k = 0; k < given.size(); ++k)
                archive.Add(given[k], emscripten::convertJSArrayToNumberVector<uint8_t>(files[k]));
            const std::vector<uint8_t> bytes = archive.Bytes();
            answer.set("bytes", val(emscripten::typed_memory_view(bytes.size(), bytes.data())).call<val>("slice"));
        });
    if (!refused.empty())
        answer.set("error", refused);
    return answer;
}

// { name, description, bytes } of a recipe kind's TOML text, the bytes as
// the instrument takes a recipe, or { error } saying what is wrong and
// where. A recipe's sound may be a code; a path is read only inside the
// module's own folder, which holds nobody's files.
val recipeOf(const std::string& text, const std::string& name)
{
    val answer = val::object();
    const std::string refused = refusalOf(
        [&]
        {
            if (DescribesLayers(text))
                throw std::runtime_error("a kind of layered sounds: the list holds one sound at a time");
            const Recipe recipe = ParseRecipe(text, name + ".toml", TableParams(), RecipeSoundPaths::kInsideFolder);
            const std::vector<unsigned char> bytes = EncodeRecipe(recipe);
            answer.set("name", recipe.name);
            answer.set("description", recipe.description);
            answer.set("bytes", val(emscripten::typed_memory_view(bytes.size(), bytes.data())).call<val>("slice"));
        });
    if (!refused.empty())
        answer.set("error", refused);
    return answer;
}

// The kinds the program ships, [{ name, text }], in name order.
val shippedKinds()
{
    val kinds = val::array();
    for (unsigned k = 0; k < kShippedKindCount; ++k)
    {
        val entry = val::object();
        entry.set("name", std::string(kShippedKinds[k].name));
        entry.set("text", std::string(kShippedKinds[k].text));
        kinds.call<void>("push", entry);
    }
    return kinds;
}

} // namespace

EMSCRIPTEN_BINDINGS(bleepforge_library)
{
    emscripten::class_<WebLibrary>("Library")
        .constructor<>()
        .function("load", &WebLibrary::load)
        .function("record", &WebLibrary::record)
        .function("adoptSlots", &WebLibrary::adoptSlots)
        .function("size", &WebLibrary::size)
        .function("current", &WebLibrary::current)
        .function("item", &WebLibrary::item)
        .function("add", &WebLibrary::add)
        .function("opened", &WebLibrary::opened)
        .function("choose", &WebLibrary::choose)
        .function("rename", &WebLibrary::rename)
        .function("star", &WebLibrary::star)
        .function("remove", &WebLibrary::remove)
        .function("putBack", &WebLibrary::putBack)
        .function("canPutBack", &WebLibrary::canPutBack)
        .function("measured", &WebLibrary::measured)
        .function("slots", &WebLibrary::slots)
        .function("rows", &WebLibrary::rows)
        .function("slotBytes", &WebLibrary::slotBytes)
        .function("follow", &WebLibrary::follow)
        .function("settle", &WebLibrary::settle)
        .function("made", &WebLibrary::made)
        .function("vary", &WebLibrary::vary)
        .function("exportNames", &WebLibrary::exportNames);
    emscripten::function("zipOf", &zipOf);
    emscripten::function("recipeOf", &recipeOf);
    emscripten::function("shippedKinds", &shippedKinds);
    emscripten::function("lockGroups", +[]() { return val::array(LockGroupNames()); });
}
