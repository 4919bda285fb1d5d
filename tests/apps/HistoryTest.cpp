// The app's undo history and its remembered settings.
#include "History.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

TEST(SoundHistory, StepsBackAndForthAndANewChangeClearsRedo)
{
    UndoHistory<std::string> history;
    history.Reset("a");
    EXPECT_FALSE(history.Record("a")); // no change, no step
    EXPECT_TRUE(history.Record("b"));
    EXPECT_TRUE(history.Record("c"));
    EXPECT_EQ(*history.Undo(), "b");
    EXPECT_EQ(*history.Undo(), "a");
    EXPECT_EQ(history.Undo(), nullptr);
    EXPECT_EQ(history.Present(), "a");
    EXPECT_EQ(*history.Redo(), "b");
    EXPECT_TRUE(history.Record("d"));
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(*history.Undo(), "b");
    EXPECT_EQ(*history.Redo(), "d");
}

TEST(SoundHistory, KeepsTheNewestStepsWhenFull)
{
    UndoHistory<std::string> history;
    history.Reset("0");
    const int changes = static_cast<int>(UndoHistory<std::string>::kSteps) + 50;
    for (int i = 1; i <= changes; ++i)
        history.Record(std::to_string(i));
    int undone = 0;
    const std::string* state = nullptr;
    while (const std::string* earlier = history.Undo())
    {
        state = earlier;
        ++undone;
    }
    EXPECT_EQ(undone, static_cast<int>(UndoHistory<std::string>::kSteps));
    EXPECT_EQ(*state, std::to_string(changes - static_cast<int>(UndoHistory<std::string>::kSteps)));
}

TEST(AppSettings, ComeBackAsWrittenAndDamageLeavesDefaults)
{
    char pattern[] = "/tmp/bleepforge-settings-XXXXXX";
    close(mkstemp(pattern));
    const std::string path = pattern;
    AppSettings chosen;
    chosen.playOnChange = false;
    chosen.exportSettings.format = {Container::kFlac, SampleFormat::kPcm24, 2};
    chosen.exportSettings.rate = 96000;
    chosen.exportSettings.normalise = false;
    chosen.exportSettings.loudness = true;
    chosen.exportFolder = "/tmp/sounds of mine";
    SaveSettings(chosen, path);
    const AppSettings read = LoadSettings(path);
    EXPECT_FALSE(read.playOnChange);
    EXPECT_EQ(read.exportSettings.format.container, Container::kFlac);
    EXPECT_EQ(read.exportSettings.format.sample, SampleFormat::kPcm24);
    EXPECT_EQ(read.exportSettings.format.channels, 2);
    EXPECT_EQ(read.exportSettings.rate, 96000);
    EXPECT_FALSE(read.exportSettings.normalise);
    EXPECT_TRUE(read.exportSettings.loudness);
    EXPECT_EQ(read.exportFolder, chosen.exportFolder);

    std::ofstream(path) << "[bleepforge]\nexport-rate=12345\nexport-channels=7\nexport-format=mp3\n";
    const AppSettings odd = LoadSettings(path);
    const AppSettings defaults;
    EXPECT_EQ(odd.exportSettings.rate, defaults.exportSettings.rate);
    EXPECT_EQ(odd.exportSettings.format.channels, 1);
    EXPECT_EQ(odd.exportSettings.format.sample, SampleFormat::kPcm16);
    std::ofstream(path) << "\x01\x02 not a key file";
    EXPECT_TRUE(LoadSettings(path).playOnChange);
    std::remove(path.c_str());
}
