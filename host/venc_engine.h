// The board's H.264 encoder for one channel: a captured picture with the
// group's overlay regions burned in, through x264, cut into the packs the
// chip hands out. The engine's threads use it; the benchmark drives it alone.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/media_parts.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace host::media {

// At most this many packs per picture; the chip folds the rest into the last.
constexpr std::size_t kStreamPacks = 8;

class PictureEncoder {
public:
    using Packs = std::array<std::span<const std::uint8_t>, kStreamPacks>;

    PictureEncoder();
    ~PictureEncoder();
    PictureEncoder(const PictureEncoder&) = delete;
    PictureEncoder& operator=(const PictureEncoder&) = delete;

    // Sets x264 up for an H.264 channel's attributes; false, with the reason,
    // when it cannot.
    bool open(const VENC_CHN_ATTR_S& attr, std::string& why);
    // Encodes one captured 1280 x 720 4:2:2 semi-planar picture (its top-left
    // part when the channel is smaller). `regions` are burned into `yuv422`
    // first. Fills `packs` (valid until the next call) and returns how many;
    // 0 when x264 gave nothing.
    std::size_t encode(std::uint8_t* yuv422, std::span<const GroupRegion> regions, Packs& packs);
    bool last_was_key() const { return key_; }

private:
    struct CodecFree {
        void operator()(AVCodecContext* c) const;
    };
    struct FrameFree {
        void operator()(AVFrame* f) const;
    };
    struct PacketFree {
        void operator()(AVPacket* p) const;
    };
    std::unique_ptr<AVCodecContext, CodecFree> codec_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
    std::vector<std::uint8_t> out_;  // the packs, one after another
    std::int64_t index_ = 0;
    bool key_ = false;
};

// Burns the regions into a 4:2:2 semi-planar picture of `width` x `height`
// (luma stride and chroma stride `width`).
void blend_regions(std::uint8_t* y, std::uint8_t* vu, int width, int height, std::span<const GroupRegion> regions);

}  // namespace host::media
