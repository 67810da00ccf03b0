// Placeholder until the display part lands.
#include "host/internal.h"
namespace host {
void display_power_on() {}
void display_power_off() {}
bool fb_shown() { return false; }
std::uint64_t fb_refresh_count() { return 0; }
Picture panel_picture() { return {}; }
Picture canvas_picture() { return {}; }
bool write_png(const std::filesystem::path&, const Picture&) { return false; }
bool read_png(const std::filesystem::path&, Picture&) { return false; }
}  // namespace host
