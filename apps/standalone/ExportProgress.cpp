// The window of Export starred… and Export all…: it watches the batch, shows
// how far it got after a moment, and can cancel it.
#include "ExportProgress.h"

#include "App.h"
#include "AppWindow.h"
#include "ExportBatch.h"
#include "Wording.h"

namespace
{

const guint kProgressMilliseconds = 100;
const gint64 kQuietMicroseconds = 300000; // a short export shows no progress window

} // namespace

struct ExportProgress
{
    ExportProgress(App& owner, std::vector<ListedSound> sounds, const ExportSettings& settings,
                   const std::string& folder)
        : app(owner), batch(*owner.renders, std::move(sounds), settings, folder)
    {
    }
    ~ExportProgress()
    {
        if (ticks)
            g_source_remove(ticks);
        if (window)
            gtk_widget_destroy(window);
    }
    ExportProgress(const ExportProgress&) = delete;
    ExportProgress& operator=(const ExportProgress&) = delete;

    App& app;
    ExportBatch batch;
    gint64 startedAt = g_get_monotonic_time();
    guint ticks = 0;
    GtkWidget* window = nullptr;
    GtkWidget* bar = nullptr;
};

namespace
{

void showProgress(ExportProgress& progress)
{
    progress.window = gtk_dialog_new_with_buttons("Exporting", GTK_WINDOW(progress.app.window),
                                                  GTK_DIALOG_DESTROY_WITH_PARENT, "_Cancel",
                                                  GTK_RESPONSE_CANCEL, nullptr);
    progress.bar = gtk_progress_bar_new();
    gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(progress.bar), TRUE);
    gtk_widget_set_size_request(progress.bar, 360, -1);
    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(progress.window));
    gtk_container_set_border_width(GTK_CONTAINER(area), 12);
    gtk_container_add(GTK_CONTAINER(area), progress.bar);
    g_signal_connect(progress.window, "response",
                     G_CALLBACK(+[](GtkDialog* dialog, gint, gpointer data)
                                {
                                    static_cast<ExportBatch*>(data)->Cancel();
                                    gtk_dialog_set_response_sensitive(dialog, GTK_RESPONSE_CANCEL, FALSE);
                                }),
                     &progress.batch);
    g_signal_connect(progress.window, "delete-event", G_CALLBACK(gtk_true), nullptr);
    gtk_widget_show_all(progress.window);
}

gboolean onProgress(gpointer data)
{
    App& app = *static_cast<App*>(data);
    ExportProgress& progress = *app.exports;
    const ExportBatch& batch = progress.batch;
    if (batch.Finished())
    {
        progress.ticks = 0;
        const std::string summary = batch.Summary();
        app.exports.reset();
        ShowStatus(app, summary);
        return G_SOURCE_REMOVE;
    }
    if (!progress.window && g_get_monotonic_time() - progress.startedAt > kQuietMicroseconds)
        showProgress(progress);
    if (progress.bar)
    {
        const size_t done = batch.Done(), total = batch.Total();
        const std::string text = std::to_string(done) + " of " + std::to_string(total);
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(progress.bar), static_cast<double>(done) / total);
        gtk_progress_bar_set_text(GTK_PROGRESS_BAR(progress.bar), text.c_str());
    }
    return G_SOURCE_CONTINUE;
}

} // namespace

bool ExportsRunning(const App& app)
{
    return app.exports != nullptr;
}

void StartExports(App& app, std::vector<ListedSound> sounds, const ExportSettings& settings,
                  const std::string& folder)
{
    const size_t count = sounds.size();
    app.exports = std::make_shared<ExportProgress>(app, std::move(sounds), settings, folder);
    ShowStatus(app, "Exporting " + Counted(count, "sound") + " to " + folder + "…");
    app.exports->ticks = g_timeout_add(kProgressMilliseconds, onProgress, &app);
}
