#pragma once

#include <atomic>
#include <cstdint>

// What an on-screen keyboard and its plug-in share, kept on the plug-in's
// side so that the plug-in needs nothing of the editor.

// Which notes the plug-in sounds.
class IKeyStatusSource
{
public:
    virtual ~IKeyStatusSource() = default;
    virtual bool GetKeyStatus(int note) const = 0;
    virtual int GetNumKeys() const = 0;
};

// The key the mouse holds on the keyboard (-1 for none) and its velocity:
// written on the GUI thread, read by the audio thread at each block, as one
// atomic pair.
class OnScreenKey
{
public:
    void Set(int key, int velocity) { mPair.store(pack(key, velocity), std::memory_order_release); }
    void Get(int* key, int* velocity) const
    {
        const int64_t pair = mPair.load(std::memory_order_acquire);
        *key = static_cast<int32_t>(pair >> 32);
        *velocity = static_cast<int32_t>(pair & 0xFFFFFFFF);
    }

private:
    static int64_t pack(int key, int velocity)
    {
        return static_cast<int64_t>(static_cast<uint32_t>(key)) << 32 | static_cast<uint32_t>(velocity);
    }

    std::atomic<int64_t> mPair{pack(-1, 1)};
};
