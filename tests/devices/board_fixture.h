// A fresh simulated board in a temporary root for each test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

#include "host/board.h"
#include "platform/devices.h"

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override { power_on({}); }

    void TearDown() override {
        host::board_shutdown();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    // Restarts the board with other options (root and pacing are filled in).
    void power_on(host::BoardOptions o) {
        host::board_shutdown();
        if (root_.empty()) {
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            root_ = std::filesystem::temp_directory_path() /
                    ("devices-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
        }
        o.root = root_;
        o.paced = false;
        host::board_init(o);
    }

    static void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    std::filesystem::path root_;
};
