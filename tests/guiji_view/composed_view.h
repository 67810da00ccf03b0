// The back or front camera view composed on the synthetic scene, shared by
// the guide-line view tests.
#pragma once

#include <memory>

#include "tests/scene_system.h"
#include "vio/vio.h"

// The composed back (mode 4) or front (0) view with 150 mm blind zones; the
// system is rebuilt only when the scene holds another layout.
inline SceneSystem& view(int mode, const host::scene::Layout& l = {}) {
    static std::unique_ptr<SceneSystem> sys;
    static Flash_param saved;
    if (!sys || host::scene::layout().length != l.length) {
        sys.reset();
        sys = std::make_unique<SceneSystem>(l, 253);  // no sensor arcs
        saved = flash_param;
    }
    flash_param = saved;
    BVIEW_Left = 308;
    FRONTBLANK = BACKBLANK = 150;
    get_car(&flash_param.car_num);
    set_zuobiao(flash_param);
    MT_image(mode, sys->t0.data(), sys->yuv2rgb.data());
    sys->compose(sys->t0.data());
    return *sys;
}
