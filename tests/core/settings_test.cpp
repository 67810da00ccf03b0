// The settings file: creation with the defaults, damaged files, saving.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "tests/board_fixture.h"
#include "vio/settings.h"

namespace {

using SettingsFile = BoardTest;

std::uint16_t word(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                      static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

TEST_F(SettingsFile, MissingFileIsCreatedWithTheDefaults) {
    Flash_param p{};
    load_param(&p);
    const std::string bytes = slurp(on_board(PARAM_FILE));
    ASSERT_EQ(bytes.size(), 268u);
    // Back camera lens and first mark.
    EXPECT_EQ(word(bytes, 0), 0);      // flagb
    EXPECT_EQ(word(bytes, 2), 360);    // center_y
    EXPECT_EQ(word(bytes, 4), 640);    // center_x
    EXPECT_EQ(word(bytes, 6), 580);    // len180
    EXPECT_EQ(word(bytes, 8), 740);    // radius
    EXPECT_EQ(word(bytes, 10), 420);   // dis
    EXPECT_EQ(word(bytes, 12), 1000);  // xx
    EXPECT_EQ(word(bytes, 14), 0xFFFF);
    EXPECT_EQ(word(bytes, 16), 300);   // back y1
    EXPECT_EQ(word(bytes, 18), 421);   // back x1
    // Front camera's last mark, x8 at 50 + 14 + 30.
    EXPECT_EQ(word(bytes, 94), 1165);
    // Right camera's mark x6 = 790 at 146 + 14 + 22.
    EXPECT_EQ(word(bytes, 182), 790);
    // Display settings from offset 194: bright 3, contrast 1, track 1, view_range 1, close_etc 255,
    // record 1, back_time 2, fv_top and fv_bottom -1, reserved 0xFFFF.
    EXPECT_EQ(word(bytes, 194 + 2 * 4), 3);
    EXPECT_EQ(word(bytes, 194 + 2 * 5), 1);
    EXPECT_EQ(word(bytes, 194 + 2 * 6), 1);
    EXPECT_EQ(word(bytes, 194 + 2 * 9), 1);
    EXPECT_EQ(word(bytes, 194 + 2 * 10), 255);
    EXPECT_EQ(word(bytes, 194 + 2 * 11), 1);
    EXPECT_EQ(word(bytes, 194 + 2 * 15), 2);
    EXPECT_EQ(word(bytes, 194 + 2 * 17), 0xFFFF);
    EXPECT_EQ(word(bytes, 194 + 2 * 18), 0xFFFF);
    EXPECT_EQ(word(bytes, 194 + 2 * 22), 0xFFFF);
    // Car settings from offset 242: width 1900, length 4600, reserved 0xFFFF.
    EXPECT_EQ(word(bytes, 242), 1900);
    EXPECT_EQ(word(bytes, 244), 4600);
    EXPECT_EQ(word(bytes, 242 + 2 * 7), 0xFFFF);
    EXPECT_EQ(word(bytes, 266), 0xFFFF);
    EXPECT_EQ(std::memcmp(&p, &flash_param_default, sizeof p), 0);
}

TEST_F(SettingsFile, ShortFileIsReplacedByTheDefaults) {
    std::ofstream(on_board(PARAM_FILE), std::ios::binary) << "broken";
    Flash_param p{};
    testing::internal::CaptureStdout();
    load_param(&p);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "read file failed!\n");
    EXPECT_EQ(std::memcmp(&p, &flash_param_default, sizeof p), 0);
    const std::string bytes = slurp(on_board(PARAM_FILE));
    ASSERT_EQ(bytes.size(), 268u);
    EXPECT_EQ(std::memcmp(bytes.data(), &flash_param_default, 268), 0);
}

TEST_F(SettingsFile, LongerFileIsReadFromItsFirstRecord) {
    Flash_param rec = flash_param_default;
    rec.car_num.length = 5100;
    {
        std::ofstream out(on_board(PARAM_FILE), std::ios::binary);
        out.write(reinterpret_cast<const char*>(&rec), sizeof rec);
        out << "trailing bytes";
    }
    Flash_param p{};
    load_param(&p);
    EXPECT_EQ(p.car_num.length, 5100);
    // Saving keeps what lies beyond the record.
    p.car_num.car_lev = 1750;
    save_param(&p);
    const std::string bytes = slurp(on_board(PARAM_FILE));
    EXPECT_EQ(bytes.size(), 268u + 14u);
    EXPECT_EQ(word(bytes, 242), 1750);
    EXPECT_EQ(bytes.substr(268), "trailing bytes");
}

TEST_F(SettingsFile, ChangedRecordSurvivesAReload) {
    Flash_param p{};
    load_param(&p);
    p.im_param.bright = 4;
    p.flagb = 1;
    p.car_num.flagy = 2;
    save_param(&p);
    Flash_param q{};
    load_param(&q);
    EXPECT_EQ(std::memcmp(&p, &q, sizeof p), 0);
    // Only the record is left: no temporary file beside it.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(on_board("/home/config"))) ++files;
    EXPECT_EQ(files, 1);
}

// A save cut short leaves its temporary file beside the record: the next
// start removes it and reads the record as it was.
TEST_F(SettingsFile, StaleTemporaryFileIsRemovedAtStart) {
    const std::filesystem::path stale = on_board(std::string(PARAM_FILE) + ".new");
    Flash_param rec = flash_param_default;
    rec.im_param.bright = 0;
    const std::string stored(reinterpret_cast<const char*>(&rec), sizeof rec);
    std::ofstream(on_board(PARAM_FILE), std::ios::binary) << stored;
    std::ofstream(stale, std::ios::binary) << stored.substr(0, 100);
    Flash_param p{};
    load_param(&p);
    EXPECT_EQ(std::memcmp(&p, &rec, sizeof p), 0);
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_EQ(slurp(on_board(PARAM_FILE)), stored);

    // Without a record the defaults are written and nothing else is left.
    std::filesystem::remove(on_board(PARAM_FILE));
    std::ofstream(stale, std::ios::binary) << stored.substr(0, 100);
    load_param(&p);
    EXPECT_EQ(std::memcmp(&p, &flash_param_default, sizeof p), 0);
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_EQ(slurp(on_board(PARAM_FILE)).size(), sizeof(Flash_param));
}

TEST_F(SettingsFile, SaveDoesNotCreateAMissingFile) {
    testing::internal::CaptureStdout();
    save_param(&flash_param_default);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "open file to save failed!\n");
    EXPECT_FALSE(std::filesystem::exists(on_board(PARAM_FILE)));
}

