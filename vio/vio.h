// Start-up, the main loop and the state shared between the system's threads.
#pragma once

#include <atomic>
#include <cstdint>

#include "dsp/dsp_image.h"
#include "platform/hifb.h"
#include "platform/mpi.h"

// Drawing surfaces and tables, allocated once by the main loop.
extern Image_table* table;  // the current display table
extern Image_table *table0, *table1, *table2, *table3;
extern Image_table *tablel, *tabler, *tablelr, *tablelr2;
extern std::uint32_t* pBuf1;            // the 800 x 480 ARGB canvas
extern std::uint32_t* ptable_YUV2RGB;  // 2^22 ARGB entries
// Text goes into the display table (0), the canvas (1) or the time stamp (2).
extern constinit thread_local std::uint8_t table_or_image;

// Screen layout from the image location setting.
extern int BVIEW_Left, RVIEW_Left, FULLVIEW_Left;
extern std::uint16_t FRONTBLANK, BACKBLANK;
// Sets the blind-zone lengths from the car's dimensions and the settings'
// blind-zone factors (fblank, bblank).
void set_blind_zones(std::uint16_t fblank, std::uint16_t bblank);

// The time stamp burnt into the recordings and the seconds counters.
extern RGN_HANDLE OverlayExHandle;
extern BITMAP_S stBittime;
extern std::atomic<int> delay_time;   // view hold
extern std::atomic<int> record_time;  // recording segment

// Flags shared with the disk housekeeping and recording threads.
extern std::atomic<int> record_on;
extern std::atomic<std::uint8_t> record_stop;
extern std::atomic<int> mount_ok;
extern std::atomic<std::uint8_t> disk_full;
extern std::atomic<std::uint8_t> disk_error;
extern std::atomic<int> checkusb_stop;
// The recording setting of the settings record, as the main loop last saw it
// (the housekeeping thread must not read the record while menus change it).
extern std::atomic<std::uint8_t> record_setting;
// The directory listing of the menu pages.
struct File_all;
extern File_all* ph264_file;

constexpr std::uint32_t kTableBytes = TABLE_W * TABLE_H * sizeof(Image_table);
constexpr std::uint32_t kCanvasBytes = TABLE_W * TABLE_H * 4;
constexpr std::uint32_t kPlaneBytes = CAM_W * CAM_H;

// Fills the YUV-to-ARGB table at `table` (2^22 entries).
void Init_table_YUV2RGB(std::uint32_t* table);
int int_RGN(RGN_HANDLE handle);
// Starts the one-second tick: time stamp and seconds counters.
void init_timer();
// One tick of it (also for tests).
void set_RGN(int signo);
// Decrements a counter that is above zero; never below zero.
void count_down(std::atomic<int>& counter);
std::uint8_t get_key();
// Solves the ground projection of each calibrated camera of flash_param
// (after get_car and set_zuobiao); one that cannot be solved loses its flag
// and gets the default camera record, in memory only.
void solve_cameras();
// Whether all four cameras are calibrated.
bool all_cameras_calibrated();
// The layout columns for the image location (0 bird's-eye view left, else right).
void set_layout(std::uint16_t pos);
// The car's dimensions (which may fill in its width), the layout columns,
// the ground targets and the blind zones from flash_param.
void apply_car_and_layout();
// Builds the bird's-eye view and the car picture into table0 (the side builders
// also build the cached side-view tables); all four cameras must be calibrated.
void build_birdseye();
// Shows the canvas as it is now, in the middle of a pass (message boxes).
void show_canvas();
// The framebuffer the canvas is shown on (-1 before it is open) and the
// canvas as handed to its refresh.
int canvas_fb();
HIFB_BUFFER_S* canvas_buffer();
int QX_SHOW_PIC();
