// Fuzz driver for the board's package unpacking ("tar -xzvf"), which the
// upgrade relies on to refuse members it cannot write safely. Each input is
// unpacked into a fresh folder of a simulated board in a scratch root; gzip
// or plain tar data are both taken. The root lies in a sandbox beside a
// sentinel file: nothing outside the root may ever change, whatever names
// the headers (pax records, GNU long names) hold.
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

fs::path g_sandbox, g_root;

void tear_down() {
    host::board_shutdown();
    fs::remove_all(g_sandbox);
}

// The sandbox holds the root and the sentinel, as it was made.
bool sandbox_intact() {
    std::error_code ec;
    int entries = 0;
    for (const auto& e : fs::directory_iterator(g_sandbox, ec)) {
        ++entries;
        if (e.path() != g_root && e.path() != g_sandbox / "sentinel") return false;
    }
    std::ifstream in(g_sandbox / "sentinel");
    std::string text;
    std::getline(in, text);
    return !ec && entries == 2 && text == "keep";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* dir = std::getenv("TAR_FUZZ_DIR");
    g_sandbox = fs::path(dir ? dir : "/tmp") / ("tar-fuzz-" + std::to_string(::getpid()));
    g_root = g_sandbox / "root";
    fs::create_directories(g_sandbox);
    std::ofstream(g_sandbox / "sentinel") << "keep\n";
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
    // Nothing may appear beside the folder it was unpacked into, nor outside the root.
    for (const auto& e : fs::directory_iterator(g_root / "home"))
        if (e.path().filename() != "stage" && e.path().filename() != "in.upg" && e.path().filename() != "config")
            std::abort();
    if (!sandbox_intact() || !fs::is_empty(g_root / "etc/init.d")) std::abort();
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
