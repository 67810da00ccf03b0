// Time of the board's encoder path for one 720p picture (region burned in,
// 4:2:2 to 4:2:0, x264), and of four channels encoding side by side as the
// recording does. The board must keep up with 4 x 12 pictures a second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/scene.h"
#include "host/venc_engine.h"

namespace {

using namespace host::media;

constexpr std::size_t kPlane = std::size_t{kCaptureWidth} * kCaptureHeight;
constexpr int kClips = 8;  // different pictures in turn, so P-frames have work

VENC_CHN_ATTR_S recording() {
    VENC_CHN_ATTR_S a{};
    a.stVeAttr.enType = PT_H264;
    a.stVeAttr.stAttrH264e =
        VENC_ATTR_H264_S{1280, 720, 1280 * 720 * 10, 1, HI_TRUE, HI_FALSE, HI_TRUE, 0, HI_FALSE, 1280, 720};
    a.stRcAttr.enRcMode = VENC_RC_MODE_H264VBRv2;
    a.stRcAttr.stAttrH264Vbr = VENC_ATTR_H264_VBR_S{12, 1, 12, 12, 1280, 40, 10};
    return a;
}

// A camera-like picture: a gradient, a few solid blocks and sensor noise.
std::vector<std::vector<std::uint8_t>> noisy_clips() {
    std::vector<std::vector<std::uint8_t>> clips;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int k = 0; k < kClips; ++k) {
        std::vector<std::uint8_t> f(kCaptureFrameBytes);
        for (int r = 0; r < kCaptureHeight; ++r)
            for (int x = 0; x < kCaptureWidth; ++x) {
                int v = 40 + x * 120 / kCaptureWidth + r * 50 / kCaptureHeight + noise(rng);
                if (((x + 8 * k) / 160 + r / 120) % 3 == 0) v += 40;
                f[static_cast<std::size_t>(r) * kCaptureWidth + static_cast<std::size_t>(x)] =
                    static_cast<std::uint8_t>(std::clamp(v, 16, 235));
            }
        for (std::size_t i = kPlane; i < kCaptureFrameBytes; ++i)
            f[i] = static_cast<std::uint8_t>(128 + noise(rng) / 3);
        clips.push_back(std::move(f));
    }
    return clips;
}

std::vector<std::vector<std::uint8_t>> scene_clips() {
    host::scene::prerender();
    const host::FrameRenderer render = host::scene::renderer();
    std::vector<std::vector<std::uint8_t>> clips;
    for (int k = 0; k < kClips; ++k) {
        std::vector<std::uint8_t> f(kCaptureFrameBytes);
        render(5, static_cast<std::uint64_t>(k), f.data(), f.data() + kPlane);
        clips.push_back(std::move(f));
    }
    return clips;
}

// The system's time stamp region: 288 x 24 at (960, 32), text half set.
std::vector<GroupRegion> stamp() {
    std::vector<GroupRegion> r(1);
    r[0].attr.bShow = HI_TRUE;
    r[0].attr.stOverlayChn = OVERLAY_CHN_ATTR_S{{960, 32}, 128, 0, 1};
    r[0].picture.width = 288;
    r[0].picture.height = 24;
    r[0].picture.pixels.resize(288 * 24 * 2);
    for (std::size_t i = 0; i < 288 * 24; ++i)
        if (i % 3) r[0].picture.pixels[2 * i + 1] = 0xFF;
    return r;
}

struct Channel {
    PictureEncoder encoder;
    std::vector<std::uint8_t> work = std::vector<std::uint8_t>(kCaptureFrameBytes);
    std::vector<GroupRegion> regions = stamp();
    PictureEncoder::Packs packs{};
    std::size_t bytes = 0;

    bool open() {
        std::string why;
        return encoder.open(recording(), why);
    }
    // As the engine does per picture: render (here a copy), burn in, encode.
    void picture(const std::vector<std::uint8_t>& source) {
        std::memcpy(work.data(), source.data(), kCaptureFrameBytes);
        const std::size_t n = encoder.encode(work.data(), regions, packs);
        for (std::size_t i = 0; i < n; ++i) bytes += packs[i].size();
    }
};

void encode_one(benchmark::State& state, const std::vector<std::vector<std::uint8_t>>& clips) {
    Channel c;
    if (!c.open()) {
        state.SkipWithError("no x264");
        return;
    }
    std::size_t k = 0;
    for (auto _ : state) c.picture(clips[k++ % clips.size()]);
    state.counters["bytes/picture"] = static_cast<double>(c.bytes) / static_cast<double>(std::max<std::size_t>(k, 1));
}

void BM_EncodePictureNoisy(benchmark::State& state) {
    static const auto clips = noisy_clips();
    encode_one(state, clips);
}
BENCHMARK(BM_EncodePictureNoisy)->Unit(benchmark::kMillisecond);

void BM_EncodePictureScene(benchmark::State& state) {
    static const auto clips = scene_clips();
    encode_one(state, clips);
}
BENCHMARK(BM_EncodePictureScene)->Unit(benchmark::kMillisecond);

// Four channels, one thread each, `range(0)` pictures apiece per iteration.
void BM_FourChannelsInParallel(benchmark::State& state) {
    static const auto clips = noisy_clips();
    const auto pictures = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<Channel>> channels;
    for (int i = 0; i < 4; ++i) {
        channels.push_back(std::make_unique<Channel>());
        if (!channels.back()->open()) {
            state.SkipWithError("no x264");
            return;
        }
    }
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i)
            threads.emplace_back([&, i] {
                for (int k = 0; k < pictures; ++k)
                    channels[static_cast<std::size_t>(i)]->picture(
                        clips[static_cast<std::size_t>(k + i) % clips.size()]);
            });
        for (std::thread& t : threads) t.join();
    }
    state.counters["pictures/s"] = benchmark::Counter(4.0 * pictures, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FourChannelsInParallel)->Arg(24)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
