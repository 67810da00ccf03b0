// Placeholder until the media part lands.
#include "host/internal.h"
#include "platform/mpi.h"
namespace host {
void media_power_on() {}
void media_power_off() {}
HdOutput hd_output() { return {}; }
bool hd_video_picture(Picture&) { return false; }
void capture_use_pattern() {}
void capture_use_renderer(FrameRenderer) {}
bool capture_use_yuv_file(int, const std::filesystem::path&) { return false; }
void capture_set_signal(int, bool) {}
std::uint64_t capture_frames_delivered(int) { return 0; }
}  // namespace host
