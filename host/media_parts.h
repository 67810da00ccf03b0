// What the media platform's files share with each other; not for the rest of
// the board.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <source_location>
#include <string_view>
#include <span>
#include <string>
#include <vector>

#include "host/internal.h"
#include "host/video_picture.h"
#include "platform/mpi.h"

namespace host::media {

// Every platform operation starts with its failure-injection point, named by
// the operation itself: the injected code, or `fitting` when none was given.
inline std::optional<HI_S32> fail_point(HI_S32 fitting, std::source_location where = std::source_location::current()) {
    // The function name comes as "HI_S32 HI_MPI_VI_GetFrame(VI_CHN, ...)".
    std::string_view name = where.function_name();
    name = name.substr(0, name.find('('));
    name = name.substr(name.rfind(' ') + 1);
    if (auto code = ::host::take_failure(std::string(name)))
        return *code ? static_cast<HI_S32>(*code) : fitting;
    return std::nullopt;
}

}  // namespace host::media

namespace host::media {

// The capture pacing, taken at power-on.
bool board_paced();

// True between HI_MPI_SYS_Init and HI_MPI_SYS_Exit.
bool sys_ready();

// A block of a video buffer pool. The tag says what the block holds, so the
// capture can skip redrawing what is already there.
struct PoolBlock {
    std::uint32_t phys = 0;
    std::uint8_t* virt = nullptr;
    std::uint32_t pool = 0;
    std::uint64_t tag = 0;
};
// Takes a free block of at least `min_size` bytes, preferring one tagged
// `wanted_tag`; false when none is free.
bool vb_take(std::uint32_t min_size, std::uint64_t wanted_tag, PoolBlock& out);
void vb_give(std::uint32_t phys, std::uint64_t tag);

// The source bound to a destination, if any.
bool bind_source(const MPP_CHN_S& dest, MPP_CHN_S& src);

// Module resets: on HI_MPI_SYS_Exit and at power-off.
void vi_reset();
void vpss_reset();
void vo_reset();
void venc_reset();
void vdec_reset();
void rgn_reset();
// Power-off only: capture sources, counters and the encoder statistics file.
void capture_power_off();
void venc_power_on();

// An overlay region's picture (rows packed, width x bytes per pixel) and size.
struct RegionPicture {
    PIXEL_FORMAT_E format = PIXEL_FORMAT_RGB_1555;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;
};
bool rgn_picture(RGN_HANDLE handle, RegionPicture& out);
// Whether the region is attached to the encoder group, and how.
bool rgn_attachment(RGN_HANDLE handle, int group, RGN_CHN_ATTR_S& out);
// A region shown on an encoder group: how it is attached, and its picture.
struct GroupRegion {
    RGN_HANDLE handle = 0;
    RGN_CHN_ATTR_S attr{};
    RegionPicture picture;
};
// The regions shown on encoder group `group`, lowest layer first, copied into
// the first entries of `out` (their buffers are reused, so a kept vector
// costs no allocation once it has grown). Returns how many.
std::size_t rgn_shown_on_group(int group, std::vector<GroupRegion>& out);

// What the encoder needs to follow a capture channel's frames: output frame
// f is due at epoch + floor(f * src / dst) / src board seconds.
struct CaptureTiming {
    double epoch = 0;
    int src = 0;
    int dst = 0;
};
constexpr int kCaptureWidth = 1280;
constexpr int kCaptureHeight = 720;
constexpr std::size_t kCaptureFrameBytes = std::size_t{2} * kCaptureWidth * kCaptureHeight;
// False while the channel is not capturing.
bool capture_timing(int chn, CaptureTiming& out);
// Fills frame `frame` of capture channel `chn` into `out` (kCaptureFrameBytes),
// as a get of that frame would show it, without taking a pool block or moving
// any source on. False for a channel that does not exist.
bool capture_render(int chn, std::uint64_t frame, std::uint8_t* out);

// Queues one encoded stream (its packs in order) on an encoder channel, as
// the encoder does for every picture; false when the channel cannot take it.
bool venc_queue_stream(int chn, std::span<const std::span<const std::uint8_t>> packs, std::uint64_t pts);
// Whether an encoder channel takes pictures now (an H.264 channel registered
// to a group and receiving), with its attributes, group and the count of its
// receiving spell (new for every start).
bool venc_encoding_wanted(int chn, VENC_CHN_ATTR_S& attr, int& group, std::uint64_t& spell);
// The encoder engine: brings a channel's encoding thread in line with its
// state, starting or stopping (and joining) it. Called after every change,
// never with the encoder's lock held.
void venc_engine_sync(int chn);
void venc_engine_sync_all();

// The first destination of module `mod` bound to `src`, if any.
bool bind_destination(const MPP_CHN_S& src, MOD_ID_E mod, MPP_CHN_S& dest);
// Whether pictures pass through channel `chn` of processing group `grp`: the
// group started and the channel enabled. The board's groups pass them unchanged.
bool vpss_passes(int grp, int chn);

// Hands a decoded picture to output channel `chn` of device `dev`: taken;
// full, with the board time from which it has room (kNever while paused);
// closed while the channel shows nothing.
enum class Offer { taken, full, closed };
Offer vo_offer_picture(int dev, int chn, const PicturePtr& picture, double& retry_at);
// Pictures queued on an output channel, not shown yet.
std::size_t vo_queued(int dev, int chn);
// What an output channel shows now: the picture, how many it has shown since
// it was enabled, and the board time the picture came up.
struct ShownPicture {
    PicturePtr picture;
    std::uint64_t count = 0;
    double at = 0;
};
ShownPicture vo_shown(int dev, int chn);
// An output channel changed how it takes pictures: decoders waiting on it look again.
void vdec_output_changed();

}  // namespace host::media
