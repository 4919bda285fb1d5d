#pragma once

#include "PIX.h"
#include "IGraphicsStructs.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

// An XImage of the window's size, in shared memory when the server offers it.
class X11Canvas
{
public:
    X11Canvas(Display* display, Visual* visual, int depth, int w, int h);
    ~X11Canvas();
    X11Canvas(const X11Canvas&) = delete;
    X11Canvas& operator=(const X11Canvas&) = delete;
    bool Valid() const { return mImage != nullptr; }
    // Copies the bitmap's pixels in r (bitmap coordinates) at the scale.
    void Fill(PIX_IBitmap* bitmap, const IRECT& r, int scale);
    void Put(Drawable window, GC gc, const IRECT& r, int scale);

private:
    Display* mDisplay;
    XImage* mImage = nullptr;
    XShmSegmentInfo mShm = {};
    bool mShared = false;
    int mRed = 16, mGreen = 8, mBlue = 0;
};

