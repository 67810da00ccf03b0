// A decoded picture as the board's decoder hands it to the outputs.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace host::media {

// 8-bit 4:2:0, each plane packed (chroma half size, rounded up).
struct VideoPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> y, u, v;
};
using PicturePtr = std::shared_ptr<const VideoPicture>;

}  // namespace host::media
