#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

// Values from one thread to another: one writer, one reader, no locks and no
// allocation. A full ring refuses the value.
template <class Value, size_t Capacity> class Ring
{
public:
    static constexpr size_t kCapacity = Capacity;

    // The writer's thread only.
    bool Push(const Value& value)
    {
        const size_t tail = mTail.load(std::memory_order_relaxed);
        const size_t next = (tail + 1) % kCapacity;
        if (next == mHead.load(std::memory_order_acquire))
            return false;
        mSlots[tail] = value;
        mTail.store(next, std::memory_order_release);
        return true;
    }

    // The reader's thread only.
    bool Pop(Value* value)
    {
        const size_t head = mHead.load(std::memory_order_relaxed);
        if (head == mTail.load(std::memory_order_acquire))
            return false;
        *value = mSlots[head];
        mHead.store((head + 1) % kCapacity, std::memory_order_release);
        return true;
    }

private:
    std::array<Value, kCapacity> mSlots = {};
    std::atomic<size_t> mHead{0}; // written by the reader
    std::atomic<size_t> mTail{0}; // written by the writer
};

// Short MIDI messages from the device thread to the audio thread; a full ring
// drops the message.
using MidiRing = Ring<uint32_t, 1024>;

// Status in the low byte, then the two data bytes.
inline uint32_t PackMidi(uint8_t status, uint8_t data1, uint8_t data2)
{
    return status | (static_cast<uint32_t>(data1) << 8) | (static_cast<uint32_t>(data2) << 16);
}

// A short channel message packed, or false for anything else (system and
// real-time messages, SysEx, a data byte without its status): the instrument
// takes nothing more.
inline bool PackChannelMessage(const uint8_t* bytes, size_t size, uint32_t* message)
{
    if (!bytes || size == 0 || size > 3 || bytes[0] < 0x80 || bytes[0] >= 0xF0)
        return false;
    *message = PackMidi(bytes[0], size > 1 ? bytes[1] : 0, size > 2 ? bytes[2] : 0);
    return true;
}
