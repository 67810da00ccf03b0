// Fuzz driver for the bitmap file loader (libFuzzer, built by tools/fuzz/run).
#include <cstdio>

#include "tests/loadbmp/fuzz_loadbmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* d, std::size_t n) {
    // The loader's messages would drown the fuzzer's own.
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    fuzz_loadbmp(d, n);
    return 0;
}
