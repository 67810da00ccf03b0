#include "vio/stubs.h"

Param_car param_car = {};
int work_dir = 0;
int FVLEN = 0, BVLEN = 0, LRVLEN = 0;
Zuobiao zuobiao_f = {}, zuobiao_b = {}, zuobiao_l = {}, zuobiao_r = {};

void get_car(Car_num* car) {
    const std::uint16_t length = car->length;
    param_car.LL = static_cast<std::uint16_t>(length * 0.95);
    param_car.W = car->car_lev;
    param_car.L = static_cast<std::uint16_t>(param_car.LL * 0.6);
    const double s = param_car.LL * 0.22 - 550;
    param_car.S = static_cast<std::uint16_t>(s < 0 ? 0 : s);
    param_car.WW = static_cast<std::uint16_t>(car->car_lev * 0.85);
}

void set_zuobiao(Flash_param) {}
int solve_camera(int, Camera_param*) { return -1; }
void build_birdseye(Image_table*, const std::uint32_t*) {}
void MT_image(int, Image_table*, const std::uint32_t*) {}
void set_yuyan(int) {}
void draw_rec(std::uint32_t*, const std::uint32_t*) {}
void draw_formatusb(std::uint32_t*) {}
void draw_checkusb2(std::uint32_t*) {}
bool run_state(std::uint8_t&, std::uint8_t, std::uint8_t) { return false; }
void idle_state(std::uint8_t&, std::uint8_t, std::uint8_t) {}
