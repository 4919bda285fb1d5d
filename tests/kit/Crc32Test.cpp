#include "KIT_Crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

// Codes written by earlier builds carry zlib's checksum: every length and
// byte must give the same number.
TEST(Crc32, EqualsZlibsForTheCheckValueAndRandomBytes)
{
    const unsigned char check[] = "123456789";
    EXPECT_EQ(Crc32(check, 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(nullptr, 0), 0u);
    std::mt19937 random(5);
    for (size_t length = 1; length < 2000; length += 37)
    {
        std::vector<unsigned char> bytes(length);
        for (unsigned char& byte : bytes)
            byte = static_cast<unsigned char>(random());
        ASSERT_EQ(Crc32(bytes.data(), length),
                  crc32(0L, bytes.data(), static_cast<uInt>(length)))
            << length << " bytes";
    }
}
