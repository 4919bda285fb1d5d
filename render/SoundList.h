#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A sound of the app's list: the instrument's state and what the user made of it.
struct ListedSound
{
    std::string state; // the instrument's state bytes
    std::string name;
    std::string kind; // the generator that made it, or how it came ("opened", "pasted", "kept")
    bool starred = false;
};

// Every sound a session made or kept, in the order made, one of them chosen:
// the one the editor shows. Entries are shared and never changed in place, so
// a snapshot of the list (what undo brings back) costs a pointer a sound.
// GUI thread only.
class SoundList
{
public:
    using Entry = std::shared_ptr<const ListedSound>;
    static constexpr size_t kNone = static_cast<size_t>(-1);
    static constexpr size_t kMostSounds = 10000;

    struct Snapshot
    {
        std::vector<Entry> entries;
        size_t current = kNone;
        bool operator==(const Snapshot& other) const
        {
            return entries == other.entries && current == other.current;
        }
    };

    size_t Size() const { return mNow.entries.size(); }
    const ListedSound& At(size_t i) const { return *mNow.entries.at(i); }
    // kNone when the sound in the editor is none of the list's.
    size_t Current() const { return mNow.current; }

    // A sound made now joins the end and is chosen; without a name it is
    // called after its kind and the next number of that kind ("pickup 3").
    // A full list first lets its oldest sound without a star go.
    size_t Add(const std::string& state, const std::string& kind, const std::string& name = "");
    // Sounds made from the one at source join right after it, named after it
    // ("pickup 3 v1", "v2", … past any there are), of its kind; the first is
    // chosen. A full list lets its oldest sounds without a star go, never the source.
    size_t AddVariations(size_t source, const std::vector<std::string>& states);
    // kNone chooses none. Throws std::out_of_range for a sound that is not there.
    void Choose(size_t i);
    // The chosen sound became this one; false when none is chosen or nothing changed.
    bool Change(const std::string& state);
    // Line breaks and tabs become spaces; a name left empty keeps the old one.
    void Rename(size_t i, const std::string& name);
    void Star(size_t i, bool starred);
    // The chosen sound, when removed, passes to the next one, else the one before.
    void Remove(size_t i);

    const Snapshot& Now() const { return mNow; }
    void Restore(const Snapshot& snapshot) { mNow = snapshot; }

    // Lengths as the strip measured them, by state: a measure, not an edit,
    // so undo never takes one back. Negative: not measured yet.
    void Measured(const std::string& state, double seconds);
    double SecondsOf(size_t i) const;

    // The list as its file keeps it: a line of text a sound, each with its
    // sound code. FromFileText throws std::runtime_error saying what is
    // wrong, and where, with a damaged file.
    std::string FileText() const;
    static SoundList FromFileText(const std::string& text);

private:
    // The prefix with the next number no sound's name after it has yet.
    std::string numbered(const std::string& prefix) const;
    // Lets sounds go until count more fit, keeping *keep (moved as it moves).
    void makeRoom(size_t count, size_t* keep);
    void replace(size_t i, const ListedSound& sound);

    Snapshot mNow;
    std::map<std::string, double> mSeconds;
};

// The undo history's step: the list and the sound in the editor, which is
// the chosen sound's, or one of its own while the list is empty.
struct SessionMoment
{
    SoundList::Snapshot list;
    std::string sound;
    bool operator==(const SessionMoment& other) const
    {
        return sound == other.sound && list == other.list;
    }
};
