#pragma once

#include "IControl.h"
#include "KeyboardLink.h"

#include <bitset>

// The on-screen piano: paints every sounding key (IKeyStatusSource of its
// plug-in) over the keyboard drawn in the background, and turns mouse presses
// into the plug-in's current on-screen key and velocity, which the plug-in
// polls at the start of each audio block.
//
// Threads. The current key is the plug-in's OnScreenKey, an atomic pair the
// GUI thread writes and the audio thread reads. The held-note table is the
// plug-in's (atomics written by its MIDI handling); the dirty flag is IControl's.
class IKeyboardControl : public IControl
{
public:
    static const int mBitmapN[12];
    static const int mNextKey[12];

    // The key belongs to the plug-in and outlives the control.
    IKeyboardControl(IPluginBase* plug, int x, int y, int minNote, int nOctaves, IBitmap* white,
                     IBitmap* black, const int* keyCoords, OnScreenKey* key);

    int GetKey() const;
    int GetVelocity() const;
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
    bool IsSounding(int key) const;
    void SetCurrentKey(int key);
    std::bitset<128> heldByPlug() const;

    IBitmap mWhite, mBlack;
    int mKeyCoords[12];
    int mOctaveWidth, mNOctaves, mMinNote, mNKeys;
    int mBlackHeight;
    double mVelocityFraction = 0.0; // of the last hit, GUI thread only
    std::bitset<128> mDrawnHeld;    // the plug-in's held notes at the last draw, GUI thread only
    OnScreenKey* mKey;
};
