#pragma once

#include "Levels.h"
#include "SoundFiles.h"

#include <gtk/gtk.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The strip under the editor: the current sound's waveform as Export writes
// it, with its length, its peak, a red mark where samples clip and a warning
// for a DC offset. Renders run on a thread of their own, the newest request
// replacing any not yet begun, so the window never waits for one.
class WaveStrip
{
public:
    // GUI thread: a sound has rendered; its state, the gain Export applies
    // and its length as Export writes it.
    using Rendered = std::function<void(const std::string& state, double gain, double seconds)>;

    WaveStrip(RenderBundle& renders, std::function<void()> onClick, Rendered onRendered);
    ~WaveStrip();
    WaveStrip(const WaveStrip&) = delete;
    WaveStrip& operator=(const WaveStrip&) = delete;

    GtkWidget* Widget() const { return mArea; }
    // GUI thread: shows this sound once it has rendered.
    void Show(const HostRender& job, const ExportSettings& settings);
    // GUI thread: the state of the sound shown, "" before the first.
    const std::string& ShownState() const { return mShown.state; }
    // GUI thread: samples of the live output that reached full scale since
    // this sound was asked for; the caption says so.
    void LiveClipped(long samples);

private:
    struct Picture
    {
        ExportedSound sound;
        SoundLevels levels;
        std::string state;
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
    std::string caption() const;
    std::vector<std::string> clipping() const;

    RenderBundle& mRenders;
    std::function<void()> mOnClick;
    Rendered mOnRendered;
    GtkWidget* mArea;
    Picture mShown; // GUI thread
    long mLiveClipped = 0; // GUI thread

    // Between the GUI thread and the worker, under mMutex.
    std::mutex mMutex;
    std::condition_variable mWake;
    std::unique_ptr<Request> mPending;
    std::unique_ptr<Picture> mDone;
    guint mDelivery = 0; // the idle source that brings mDone to the GUI thread
    bool mStopping = false;
    std::thread mWorker;
};
