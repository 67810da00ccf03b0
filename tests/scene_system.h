// The system calibrated from the synthetic scene, with the scene's camera
// pictures, for tests that compose whole screens in one process.
#pragma once

#include <cmath>
#include <vector>

#include "dsp/dsp_cars.h"
#include "dsp/dsp_image.h"
#include "dsp/dsp_process.h"
#include "dsp/dsp_tubiao.h"
#include "host/scene.h"
#include "sim/scene_settings.h"
#include "vio/settings.h"
#include "vio/vio.h"

class SceneSystem {
public:
    std::vector<Image_table> t0, t1, tl, tr, tlr, tlr2;
    std::vector<std::uint32_t> yuv2rgb, canvas;
    std::vector<std::uint8_t> y[4];  // front, back, left, right
    std::vector<std::uint16_t> uv[4];

    explicit SceneSystem(const host::scene::Layout& layout = {}, std::uint16_t close_etc = 255) {
        t0.resize(TABLE_W * TABLE_H);
        t1.resize(TABLE_W * TABLE_H);
        tl.resize(458 * 480);
        tr.resize(458 * 480);
        tlr.resize(476 * 480);
        tlr2.resize(476 * 480);
        yuv2rgb.resize(1u << 22);
        canvas.assign(TABLE_W * TABLE_H, 0xFF000000u);
        Init_table_YUV2RGB(yuv2rgb.data());
        table0 = t0.data();
        table1 = t1.data();
        table = table0;
        tablel = tl.data();
        tabler = tr.data();
        tablelr = tlr.data();
        tablelr2 = tlr2.data();
        ptable_YUV2RGB = yuv2rgb.data();
        pBuf1 = canvas.data();
        BVIEW_Left = 308;
        RVIEW_Left = 326;
        FULLVIEW_Left = 16;

        flash_param = scene_settings(layout, close_etc);
        const int channels[4] = {5, 4, 0, 1};
        const auto render = host::scene::renderer();
        for (int i = 0; i < 4; ++i) {
            y[i].resize(CAM_W * CAM_H);
            uv[i].resize(CAM_W * CAM_H / 2);
            render(channels[i], 0, y[i].data(), reinterpret_cast<std::uint8_t*>(uv[i].data()));
        }
        get_car(&flash_param.car_num);
        set_zuobiao(flash_param);
        solve_cameras();
        init_table(table0);
        init_table(table1);
        mt_fleft(table0);
        mt_fright(table0);
        mt_ftop(table0);
        mt_fbottom(table0);
        mt_car(table0, flash_param.im_param, ptable_YUV2RGB);
    }

    ~SceneSystem() {
        table = table0 = table1 = nullptr;
        tablel = tabler = tablelr = tablelr2 = nullptr;
        ptable_YUV2RGB = pBuf1 = nullptr;
    }

    // Composes the canvas from the current pictures through `t`.
    void compose(const Image_table* t) {
        set_image(canvas.data(), t, y[0].data(), uv[0].data(), y[1].data(), uv[1].data(), y[2].data(), uv[2].data(),
                  y[3].data(), uv[3].data(), yuv2rgb.data());
    }
};
