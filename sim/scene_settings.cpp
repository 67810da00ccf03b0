#include "sim/scene_settings.h"

#include <cmath>

Flash_param scene_settings(const host::scene::Layout& layout, std::uint16_t close_etc) {
    host::scene::configure(layout);
    Flash_param p = flash_param_default;
    p.car_num.length = static_cast<std::uint16_t>(layout.length);
    p.car_num.car_lev = static_cast<std::uint16_t>(layout.width);
    p.im_param.view_range = static_cast<std::uint16_t>(layout.view_range);
    p.im_param.close_etc = close_etc;
    const int dirs[4] = {host::scene::kFront, host::scene::kBack, host::scene::kLeft, host::scene::kRight};
    Camera_param* cams[4] = {&p.cf_param, &p.cb_param, &p.cl_param, &p.cr_param};
    for (int i = 0; i < 4; ++i) {
        const auto& lens = host::scene::camera(dirs[i]).lens;
        cams[i]->sensor = Sensor_param{static_cast<std::int16_t>(lens.center_y), static_cast<std::int16_t>(lens.center_x),
                                       580, static_cast<std::int16_t>(lens.radius), static_cast<std::int16_t>(lens.dis),
                                       static_cast<std::int16_t>(lens.xx), -1};
        std::int16_t* m = &cams[i]->pos.y1;
        const auto px = host::scene::mark_pixels(dirs[i]);
        for (int k = 0; k < 8; ++k) {
            m[2 * k] = static_cast<std::int16_t>(std::lround(px[k][0]));
            m[2 * k + 1] = static_cast<std::int16_t>(std::lround(px[k][1]));
        }
    }
    p.flagf = p.flagb = p.flagl = p.flagr = 1;
    return p;
}
