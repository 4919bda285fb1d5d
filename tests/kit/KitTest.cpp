#include "KIT_Base64.h"
#include "KIT_ByteOrder.h"
#include "KIT_Mutex.h"
#include "KIT_PtrList.h"
#include "KIT_String.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

TEST(Base64, EncodesAndPadsTheReferenceExamples)
{
    char out[16];
    base64encode(reinterpret_cast<const unsigned char*>("abc"), out, 3);
    EXPECT_STREQ(out, "YWJj");
    base64encode(reinterpret_cast<const unsigned char*>("ab"), out, 2);
    EXPECT_STREQ(out, "YWI=");
    base64encode(reinterpret_cast<const unsigned char*>("a"), out, 1);
    EXPECT_STREQ(out, "YQ==");
    base64encode(nullptr, out, 0);
    EXPECT_STREQ(out, "");
}

TEST(Base64, DecodeStopsAtPaddingAndAtItsLimit)
{
    unsigned char out[10] = {};
    EXPECT_EQ(base64decode("YWI=", out, 10), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 2), "ab");
    unsigned char one[2] = {0, 0x55};
    EXPECT_EQ(base64decode("YWJj", one, 1), 1);
    EXPECT_EQ(one[0], 'a');
    EXPECT_EQ(one[1], 0x55); // nothing past the limit
    EXPECT_EQ(base64decode("YW Jj", out, 10), 1);
}

TEST(Base64, RoundTripsEveryLength)
{
    std::srand(11);
    for (int length = 0; length < 800; length += 7)
    {
        std::vector<unsigned char> data(static_cast<size_t>(length));
        for (unsigned char& byte : data)
            byte = static_cast<unsigned char>(std::rand());
        std::string text(static_cast<size_t>(base64EncodedLength(length)) + 1, '#');
        base64encode(data.data(), &text[0], length);
        ASSERT_EQ(text.back(), '\0');
        ASSERT_EQ(std::strlen(text.c_str()), static_cast<size_t>(base64EncodedLength(length)));
        std::vector<unsigned char> back(static_cast<size_t>(length) + 1);
        ASSERT_EQ(base64decode(text.c_str(), back.data(), length + 1), length);
        back.resize(static_cast<size_t>(length));
        ASSERT_EQ(back, data);
    }
}

namespace
{
struct Counted
{
    explicit Counted(int* deaths) : mDeaths(deaths) {}
    ~Counted() { ++*mDeaths; }
    int* mDeaths;
};
} // namespace

TEST(PtrList, OwnsItsElements)
{
    int deaths = 0;
    {
        KIT_PtrList<Counted> list;
        list.Add(new Counted(&deaths));
        Counted* second = list.Add(new Counted(&deaths));
        Counted* front = list.Insert(0, new Counted(&deaths));
        list.Insert(99, new Counted(&deaths)); // past the end: appended
        EXPECT_EQ(list.GetSize(), 4);
        EXPECT_EQ(list.Get(0), front);
        EXPECT_EQ(list.Get(2), second);
        EXPECT_EQ(list.Get(4), nullptr);
        EXPECT_EQ(list.Get(-1), nullptr);
        list.Delete(1);
        EXPECT_EQ(deaths, 1);
        list.Delete(17);
        EXPECT_EQ(list.GetSize(), 3);
    }
    EXPECT_EQ(deaths, 4);
}

TEST(Mutex, IsRecursiveAndExcludesOtherThreads)
{
    KIT_Mutex mutex;
    std::atomic<bool> otherEntered{false};
    std::thread other;
    mutex.Enter();
    {
        KIT_MutexLock again(mutex); // the same thread enters twice
        other = std::thread(
            [&]
            {
                KIT_MutexLock lock(mutex);
                otherEntered = true;
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(otherEntered);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(otherEntered); // still held once
    mutex.Leave();
    other.join();
    EXPECT_TRUE(otherEntered);
}

TEST(ByteOrder, SwapsToBigEndian)
{
    const uint32_t value = 0x43636E4B; // "CcnK"
    const uint32_t swapped = KIT_SwapBigEndian32(value);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&swapped);
    EXPECT_EQ(bytes[0], 'C');
    EXPECT_EQ(bytes[3], 'K');
    EXPECT_EQ(KIT_BitsToFloat(KIT_FloatBits(0.25f)), 0.25f);
    EXPECT_EQ(KIT_FloatBits(1.0f), 0x3F800000u);
}
