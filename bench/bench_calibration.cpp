// One camera's refinement as the last calibration step does it: preview marks
// back to camera pixels, the lens search, the final solve. Goal: well under
// half a second, so the installer never waits.
#include <benchmark/benchmark.h>

#include <vector>

#include "dsp/dsp_tubiao.h"
#include "tests/cali_plan.h"
#include "vio/vio.h"

namespace {

using namespace cali_plan;

// The scene's camera with its preview marks placed, as after the keys.
struct Placed {
    int dir;
    double h[9];
    Cali_pos marks;
};

Placed placed(int dir) {
    sc::configure(sc::Layout{});
    flash_param = flash_param_default;
    get_car(&flash_param.car_num);
    set_zuobiao(flash_param);
    la_xsf = la_xsb = La_xs{1.0, 1.0};
    Placed p{dir, {}, {}};
    const Cali_pos raw = true_marks(dir);
    Zuobiao z{};
    for (int i = 0; i < 4; ++i)
        a_jiaozheng((&raw.y1)[2 * i], (&raw.y1)[2 * i + 1], &(&z.y1)[2 * i], &(&z.y1)[2 * i + 1], defaults(dir).sensor);
    b_jiefcz(&targets(dir), &z, p.h);
    std::vector<Image_table> t(800 * 480);
    mt_test(t.data(), p.h, dir, flash_param_default);
    p.marks = preview_marks(dir, t.data());
    return p;
}

void BM_RefineOneCamera(benchmark::State& state) {
    const Placed p = placed(static_cast<int>(state.range(0)));
    const bool outer = p.dir == sc::kFront || p.dir == sc::kBack;
    for (auto _ : state) {
        Zuobiao z{};
        bh(p.marks, &z, p.h, p.dir);
        Camera_param rec = defaults(p.dir);
        huanyuan_pos(&z, &rec.pos, p.dir, flash_param_default);
        youhua(defaults(p.dir).sensor, &rec.sensor, &rec.pos, p.dir);
        const std::int16_t* m = &rec.pos.y1;
        for (int i = 0; i < 8; ++i)
            if (i < 4 || (outer && i >= 6))
                a_jiaozheng(m[2 * i], m[2 * i + 1], &(&z.y1)[2 * i], &(&z.y1)[2 * i + 1], rec.sensor);
        double solved[9];
        benchmark::DoNotOptimize(b_jiefcz(&targets(p.dir), &z, solved));
        benchmark::DoNotOptimize(solved);
    }
}
BENCHMARK(BM_RefineOneCamera)->Arg(sc::kBack)->Arg(sc::kLeft)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
