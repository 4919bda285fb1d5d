#include "WaveStrip.h"

#include "Levels.h"
#include "Wording.h"
#include "SoundState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{

const int kStripHeight = 72;
const double kDcWarning = 0.02; // of full scale

// Text over the wave stays readable on a shade of the strip's ground.
void showOnShade(cairo_t* cr, const char* text, double x, double y, double r, double g, double b)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    cairo_set_source_rgba(cr, 0.10, 0.11, 0.13, 0.8);
    cairo_rectangle(cr, x - 3, y + extents.y_bearing - 2, extents.x_advance + 6, extents.height + 4);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text);
}

} // namespace

WaveStrip::WaveStrip(RenderBundle& renders, std::function<void()> onClick, OnRendered onRendered)
    : mRenders(renders), mOnClick(std::move(onClick)), mOnRendered(std::move(onRendered)),
      mArea(gtk_drawing_area_new())
{
    gtk_widget_set_size_request(mArea, -1, kStripHeight);
    gtk_widget_add_events(mArea, GDK_BUTTON_PRESS_MASK);
    gtk_widget_set_tooltip_text(mArea, "The sound as Export writes it, and as it is heard; click to play it");
    g_signal_connect(mArea, "draw", G_CALLBACK(&WaveStrip::draw), this);
    g_signal_connect(mArea, "button-press-event", G_CALLBACK(&WaveStrip::click), this);
    mWorker = std::thread(&WaveStrip::work, this);
}

WaveStrip::~WaveStrip()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStopping = true;
    }
    mWake.notify_one();
    mWorker.join();
    if (mDelivery)
        g_source_remove(mDelivery);
}

void WaveStrip::Show(const HostRender& job, const ExportSettings& settings, double heardRate)
{
    mLiveClipped = 0; // what is played from now on is this sound
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mPending = std::make_unique<Request>(Request{job, settings, heardRate});
    }
    mWake.notify_one();
}

std::shared_ptr<const Clip> WaveStrip::HeardOf(const std::string& state, const ExportSettings& settings,
                                               double heardRate) const
{
    const ExportSettings& shown = mShown.asked.settings;
    const bool same = mShown.state == state && mShown.asked.heardRate == heardRate &&
                      shown.rate == settings.rate && shown.normalise == settings.normalise &&
                      shown.loudness == settings.loudness && shown.format.channels == settings.format.channels;
    return same ? mShown.heard : nullptr;
}

// One render serves both when the device runs at the export's rate.
WaveStrip::Picture WaveStrip::render(const Request& request) const
{
    Picture picture;
    picture.asked = request;
    picture.state = BytesOf(request.job.state);
    try
    {
        picture.sound = mRenders.Render(request.job, request.settings);
        picture.levels = MeasureLevels(picture.sound.audio);
        if (request.heardRate == request.job.request.rate)
            picture.heard = std::make_shared<const Clip>(ClipOf(picture.sound));
        else if (request.heardRate > 0)
        {
            HostRender heard = request.job;
            heard.request.rate = request.heardRate;
            picture.heard = std::make_shared<const Clip>(ClipOf(mRenders.Render(heard, request.settings)));
        }
    }
    catch (const std::exception& e)
    {
        picture.error = e.what();
    }
    return picture;
}

void WaveStrip::LiveClipped(long samples)
{
    mLiveClipped += samples;
    gtk_widget_queue_draw(mArea);
}

// The worker: renders the newest request, then hands it to the GUI thread.
void WaveStrip::work()
{
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;)
    {
        mWake.wait(lock, [this] { return mStopping || mPending; });
        if (mStopping)
            return;
        const std::unique_ptr<Request> request = std::move(mPending);
        lock.unlock();
        auto picture = std::make_unique<Picture>(render(*request));
        lock.lock();
        mDone = std::move(picture);
        if (!mDelivery)
            mDelivery = g_idle_add(&WaveStrip::deliver, this);
    }
}

gboolean WaveStrip::deliver(gpointer self)
{
    auto* strip = static_cast<WaveStrip*>(self);
    std::unique_ptr<Picture> done;
    {
        std::lock_guard<std::mutex> lock(strip->mMutex);
        done = std::move(strip->mDone);
        strip->mDelivery = 0;
    }
    if (done)
    {
        strip->mShown = std::move(*done);
        const Picture& shown = strip->mShown;
        if (shown.error.empty())
            strip->mOnRendered({shown.state, shown.sound.gain,
                                static_cast<double>(shown.sound.audio.left.size()) / shown.asked.job.request.rate,
                                shown.heard});
    }
    gtk_widget_queue_draw(strip->mArea);
    return G_SOURCE_REMOVE;
}

