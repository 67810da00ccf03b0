// Screenshots as PNG files, through libpng's simplified interface: it catches
// libpng's errors itself, so a broken file cannot jump over C++ destructors.
#include <png.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "host/board.h"

namespace host {
namespace {

// Far above any panel or camera; keeps a hostile header from asking for gigabytes.
constexpr png_uint_32 kMaxSide = 8192;

}  // namespace

bool write_png(const std::filesystem::path& file, const Picture& picture) {
    if (picture.width <= 0 || picture.height <= 0 || static_cast<png_uint_32>(picture.width) > kMaxSide ||
        static_cast<png_uint_32>(picture.height) > kMaxSide ||
        picture.argb.size() != static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height))
        return false;
    std::vector<std::uint8_t> rgba(picture.argb.size() * 4);
    for (std::size_t i = 0; i < picture.argb.size(); ++i) {
        const std::uint32_t p = picture.argb[i];
        rgba[4 * i] = static_cast<std::uint8_t>(p >> 16);
        rgba[4 * i + 1] = static_cast<std::uint8_t>(p >> 8);
        rgba[4 * i + 2] = static_cast<std::uint8_t>(p);
        rgba[4 * i + 3] = static_cast<std::uint8_t>(p >> 24);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGBA;
    const bool ok = png_image_write_to_file(&image, file.c_str(), 0, rgba.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

bool read_png(const std::filesystem::path& file, Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) {
        png_image_free(&image);
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;  // grey and RGB come out opaque
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    Picture out;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.argb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (std::size_t i = 0; i < out.argb.size(); ++i)
        out.argb[i] = std::uint32_t{rgba[4 * i + 3]} << 24 | std::uint32_t{rgba[4 * i]} << 16 |
                      std::uint32_t{rgba[4 * i + 1]} << 8 | rgba[4 * i + 2];
    picture = std::move(out);
    png_image_free(&image);
    return true;
}

}  // namespace host
