#pragma once

#include "SoundFiles.h"

#include <gtk/gtk.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The strip under the editor: the current sound's waveform as Export writes
// it, with its length, its peak, a red mark where samples clip and a warning
// for a DC offset. Renders run on a thread of their own, the newest request
// replacing any not yet begun, so the window never waits for one.
class WaveStrip
{
public:
    WaveStrip(const AUBundle& bundle, std::function<void()> onClick);
    ~WaveStrip();
    WaveStrip(const WaveStrip&) = delete;
    WaveStrip& operator=(const WaveStrip&) = delete;

    GtkWidget* Widget() const { return mArea; }
    // GUI thread: shows this sound once it has rendered.
    void Show(const HostRender& job, const ExportSettings& settings);

private:
    struct Picture
    {
        ExportedSound sound;
        double rate = 44100;
        std::string error;
    };
    struct Request
    {
        HostRender job;
        ExportSettings settings;
    };

    void work();
    Picture render(const Request& request) const;
    static gboolean deliver(gpointer self);
    static gboolean draw(GtkWidget* area, cairo_t* cr, gpointer self);
    static gboolean click(GtkWidget* area, GdkEventButton* event, gpointer self);
    void drawWave(cairo_t* cr, int width, int height) const;
    void drawCaption(cairo_t* cr, int width, int height) const;

    const AUBundle& mBundle;
    std::function<void()> mOnClick;
    GtkWidget* mArea;
    Picture mShown; // GUI thread

    // Between the GUI thread and the worker, under mMutex.
    std::mutex mMutex;
    std::condition_variable mWake;
    std::unique_ptr<Request> mPending;
    std::unique_ptr<Picture> mDone;
    guint mDelivery = 0; // the idle source that brings mDone to the GUI thread
    bool mStopping = false;
    std::thread mWorker;
};
