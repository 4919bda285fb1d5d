#include "IKeyboardControl.h"

#include "IGraphics.h"
#include "IPluginBase.h"

#include <cmath>

const int IKeyboardControl::mBitmapN[12] = {1, 0, 2, 0, 3, 1, 0, 4, 0, 5, 0, 3};
const int IKeyboardControl::mNextKey[12] = {2, 2, 2, 3, 1, 2, 2, 2, 2, 2, 3, 1};

namespace
{
const int kBlackNotes[] = {1, 3, 6, 8, 10};
const int kTopKeyFrame = 6;
} // namespace

IKeyboardControl::IKeyboardControl(IPluginBase* plug, int x, int y, int minNote, int nOctaves,
                                   IBitmap* white, IBitmap* black, const int* keyCoords, OnScreenKey* key)
    : IControl(plug, IRECT(x, y, white)), mWhite(*white), mBlack(*black),
      mOctaveWidth(7 * white->W), mNOctaves(nOctaves), mMinNote(minNote), mNKeys(12 * nOctaves),
      mBlackHeight(black->N > 0 ? black->H / black->N : black->H), mKey(key)
{
    for (int i = 0; i < 12; ++i)
        mKeyCoords[i] = keyCoords[i];
    mRECT.R += nOctaves * mOctaveWidth;
    mTargetRECT = mRECT;
    SetMouseDblAsSingleClick(true);
}

int IKeyboardControl::GetKey() const
{
    int key, velocity;
    mKey->Get(&key, &velocity);
    return key;
}

int IKeyboardControl::GetVelocity() const
{
    int key, velocity;
    mKey->Get(&key, &velocity);
    return velocity;
}

int IKeyboardControl::GetMouseKey(int x, int y)
{
    if (!mTargetRECT.Contains(x, y))
        return -1;
    const int dx = x - mRECT.L, dy = y - mRECT.T;
    const int octave = dx / mOctaveWidth;
    const int xo = dx - octave * mOctaveWidth;
    if (dy < mBlackHeight && octave < mNOctaves)
    {
        for (int note : kBlackNotes)
        {
            if (mKeyCoords[note] <= xo && xo < mKeyCoords[note] + mBlack.W)
            {
                mVelocityFraction = static_cast<double>(dy) / mBlackHeight;
                return 12 * octave + note;
            }
        }
    }
    const int white = xo / mWhite.W;
    const int note = 2 * white - (white >= 3 ? 1 : 0);
    mVelocityFraction = static_cast<double>(dy) / mRECT.H();
    return 12 * octave + note;
}

bool IKeyboardControl::IsSounding(int key) const
{
    auto* source = dynamic_cast<const IKeyStatusSource*>(mPlug);
    return key == GetKey() || (source && source->GetKeyStatus(key + mMinNote));
}

void IKeyboardControl::SetCurrentKey(int key)
{
    const int velocity = static_cast<int>(std::floor(126.0 * mVelocityFraction + 0.5)) + 1;
    mKey->Set(key, velocity);
    SetDirty(true);
}

void IKeyboardControl::OnMouseDown(int x, int y, IMouseMod* mod)
{
    if (mod && mod->R)
        return;
    const int key = GetMouseKey(x, y);
    if (key == GetKey())
        return;
    auto* source = dynamic_cast<const IKeyStatusSource*>(mPlug);
    if (source && key >= 0 && source->GetKeyStatus(key + mMinNote))
        return; // already sounding from the host
    SetCurrentKey(key);
}

void IKeyboardControl::OnMouseUp(int, int, IMouseMod*)
{
    if (GetKey() >= 0)
        SetCurrentKey(-1);
}

void IKeyboardControl::OnMouseDrag(int x, int y, int, int, IMouseMod* mod)
{
    OnMouseDown(x, y, mod);
}

std::bitset<128> IKeyboardControl::heldByPlug() const
{
    std::bitset<128> held;
    auto* source = dynamic_cast<const IKeyStatusSource*>(mPlug);
    for (int key = 0; source && key <= mNKeys && key + mMinNote < 128; ++key)
        held[static_cast<size_t>(key)] = source->GetKeyStatus(key + mMinNote);
    return held;
}

bool IKeyboardControl::IsDirty()
{
    return IControl::IsDirty() || heldByPlug() != mDrawnHeld;
}

bool IKeyboardControl::Draw(IGraphics* graphics)
{
    mDrawnHeld = heldByPlug();
    auto* source = dynamic_cast<const IKeyStatusSource*>(mPlug);
    if ((!source || source->GetNumKeys() == 0) && GetKey() < 0)
        return true; // the background shows the keyboard at rest
    IRECT rect(mRECT.L, mRECT.T, mRECT.L + mWhite.W, mRECT.B);
    for (int k = 0; k < mNKeys; k += mNextKey[k % 12])
    {
        if (IsSounding(k))
            DrawKey(graphics, &rect, k, k % 12, false);
        rect.L += mWhite.W;
        rect.R += mWhite.W;
    }
    if (IsSounding(mNKeys))
        DrawKey(graphics, &rect, mNKeys, 0, false);

    int origin = mRECT.L;
    for (int k = 1; k <= mNKeys; k += mNextKey[k % 12])
    {
        const int note = k % 12;
        IRECT black(origin + mKeyCoords[note], mRECT.T, origin + mKeyCoords[note] + mBlack.W,
                    mRECT.T + mBlackHeight);
        if (IsSounding(k))
            DrawKey(graphics, &black, k, note, true);
        if (note == 10)
            origin += mOctaveWidth;
    }
    return true;
}

void IKeyboardControl::DrawKey(IGraphics* graphics, IRECT* rect, int key, int noteInOctave,
                               bool black)
{
    if (black)
        graphics->DrawBitmap(&mBlack, rect, 1, &mBlend);
    else
        graphics->DrawBitmap(&mWhite, rect, key >= mNKeys ? kTopKeyFrame : mBitmapN[noteInOctave],
                             &mBlend);
}