gboolean WaveStrip::click(GtkWidget*, GdkEventButton* event, gpointer self)
{
    if (event->type == GDK_BUTTON_PRESS && event->button == 1)
        static_cast<WaveStrip*>(self)->mOnClick();
    return TRUE;
}

gboolean WaveStrip::draw(GtkWidget* area, cairo_t* cr, gpointer self)
{
    const auto* strip = static_cast<WaveStrip*>(self);
    const int width = gtk_widget_get_allocated_width(area);
    const int height = gtk_widget_get_allocated_height(area);
    cairo_set_source_rgb(cr, 0.10, 0.11, 0.13);
    cairo_paint(cr);
    strip->drawWave(cr, width, height);
    strip->drawCaption(cr, width, height);
    return TRUE;
}

// Per pixel column the lowest and highest sample of the channels' mean, as a
// mono export holds it; columns with a clipped sample get a red mark.
void WaveStrip::drawWave(cairo_t* cr, int width, int height) const
{
    const std::vector<double>& left = mShown.sound.audio.left;
    const std::vector<double>& right = mShown.sound.audio.right;
    const size_t frames = left.size();
    if (frames == 0 || width < 1)
        return;
    const double middle = height / 2.0, scale = (height - 4) / 2.0;
    for (int x = 0; x < width; ++x)
    {
        const size_t first = frames * static_cast<size_t>(x) / static_cast<size_t>(width);
        const size_t last = std::max(first + 1, frames * static_cast<size_t>(x + 1) / static_cast<size_t>(width));
        double low = 1e9, high = -1e9;
        bool clipped = false;
        for (size_t i = first; i < last && i < frames; ++i)
        {
            const double sample = 0.5 * (left[i] + right[i]);
            low = std::min(low, sample);
            high = std::max(high, sample);
            clipped = clipped || std::fabs(left[i]) >= 1.0 || std::fabs(right[i]) >= 1.0;
        }
        if (clipped)
        {
            cairo_set_source_rgb(cr, 0.85, 0.15, 0.15);
            cairo_rectangle(cr, x, 0, 1, height);
            cairo_fill(cr);
        }
        cairo_set_source_rgb(cr, 0.45, 0.85, 0.55);
        const double top = middle - std::min(high, 1.0) * scale;
        const double bottom = middle - std::max(low, -1.0) * scale;
        cairo_rectangle(cr, x, top, 1, std::max(1.0, bottom - top));
        cairo_fill(cr);
    }
}

std::string WaveStrip::caption() const
{
    const RenderResult& audio = mShown.sound.audio;
    if (!mShown.error.empty())
        return "Cannot draw the sound: " + mShown.error;
    if (audio.left.empty())
        return "Rendering…";
    const SoundLevels& levels = mShown.levels;
    char text[160];
    std::snprintf(text, sizeof text, "%.3f s   peak %.1f dBFS",
                  static_cast<double>(audio.left.size()) / mShown.asked.job.request.rate,
                  levels.peak > 0 ? GainInDecibels(levels.peak) : -INFINITY);
    std::string caption = text;
    // The meters read the instrument before this gain.
    if (mShown.sound.gain != 1.0)
    {
        std::snprintf(text, sizeof text, "   heard and exported at %+.1f dB", GainInDecibels(mShown.sound.gain));
        caption += text;
    }
    return caption;
}

// Clipping, in the export or in what was played live, is said in red, a
// line each so that the narrow strip beside the editor shows both.
std::vector<std::string> WaveStrip::clipping() const
{
    std::vector<std::string> lines;
    if (const long exported = mShown.levels.clipped; exported > 0)
        lines.push_back(Counted(static_cast<size_t>(exported), "sample") + (exported == 1 ? " clips" : " clip") +
                        " in the export");
    if (mLiveClipped > 0)
        lines.push_back(Counted(static_cast<size_t>(mLiveClipped), "sample") + " clipped in what was played");
    return lines;
}

void WaveStrip::drawCaption(cairo_t* cr, int, int height) const
{
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 11);
    showOnShade(cr, caption().c_str(), 6, 14, 0.9, 0.9, 0.9);
    int y = 29;
    for (const std::string& line : clipping())
    {
        showOnShade(cr, line.c_str(), 6, y, 1.0, 0.35, 0.35);
        y += 15;
    }
    const double dcOffset = mShown.levels.dcOffset;
    if (std::fabs(dcOffset) > kDcWarning)
    {
        char text[80];
        std::snprintf(text, sizeof text, "DC offset %.1f %% of full scale", 100.0 * dcOffset);
        showOnShade(cr, text, 6, height - 6, 1.0, 0.65, 0.2);
    }
}
