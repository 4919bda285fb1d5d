// Where the app's outputs go on a JACK server, and how --list-devices numbers
// the clients that take audio: every client with audio ports counts, so the
// numbers are those the app has always shown.
#include "JackGraph.h"

#include <gtest/gtest.h>

namespace
{

// A server with its sound card, a recorder, a player with outputs only and a
// second card whose ports came after the recorder's.
const std::vector<JackPort> kPorts = {
    {"system:capture_1", false, true},  {"system:capture_2", false, true},
    {"system:playback_1", true, true},  {"system:playback_2", true, true},
    {"player:out_l", false, false},     {"recorder:in_1", true, false},
    {"recorder:in_2", true, false},     {"usb:playback_1", true, true},
    {"recorder:monitor", false, false},
};

} // namespace

TEST(JackGraph, ClientsThatTakeAudioKeepTheirNumbersAndTheDefault)
{
    const std::vector<AudioDestination> destinations = AudioDestinations(kPorts);
    ASSERT_EQ(destinations.size(), 3u);
    EXPECT_EQ(destinations[0].number, 0);
    EXPECT_EQ(destinations[0].client, "system");
    EXPECT_TRUE(destinations[0].isDefault);
    EXPECT_EQ(destinations[1].number, 2); // the player, with outputs only, is 1
    EXPECT_EQ(destinations[1].client, "recorder");
    EXPECT_FALSE(destinations[1].isDefault);
    EXPECT_EQ(destinations[2].number, 3);
    EXPECT_EQ(destinations[2].client, "usb");
    EXPECT_FALSE(destinations[2].isDefault); // physical, but not the first
    EXPECT_TRUE(AudioDestinations({{"player:out_l", false, false}}).empty());
}

TEST(JackGraph, OutputsGoToTheChosenClientsInputsOrToThePhysicalOnes)
{
    EXPECT_EQ(
        PlaybackPorts(kPorts, -1),
        (std::vector<std::string>{"system:playback_1", "system:playback_2", "usb:playback_1"}));
    EXPECT_EQ(PlaybackPorts(kPorts, 2),
              (std::vector<std::string>{"recorder:in_1", "recorder:in_2"}));
    EXPECT_EQ(PlaybackPorts(kPorts, 3), (std::vector<std::string>{"usb:playback_1"}));
    EXPECT_TRUE(PlaybackPorts(kPorts, 1).empty()); // takes no audio
    EXPECT_TRUE(PlaybackPorts(kPorts, 4).empty());
    EXPECT_TRUE(PlaybackPorts({}, -1).empty());
}
