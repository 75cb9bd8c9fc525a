// Per-frame cost of the picture adjustments and of a cached text watermark on a
// 1920x1080 frame, single thread.
//
//   vintra-bench-pixels [Google Benchmark options]

#include "editing/VideoEffects.h"
#include "editing/WaterMark.h"

#include <QGuiApplication>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <random>

namespace {

// A picture-like frame (smooth colour gradients with a little grain), or pure noise:
// the worst case for the table look-ups.
QImage Frame(bool noise)
{
    QImage frame(1920, 1080, QImage::Format_BGR888);
    std::mt19937 rng(1);
    for (int y = 0; y < frame.height(); ++y) {
        uint8_t *p = frame.scanLine(y);
        for (int x = 0; x < frame.width(); ++x, p += 3) {
            if (noise) {
                p[0] = uint8_t(rng()), p[1] = uint8_t(rng()), p[2] = uint8_t(rng());
                continue;
            }
            const int grain = int(rng() % 17) - 8;
            p[0] = uint8_t(std::clamp(x * 255 / 1920 + grain, 0, 255));
            p[1] = uint8_t(std::clamp(y * 255 / 1080 + grain, 0, 255));
            p[2] = uint8_t(std::clamp((x + 2 * y) % 256 + grain, 0, 255));
        }
    }
    return frame;
}

void BM_AdjustColor(benchmark::State &state)
{
    QImage frame = Frame(state.range(0));
    for (auto _ : state) {
        AdjustColor(frame, 300, 30, 200);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_AdjustColor)->Arg(0)->Arg(1)->ArgName("noise")->Unit(benchmark::kMillisecond);

void BM_AdjustExposure(benchmark::State &state)
{
    QImage frame = Frame(state.range(0));
    for (auto _ : state) {
        AdjustExposure(frame, 60.0f);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_AdjustExposure)->Arg(0)->Arg(1)->ArgName("noise")->Unit(benchmark::kMillisecond);

// A 400 × 100 text box, drawn over and over as during a conversion (the glyphs are
// rendered once and kept).
void BM_TextWatermark(benchmark::State &state)
{
    QImage frame = Frame(false);
    TWaterMarks list;
    auto item = std::make_unique<TWmRec>();
    item->Text = QStringLiteral("Vintra watermark");
    item->Font.Size = 36;
    item->TextWidth = 400;
    item->TextHeight = 100;
    item->TextLeft = 700;
    item->TextTop = 500;
    item->TextOpacity = state.range(0) ? 200 : 255;
    item->OpaqueBack = state.range(0) != 0;
    item->EndSec = 100;
    list.push_back(std::move(item));
    for (auto _ : state) {
        DrawWaterMarks(frame, list, 1'000'000);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_TextWatermark)->Arg(0)->Arg(1)->ArgName("opaque")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
