// Fuzz driver for the board's package unpacking ("tar -xzvf"), which the
// upgrade relies on to refuse members it cannot write safely. Each input is
// unpacked into a fresh folder of a simulated board in a scratch root; gzip
// or plain tar data are both taken. The root is checked at the end of the run.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "host/board.h"
#include "host/internal.h"
#include "platform/shell.h"

namespace fs = std::filesystem;

namespace {

fs::path g_root;

void tear_down() {
    host::board_shutdown();
    fs::remove_all(g_root);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* dir = std::getenv("TAR_FUZZ_DIR");
    g_root = fs::path(dir ? dir : "/tmp") / ("tar-fuzz-" + std::to_string(::getpid()));
    host::BoardOptions o;
    o.root = g_root;
    o.start_mcu = false;
    o.paced = false;
    o.clock_speed = 1000;  // a command's board time passes at once
    host::board_init(o);
    std::atexit(tear_down);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* d, std::size_t n) {
    {
        std::ofstream out(g_root / "home/in.upg", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(d), static_cast<std::streamsize>(n));
    }
    std::error_code ec;
    fs::remove_all(g_root / "home/stage", ec);
    fs::create_directory(g_root / "home/stage", ec);
    // The listing reads the same headers without writing anything.
    long listed = 0;
    sh_tar_tzvf("/home/in.upg", [&listed](const TarEntry&) { return ++listed < 100000; });
    sh_tar_xzvf("/home/in.upg", "/home/stage");
    // Nothing may appear beside the folder it was unpacked into.
    for (const auto& e : fs::directory_iterator(g_root / "home"))
        if (e.path().filename() != "stage" && e.path().filename() != "in.upg" && e.path().filename() != "config")
            std::abort();
    return 0;
}

// The media platform is not part of this driver (it does not build with
// this compiler's library): the board's power-on and display ask for these.
namespace host {
void media_power_on() {}
void media_power_off() {}
HdOutput hd_output() { return {}; }
void hd_draw_video(Picture&) {}
}  // namespace host
