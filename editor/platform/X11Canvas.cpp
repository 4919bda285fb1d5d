// Copies the editor's bitmap into an X window, through shared memory when the
// X server offers it (it does on the same machine), else through the socket.
#include "X11Canvas.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdlib>

namespace
{

int shiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1))
    {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

bool gShmFailed = false;
int noteShmFailure(Display*, XErrorEvent*)
{
    gShmFailed = true;
    return 0;
}

} // namespace

X11Canvas::X11Canvas(Display* display, Visual* visual, int depth, int w, int h) : mDisplay(display)
{
    mRed = shiftOf(visual->red_mask);
    mGreen = shiftOf(visual->green_mask);
    mBlue = shiftOf(visual->blue_mask);
    if (XShmQueryExtension(display))
    {
        mImage = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &mShm,
                                 static_cast<unsigned>(w), static_cast<unsigned>(h));
        if (mImage)
        {
            mShm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(mImage->bytes_per_line) * h, IPC_CREAT | 0600);
            mShm.shmaddr = mShm.shmid >= 0 ? static_cast<char*>(shmat(mShm.shmid, nullptr, 0)) : nullptr;
            mImage->data = mShm.shmaddr;
            mShm.readOnly = False;
            gShmFailed = false;
            XErrorHandler previous = XSetErrorHandler(noteShmFailure);
            const bool attached = mShm.shmaddr && mShm.shmaddr != reinterpret_cast<char*>(-1) &&
                                  XShmAttach(display, &mShm);
            XSync(display, False);
            XSetErrorHandler(previous);
            if (mShm.shmid >= 0)
                shmctl(mShm.shmid, IPC_RMID, nullptr); // freed once both sides detach
            mShared = attached && !gShmFailed;
            if (!mShared)
            {
                if (mShm.shmaddr && mShm.shmaddr != reinterpret_cast<char*>(-1))
                    shmdt(mShm.shmaddr);
                mImage->data = nullptr;
                XDestroyImage(mImage);
                mImage = nullptr;
            }
        }
    }
    if (!mImage)
    {
        mImage = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                              static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
        if (mImage)
            mImage->data = static_cast<char*>(std::calloc(static_cast<size_t>(mImage->bytes_per_line), h));
    }
}

X11Canvas::~X11Canvas()
{
    if (!mImage)
        return;
    if (mShared)
    {
        XShmDetach(mDisplay, &mShm);
        XSync(mDisplay, False);
        shmdt(mShm.shmaddr);
        mImage->data = nullptr;
    }
    XDestroyImage(mImage); // frees calloc'd data too
}

void X11Canvas::Fill(PIX_IBitmap* bitmap, const IRECT& r, int scale)
{
    for (int y = r.T; y < r.B; ++y)
    {
        const PIX_Pixel* row = bitmap->getBits() + static_cast<long>(y) * bitmap->getRowSpan();
        for (int x = r.L; x < r.R; ++x)
        {
            const PIX_Pixel p = row[x];
            const uint32_t pixel = static_cast<uint32_t>(PIX_Channel(p, 1)) << mRed |
                                   static_cast<uint32_t>(PIX_Channel(p, 2)) << mGreen |
                                   static_cast<uint32_t>(PIX_Channel(p, 3)) << mBlue;
            for (int dy = 0; dy < scale; ++dy)
            {
                auto* out = reinterpret_cast<uint32_t*>(mImage->data + (y * scale + dy) * mImage->bytes_per_line);
                for (int dx = 0; dx < scale; ++dx)
                    out[x * scale + dx] = pixel;
            }
        }
    }
}

void X11Canvas::Put(Drawable window, GC gc, const IRECT& r, int scale)
{
    const int x = r.L * scale, y = r.T * scale;
    const auto w = static_cast<unsigned>(r.W() * scale), h = static_cast<unsigned>(r.H() * scale);
    if (mShared)
        XShmPutImage(mDisplay, window, gc, mImage, x, y, x, y, w, h, False);
    else
        XPutImage(mDisplay, window, gc, mImage, x, y, x, y, w, h);
}

