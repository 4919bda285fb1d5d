#include "IPluginStructs.h"
#include "Hosts.h"
#include "Log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(MidiMsg, BuildersFillStatusDataAndOffset)
{
    IMidiMsg msg(99, 0xFF, 1, 2);
    msg.MakeNoteOnMsg(60, 100, 17, 3);
    EXPECT_EQ(msg.mStatus, 0x93);
    EXPECT_EQ(msg.mData1, 60);
    EXPECT_EQ(msg.mData2, 100);
    EXPECT_EQ(msg.mOffset, 17);
    EXPECT_EQ(msg.Channel(), 3);
    EXPECT_EQ(msg.StatusMsg(), IMidiMsg::kNoteOn);

    msg.MakeNoteOffMsg(61, 5, 0);
    EXPECT_EQ(msg.mStatus, 0x80);
    EXPECT_EQ(msg.NoteNumber(), 61);
    EXPECT_EQ(msg.Velocity(), 0);
    EXPECT_EQ(msg.mOffset, 5);

    msg.MakeControlChangeMsg(IMidiMsg::kModWheel, 0.5, 2);
    EXPECT_EQ(msg.mStatus, 0xB2);
    EXPECT_EQ(msg.mData2, 63);
    EXPECT_EQ(msg.mOffset, 0);
    EXPECT_DOUBLE_EQ(msg.ControlChange(IMidiMsg::kModWheel), 63 / 127.0);
    EXPECT_EQ(msg.ControlChange(IMidiMsg::kPan), -1.0);
    EXPECT_EQ(msg.ControlChangeIdx(), IMidiMsg::kModWheel);
}

TEST(MidiMsg, PitchWheelIsHeldToFourteenBits)
{
    IMidiMsg msg;
    msg.MakePitchWheelMsg(1.0, 0);
    EXPECT_EQ(msg.mData1, 127);
    EXPECT_EQ(msg.mData2, 127);
    msg.MakePitchWheelMsg(-1.0, 0);
    EXPECT_EQ(msg.mData1, 0);
    EXPECT_EQ(msg.mData2, 0);
    EXPECT_EQ(msg.PitchWheel(), -1.0);
    msg.MakePitchWheelMsg(1e300, 0); // far outside: held, never undefined
    EXPECT_EQ(msg.mData2, 127);
    msg = IMidiMsg(0, 0xE0, 0, 64);
    EXPECT_EQ(msg.PitchWheel(), 0.0);
}

TEST(MidiMsg, ReadersAnswerOnlyForTheirKind)
{
    const IMidiMsg clock(0, 0xF8, 60, 100);
    EXPECT_EQ(clock.StatusMsg(), IMidiMsg::kNone);
    EXPECT_EQ(clock.NoteNumber(), -1);
    EXPECT_EQ(clock.Velocity(), -1);
    EXPECT_EQ(clock.Program(), -1);
    EXPECT_EQ(clock.PitchWheel(), 0.0);

    const IMidiMsg poly(0, 0xA0, 60, 33);
    EXPECT_EQ(poly.NoteNumber(), 60);
    EXPECT_EQ(poly.PolyAfterTouch(), 33);
    EXPECT_EQ(poly.Velocity(), -1);
    EXPECT_EQ(IMidiMsg(0, 0xD0, 44, 0).ChannelAfterTouch(), 44);
    EXPECT_EQ(IMidiMsg(0, 0xC5, 7, 0).Program(), 7);
    EXPECT_EQ(IMidiMsg(0, 0xC5, 7, 0).ChannelAfterTouch(), -1);
}

TEST(MidiMsg, StatusTexts)
{
    EXPECT_STREQ(StatusMsgStr(IMidiMsg::kNone), "none");
    EXPECT_STREQ(StatusMsgStr(IMidiMsg::kPolyAftertouch), "aftertouch");
    EXPECT_STREQ(StatusMsgStr(IMidiMsg::kPitchWheel), "pitchwheel");
    EXPECT_STREQ(StatusMsgStr(static_cast<IMidiMsg::EStatusMsg>(3)), "unknown");
}

