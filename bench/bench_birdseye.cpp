// Building the bird's-eye view, and composing a frame through the bird's-eye
// plus back-view table; beside it, the same picture made the way a user of a
// general image library would (OpenCV remap with fixed-point maps and its
// colour conversion), when OpenCV is there.
#include <benchmark/benchmark.h>

#include <vector>

#include "tests/scene_system.h"

#ifdef HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

// The system calibrated on the synthetic scene, showing the bird's-eye plus
// back view.
struct Setup : SceneSystem {
    Setup() { MT_image(4, t0.data(), yuv2rgb.data()); }

    void build() {
        init_table(table0);
        mt_fleft(table0);
        mt_fright(table0);
        mt_ftop(table0);
        mt_fbottom(table0);
        mt_car(table0, flash_param.im_param, ptable_YUV2RGB);
        MT_image(4, table0, ptable_YUV2RGB);
    }

    void compose() { SceneSystem::compose(t0.data()); }
};

Setup& setup() {
    static Setup s;
    return s;
}

void BM_BuildBirdseyeView(benchmark::State& state) {
    Setup& s = setup();
    for (auto _ : state) {
        s.build();
        benchmark::DoNotOptimize(s.t0.data());
    }
}
BENCHMARK(BM_BuildBirdseyeView)->Unit(benchmark::kMillisecond);

void BM_SetImage(benchmark::State& state) {
    Setup& s = setup();
    set_image_threads(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        s.compose();
        benchmark::DoNotOptimize(s.canvas.data());
    }
    set_image_threads(1);
}
BENCHMARK(BM_SetImage)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef HAVE_OPENCV
// The same bird's-eye plus back view with OpenCV: per camera a fixed-point
// remap of its Y plane and of its chroma plane over the pixels it shows, then
// the colour conversion of the whole picture.
struct OpenCvComposer {
    cv::Mat map1[4], map2[4], cmap1[4], cmap2[4];
    cv::Mat yplane[4], uvplane[4];
    cv::Mat ydst, uvdst, ycrcb, bgr, bgra;

    explicit OpenCvComposer(Setup& s) {
        for (int c = 0; c < 4; ++c) {
            cv::Mat mx(TABLE_H, TABLE_W, CV_32F, cv::Scalar(-1)), my(TABLE_H, TABLE_W, CV_32F, cv::Scalar(-1));
            cv::Mat cx(TABLE_H, TABLE_W, CV_32F, cv::Scalar(-1)), cy(TABLE_H, TABLE_W, CV_32F, cv::Scalar(-1));
            for (int r = COMPOSE_TOP; r <= COMPOSE_BOTTOM; ++r)
                for (int col = COMPOSE_LEFT; col <= COMPOSE_RIGHT; ++col) {
                    const Image_table& e = s.t0[r * TABLE_W + col];
                    const int kind = e.pic_num >> 4;
                    int cam = -1;  // 0 front, 1 back, 2 left, 3 right
                    if (kind == 1) cam = (e.pic_num & 0x0E) == 2 ? 0 : (e.pic_num & 0x0E) == 0 ? 1 : (e.pic_num & 0x0E) == 4 ? 2 : 3;
                    if (kind == 2) cam = 1;
                    if (kind == 3) cam = 2;
                    if (kind == 4) cam = 0;
                    if (kind == 5) cam = 3;
                    if (kind == 7) cam = (e.pic_num & 0x0F) <= 2 ? 1 : 0;
                    if (cam != c) continue;
                    const float fx = (e.ybili.Y_tr + e.ybili.Y_br) / 255.0f;
                    const float fy = (e.ybili.Y_bl + e.ybili.Y_br) / 255.0f;
                    const float x = static_cast<float>(e.Addr_Y % CAM_W) + fx;
                    const float y = static_cast<float>(e.Addr_Y / CAM_W) + fy;
                    mx.at<float>(r, col) = x;
                    my.at<float>(r, col) = y;
                    cx.at<float>(r, col) = x / 2;
                    cy.at<float>(r, col) = y;
                }
            cv::convertMaps(mx, my, map1[c], map2[c], CV_16SC2);
            cv::convertMaps(cx, cy, cmap1[c], cmap2[c], CV_16SC2);
            yplane[c] = cv::Mat(CAM_H, CAM_W, CV_8UC1, s.y[c].data());
            uvplane[c] = cv::Mat(CAM_H, CAM_W / 2, CV_8UC2, s.uv[c].data());
        }
        ydst = cv::Mat(TABLE_H, TABLE_W, CV_8UC1, cv::Scalar(0));
        uvdst = cv::Mat(TABLE_H, TABLE_W, CV_8UC2, cv::Scalar(128, 128));
    }

    void compose() {
        for (int c = 0; c < 4; ++c) {
            cv::remap(yplane[c], ydst, map1[c], map2[c], cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
            cv::remap(uvplane[c], uvdst, cmap1[c], cmap2[c], cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
        }
        // Chroma words hold V first: as YCrCb the channels are Y, V, U.
        cv::Mat channels[3];
        cv::split(uvdst, channels + 1);
        channels[0] = ydst;
        cv::merge(channels, 3, ycrcb);
        cv::cvtColor(ycrcb, bgr, cv::COLOR_YCrCb2BGR);
        cv::cvtColor(bgr, bgra, cv::COLOR_BGR2BGRA);
    }
};

void BM_OpenCvRemap(benchmark::State& state) {
    static OpenCvComposer composer(setup());
    const int threads = cv::getNumThreads();
    cv::setNumThreads(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        composer.compose();
        benchmark::DoNotOptimize(composer.bgra.data);
    }
    cv::setNumThreads(threads);
}
BENCHMARK(BM_OpenCvRemap)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace

BENCHMARK_MAIN();
