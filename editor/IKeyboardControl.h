#pragma once

#include "IControl.h"

#include <atomic>
#include <bitset>
#include <cstdint>

// What the keyboard asks of its plug-in: which notes are sounding.
class IKeyStatusSource
{
public:
    virtual ~IKeyStatusSource() = default;
    virtual bool GetKeyStatus(int note) const = 0;
    virtual int GetNumKeys() const = 0;
};

// The on-screen piano: paints every sounding key over the keyboard drawn in the
// background, and turns mouse presses into a current key and velocity that the
// plug-in polls at the start of each audio block.
//
// Threads. The current key and its velocity are written on the GUI thread and
// read on the audio thread: they travel as one atomic pair. The held-note table
// is the plug-in's (atomics written by its MIDI handling); the dirty flag is
// IControl's.
class IKeyboardControl : public IControl
{
public:
    static const int mBitmapN[12];
    static const int mNextKey[12];

    IKeyboardControl(IPluginBase* plug, int x, int y, int minNote, int nOctaves, IBitmap* white,
                     IBitmap* black, const int* keyCoords);

    int GetKey() const { return unpackKey(mKeyAndVelocity.load(std::memory_order_acquire)); }
    int GetVelocity() const
    {
        return unpackVelocity(mKeyAndVelocity.load(std::memory_order_acquire));
    }
    // Both from one read, as the audio thread needs them.
    void GetKeyAndVelocity(int* key, int* velocity) const;
    int GetMouseKey(int x, int y);

    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseUp(int x, int y, IMouseMod* mod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
    void OnMouseWheel(int, int, IMouseMod*, int) override {}
    bool Draw(IGraphics* graphics) override;
    // Also when the notes the plug-in holds have changed since the last draw:
    // keys played from MIDI or a computer keyboard light up and go out too.
    bool IsDirty() override;
    virtual void DrawKey(IGraphics* graphics, IRECT* rect, int key, int noteInOctave, bool black);

private:
    static int64_t pack(int key, int velocity)
    {
        return static_cast<int64_t>(static_cast<uint32_t>(key)) << 32 |
               static_cast<uint32_t>(velocity);
    }
    static int unpackKey(int64_t pair) { return static_cast<int32_t>(pair >> 32); }
    static int unpackVelocity(int64_t pair) { return static_cast<int32_t>(pair & 0xFFFFFFFF); }
    bool IsSounding(int key) const;
    void SetCurrentKey(int key);
    std::bitset<128> heldByPlug() const;

    IBitmap mWhite, mBlack;
    int mKeyCoords[12];
    int mOctaveWidth, mNOctaves, mMinNote, mNKeys;
    int mBlackHeight;
    double mVelocityFraction = 0.0; // of the last hit, GUI thread only
    std::bitset<128> mDrawnHeld;    // the plug-in's held notes at the last draw, GUI thread only
    std::atomic<int64_t> mKeyAndVelocity{pack(-1, 1)};
};
