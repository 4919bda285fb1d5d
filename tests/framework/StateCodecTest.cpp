// The state's bytes as files, codes and hosts carry them, whatever the
// machine's own order.
#include "StateCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(StateCodec, WritesTheVersionThenLittleEndianDoublesAndReadsThemBack)
{
    const double values[] = {1.0, -0.5};
    std::vector<unsigned char> bytes(StateCodec::Size(2));
    StateCodec::Encode(0x10203, values, 2, bytes.data());
    const std::vector<unsigned char> expected = {
        0x03, 0x02, 0x01, 0x00,                        // the version
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F, // 1.0
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0xBF, // -0.5
    };
    EXPECT_EQ(bytes, expected);

    // A longer buffer is read up to the state's end, as inside a bank.
    bytes.push_back(0x55);
    int32_t version = 0;
    double read[2] = {};
    EXPECT_EQ(StateCodec::Decode(bytes.data(), bytes.size(), 2, &version, read), 20);
    EXPECT_EQ(version, 0x10203);
    EXPECT_EQ(read[0], 1.0);
    EXPECT_EQ(read[1], -0.5);
}

TEST(StateCodec, RefusesAShortStateOrOneThatIsNotANumberAndChangesNothing)
{
    const double values[] = {2.0, NAN, 3.0};
    std::vector<unsigned char> bytes(StateCodec::Size(3));
    StateCodec::Encode(1, values, 3, bytes.data());
    int32_t version = 7;
    double read[3] = {9.0, 9.0, 9.0};
    int nonFinite = -1;
    EXPECT_EQ(StateCodec::Decode(bytes.data(), bytes.size(), 3, &version, read, &nonFinite), -1);
    EXPECT_EQ(nonFinite, 1);
    EXPECT_EQ(StateCodec::Decode(bytes.data(), bytes.size() - 1, 3, &version, read), -1);
    EXPECT_EQ(version, 7);
    EXPECT_EQ(read[0], 9.0);
    EXPECT_EQ(read[2], 9.0);
}
