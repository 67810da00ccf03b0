// What the guide lines and sensor arcs add to a pass while reversing: the
// bird's-eye wheel paths, the back view's lines and bands, and the arcs.
#include <benchmark/benchmark.h>

#include "dsp/dsp_guiji.h"
#include "tests/scene_system.h"

namespace {

SceneSystem& reversing() {
    static SceneSystem sys;
    static const bool ready = [] {
        MT_image(4, sys.t0.data(), sys.yuv2rgb.data());
        sys.compose(sys.t0.data());
        return true;
    }();
    (void)ready;
    return sys;
}

void BM_GuideLinesAndArcs(benchmark::State& state) {
    SceneSystem& sys = reversing();
    const short angle = static_cast<short>(state.range(0));
    for (auto _ : state) {
        draw_guiji_full(sys.canvas.data(), angle, sys.yuv2rgb.data());
        draw_guiji_b_zurid(sys.canvas.data(), angle, sys.yuv2rgb.data());
        // Every call draws: the blink counter is kept in its drawing phase.
        count_radar = 0;
        draw_radar(sys.canvas.data(), 0, 0, 0, 0, 0, 40, 30, 30, 40, 4);
        benchmark::DoNotOptimize(sys.canvas.data());
    }
}
BENCHMARK(BM_GuideLinesAndArcs)->Arg(0)->Arg(1200)->Arg(2509)->Unit(benchmark::kMicrosecond);

void BM_SetImageForComparison(benchmark::State& state) {
    SceneSystem& sys = reversing();
    for (auto _ : state) {
        sys.compose(sys.t0.data());
        benchmark::DoNotOptimize(sys.canvas.data());
    }
}
BENCHMARK(BM_SetImageForComparison)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
