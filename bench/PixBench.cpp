#include "PIX.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace
{

void paint(PIX_IBitmap& b)
{
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            b.getBits()[y * b.getRowSpan() + x] =
                PIX_MakePixel((x * 7 + y) & 0xFF, x & 0xFF, y & 0xFF, (x ^ y) & 0xFF);
}

// The editor's whole window composited with source alpha.
void editorBlit(benchmark::State& state)
{
    PIX_SysBitmap screen(846, 768);
    PIX_MemBitmap art(846, 768, 4);
    paint(screen);
    paint(art);
    for (auto _ : state)
    {
        PIX_Blit(&screen, &art, 0, 0, nullptr, 1.0f, PIX_BLEND_USE_SOURCE_ALPHA);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 846 * 768);
}

// A knob film strip: 33 frames of 64 x 64 stacked to 2112 pixels.
void decodeKnobStrip(benchmark::State& state)
{
    char path[] = "/tmp/bleepforge-strip-XXXXXX";
    close(mkstemp(path));
    {
        PIX_MemBitmap strip(64, 2112, 4);
        for (int y = 0; y < 2112; ++y)
            for (int x = 0; x < 64; ++x)
            {
                const double r = std::hypot(x - 31.5, (y % 64) - 31.5);
                const int alpha = r < 28 ? 255 : (r < 31 ? 128 : 0);
                strip.getBits()[y * strip.getRowSpan() + x] =
                    PIX_MakePixel(alpha, (y / 64) * 7, 120 + x, 200 - x);
            }
        PIX_WritePNG(path, &strip);
    }
    PIX_MemBitmap target(1, 1, 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(PIX_LoadPNG(path, &target));
    std::remove(path);
}

} // namespace

BENCHMARK(editorBlit)->Unit(benchmark::kMicrosecond);
BENCHMARK(decodeKnobStrip)->Unit(benchmark::kMicrosecond);
