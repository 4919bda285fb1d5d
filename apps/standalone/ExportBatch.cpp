// Export starred… and Export all…: the files are written on a thread of their
// own while a small window shows how far it got and can cancel.
#include "ExportBatch.h"

#include "App.h"
#include "AppWindow.h"
#include "Wording.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace
{

const guint kProgressMilliseconds = 100;
const gint64 kQuietMicroseconds = 300000; // a short export shows no progress window

} // namespace

struct ExportBatch
{
    ExportBatch(App& owner, std::vector<ListedSound> listed, const ExportSettings& chosen,
                const std::string& where)
        : app(owner), sounds(std::move(listed)), settings(chosen), folder(where)
    {
    }
    ~ExportBatch()
    {
        cancelled = true;
        if (worker.joinable())
            worker.join();
        if (ticks)
            g_source_remove(ticks);
        if (window)
            gtk_widget_destroy(window);
    }
    ExportBatch(const ExportBatch&) = delete;
    ExportBatch& operator=(const ExportBatch&) = delete;

    void run()
    {
        for (const ListedSound& sound : sounds)
        {
            if (cancelled)
                break;
            try
            {
                const std::string written = ExportListed(*app.renders, sound.state, sound.name, settings, folder);
                if (written.substr(written.rfind('/') + 1) !=
                    NumberedName(FileNameFor(sound.name), 1, settings.format.container))
                    ++numbered;
            }
            catch (const std::exception& e)
            {
                std::lock_guard<std::mutex> lock(problemsMutex);
                problems.push_back("'" + sound.name + "': " + e.what());
            }
            ++done;
        }
        finished = true;
    }

    std::string summary() const
    {
        const size_t failed = problems.size(), written = done - failed;
        std::string text = "Exported " + std::to_string(written) + " of " + std::to_string(sounds.size()) +
                           (sounds.size() == 1 ? " sound to " : " sounds to ") + folder;
        if (done < sounds.size())
            text += " (cancelled)";
        if (numbered > 0)
            text += "; " + Counted(numbered, "file") + " numbered past names already taken, none replaced";
        if (failed == 0)
            return text;
        return "Error: " + text + "; " + std::to_string(failed) + " could not be written: " + problems.front() +
               (failed > 1 ? " (and " + std::to_string(failed - 1) + " more)" : "");
    }

    App& app;
    const std::vector<ListedSound> sounds;
    const ExportSettings settings;
    const std::string folder;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::atomic<size_t> done{0};
    std::atomic<size_t> numbered{0}; // written by the worker, read once it has finished
    std::mutex problemsMutex;
    std::vector<std::string> problems;
    std::thread worker;
    gint64 startedAt = g_get_monotonic_time();
    guint ticks = 0;
    GtkWidget* window = nullptr;
    GtkWidget* bar = nullptr;
};

namespace
{

void showProgress(ExportBatch& batch)
{
    batch.window = gtk_dialog_new_with_buttons("Exporting", GTK_WINDOW(batch.app.window),
                                               GTK_DIALOG_DESTROY_WITH_PARENT, "_Cancel",
                                               GTK_RESPONSE_CANCEL, nullptr);
    batch.bar = gtk_progress_bar_new();
    gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(batch.bar), TRUE);
    gtk_widget_set_size_request(batch.bar, 360, -1);
    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(batch.window));
    gtk_container_set_border_width(GTK_CONTAINER(area), 12);
    gtk_container_add(GTK_CONTAINER(area), batch.bar);
    // Cancelling lets the file being written finish: none is left half-made.
    g_signal_connect(batch.window, "response",
                     G_CALLBACK(+[](GtkDialog* dialog, gint, gpointer data)
                                {
                                    static_cast<ExportBatch*>(data)->cancelled = true;
                                    gtk_dialog_set_response_sensitive(dialog, GTK_RESPONSE_CANCEL, FALSE);
                                }),
                     &batch);
    g_signal_connect(batch.window, "delete-event", G_CALLBACK(gtk_true), nullptr);
    gtk_widget_show_all(batch.window);
}

gboolean onProgress(gpointer data)
{
    App& app = *static_cast<App*>(data);
    ExportBatch& batch = *app.exports;
    if (batch.finished)
    {
        batch.ticks = 0;
        const std::string summary = batch.summary();
        app.exports.reset();
        ShowStatus(app, summary);
        return G_SOURCE_REMOVE;
    }
    if (!batch.window && g_get_monotonic_time() - batch.startedAt > kQuietMicroseconds)
        showProgress(batch);
    if (batch.bar)
    {
        const size_t done = batch.done, total = batch.sounds.size();
        const std::string text = std::to_string(done) + " of " + std::to_string(total);
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(batch.bar), static_cast<double>(done) / total);
        gtk_progress_bar_set_text(GTK_PROGRESS_BAR(batch.bar), text.c_str());
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
    app.exports = std::make_shared<ExportBatch>(app, std::move(sounds), settings, folder);
    ShowStatus(app, "Exporting " + Counted(app.exports->sounds.size(), "sound") + " to " + folder + "…");
    app.exports->worker = std::thread([batch = app.exports.get()] { batch->run(); });
    app.exports->ticks = g_timeout_add(kProgressMilliseconds, onProgress, &app);
}