TEST_F(SettingsFile, ReadOnlyFileIsReadNotReplaced) {
    Flash_param rec = flash_param_default;
    rec.im_param.bright = 0;
    {
        std::ofstream out(on_board(PARAM_FILE), std::ios::binary);
        out.write(reinterpret_cast<const char*>(&rec), sizeof rec);
    }
    chmod(on_board(PARAM_FILE).c_str(), 0444);
    for (const char* dir : {"/", "/home", "/home/config"}) chmod(on_board(dir).c_str(), 0755);
    // Root may write anything: look from an ordinary user's process.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
        Flash_param p{};
        load_param(&p);
        _exit(std::memcmp(&p, &rec, sizeof p) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string bytes = slurp(on_board(PARAM_FILE));
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(&rec), sizeof rec));
}

TEST_F(SettingsFile, UnusableStorageLeavesTheDefaultsInMemory) {
    std::filesystem::remove_all(on_board("/home/config"));
    // A plain file where the folder should be: nothing can be created.
    std::ofstream(on_board("/home/config")) << "x";
    Flash_param p{};
    std::memset(&p, 0, sizeof p);
    testing::internal::CaptureStdout();
    load_param(&p);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "create file failed!\n");
    EXPECT_EQ(std::memcmp(&p, &flash_param_default, sizeof p), 0);
}

}  // namespace
