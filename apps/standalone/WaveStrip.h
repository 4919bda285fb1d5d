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
// replacing any not yet begun, so the window never waits for one. Each also
// makes the sound as it is heard: Export's render at the device's rate.
class WaveStrip
{
public:
    // A sound rendered: its state, the gain Export applies and its length as
    // Export writes it, and the sound as it is heard (null when there is no
    // device to hear it on).
    struct Rendered
    {
        std::string state;
        double gain = 1.0;
        double seconds = 0.0;
        std::shared_ptr<const Clip> heard;
    };
    // GUI thread: the newest sound asked for has rendered.
    using OnRendered = std::function<void(const Rendered&)>;

    WaveStrip(RenderBundle& renders, std::function<void()> onClick, OnRendered onRendered);
    ~WaveStrip();
    WaveStrip(const WaveStrip&) = delete;
    WaveStrip& operator=(const WaveStrip&) = delete;

    GtkWidget* Widget() const { return mArea; }
    // GUI thread: shows this sound once it has rendered, and makes it as it
    // is heard at heardRate (0: not at all).
    void Show(const HostRender& job, const ExportSettings& settings, double heardRate);
    // GUI thread: the sound shown as it is heard, if it has this state and
    // these settings; else null.
    std::shared_ptr<const Clip> HeardOf(const std::string& state, const ExportSettings& settings,
                                        double heardRate) const;
    // GUI thread: samples of the live output that reached full scale since
    // this sound was asked for; the caption says so.
    void LiveClipped(long samples);

private:
    struct Request
    {
        HostRender job;
        ExportSettings settings;
        double heardRate = 0;
    };
    struct Picture
    {
        ExportedSound sound;
        SoundLevels levels;
        std::string state;
        Request asked;
        std::shared_ptr<const Clip> heard;
        std::string error;
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
    OnRendered mOnRendered;
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
