// STAND-IN for the installer menu (state 22) until it is built: a page with
// its title, whose exit key goes back to the main menu. The access code for
// the installer already leads here.
#include "dsp/dsp_image.h"
#include "dsp/dsp_tubiao.h"
#include "dsp/dsp_yuyan.h"
#include "vio/menu_states.h"
#include "vio/vio.h"

void enter_installer_menu(std::uint8_t& status) {
    table = table0;
    ct_right(table0);
    mt_cd(table0, 100, BVIEW_Left + 40, gcms, 1);
    choos = 1;
    status = 22;
}

void installer_menu_state(std::uint8_t& status, const PassInfo& p) {
    if (p.key == KEY_EXIT) enter_main_menu(status, 1);
}
