// The app's list of sounds: what the user does to it, what undo brings back,
// its file, and the slots of earlier sessions it takes over.
#include "History.h"
#include "KeptList.h"
#include "Params.h"
#include "SlotStates.h"
#include "SoundFiles.h"
#include "SoundList.h"
#include "Wording.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace
{

// A state of the instrument with the defaults but for the amp attack.
std::string stateWith(double attack, int32_t version = 0x10000)
{
    double values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        values[i] = paramProperties[i].defaultValue;
    values[kAmpEnvAttack] = attack;
    std::string state(kStateSize, '\0');
    StateCodec::Encode(version, values, kNumParams, reinterpret_cast<unsigned char*>(&state[0]));
    return state;
}

double valueIn(const std::string& state, int param)
{
    double value;
    std::memcpy(&value, state.data() + StateCodec::kVersionSize + param * sizeof value, sizeof value);
    return value;
}

std::string names(const SoundList& list)
{
    std::string all;
    for (size_t i = 0; i < list.Size(); ++i)
        all += (i ? "|" : "") + list.At(i).name + (list.At(i).starred ? "*" : "");
    return all;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void spit(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

TEST(SoundList, NamesStarsAndRemovalsAsTheUserMakesThem)
{
    SoundList list;
    list.Add(stateWith(0.1), "pickup");
    list.Add(stateWith(0.2), "pickup");
    list.Add(stateWith(0.3), "shoot");
    list.Add(stateWith(0.4), "opened", "coin\tfinal\n");
    EXPECT_EQ(names(list), "pickup 1|pickup 2|shoot 1|coin final");
    EXPECT_EQ(list.Current(), 3u);

    list.Rename(1, "  my coin ");
    list.Rename(2, " \n "); // nothing but space keeps the name
    list.Star(0, true);
    EXPECT_EQ(names(list), "pickup 1*|my coin|shoot 1|coin final");
    // The next number follows the highest of the kind, so no two share a name.
    list.Remove(0);
    list.Add(stateWith(0.5), "pickup");
    EXPECT_EQ(names(list), "my coin|shoot 1|coin final|pickup 1");
    list.Add(stateWith(0.6), "shoot");
    EXPECT_EQ(list.At(4).name, "shoot 2");

    // The chosen sound passes to the next one, else the one before; others keep it.
    list.Choose(1);
    list.Remove(0);
    EXPECT_EQ(list.Current(), 0u);
    EXPECT_EQ(list.At(0).name, "shoot 1");
    list.Remove(0);
    EXPECT_EQ(list.At(list.Current()).name, "coin final");
    list.Choose(2);
    list.Remove(2);
    EXPECT_EQ(list.At(list.Current()).name, "pickup 1");
    list.Remove(0);
    list.Remove(0);
    EXPECT_EQ(list.Current(), SoundList::kNone);
    EXPECT_FALSE(list.Change(stateWith(0.7))); // nothing chosen takes it
    EXPECT_THROW(list.Choose(0), std::out_of_range);

    // A full list, which its file must still take, lets the oldest unstarred sound go.
    for (size_t i = 0; i < SoundList::kMostSounds; ++i)
        list.Add(std::string(), "x", std::to_string(i));
    list.Star(0, true);
    list.Add(std::string(), "hit");
    EXPECT_EQ(list.Size(), SoundList::kMostSounds);
    EXPECT_EQ(names(list).substr(0, 6), "0*|2|3");
    EXPECT_EQ(list.At(list.Current()).name, "hit 1");
}

// The app records the list with the sound after every change; undo and redo
// bring back both.
TEST(SoundList, UndoBringsBackADeletedSoundAndStepsBackATweak)
{
    SoundList list;
    UndoHistory<SessionMoment> history;
    const auto record = [&] { return history.Record({list.Now(), list.At(list.Current()).state}); };
    list.Add(stateWith(0.1), "pickup");
    history.Reset({list.Now(), stateWith(0.1)});
    list.Add(stateWith(0.2), "jump");
    list.Star(1, true);
    EXPECT_TRUE(record());

    // A tweak changes the chosen sound only; going to another and back keeps it.
    EXPECT_TRUE(list.Change(stateWith(0.25)));
    EXPECT_FALSE(list.Change(stateWith(0.25)));
    EXPECT_TRUE(record());
    list.Choose(0);
    EXPECT_TRUE(record());
    list.Choose(1);
    EXPECT_TRUE(record());
    EXPECT_EQ(list.At(1).state, stateWith(0.25));
    EXPECT_EQ(list.At(0).state, stateWith(0.1));

    list.Remove(1);
    EXPECT_TRUE(record());
    EXPECT_EQ(names(list), "pickup 1");
    list.Restore(history.Undo()->list);
    EXPECT_EQ(names(list), "pickup 1|jump 1*");
    EXPECT_EQ(list.Current(), 1u);
    EXPECT_EQ(history.Undo()->sound, stateWith(0.1)); // the first sound chosen
    EXPECT_EQ(history.Undo()->sound, stateWith(0.25));
    const SessionMoment* before = history.Undo(); // the tweak undone
    list.Restore(before->list);
    EXPECT_EQ(before->sound, stateWith(0.2));
    EXPECT_EQ(list.At(1).state, stateWith(0.2));
    EXPECT_EQ(names(list), "pickup 1|jump 1*");
    // Steps share the sounds they did not change.
    EXPECT_EQ(history.Redo()->list.entries[0], before->list.entries[0]);
}

TEST(SoundList, FileKeepsEverythingAndRefusesAnyDamage)
{
    SoundList list;
    list.Add(stateWith(0.1), "pickup");
    list.Add(stateWith(0.2), "opened", "coin, the final one");
    list.Add(stateWith(0.3), "blip");
    list.Star(1, true);
    list.Measured(stateWith(0.2), 0.4125);
    list.Measured(stateWith(0.3), 0.1 + 0.2); // shown alike after a restart
    list.Choose(1);
    const std::string file = list.FileText();
    const SoundList again = SoundList::FromFileText(file);
    EXPECT_EQ(names(again), names(list));
    EXPECT_EQ(again.Current(), 1u);
    EXPECT_EQ(again.At(1).kind, "opened");
    EXPECT_EQ(again.At(2).state, stateWith(0.3));
    EXPECT_EQ(again.SecondsOf(1), 0.4125);
    EXPECT_LT(again.SecondsOf(0), 0);
    EXPECT_EQ(again.SecondsOf(2), 0.1 + 0.2);
    EXPECT_EQ(again.FileText(), file);
    EXPECT_EQ(SoundList::FromFileText(SoundList().FileText()).Current(), SoundList::kNone);
    // A sound of its own in the editor (after Reset): none chosen, and the
    // slot box shows the number SAVE would give it.
    SoundList unchosen = again;
    unchosen.Choose(SoundList::kNone);
    EXPECT_EQ(SoundList::FromFileText(unchosen.FileText()).Current(), SoundList::kNone);
    int32_t shown = -1;
    std::memcpy(&shown, SlotsOfList(unchosen).data(), sizeof shown);
    EXPECT_EQ(shown, 3);

    for (size_t at = 0; at < file.size(); ++at)
    {
        std::string damaged = file;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x04);
        EXPECT_THROW(SoundList::FromFileText(damaged), std::runtime_error) << "byte " << at;
    }
    for (size_t cut = 0; cut < file.size(); cut += 7)
        EXPECT_THROW(SoundList::FromFileText(file.substr(0, cut)), std::runtime_error) << "cut at " << cut;
}

// The slots the instrument holds (and earlier sessions kept) as normalised
// values come back as the states the instrument plays for them.
TEST(SoundList, SlotsOfEarlierSessionsBecomeTheList)
{
    SoundList list;
    list.Add(stateWith(0.01), "pickup");
    list.Add(stateWith(1.5), "hit");
    list.Add(stateWith(0.3), "jump");
    list.Choose(1);
    const std::string slots = SlotsOfList(list);
    ASSERT_EQ(slots.size(), 4 + 3 * kNumParams * sizeof(double));

    const SoundList kept = ListOfSlots(SlotsFromFileBytes(SlotsFileBytes(slots)), stateWith(0, 0x20000));
    EXPECT_EQ(names(kept), "kept 1|kept 2|kept 3");
    EXPECT_EQ(kept.Current(), 1u);
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(kept.At(i).state.compare(0, 4, stateWith(0, 0x20000), 0, 4), 0); // the version given
        for (int p = 0; p < kNumParams; ++p)
            EXPECT_NEAR(valueIn(kept.At(i).state, p), valueIn(list.At(i).state, p),
                        1e-9 * (1 + std::fabs(valueIn(list.At(i).state, p))))
                << "sound " << i << ", parameter " << p;
    }
    EXPECT_THROW(ListOfSlots(slots.substr(0, slots.size() - 8), stateWith(0)), std::runtime_error);
    EXPECT_EQ(ListOfSlots(std::string(4, '\0'), stateWith(0)).Current(), SoundList::kNone);
}

TEST(SoundList, AStartFindsTheListTheOldSlotsOrSetsADamagedFileAside)
{
    char pattern[] = "/tmp/bleepforge-list-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string listPath = dir + "/sounds.txt", slotsPath = dir + "/slots.bin";
    SoundList list;
    list.Add(stateWith(0.2), "pickup");
    list.Add(stateWith(0.3), "shoot");

    EXPECT_EQ(LoadKeptList(listPath, slotsPath, stateWith(0)).sounds.Size(), 0u);
    // Before there was a list: the slots, which stay where they were.
    const std::string slotsFile = SlotsFileBytes(SlotsOfList(list));
    spit(slotsPath, slotsFile);
    KeptList kept = LoadKeptList(listPath, slotsPath, stateWith(0));
    EXPECT_EQ(names(kept.sounds), "kept 1|kept 2");
    EXPECT_EQ(kept.problem, "");
    EXPECT_EQ(slurp(slotsPath), slotsFile);
    // Once there is a list, it is what comes back.
    spit(listPath, list.FileText());
    kept = LoadKeptList(listPath, slotsPath, stateWith(0));
    EXPECT_EQ(names(kept.sounds), "pickup 1|shoot 1");
    EXPECT_TRUE(kept.keep);

    // A damaged list goes aside whole and says where; the next start is empty.
    const std::string damaged = list.FileText().substr(0, 300);
    spit(listPath, damaged);
    kept = LoadKeptList(listPath, slotsPath, stateWith(0));
    EXPECT_EQ(kept.sounds.Size(), 0u);
    EXPECT_TRUE(kept.keep);
    EXPECT_NE(kept.problem.find(listPath + ".unreadable"), std::string::npos) << kept.problem;
    EXPECT_EQ(slurp(listPath + ".unreadable"), damaged);
    EXPECT_NE(access(listPath.c_str(), F_OK), 0);
    std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(PastedSound, TakesACodeOrASoundFilesPath)
{
    const std::string code = "bfs1:AAABAAAAAAAAABjAAAAAAAAA";
    EXPECT_EQ(PastedSound("  " + code + "\n"), code);
    EXPECT_EQ(PastedSound("/home/me/coin 2.wav\n"), "/home/me/coin 2.wav");
    EXPECT_EQ(PastedSound("file:///home/me/coin%202.wav\r\nfile:///other.wav"), "/home/me/coin 2.wav");
    EXPECT_EQ(PastedSound("~/coin.wav"), std::string(getenv("HOME") ? getenv("HOME") : "") + "/coin.wav");
    EXPECT_EQ(PastedSound("hello"), "");
    EXPECT_EQ(PastedSound(""), "");
}

// A code pasted back lost the name it had in the list; the app's own
// clipboard form carries it, and refuses what is not that form whole.
TEST(PastedSound, ASoundCopiedFromTheListKeepsItsNameAndKind)
{
    SoundList list;
    list.Add(stateWith(0.2), "jump", "the big jump  ");
    const std::string code = "bfs1:AAABAAAAAAAAABjAAAAAAAAA";
    const std::string copied = CopiedSoundText(list.At(0), code);
    ListedSound pasted;
    std::string pastedCode;
    ASSERT_TRUE(ReadCopiedSound(copied, &pasted, &pastedCode));
    EXPECT_EQ(pasted.name, "the big jump");
    EXPECT_EQ(pasted.kind, "jump");
    EXPECT_EQ(pastedCode, code);
    list.Add(stateWith(0.2), pasted.kind, pasted.name);
    EXPECT_EQ(names(list), "the big jump|the big jump");

    for (const std::string& other :
         {code, copied.substr(0, copied.size() - code.size()), copied + "\nmore", copied.substr(1),
          std::string("bleepforge sound 1\n\tjump\t") + code, std::string("bleepforge sound 1\nname\t\t") + code,
          std::string("bleepforge sound 1\nname\tjump\tnot a code"), copied + std::string(1 << 16, ' ')})
        EXPECT_FALSE(ReadCopiedSound(other, &pasted, &pastedCode)) << other.substr(0, 80);
}

TEST(Wording, OneSoundIsASoundNotOneSounds)
{
    EXPECT_EQ("lose its " + Counted(1, "sound"), "lose its 1 sound");
    EXPECT_EQ(Counted(0, "sound"), "0 sounds");
    EXPECT_EQ(Counted(10000, "variation"), "10000 variations");
}
