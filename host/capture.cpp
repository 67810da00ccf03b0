// Video capture: two capture devices of four channels each, delivering
// 1280 x 720 YUV 4:2:2 semi-planar frames in pool blocks, and the sources
// that fill them (test pattern, raw YUV files, a renderer, no signal).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/clock.h"
#include "host/media_parts.h"
#include "platform/mpi_ext.h"
#include "host/scene.h"

namespace host::media {
namespace {

constexpr int kDevices = 2;
constexpr int kChannels = 8;
constexpr int kChannelsPerDevice = 4;
constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr std::size_t kPlane = std::size_t{kWidth} * kHeight;
constexpr std::size_t kFrameBytes = 2 * kPlane;
constexpr HI_U32 kMaxDepth = 8;

// ---------------------------------------------------------------- the test pattern

struct Yuv {
    std::uint8_t y, u, v;
};

// One clearly different colour per channel; none has luma 16, which the
// system reads as a lost signal.
constexpr std::array<Yuv, kChannels> kColours = {{
    {81, 90, 240},    // 0 left: red
    {145, 54, 34},    // 1 right: green
    {170, 166, 16},   // 2: cyan
    {106, 202, 222},  // 3: magenta
    {41, 240, 110},   // 4 back: blue
    {210, 16, 146},   // 5 front: yellow
    {128, 128, 128},  // 6: grey
    {165, 42, 179},   // 7: orange
}};
constexpr std::array<char, kChannels> kLabels = {'L', 'R', '2', '3', 'B', 'F', '6', '7'};

constexpr std::uint8_t kWhite = 235;
constexpr std::uint8_t kPanel = 40;  // the counter's dark background

// The camera letter: 5 x 7 cells of 40 pixels.
constexpr int kLetterX = 60, kLetterY = 220, kLetterScale = 40;
// The frame counter: six digits of 5 x 7 cells of 16 pixels on a dark panel.
constexpr int kDigits = 6;
constexpr int kDigitScale = 16;
constexpr int kDigitPitch = 6 * kDigitScale;
constexpr int kPanelMargin = 16;
constexpr int kPanelX = 520, kPanelY = 288;
constexpr int kPanelW = kPanelMargin * 2 + kDigits * kDigitPitch - kDigitScale;
constexpr int kPanelH = kPanelMargin * 2 + 7 * kDigitScale;

using Glyph = std::array<std::uint8_t, 7>;  // rows, bit 4 = leftmost column

const Glyph& glyph(char c) {
    static constexpr std::array<Glyph, 10> digits = {{
        {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},
        {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
        {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
        {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
        {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
        {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
        {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
        {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
        {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
        {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    }};
    static constexpr Glyph L = {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F};
    static constexpr Glyph R = {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11};
    static constexpr Glyph B = {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E};
    static constexpr Glyph F = {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10};
    switch (c) {
    case 'L': return L;
    case 'R': return R;
    case 'B': return B;
    case 'F': return F;
    default: return digits[static_cast<std::size_t>(c >= '0' && c <= '9' ? c - '0' : 0)];
    }
}

// Paints a rectangle of luma and, when `uv` is given, of chroma. x and w even.
void paint(std::uint8_t* y, std::uint8_t* uv, int x, int top, int w, int h, Yuv c) {
    for (int row = top; row < top + h; ++row) {
        std::memset(y + static_cast<std::size_t>(row) * kWidth + x, c.y, static_cast<std::size_t>(w));
        if (!uv) continue;
        std::uint8_t* p = uv + static_cast<std::size_t>(row) * kWidth + x;
        // Each pair's chroma is one little-endian word with U in its high byte:
        // V comes first in memory.
        for (int i = 0; i < w; i += 2) {
            p[i] = c.v;
            p[i + 1] = c.u;
        }
    }
}

void draw_glyph(std::uint8_t* y, std::uint8_t* uv, char ch, int x, int top, int scale, Yuv c) {
    const Glyph& g = glyph(ch);
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
            if (g[static_cast<std::size_t>(row)] & (0x10 >> col))
                paint(y, uv, x + col * scale, top + row * scale, scale, scale, c);
}

// The part of the pattern that changes from frame to frame: luma only, the
// panel's chroma stays neutral.
void draw_counter(std::uint8_t* y, std::uint64_t frame) {
    paint(y, nullptr, kPanelX, kPanelY, kPanelW, kPanelH, Yuv{kPanel, 128, 128});
    std::uint64_t v = frame % 1000000;
    for (int i = kDigits - 1; i >= 0; --i) {
        const char d = static_cast<char>('0' + v % 10);
        v /= 10;
        draw_glyph(y, nullptr, d, kPanelX + kPanelMargin + i * kDigitPitch, kPanelY + kPanelMargin, kDigitScale,
                   Yuv{kWhite, 128, 128});
    }
}

std::unique_ptr<std::vector<std::uint8_t>> make_pattern(int chn) {
    auto frame = std::make_unique<std::vector<std::uint8_t>>(kFrameBytes);
    std::uint8_t* y = frame->data();
    std::uint8_t* uv = y + kPlane;
    const Yuv colour = kColours[static_cast<std::size_t>(chn)];
    paint(y, uv, 0, 0, kWidth, kHeight, colour);
    const char label = kLabels[static_cast<std::size_t>(chn)];
    draw_glyph(y, uv, label, kLetterX, kLetterY, kLetterScale, Yuv{kWhite, 128, 128});
    // Small copies all over, so any part of the picture still tells the camera.
    constexpr int kSmall = 6, kSmallW = 5 * kSmall, kSmallH = 7 * kSmall;
    auto overlaps = [](int x, int top, int rx, int ry, int rw, int rh) {
        return x < rx + rw && x + kSmallW > rx && top < ry + rh && top + kSmallH > ry;
    };
    for (int top = 24; top + kSmallH <= kHeight; top += 120)
        for (int x = 24; x + kSmallW <= kWidth; x += 160)
            if (!overlaps(x, top, kLetterX, kLetterY, 5 * kLetterScale, 7 * kLetterScale) &&
                !overlaps(x, top, kPanelX, kPanelY, kPanelW, kPanelH))
                draw_glyph(y, uv, label, x, top, kSmall, Yuv{kWhite, 128, 128});
    paint(y, uv, kPanelX, kPanelY, kPanelW, kPanelH, Yuv{kPanel, 128, 128});
    return frame;
}

void fill_no_signal(std::uint8_t* frame, std::size_t from = 0) {
    if (from < kPlane) std::memset(frame + from, 16, kPlane - from);
    const std::size_t uv_from = from > kPlane ? from : kPlane;
    std::memset(frame + uv_from, 128, kFrameBytes - uv_from);
}

// ---------------------------------------------------------------- sources

struct YuvFile {
    int fd = -1;
    std::uint64_t frames = 0;
    std::uint64_t next = 0;  // the file's next frame to play
    std::string path;
    ~YuvFile() {
        if (fd >= 0) ::close(fd);
    }
};

enum class Kind { Pattern, Renderer, File };

struct Sources {
    std::array<Kind, kChannels> kind{};
    std::array<std::shared_ptr<YuvFile>, kChannels> file{};
    std::shared_ptr<const FrameRenderer> renderer;
    std::array<bool, kChannels> signal{};
    std::array<std::unique_ptr<std::vector<std::uint8_t>>, kChannels> pattern{};
    Sources() { signal.fill(true); }
};

// What one delivery has to put into its block, decided under the lock and
// done outside it.
struct Job {
    enum { NoSignal, Pattern, Renderer, File } kind = NoSignal;
    const std::vector<std::uint8_t>* pattern = nullptr;
    std::shared_ptr<YuvFile> file;
    std::uint64_t file_frame = 0;
    std::shared_ptr<const FrameRenderer> renderer;
};

constexpr std::uint64_t pattern_tag(int chn) { return 0x100u + static_cast<std::uint64_t>(chn); }

// ---------------------------------------------------------------- capture state

struct HeldFrame {
    std::uint32_t phys = 0;
    std::uint64_t tag = 0;
};

struct Channel {
    bool attr_set = false;
    VI_CHN_ATTR_S attr{};
    bool enabled = false;
    HI_U32 depth = 0;
    std::array<HeldFrame, kMaxDepth> held{};
    std::uint32_t n_held = 0;
    std::uint32_t pending = 0;  // gets under way
    std::uint64_t next_frame = 0;
    double epoch = 0;           // board time of frame 0
    std::uint64_t last_pts = 0;
};

struct Dev {
    bool attr_set = false;
    VI_DEV_ATTR_S attr{};
    bool enabled = false;
};

struct Vi {
    std::mutex mutex;
    std::condition_variable changed;  // a get finished, or the capture was reset
    std::uint64_t generation = 0;
    int in_flight = 0;                // gets that hold a pool block outside the lock
    std::array<Dev, kDevices> dev{};
    std::array<Channel, kChannels> chn{};
    Sources src;
    std::array<std::atomic<std::uint64_t>, kChannels> delivered{};
};
Vi g_vi;

constexpr HI_S32 err(HI_ERR_CODE code) { return hi_err(HI_ID_VIU, code); }

bool is_bool(HI_BOOL b) { return b == HI_FALSE || b == HI_TRUE; }

void log_vi(const std::string& what) { board_log("media", "VI " + what); }

// The capture keeps `dst` of every `src` source frames, so output frame f is
// source frame floor(f * src / dst).
std::uint64_t source_frame(std::uint64_t f, std::uint64_t src, std::uint64_t dst) { return f * src / dst; }

// The newest output frame taken by source frame s.
std::uint64_t latest_frame(std::uint64_t s, std::uint64_t src, std::uint64_t dst) {
    return ((s + 1) * dst + src - 1) / src - 1;
}

Job plan(int chn, std::uint64_t block_tag, std::uint64_t& out_tag) {
    Sources& s = g_vi.src;
    const auto i = static_cast<std::size_t>(chn);
    Job job;
    out_tag = 0;
    if (!s.signal[i]) return job;
    if (s.kind[i] == Kind::File && s.file[i]) {
        job.kind = Job::File;
        job.file = s.file[i];
        job.file_frame = job.file->next++ % job.file->frames;
        return job;
    }
    if (s.kind[i] == Kind::Renderer && s.renderer && *s.renderer) {
        job.kind = Job::Renderer;
        job.renderer = s.renderer;
        return job;
    }
    if (!s.pattern[i]) s.pattern[i] = make_pattern(chn);
    job.kind = Job::Pattern;
    // A block that already holds this channel's pattern only needs its counter.
    job.pattern = block_tag == pattern_tag(chn) ? nullptr : s.pattern[i].get();
    out_tag = pattern_tag(chn);
    return job;
}

void fill(const Job& job, int chn, std::uint64_t frame, std::uint8_t* block) {
    switch (job.kind) {
    case Job::NoSignal: fill_no_signal(block); return;
    case Job::Pattern:
        if (job.pattern) std::memcpy(block, job.pattern->data(), kFrameBytes);
        draw_counter(block, frame);
        return;
    case Job::Renderer: (*job.renderer)(chn, frame, block, block + kPlane); return;
    case Job::File: {
        std::size_t got = 0;
        const off_t start = static_cast<off_t>(job.file_frame * kFrameBytes);
        while (got < kFrameBytes) {
            const ssize_t n = ::pread(job.file->fd, block + got, kFrameBytes - got, start + static_cast<off_t>(got));
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        // A file cut short under us shows as lost signal for the rest.
        if (got < kFrameBytes) fill_no_signal(block, got);
        return;
    }
    }
}

void finish_flight(std::unique_lock<std::mutex>&) {
    --g_vi.in_flight;
    g_vi.changed.notify_all();
}

}  // namespace

void vi_reset() {
    std::vector<HeldFrame> blocks;
    {
        std::unique_lock lock(g_vi.mutex);
        ++g_vi.generation;
        g_vi.changed.notify_all();
        host::clock::poke(g_vi.changed);
        // Gets under way notice the new generation and hand their blocks back.
        g_vi.changed.wait(lock, [] { return g_vi.in_flight == 0; });
        for (Channel& c : g_vi.chn)
            for (std::uint32_t i = 0; i < c.n_held; ++i) blocks.push_back(c.held[i]);
        g_vi.dev = {};
        g_vi.chn = {};
    }
    for (const HeldFrame& h : blocks) vb_give(h.phys, h.tag);
}

void capture_power_off() {
    std::lock_guard lock(g_vi.mutex);
    g_vi.src = Sources{};
    for (auto& d : g_vi.delivered) d = 0;
}

static_assert(kCaptureWidth == kWidth && kCaptureHeight == kHeight && kCaptureFrameBytes == kFrameBytes);

bool capture_timing(int chn, CaptureTiming& out) {
    if (chn < 0 || chn >= kChannels) return false;
    std::lock_guard lock(g_vi.mutex);
    const Channel& c = g_vi.chn[static_cast<std::size_t>(chn)];
    if (!c.enabled) return false;
    out = CaptureTiming{c.epoch, c.attr.s32SrcFrameRate, c.attr.s32FrameRate};
    return true;
}

bool capture_render(int chn, std::uint64_t frame, std::uint8_t* out) {
    if (chn < 0 || chn >= kChannels) return false;
    Job job;
    {
        std::lock_guard lock(g_vi.mutex);
        Sources& s = g_vi.src;
        const auto i = static_cast<std::size_t>(chn);
        if (!s.signal[i]) {
            job.kind = Job::NoSignal;
        } else if (s.kind[i] == Kind::File && s.file[i]) {
            // A file plays one of its frames per captured frame, round and round.
            job.kind = Job::File;
            job.file = s.file[i];
            job.file_frame = frame % job.file->frames;
        } else if (s.kind[i] == Kind::Renderer && s.renderer && *s.renderer) {
            job.kind = Job::Renderer;
            job.renderer = s.renderer;
        } else {
            if (!s.pattern[i]) s.pattern[i] = make_pattern(chn);
            // Copied here: power-off may drop the pattern once the lock is gone.
            std::memcpy(out, s.pattern[i]->data(), kFrameBytes);
            job.kind = Job::Pattern;
        }
    }
    fill(job, chn, frame, out);
    return true;
}

}  // namespace host::media

// ---------------------------------------------------------------- sources

namespace host {

void capture_use_pattern() {
    std::lock_guard lock(media::g_vi.mutex);
    media::Sources& s = media::g_vi.src;
    s.kind.fill(media::Kind::Pattern);
    s.file = {};
    s.renderer.reset();
}

void capture_use_renderer(FrameRenderer renderer) {
    auto shared = renderer ? std::make_shared<const FrameRenderer>(std::move(renderer)) : nullptr;
    std::lock_guard lock(media::g_vi.mutex);
    media::Sources& s = media::g_vi.src;
    s.renderer = std::move(shared);
    s.kind.fill(s.renderer ? media::Kind::Renderer : media::Kind::Pattern);
    s.file = {};
}

void capture_use_scene() {
    scene::prerender();
    capture_use_renderer(scene::renderer());
}

Picture camera_picture(int channel) {
    Picture pic;
    if (channel < 0 || channel >= media::kChannels) return pic;
    media::Job job;
    std::uint64_t frame = 0;
    {
        std::lock_guard lock(media::g_vi.mutex);
        media::Sources& s = media::g_vi.src;
        const auto i = static_cast<std::size_t>(channel);
        frame = media::g_vi.delivered[i].load();
        if (!s.signal[i]) {
            job.kind = media::Job::NoSignal;
        } else if (s.kind[i] == media::Kind::File && s.file[i]) {
            // The frame the capture delivers next, without taking it.
            job.kind = media::Job::File;
            job.file = s.file[i];
            job.file_frame = job.file->next % job.file->frames;
        } else if (s.kind[i] == media::Kind::Renderer && s.renderer && *s.renderer) {
            job.kind = media::Job::Renderer;
            job.renderer = s.renderer;
        } else {
            if (!s.pattern[i]) s.pattern[i] = media::make_pattern(channel);
            job.kind = media::Job::Pattern;
            job.pattern = s.pattern[i].get();
        }
    }
    std::vector<std::uint8_t> yuv(media::kFrameBytes);
    media::fill(job, channel, frame, yuv.data());
    pic.width = media::kWidth;
    pic.height = media::kHeight;
    pic.argb.resize(media::kPlane);
    auto clamp = [](int v) { return v < 0 ? 0u : v > 255 ? 255u : static_cast<std::uint32_t>(v); };
    for (std::size_t p = 0; p < media::kPlane; ++p) {
        // Chroma words hold V at the even byte and U at the odd one.
        const std::size_t pair = media::kPlane + (p & ~std::size_t{1});
        const int c = yuv[p] - 16, d = yuv[pair + 1] - 128, e = yuv[pair] - 128;
        pic.argb[p] = 0xFF000000u | clamp((298 * c + 409 * e + 128) >> 8) << 16 |
                      clamp((298 * c - 100 * d - 208 * e + 128) >> 8) << 8 | clamp((298 * c + 516 * d + 128) >> 8);
    }
    return pic;
}

bool capture_use_yuv_file(int channel, const std::filesystem::path& file) {
    if (channel < 0 || channel >= media::kChannels) return false;
    auto f = std::make_shared<media::YuvFile>();
    f->path = file.string();
    f->fd = ::open(f->path.c_str(), O_RDONLY | O_CLOEXEC);
    if (f->fd < 0) return false;
    struct stat st {};
    if (::fstat(f->fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // A partial frame at the end is never played.
    f->frames = static_cast<std::uint64_t>(st.st_size) / media::kFrameBytes;
    if (f->frames == 0) return false;
    const std::uint64_t frames = f->frames;
    {
        std::lock_guard lock(media::g_vi.mutex);
        const auto i = static_cast<std::size_t>(channel);
        media::g_vi.src.file[i] = std::move(f);
        media::g_vi.src.kind[i] = media::Kind::File;
    }
    board_log("media", "capture channel " + std::to_string(channel) + " plays " + file.string() + " (" +
                           std::to_string(frames) + " frames)");
    return true;
}

void capture_set_signal(int channel, bool present) {
    if (channel < 0 || channel >= media::kChannels) return;
    {
        std::lock_guard lock(media::g_vi.mutex);
        bool& s = media::g_vi.src.signal[static_cast<std::size_t>(channel)];
        if (s == present) return;
        s = present;
    }
    board_log("media", "capture channel " + std::to_string(channel) + (present ? " signal back" : " signal lost"));
}

std::uint64_t capture_frames_delivered(int channel) {
    if (channel < 0 || channel >= media::kChannels) return 0;
    return media::g_vi.delivered[static_cast<std::size_t>(channel)].load();
}

}  // namespace host

// ---------------------------------------------------------------- the seam

using host::board_log;
using namespace host::media;

HI_S32 HI_MPI_VI_SetDevAttr(VI_DEV ViDev, const VI_DEV_ATTR_S* pstDevAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (ViDev < 0 || ViDev >= kDevices) return err(EN_ERR_INVALID_DEVID);
    if (!pstDevAttr) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    const VI_DEV_ATTR_S& a = *pstDevAttr;
    if (a.enIntfMode < VI_MODE_BT656 || a.enIntfMode > VI_MODE_DIGITAL_CAMERA ||
        a.enWorkMode < VI_WORK_MODE_1Multiplex || a.enWorkMode > VI_WORK_MODE_4Multiplex ||
        (a.enScanMode != VI_SCAN_INTERLACED && a.enScanMode != VI_SCAN_PROGRESSIVE) || !is_bool(a.bDataRev))
        return err(EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_vi.mutex);
    Dev& d = g_vi.dev[static_cast<std::size_t>(ViDev)];
    if (d.enabled) return err(EN_ERR_NOT_PERM);
    d.attr = a;
    d.attr_set = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VI_EnableDev(VI_DEV ViDev) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (ViDev < 0 || ViDev >= kDevices) return err(EN_ERR_INVALID_DEVID);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    {
        std::lock_guard lock(g_vi.mutex);
        Dev& d = g_vi.dev[static_cast<std::size_t>(ViDev)];
        if (!d.attr_set) return err(EN_ERR_NOT_CONFIG);
        if (d.enabled) return HI_SUCCESS;
        d.enabled = true;
    }
    log_vi("device " + std::to_string(ViDev) + " enabled");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VI_SetChnAttr(VI_CHN ViChn, const VI_CHN_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (ViChn < 0 || ViChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!pstAttr) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    const VI_CHN_ATTR_S& a = *pstAttr;
    const RECT_S& r = a.stCapRect;
    // The cameras are 720p: the capture window lies inside their picture and
    // the output is no larger than the window.
    if (r.s32X < 0 || r.s32Y < 0 || r.u32Width == 0 || r.u32Height == 0 ||
        static_cast<std::uint64_t>(r.s32X) + r.u32Width > kWidth ||
        static_cast<std::uint64_t>(r.s32Y) + r.u32Height > kHeight)
        return err(EN_ERR_ILLEGAL_PARAM);
    if (a.stDestSize.u32Width == 0 || a.stDestSize.u32Height == 0 || a.stDestSize.u32Width > r.u32Width ||
        a.stDestSize.u32Height > r.u32Height)
        return err(EN_ERR_ILLEGAL_PARAM);
    if (a.enPixFormat != PIXEL_FORMAT_YUV_SEMIPLANAR_422 && a.enPixFormat != PIXEL_FORMAT_YUV_SEMIPLANAR_420)
        return err(EN_ERR_ILLEGAL_PARAM);
    if (a.enCapSel < VI_CAPSEL_TOP || a.enCapSel > VI_CAPSEL_BOTH || !is_bool(a.bMirror) || !is_bool(a.bFlip) ||
        !is_bool(a.bChromaResample))
        return err(EN_ERR_ILLEGAL_PARAM);
    if (a.s32SrcFrameRate <= 0 || a.s32SrcFrameRate > 60 || a.s32FrameRate <= 0 || a.s32FrameRate > a.s32SrcFrameRate)
        return err(EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_vi.mutex);
    Channel& c = g_vi.chn[static_cast<std::size_t>(ViChn)];
    c.attr = a;
    c.attr_set = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VI_EnableChn(VI_CHN ViChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (ViChn < 0 || ViChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    HI_S32 src = 0, dst = 0;
    {
        std::lock_guard lock(g_vi.mutex);
        Channel& c = g_vi.chn[static_cast<std::size_t>(ViChn)];
        if (!c.attr_set) return err(EN_ERR_NOT_CONFIG);
        if (!g_vi.dev[static_cast<std::size_t>(ViChn / kChannelsPerDevice)].enabled) return err(EN_ERR_NOT_PERM);
        if (c.enabled) return HI_SUCCESS;
        c.enabled = true;
        c.epoch = host::board_uptime();
        c.next_frame = 0;
        c.last_pts = 0;
        src = c.attr.s32SrcFrameRate;
        dst = c.attr.s32FrameRate;
    }
    log_vi("channel " + std::to_string(ViChn) + " enabled, " + std::to_string(dst) + " of " + std::to_string(src) +
           " frames/s");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VI_SetFrameDepth(VI_CHN ViChn, HI_U32 u32Depth) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (ViChn < 0 || ViChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (u32Depth > kMaxDepth) return err(EN_ERR_ILLEGAL_PARAM);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    std::lock_guard lock(g_vi.mutex);
    g_vi.chn[static_cast<std::size_t>(ViChn)].depth = u32Depth;
    return HI_SUCCESS;
}

namespace {

// The frame a paced fetch on the channel gets, and the board time it is due: the newest
// frame already captured, unless that one was delivered: then the next one.
struct DueFrame {
    std::uint64_t frame;
    double due;
};
DueFrame next_due(Channel& c) {
    const auto src = static_cast<std::uint64_t>(c.attr.s32SrcFrameRate);
    const auto dst = static_cast<std::uint64_t>(c.attr.s32FrameRate);
    const double since = host::board_uptime() - c.epoch;
    const auto now_source = static_cast<std::uint64_t>(std::max(0.0, std::floor(since * static_cast<double>(src))));
    const std::uint64_t frame = std::max(c.next_frame, latest_frame(now_source, src, dst));
    c.next_frame = frame + 1;
    return {frame, c.epoch + static_cast<double>(source_frame(frame, src, dst)) / static_cast<double>(src)};
}

// On the board a fetch fails only after its wait for a frame: an injected failure of a
// paced, enabled channel waits as long, so a loop that keeps failing keeps the capture's pace.
void wait_like_a_fetch(VI_CHN ViChn) {
    if (ViChn < 0 || ViChn >= kChannels || !sys_ready() || !board_paced()) return;
    std::unique_lock lock(g_vi.mutex);
    Channel& c = g_vi.chn[static_cast<std::size_t>(ViChn)];
    if (!c.enabled) return;
    const std::uint64_t generation = g_vi.generation;
    const double due = next_due(c).due;
    host::clock::wait_until(lock, g_vi.changed, due, [&] { return g_vi.generation != generation; });
}

}  // namespace

HI_S32 HI_MPI_VI_GetFrame(VI_CHN ViChn, VIDEO_FRAME_INFO_S* pstFrameInfo) {
    if (auto fail_ = fail_point(err(EN_ERR_BUF_EMPTY))) {
        wait_like_a_fetch(ViChn);
        return *fail_;
    }
    if (ViChn < 0 || ViChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!pstFrameInfo) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);

    std::unique_lock lock(g_vi.mutex);
    Channel& c = g_vi.chn[static_cast<std::size_t>(ViChn)];
    if (!c.enabled) return err(EN_ERR_NOT_PERM);
    if (c.n_held + c.pending >= c.depth) return err(EN_ERR_BUF_EMPTY);
    const std::uint64_t generation = g_vi.generation;
    ++c.pending;
    ++g_vi.in_flight;

    // Which frame, and when it is due.
    std::uint64_t frame = 0;
    std::uint64_t pts = 0;
    if (board_paced()) {
        const auto [next, due] = next_due(c);
        frame = next;
        pts = static_cast<std::uint64_t>(std::llround(due * 1e6));
        host::clock::wait_until(lock, g_vi.changed, due, [&] { return g_vi.generation != generation; });
    } else {
        frame = c.next_frame++;
        pts = std::max(static_cast<std::uint64_t>(std::llround(host::board_uptime() * 1e6)), c.last_pts + 1);
    }
    if (g_vi.generation != generation) {
        finish_flight(lock);
        return err(EN_ERR_SYS_NOTREADY);
    }

    PoolBlock block;
    if (!vb_take(static_cast<std::uint32_t>(kFrameBytes), pattern_tag(ViChn), block)) {
        --c.pending;
        finish_flight(lock);
        return err(EN_ERR_NOMEM);
    }
    std::uint64_t tag = 0;
    const Job job = plan(ViChn, block.tag, tag);
    lock.unlock();
    fill(job, ViChn, frame, block.virt);
    lock.lock();

    if (g_vi.generation != generation) {
        vb_give(block.phys, tag);
        finish_flight(lock);
        return err(EN_ERR_SYS_NOTREADY);
    }
    --c.pending;
    c.held[c.n_held++] = HeldFrame{block.phys, tag};
    c.last_pts = std::max(c.last_pts, pts);
    finish_flight(lock);
    lock.unlock();
    g_vi.delivered[static_cast<std::size_t>(ViChn)].fetch_add(1);

    VIDEO_FRAME_INFO_S info{};
    VIDEO_FRAME_S& v = info.stVFrame;
    v.u32Width = kWidth;
    v.u32Height = kHeight;
    v.enPixelFormat = PIXEL_FORMAT_YUV_SEMIPLANAR_422;
    v.u32PhyAddr[0] = block.phys;
    v.u32PhyAddr[1] = block.phys + static_cast<std::uint32_t>(kPlane);
    v.pVirAddr[0] = block.virt;
    v.pVirAddr[1] = block.virt + kPlane;
    v.u32Stride[0] = kWidth;
    v.u32Stride[1] = kWidth;
    v.u64pts = pts;
    v.u32TimeRef = static_cast<HI_U32>(frame * 2);
    info.u32PoolId = block.pool;
    *pstFrameInfo = info;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VI_ReleaseFrame(VI_CHN ViChn, const VIDEO_FRAME_INFO_S* pstFrameInfo) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (ViChn < 0 || ViChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!pstFrameInfo) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    HeldFrame frame;
    {
        std::lock_guard lock(g_vi.mutex);
        Channel& c = g_vi.chn[static_cast<std::size_t>(ViChn)];
        std::uint32_t i = 0;
        while (i < c.n_held && c.held[i].phys != pstFrameInfo->stVFrame.u32PhyAddr[0]) ++i;
        if (i == c.n_held) return err(EN_ERR_ILLEGAL_PARAM);
        frame = c.held[i];
        c.held[i] = c.held[--c.n_held];
    }
    vb_give(frame.phys, frame.tag);
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VI_DisableChn(VI_CHN ViChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (ViChn < 0 || ViChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    {
        std::lock_guard lock(g_vi.mutex);
        Channel& c = g_vi.chn[static_cast<std::size_t>(ViChn)];
        // Frames the caller still holds must come back first.
        if (c.n_held > 0 || c.pending > 0) return err(EN_ERR_BUSY);
        if (!c.enabled) return HI_SUCCESS;
        c.enabled = false;
    }
    log_vi("channel " + std::to_string(ViChn) + " disabled");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VI_DisableDev(VI_DEV ViDev) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (ViDev < 0 || ViDev >= kDevices) return err(EN_ERR_INVALID_DEVID);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    {
        std::lock_guard lock(g_vi.mutex);
        for (int i = 0; i < kChannelsPerDevice; ++i)
            if (g_vi.chn[static_cast<std::size_t>(ViDev * kChannelsPerDevice + i)].enabled) return err(EN_ERR_NOT_PERM);
        Dev& d = g_vi.dev[static_cast<std::size_t>(ViDev)];
        if (!d.enabled) return HI_SUCCESS;
        d.enabled = false;
    }
    log_vi("device " + std::to_string(ViDev) + " disabled");
    return HI_SUCCESS;
}
