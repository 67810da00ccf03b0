// Fuzz driver for the BMP and GIF decoders and the streamed-bitmap reader.
// With libFuzzer (clang): clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -DWITH_LIBFUZZER
//   -DFUZZ_TARGET=fuzz_gif -I. tools/fuzz/gui_image_fuzz.cpp gui/*.cpp ... (see tools/fuzz/run)
// Without it: a deterministic mutation loop, `gui_image_fuzz TARGET RUNS`.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/gui_image/fuzz_targets.h"

#ifdef WITH_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* d, std::size_t n) {
    FUZZ_TARGET(d, n);
    return 0;
}
#else
int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s bmp|gif|stream RUNS [SEED-FILE...]\n", argv[0]);
        return 2;
    }
    const auto seeds = read_seeds(argv + 3, argv + argc, {0});
    const long runs = std::atol(argv[2]);
    const std::string t = argv[1];
    if (t == "bmp") mutate_and_run(fuzz_bmp, seeds, runs, 1);
    else if (t == "gif") mutate_and_run(fuzz_gif, seeds, runs, 2);
    else mutate_and_run(fuzz_stream, seeds, runs, 3);
    std::printf("%s: %ld executions\n", t.c_str(), runs);
    return 0;
}
#endif
