#include "RelaySignal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

// Counts heap allocations so a test can prove that emission makes none. The
// replacements pair malloc with free, which GCC cannot see through inlining.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace
{
std::atomic<long> gAllocations{0};
}

void* operator new(std::size_t size)
{
    ++gAllocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace
{

std::vector<int> gCalls;

struct Receiver
{
    int id = 0;
    int total = 0;
    void onValue(int value) { total += value, gCalls.push_back(id); }
    void onOther(int value) { total += 100 * value; }
};

struct Base
{
    virtual ~Base() = default;
    virtual void hit() { gCalls.push_back(1); }
};

struct Derived : Base
{
    void hit() override { gCalls.push_back(2); }
};

// One function reached through two base subobjects: the member pointers share
// their address word and differ only in the object adjustment.
struct Counter
{
    int count = 0;
    void bump() { ++count; }
};
struct Left : Counter
{
};
struct Right : Counter
{
};
struct Both : Left, Right
{
};

class RelayTest : public ::testing::Test
{
protected:
    void SetUp() override { gCalls.clear(); }
};

} // namespace

TEST_F(RelayTest, ConnectingTheSamePairTwiceCallsItOnce)
{
    Relay::Signal1<int> signal;
    Receiver r;
    signal.Connect(&r, &Receiver::onValue);
    signal.Connect(&r, &Receiver::onValue);
    signal.Emit(3);
    EXPECT_EQ(r.total, 3);

    signal.Connect(&r, &Receiver::onOther); // a second function on one object
    signal(1);
    EXPECT_EQ(r.total, 3 + 1 + 100);
}

TEST_F(RelayTest, EmissionFollowsObjectAddressesNotConnectionOrder)
{
    Receiver receivers[4];
    for (int i = 0; i < 4; ++i)
        receivers[i].id = i;
    Relay::Signal1<int> signal;
    for (int i : {2, 0, 3, 1})
        signal.Connect(&receivers[i], &Receiver::onValue);
    signal.Emit(1);
    EXPECT_EQ(gCalls, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(RelayTest, TheWholeMemberPointerTellsBindingsApart)
{
    static_assert(sizeof(void(Both::*)()) == 2 * sizeof(void*), "two-word member pointers");
    Both both;
    void (Left::*viaLeft)() = &Left::bump;
    void (Right::*viaRight)() = &Right::bump;
    Relay::Signal0<void> signal;
    signal.Connect(&both, static_cast<void (Both::*)()>(viaLeft));
    signal.Connect(&both, static_cast<void (Both::*)()>(viaRight));
    signal.Emit();
    EXPECT_EQ(static_cast<Left&>(both).count, 1);
    EXPECT_EQ(static_cast<Right&>(both).count, 1);
}

TEST_F(RelayTest, KeysFormAStrictOrder)
{
    Receiver a, b;
    const auto keys = {Relay::MakeDelegate(&a, &Receiver::onValue),
                       Relay::MakeDelegate(&a, &Receiver::onOther),
                       Relay::MakeDelegate(&b, &Receiver::onValue)};
    for (const auto& x : keys)
    {
        EXPECT_FALSE(x < x);
        for (const auto& y : keys)
        {
            if (&x != &y)
            {
                EXPECT_NE(x < y, y < x);
            }
        }
    }
}

TEST_F(RelayTest, VirtualMembersDispatchThroughTheObject)
{
    Derived d;
    Relay::Signal0<void> signal;
    signal.Connect(static_cast<Base*>(&d), &Base::hit);
    signal.Emit();
    EXPECT_EQ(gCalls, (std::vector<int>{2}));
}

TEST_F(RelayTest, EmptySignalDoesNothing)
{
    Relay::Signal2<int, int> signal;
    signal.Emit(1, 2);
    EXPECT_TRUE(gCalls.empty());
}

namespace
{
struct Reentrant
{
    Relay::Signal1<int>* signal = nullptr;
    Receiver* late = nullptr;
    std::vector<int> seen;
    void onDepth(int depth)
    {
        seen.push_back(depth);
        if (depth < 3)
            signal->Emit(depth + 1);
        if (late)
            signal->Connect(late, &Receiver::onValue);
    }
};
} // namespace

TEST_F(RelayTest, ConnectedFunctionsMayEmitAndConnectDuringEmission)
{
    Relay::Signal1<int> signal;
    Reentrant reentrant;
    reentrant.signal = &signal;
    signal.Connect(&reentrant, &Reentrant::onDepth);
    signal.Emit(0);
    EXPECT_EQ(reentrant.seen, (std::vector<int>{0, 1, 2, 3}));

    Receiver late;
    reentrant.late = &late;
    reentrant.seen.clear();
    signal.Emit(3);
    late.total = 0;
    signal.Emit(5);
    EXPECT_EQ(late.total, 5); // connected once, whatever the depth it was added at
}

TEST_F(RelayTest, EmissionAllocatesNothing)
{
    Receiver receivers[8];
    Relay::Signal2<int, int> pairs;
    Relay::Signal1<int> single;
    struct Pair
    {
        int sum = 0;
        void on(int a, int b) { sum += a * b; }
    } pair;
    pairs.Connect(&pair, &Pair::on);
    for (Receiver& r : receivers)
        single.Connect(&r, &Receiver::onOther);
    gCalls.reserve(64);
    const long before = gAllocations.load();
    for (int i = 0; i < 100; ++i)
    {
        single.Emit(i);
        pairs.Emit(i, 2);
    }
    EXPECT_EQ(gAllocations.load(), before);
    EXPECT_EQ(pair.sum, 2 * 4950);
}
