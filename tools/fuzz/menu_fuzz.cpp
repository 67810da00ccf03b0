// Fuzz driver for the playback sender's picture cutter and the firmware file
// check. With libFuzzer (clang), FUZZ_TARGET names the target (see tools/fuzz/run).
#include "tests/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* d, std::size_t n) {
    fuzz_checks::FUZZ_TARGET(d, n);
    return 0;
}
