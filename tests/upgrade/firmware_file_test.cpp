// The firmware file before the upload: its size is told once it is open,
// also when it then cannot be read whole; a link is not followed.
#include <sys/stat.h>

#include "dsp/dsp_firmware.h"
#include "tests/storage/storage_fixture.h"

namespace {
using namespace storage_test;

class FirmwareFile : public Board {
protected:
    // What the upload prints before it would talk to the microcontroller.
    static std::string upload_start() {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(upgrade_pic(-1, nullptr, -1, nullptr, 0), -1);
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }
};

TEST_F(FirmwareFile, ItsSizeIsToldOnceOpenBeforeTheRead) {
    const fs::path hex = at("/home/test.hex");
    EXPECT_EQ(upload_start(), "open test.hex  failed!\n");

    put(outside_ / "real.hex", ":00000001FF\n");
    fs::create_symlink(outside_ / "real.hex", hex);
    EXPECT_EQ(upload_start(), "open test.hex  failed!\n");
    fs::remove(hex);

    // A folder opens but gives no bytes.
    fs::create_directories(hex);
    struct stat st {};
    ASSERT_EQ(::stat(hex.c_str(), &st), 0);
    EXPECT_EQ(upload_start(), "file size is " + std::to_string(st.st_size) + "\nread file failed!\n");
    fs::remove(hex);

    put(hex, "not a hex file");
    EXPECT_EQ(upload_start(), "file size is 14\nread file ok!\ntest.hex is not a firmware file\n");
    outside_intact();
}

}  // namespace
