// The menu states of the main loop: main menu (14), access code (15),
// picture settings (16), record settings (17), date and time (19), disk
// formatting (20), the installer's pages and the service page.
#pragma once

#include <cstdint>

#include "common/ds1337.h"
#include "vio/settings.h"
#include "vio/vio_states.h"

// The settings as they were when an editing page was entered; the exit key
// puts them back.
extern Flash_param temp_param;
// The access code typed so far, one hexadecimal digit per key.
extern std::uint32_t mima;
// The date and time being edited on the date page.
extern rtc_time t_rtc;

// Draws the main menu with `bit` highlighted and makes it the state.
void enter_main_menu(std::uint8_t& status, std::uint16_t bit);
// Draws the record settings page with `bit` highlighted and makes it the state.
void enter_record_page(std::uint8_t& status, std::uint16_t bit);
// Sends a short command (0x55 0x0A cmd) to the microcontroller.
void send_short(int fd, std::uint8_t cmd);
// Tells the microcontroller the two car-page numbers (command 0x06).
void send_car_numbers(int fd, std::uint8_t kind, std::uint8_t index);
// Shows a message already drawn on the canvas for one second of board time.
void hold_message();
// Down and up move a one-bit highlight between 1 and `last`.
void next_bit(std::uint8_t key, std::uint16_t last);

void main_menu_state(std::uint8_t& status, const PassInfo& pass);       // 14
void access_code_state(std::uint8_t& status, const PassInfo& pass);     // 15
void picture_page_state(std::uint8_t& status, const PassInfo& pass);    // 16
void record_page_state(std::uint8_t& status, const PassInfo& pass);     // 17
void date_page_state(std::uint8_t& status, const PassInfo& pass);       // 19
void disk_page_state(std::uint8_t& status, const PassInfo& pass);       // 20

// The recording list (18) and playback (21).
extern double play_rate;            // playback speed, 0.5 to 4
extern std::uint8_t stop_play;      // 1 while paused
extern std::uint8_t play_or_delete; // the list's action: 0 play, 1 delete, 2 lock or unlock
// Reads the list of recordings and shows it with the first file highlighted.
void enter_recording_list(std::uint8_t& status);
// Ends playback if it runs.
void stop_playback();
void recording_list_state(std::uint8_t& status, const PassInfo& pass);  // 18
void playback_state(std::uint8_t& status, const PassInfo& pass);        // 21

// The system upgrade (28) and the settings import and export (43).
void enter_upgrade_page(std::uint8_t& status);
void enter_load_page(std::uint8_t& status);
void upgrade_page_state(std::uint8_t& status, const PassInfo& pass);  // 28
void load_page_state(std::uint8_t& status, const PassInfo& pass);     // 43

// The installer's pages (22 to 31) and the service page of the calibration
// screen (40).
// Draws the installer menu with `bit` highlighted and makes it the state.
void enter_installer_menu(std::uint8_t& status, std::uint16_t bit);
// Draws the service page on the calibration screen's table and makes it the state.
void enter_test_page(std::uint8_t& status);
// The guide lines over the bird's-eye view beside a menu.
void draw_menu_guides(const PassInfo& pass);

void installer_menu_state(std::uint8_t& status, const PassInfo& pass);   // 22
void blind_zone_page_state(std::uint8_t& status, const PassInfo& pass);  // 23
void car_page_state(std::uint8_t& status, const PassInfo& pass);         // 24
void language_page_state(std::uint8_t& status, const PassInfo& pass);    // 25
void factory_page_state(std::uint8_t& status, const PassInfo& pass);     // 26
void view_range_page_state(std::uint8_t& status, const PassInfo& pass);  // 29
void crop_page_state(std::uint8_t& status, const PassInfo& pass);        // 30, 31
void test_page_state(std::uint8_t& status, const PassInfo& pass);        // 40
