// A fresh board per test, in its own temporary folder, with helpers that
// bring the media platform up the way the system does.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <initializer_list>
#include <string>

#include "host/board.h"
#include "platform/mpi.h"

// A result code as the platform writes it, in hex.
constexpr HI_S32 code(std::uint32_t v) { return static_cast<HI_S32>(v); }

class MediaBoard : public ::testing::Test {
protected:
    void SetUp() override { start(); }

    void TearDown() override { stop(); }

    void stop() {
        host::board_shutdown();
        std::error_code ec;
        if (!root_.empty()) std::filesystem::remove_all(root_, ec);
        root_.clear();
    }

    // A new board with other options in place of the current one.
    void restart(bool paced, double speed) {
        stop();
        start(paced, speed);
    }

    void start(bool paced = false, double speed = 1.0) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "media-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        root_ = tmpl;
        host::BoardOptions o;
        o.root = root_;
        o.paced = paced;
        o.clock_speed = speed;
        o.start_mcu = false;
        host::board_init(o);
    }

    // Pools as the system asks for them, alignment 64, system up.
    static void bring_up() {
        VB_CONF_S vb{};
        vb.u32MaxPoolCnt = 128;
        vb.astCommPool[0].u32BlkSize = 1966080;
        vb.astCommPool[0].u32BlkCnt = 24;
        vb.astCommPool[1].u32BlkSize = 784;
        vb.astCommPool[1].u32BlkCnt = 24;
        ASSERT_EQ(HI_MPI_VB_SetConf(&vb), 0);
        ASSERT_EQ(HI_MPI_VB_Init(), 0);
        MPP_SYS_CONF_S sys{64};
        ASSERT_EQ(HI_MPI_SYS_SetConf(&sys), 0);
        ASSERT_EQ(HI_MPI_SYS_Init(), 0);
    }

    static VI_CHN_ATTR_S capture_attr() {
        VI_CHN_ATTR_S a{};
        a.stCapRect = RECT_S{0, 0, 1280, 720};
        a.stDestSize = SIZE_S{1280, 720};
        a.enCapSel = VI_CAPSEL_BOTH;
        a.enPixFormat = PIXEL_FORMAT_YUV_SEMIPLANAR_422;
        a.s32SrcFrameRate = 25;
        a.s32FrameRate = 12;
        return a;
    }

    // Both capture devices and the given channels, each with the depth.
    static void start_capture(std::initializer_list<VI_CHN> channels, HI_U32 depth = 1) {
        VI_DEV_ATTR_S dev{};
        dev.enWorkMode = VI_WORK_MODE_2Multiplex;
        dev.enScanMode = VI_SCAN_PROGRESSIVE;
        for (VI_DEV d = 0; d < 2; ++d) {
            ASSERT_EQ(HI_MPI_VI_SetDevAttr(d, &dev), 0);
            ASSERT_EQ(HI_MPI_VI_EnableDev(d), 0);
        }
        const VI_CHN_ATTR_S a = capture_attr();
        for (VI_CHN chn : channels) {
            ASSERT_EQ(HI_MPI_VI_SetChnAttr(chn, &a), 0);
            ASSERT_EQ(HI_MPI_VI_EnableChn(chn), 0);
            ASSERT_EQ(HI_MPI_VI_SetFrameDepth(chn, depth), 0);
        }
    }

    std::filesystem::path root_;
};

constexpr std::size_t kPlaneBytes = 1280 * 720;
