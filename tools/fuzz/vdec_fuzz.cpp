// Fuzz driver for the board's H.264 decoder: arbitrary bytes, cut in pieces
// as a sender would, reassembled and decoded.
// With libFuzzer (clang): see tools/fuzz/run.
// Without it: a deterministic mutation loop, `vdec_fuzz RUNS SEED-FILE...`.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/media/vdec_fuzz.h"
#include "tests/mutate.h"

#ifdef WITH_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* d, std::size_t n) {
    fuzz_vdec(d, n);
    return 0;
}
#else
int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s RUNS [SEED-FILE...]\n", argv[0]);
        return 2;
    }
    const auto seeds = read_seeds(argv + 2, argv + argc, {0, 0, 0, 1});
    const long runs = std::atol(argv[1]);
    mutate_and_run([](const std::uint8_t* d, std::size_t n) { fuzz_vdec(d, n); }, seeds, runs, 5);
    std::printf("vdec: %ld executions\n", runs);
    return 0;
}
#endif
