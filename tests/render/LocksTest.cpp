// Locks by name and by group: what `generate --lock` and the app keep.
#include "Locks.h"

#include "Params.h"
#include "KIT_UsageError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{

bool holds(const std::vector<int>& params, int param)
{
    return std::find(params.begin(), params.end(), param) != params.end();
}

TEST(Locks, GroupsHoldTheirParametersAndNoOthers)
{
    const std::vector<int> noise = LockedParams({"noise"});
    EXPECT_EQ(noise, (std::vector<int>{kWhiteLevel, kPinkLevel, kWhiteEnvDepth, kPinkEnvDepth}));
    const std::vector<int> pitch = LockedParams({"pitch"});
    for (int p : {kPitchHighNote, kPitchLowNote, kPitchStart, kPitchCurve, kPitchJumpTrigger})
        EXPECT_TRUE(holds(pitch, p)) << paramProperties[p].name;
    EXPECT_FALSE(holds(pitch, kOsc1Type));
    for (const std::string& group : LockGroupNames())
        for (int p : LockedParams({group}))
            EXPECT_EQ(LockGroupOf(p), group) << paramProperties[p].name;
    EXPECT_EQ(LockGroupOf(kMutation), "");
}

TEST(Locks, NamesAndGroupsAddUpInOrder)
{
    EXPECT_EQ(LockedParams({"Osc1 Type"}), std::vector<int>{kOsc1Type});
    const std::vector<int> both = LockedParams({"Output Gain", "crusher"});
    ASSERT_FALSE(both.empty());
    EXPECT_EQ(both.front(), kOutputGain);
    EXPECT_TRUE(holds(both, kBitCrushBitDepth));
    EXPECT_TRUE(LockedParams({}).empty());
}

TEST(Locks, UnknownNameIsRefusedWithTheGroups)
{
    try
    {
        LockedParams({"pitch", "bogus"});
        FAIL() << "a name that is neither a parameter nor a group was taken";
    }
    catch (const UsageError& e)
    {
        EXPECT_NE(std::string(e.what()).find("'bogus'"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("filter-env"), std::string::npos) << e.what();
    }
    EXPECT_THROW(LockedParams({"Pitch"}), UsageError); // a prefix alone names nothing
}

} // namespace
