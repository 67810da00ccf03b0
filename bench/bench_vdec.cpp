// Time of the board's decoder path for one 720p picture as playback feeds it:
// parsing the stream, decoding with libavcodec and copying the picture out.
// Playback must keep up with 12 pictures a second, 48 at the fastest speed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/vdec_engine.h"

namespace {

// A second of recording-like H.264 (x264 superfast, a key frame every 12
// pictures) made by ffmpeg; empty when ffmpeg is missing.
std::vector<std::uint8_t> stream() {
    const auto file = std::filesystem::temp_directory_path() / "bench_vdec.h264";
    const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1280x720:r=12 -frames:v 24 "
                            "-c:v libx264 -preset superfast -tune zerolatency -bf 0 -g 12 -pix_fmt yuv420p '" +
                            file.string() + "'";
    if (std::system(cmd.c_str()) != 0) return {};
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    std::filesystem::remove(file);
    return bytes;
}

// One picture per iteration, the stream sent in 64 kB pieces over and over.
void BM_DecodePicture720p(benchmark::State& state) {
    static const std::vector<std::uint8_t> bytes = stream();
    if (bytes.empty()) {
        state.SkipWithError("no ffmpeg");
        return;
    }
    host::media::PictureDecoder dec;
    std::string why;
    if (!dec.open(1280, 720, why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::size_t at = 0;
    for (auto _ : state) {
        while (!dec.ready()) {
            if (at == bytes.size()) {
                dec.end();
                at = 0;
                continue;
            }
            const std::size_t n = std::min<std::size_t>(bytes.size() - at, 64 * 1024);
            at += dec.feed(std::span(bytes.data() + at, n));
        }
        benchmark::DoNotOptimize(dec.next()->y.data());
        dec.pop();
    }
    state.counters["errors"] = static_cast<double>(dec.errors());
}
BENCHMARK(BM_DecodePicture720p)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
