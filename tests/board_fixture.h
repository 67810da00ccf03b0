// A fresh simulated board in a temporary root for each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host/board.h"

class BoardTest : public ::testing::Test {
protected:
    std::filesystem::path root;

    void SetUp() override { start(); }
    void TearDown() override {
        host::board_shutdown();
        std::filesystem::remove_all(root);
    }

    void start(bool start_mcu = false, double speed = 1.0) {
        char tmpl[] = "/tmp/board-test-XXXXXX";
        root = mkdtemp(tmpl);
        host::BoardOptions o;
        o.root = root;
        o.paced = false;
        o.start_mcu = start_mcu;
        o.clock_speed = speed;
        host::board_init(o);
    }

    std::filesystem::path on_board(const std::string& system_path) const {
        return root / system_path.substr(1);
    }

    static std::string slurp(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};