TEST(SysEx, HexTextIsCutToWholeBytes)
{
    const uint8_t data[] = {0xF0, 0x7e, 0x01, 0x02, 0xF7};
    char text[7];
    std::memset(text, 'x', sizeof text);
    EXPECT_STREQ(SysExStr(text, 7, data, 5), "F0 7E");
    char exact[6]; // two whole bytes fit exactly, terminator in the last blank
    EXPECT_STREQ(SysExStr(exact, 6, data, 5), "F0 7E");
    char wide[64];
    EXPECT_STREQ(SysExStr(wide, 64, data, 5), "F0 7E 01 02 F7");
    EXPECT_STREQ(SysExStr(wide, 64, nullptr, 5), "");
    EXPECT_STREQ(SysExStr(wide, 64, data, 0), "");
}

TEST(SysExDeathTest, TooSmallABufferStops)
{
    char text[2];
    const uint8_t data[] = {1};
    EXPECT_DEATH(SysExStr(text, 2, data, 1), "str != NULL && maxlen >= 3");
}

TEST(Records, Defaults)
{
    const ITimeInfo time;
    EXPECT_EQ(time.mTempo, 120.0);
    EXPECT_EQ(time.mSamplePos, -1.0);
    EXPECT_EQ(time.mNumerator, 4);
    EXPECT_FALSE(time.mTransportIsRunning);
    EXPECT_EQ(COLOR_ORANGE, IColor(255, 255, 127, 0));
    EXPECT_EQ(COLOR_GRAY, IColor(255, 127, 127, 127));
    ISysEx sysex(3, nullptr, 9);
    sysex.Clear();
    EXPECT_EQ(sysex.mSize, 0);
}

TEST(Hosts, FirstFragmentWinsWhateverTheCase)
{
    EXPECT_EQ(LookUpHost("Cubase and Nuendo"), kHostCubase);
    EXPECT_EQ(LookUpHost("Ableton LIVE 11"), kHostLive);
    EXPECT_EQ(LookUpHost("Melodyne"), kHostMelodyne);
    EXPECT_EQ(LookUpHost(""), kHostUnknown);
    EXPECT_EQ(LookUpHost(nullptr), kHostUnknown);
    EXPECT_EQ(LookUpHost("PreSonus Studio"), kHostStudioOne);

    char name[19];
    GetHostNameStr(kHostMelodyne, name);
    EXPECT_STREQ(name, "Unknown");
    GetHostNameStr(kHostVST3TestHost, name);
    EXPECT_STREQ(name, "VST3PluginTestHost");
    GetHostNameStr(kHostSonar, name);
    EXPECT_STREQ(name, "Sonar");
    GetHostNameStr(static_cast<EHost>(40), name);
    EXPECT_STREQ(name, "Unknown");
}

TEST(Hosts, LongNamesAreCutNotOverflowed)
{
    const std::string beyond = std::string(255, 'x') + "reaper";
    EXPECT_EQ(LookUpHost(beyond.c_str()), kHostUnknown); // past the 255 kept
    const std::string within = std::string(249, 'x') + "Reaper" + std::string(4000, 'y');
    EXPECT_EQ(LookUpHost(within.c_str()), kHostReaper);
}

TEST(Log, TextHelpers)
{
    char lower[8];
    ToLower(lower, "AbCdEfGhIj", sizeof lower);
    EXPECT_STREQ(lower, "abcdefg");
    EXPECT_TRUE(IsWhitespace(' '));
    EXPECT_TRUE(IsWhitespace('\r'));
    EXPECT_FALSE(IsWhitespace('x'));

    KIT_String stamp;
    CompileTimestamp("Dec  8 2026", "17:10:41", &stamp);
    EXPECT_STREQ(stamp.Get(), "[Dec 8 17:10]");
    CompileTimestamp("Dec 18 2026", "07:05:00", &stamp);
    EXPECT_STREQ(stamp.Get(), "[Dec18 07:05]");
    EXPECT_STREQ(AppendTimestamp("Jan  1 2027", "00:00:00", "build"), "build [Jan 1 00:00]");
}

TEST(Log, TimerFiresOnlyAfterItsInterval)
{
    Timer timer;
    EXPECT_FALSE(timer.Every(1000.0));
    volatile double spin = 0.0;
    while (!timer.Every(0.0)) // any processor time at all is more than 0 s
        spin = spin + 1.0;
    EXPECT_FALSE(timer.Every(1000.0)); // restarted
}

TEST(Log, CurrentTimeHasDateTimeAndOffset)
{
    const std::string now = CurrentTime();
    ASSERT_EQ(now.size(), 20u) << now;
    EXPECT_EQ(now[8], ' ');
    EXPECT_EQ(now[11], ':');
    EXPECT_EQ(now[14], ' ');
    EXPECT_TRUE(now[15] == '+' || now[15] == '-');
}
