// The time-stamp overlay as a picture, for screenshots and tests.
#include "host/board.h"
#include "host/media_parts.h"

namespace host {

Picture overlay_picture(int handle) {
    Picture pic;
    media::RegionPicture region;
    if (!media::rgn_picture(handle, region) || region.format != PIXEL_FORMAT_RGB_1555) return pic;
    pic.width = static_cast<int>(region.width);
    pic.height = static_cast<int>(region.height);
    pic.argb.resize(region.width * region.height);
    for (std::size_t i = 0; i < pic.argb.size(); ++i) {
        const unsigned v = region.pixels[2 * i] | region.pixels[2 * i + 1] << 8;
        auto five = [](unsigned c) { return (c << 3) | (c >> 2); };
        pic.argb[i] = (v & 0x8000 ? 0xFF000000u : 0u) | five(v >> 10 & 31) << 16 | five(v >> 5 & 31) << 8 | five(v & 31);
    }
    return pic;
}

}  // namespace host
