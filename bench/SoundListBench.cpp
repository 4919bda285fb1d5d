// The app's list of sounds at its most (10,000): reading and writing its
// file, mirroring it into the instrument's slots, and the view beside the
// editor opening with it and following a new sound, on an X server of its own.
#include "SlotStates.h"
#include "SoundList.h"
#include "SoundListView.h"
#include "VirtualDisplay.h"

#include "Params.h"
#include "StateCodec.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace
{

std::string stateWith(double attack)
{
    double values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        values[i] = paramProperties[i].defaultValue;
    values[kAmpEnvAttack] = attack;
    std::string state(kStateSize, '\0');
    StateCodec::Encode(0x10000, values, kNumParams, reinterpret_cast<unsigned char*>(&state[0]));
    return state;
}

const SoundList& fullList()
{
    static const SoundList list = []
    {
        SoundList made;
        for (size_t i = 0; i < SoundList::kMostSounds; ++i)
            made.Add(stateWith(0.001 + 1e-4 * static_cast<double>(i)), "pickup", "pickup " + std::to_string(i + 1));
        for (size_t i = 0; i < SoundList::kMostSounds; i += 7)
            made.Measured(made.At(i).state, 0.25);
        return made;
    }();
    return list;
}

void BM_ReadTheListsFile(benchmark::State& state)
{
    const std::string text = fullList().FileText();
    for (auto _ : state)
        benchmark::DoNotOptimize(SoundList::FromFileText(text).Size());
}
BENCHMARK(BM_ReadTheListsFile)->Unit(benchmark::kMillisecond);

void BM_WriteTheListsFile(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(fullList().FileText().size());
}
BENCHMARK(BM_WriteTheListsFile)->Unit(benchmark::kMillisecond);

void BM_MirrorTheListIntoSlots(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(SlotsOfList(fullList()).size());
}
BENCHMARK(BM_MirrorTheListIntoSlots)->Unit(benchmark::kMillisecond);

// A window with the list's view, shown and drawn once.
struct ShownList
{
    explicit ShownList(const SoundList& list) : view(list, SoundListView::Actions{})
    {
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 500, 700);
        gtk_container_add(GTK_CONTAINER(window), view.Widget());
        view.Show();
        gtk_widget_show_all(window);
        drawn();
    }
    ~ShownList() { gtk_widget_destroy(window); }

    // Runs the main loop until the window has been drawn again.
    void drawn()
    {
        bool done = false;
        const gulong handler = g_signal_connect_after(window, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer done)
                                                                                 {
                                                                                     *static_cast<bool*>(done) = true;
                                                                                     return FALSE;
                                                                                 }),
                                                      &done);
        gtk_widget_queue_draw(window);
        while (!done)
            gtk_main_iteration_do(TRUE);
        g_signal_handler_disconnect(window, handler);
    }

    SoundListView view;
    GtkWidget* window;
};

bool displayReady(benchmark::State& state)
{
    static VirtualDisplay display;
    static const bool ready = display.Running() && gtk_init_check(nullptr, nullptr);
    if (!ready)
        state.SkipWithError("no X server for the view");
    return ready;
}

void BM_OpenTheViewWithTheFullList(benchmark::State& state)
{
    if (!displayReady(state))
        return;
    for (auto _ : state)
        ShownList shown(fullList());
}
BENCHMARK(BM_OpenTheViewWithTheFullList)->Unit(benchmark::kMillisecond);

// A generator press on a full list: the oldest sound goes, the new one comes
// and is chosen, and the view follows.
void BM_ANewSoundOnTheFullList(benchmark::State& state)
{
    if (!displayReady(state))
        return;
    SoundList list = fullList();
    ShownList shown(list);
    double attack = 0.5;
    for (auto _ : state)
    {
        list.Add(stateWith(attack += 1e-6), "pickup");
        shown.view.Show();
        shown.drawn();
    }
}
BENCHMARK(BM_ANewSoundOnTheFullList)->Unit(benchmark::kMillisecond);

} // namespace
