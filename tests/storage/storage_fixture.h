// A fresh board per test inside a sandbox folder: <sandbox>/root is the board
// root and <sandbox>/outside a folder the board must never touch.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "host/board.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace storage_test {

namespace fs = std::filesystem;

inline void put(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

inline std::string get(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool lexists(const fs::path& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

inline bool logged(const std::string& line) {
    for (const auto& l : host::board_log_lines()) if (l == line) return true;
    return false;
}

// Every entry below a folder, links not followed, but `skip` and what lies
// below it: path -> kind, mode and content.
inline std::map<std::string, std::string> tree_except(const fs::path& top, const fs::path& skip = {}) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec)) {
        if (!skip.empty() && it->path() == skip) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat st;
        ::lstat(it->path().c_str(), &st);
        const std::string rel = fs::relative(it->path(), top).string();
        if (S_ISREG(st.st_mode)) out[rel] = "file " + std::to_string(st.st_mode & 07777) + " " + get(it->path());
        else if (S_ISLNK(st.st_mode)) out[rel] = "link " + fs::read_symlink(it->path()).string();
        else out[rel] = S_ISDIR(st.st_mode) ? "folder" : "other";
    }
    return out;
}

// Puts back a file as tree_except lists it ("file MODE CONTENT"); other
// kinds are left to the caller.
inline void put_listed(const fs::path& p, const std::string& what) {
    if (!what.starts_with("file ")) return;
    const std::size_t sp = what.find(' ', 5);
    put(p, what.substr(sp + 1));
    fs::permissions(p, static_cast<fs::perms>(std::stoi(what.substr(5, sp - 5))));
}

class Board : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> serial{0};
        sandbox_ = fs::path(::testing::TempDir()) /
                   ("storage-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        fs::remove_all(sandbox_);
        root_ = sandbox_ / "root";
        outside_ = sandbox_ / "outside";
        fs::create_directories(outside_);
        put(outside_ / "keep.txt", "precious");
        boot();
    }
    void TearDown() override {
        host::board_shutdown();
        std::error_code ec;
        fs::remove_all(sandbox_, ec);
    }
    void boot() {
        host::BoardOptions o;
        o.root = root_;
        o.paced = false;
        o.start_mcu = false;
        host::board_init(o);
        host::board_log_clear();
    }
    // The system's file at a board path.
    static fs::path at(const std::string& system_path) { return fs::path(board_path(system_path)); }
    void outside_intact() const { EXPECT_EQ(get(outside_ / "keep.txt"), "precious"); }
    // Inserts a formatted partitioned disk and mounts it as the system does.
    void mount_disk(const std::string& label = "stick", std::uint64_t mb = 8192) {
        host::disk_insert(label, mb);
        ASSERT_EQ(sh_mount_rw("/dev/sda1", "/opt"), 0);
    }

    fs::path sandbox_, root_, outside_;
};

}  // namespace storage_test
