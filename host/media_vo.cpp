// Video outputs: devices with their timing, video layers, channels and
// write-back. Device 0 feeds the panel picture that the display part draws.
// A channel shows the pictures queued for it (playback) at its frame rate in
// board time; what it shows is worked out whenever someone looks, so no
// thread has to tick for it.
#include <algorithm>
#include <array>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "host/clock.h"
#include "host/media_parts.h"
#include "host/vdec_engine.h"

namespace host::media {
namespace {

constexpr int kDevices = 3;
constexpr int kChannels = 16;
constexpr HI_U32 kKnownInterfaces = 0xFF;  // CVBS .. LCD, HDMI
constexpr HI_U32 kMaxWidth = 1920;
constexpr HI_U32 kMaxHeight = 1200;

// Pictures a channel holds besides the one it shows; a decoder feeding a
// full channel waits, so playback runs at the channel's rate.
constexpr std::size_t kQueueDepth = 4;

struct Queued {
    PicturePtr picture;
    double arrived = 0;
};

struct Channel {
    bool attr_set = false;
    VO_CHN_ATTR_S attr{};
    bool enabled = false;
    bool paused = false;
    std::uint32_t steps = 0;  // asked for and not shown yet
    double stepped_at = 0;
    HI_S32 frame_rate = 0;  // 0: the layer's rate
    std::deque<Queued> queue;
    PicturePtr shown;
    double shown_at = 0;
    std::uint64_t shown_count = 0;
    // Pictures follow one another at anchor + k / rate while they come in time.
    double anchor = 0;
    std::uint64_t since_anchor = 0;

    // Back to an enabled channel's start: nothing queued or shown.
    void clear() {
        queue.clear();
        shown.reset();
        shown_count = 0;
        steps = 0;
        paused = false;
        frame_rate = 0;
    }
};

struct Device {
    bool pub_set = false;
    VO_PUB_ATTR_S pub{};
    bool enabled = false;
    bool layer_set = false;
    VO_VIDEO_LAYER_ATTR_S layer{};
    bool layer_enabled = false;
    std::array<Channel, kChannels> chn{};
    bool wbc_set = false;
    VO_WBC_ATTR_S wbc{};
    bool wbc_enabled = false;
};

struct Vo {
    std::mutex mutex;
    std::array<Device, kDevices> dev{};
};
Vo g_vo;

constexpr HI_S32 err(HI_ERR_CODE code) { return hi_err(HI_ID_VOU, code); }

// The active area of a timing.
void timing_size(const VO_PUB_ATTR_S& p, int& width, int& height) {
    switch (p.enIntfSync) {
    case VO_OUTPUT_PAL: width = 720; height = 576; return;
    case VO_OUTPUT_NTSC: width = 720; height = 480; return;
    case VO_OUTPUT_USER: break;
    default: {
        // The standard HD and computer timings, codes 2 to 18.
        static constexpr int kSize[17][2] = {
            {1920, 1080}, {1920, 1080}, {1920, 1080}, {1280, 720}, {1280, 720}, {1920, 1080}, {1920, 1080},
            {1920, 1080}, {1920, 1080}, {720, 576},   {720, 480},  {800, 600},  {1024, 768}, {1280, 1024},
            {1366, 768},  {1440, 900},  {1280, 800}};
        width = kSize[p.enIntfSync - VO_OUTPUT_1080P24][0];
        height = kSize[p.enIntfSync - VO_OUTPUT_1080P24][1];
        return;
    }
    }
    width = p.stSyncInfo.u16Hact;
    height = p.stSyncInfo.u16Vact;
}

std::string timing_name(const VO_PUB_ATTR_S& p) {
    int w = 0, h = 0;
    timing_size(p, w, h);
    const char* name = p.enIntfSync == VO_OUTPUT_PAL    ? "PAL"
                       : p.enIntfSync == VO_OUTPUT_NTSC ? "NTSC"
                       : p.enIntfSync == VO_OUTPUT_USER ? "user timing"
                                                        : "standard timing";
    return std::string(name) + " " + std::to_string(w) + "x" + std::to_string(h);
}

bool rect_inside(const RECT_S& r, std::uint64_t width, std::uint64_t height) {
    return r.s32X >= 0 && r.s32Y >= 0 && r.u32Width > 0 && r.u32Height > 0 &&
           static_cast<std::uint64_t>(r.s32X) + r.u32Width <= width &&
           static_cast<std::uint64_t>(r.s32Y) + r.u32Height <= height;
}

HI_S32 find_device(VO_DEV dev, Device*& out) {
    if (dev < 0 || dev >= kDevices) return err(EN_ERR_INVALID_DEVID);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    out = &g_vo.dev[static_cast<std::size_t>(dev)];
    return HI_SUCCESS;
}

HI_S32 find_channel(VO_DEV dev, VO_CHN chn, Device*& d, Channel*& out) {
    if (dev < 0 || dev >= kDevices) return err(EN_ERR_INVALID_DEVID);
    if (chn < 0 || chn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (HI_S32 r = find_device(dev, d)) return r;
    out = &d->chn[static_cast<std::size_t>(chn)];
    return HI_SUCCESS;
}

void log_device(VO_DEV dev, const std::string& what) { board_log("media", "VO " + std::to_string(dev) + " " + what); }

// Switches the layer's channels off with it.
int disable_channels(Device& d) {
    int n = 0;
    for (Channel& c : d.chn) {
        if (!c.enabled) continue;
        c.enabled = false;
        c.clear();
        ++n;
    }
    return n;
}

double period(const Device& d, const Channel& c) {
    const HI_S32 rate = c.frame_rate > 0 ? c.frame_rate : static_cast<HI_S32>(d.layer.u32DispFrmRt);
    return 1.0 / std::max<HI_S32>(rate, 1);
}

// When the next queued picture is due, if it came in time.
double next_due(const Device& d, const Channel& c) {
    if (!c.shown) return -clock::kNever;
    return c.anchor + static_cast<double>(c.since_anchor + 1) * period(d, c);
}

void show(const Device& d, Channel& c, double at) {
    if (c.shown && at == next_due(d, c)) {
        ++c.since_anchor;
    } else {
        c.anchor = at;
        c.since_anchor = 0;
    }
    c.shown = std::move(c.queue.front().picture);
    c.queue.pop_front();
    c.shown_at = at;
    ++c.shown_count;
}

// Shows what has become due by board time `now`: one picture per period
// while running, the pictures asked for by steps while paused.
void advance(const Device& d, Channel& c, double now) {
    while (!c.queue.empty()) {
        double at = c.queue.front().arrived;
        if (c.paused) {
            if (c.steps == 0) break;
            --c.steps;
            at = std::max(at, c.stepped_at);
        } else {
            at = std::max(at, next_due(d, c));
            if (at > now) break;
        }
        show(d, c, at);
    }
}

// Channels only run on an enabled layer; used by pause, resume, step and
// rate, which start from what the channel shows now.
HI_S32 running_channel(VO_DEV dev, VO_CHN chn, Device*& d, Channel*& out) {
    if (HI_S32 r = find_channel(dev, chn, d, out)) return r;
    if (!out->enabled) return err(EN_ERR_NOT_PERM);
    advance(*d, *out, board_uptime());
    return HI_SUCCESS;
}

// The part of the screen a channel covers: its rectangle in the layer's
// image, scaled to where the layer is shown.
RECT_S on_screen(const Device& d, const Channel& c) {
    const RECT_S& disp = d.layer.stDispRect;
    const std::int64_t iw = std::max<HI_U32>(d.layer.stImageSize.u32Width, 1);
    const std::int64_t ih = std::max<HI_U32>(d.layer.stImageSize.u32Height, 1);
    const RECT_S& r = c.attr.stRect;
    const std::int64_t x0 = r.s32X * std::int64_t{disp.u32Width} / iw;
    const std::int64_t y0 = r.s32Y * std::int64_t{disp.u32Height} / ih;
    const std::int64_t x1 = (r.s32X + std::int64_t{r.u32Width}) * disp.u32Width / iw;
    const std::int64_t y1 = (r.s32Y + std::int64_t{r.u32Height}) * disp.u32Height / ih;
    return RECT_S{static_cast<HI_S32>(disp.s32X + x0), static_cast<HI_S32>(disp.s32Y + y0),
                  static_cast<HI_U32>(x1 - x0), static_cast<HI_U32>(y1 - y0)};
}

// BT.601, limited range, in integers.
std::uint32_t to_argb(int y, int u, int v) {
    const int c = 298 * (y - 16) + 128, d = u - 128, e = v - 128;
    auto clamp = [](int x) { return static_cast<std::uint32_t>(std::clamp(x >> 8, 0, 255)); };
    return 0xFF000000u | clamp(c + 409 * e) << 16 | clamp(c - 100 * d - 208 * e) << 8 | clamp(c + 516 * d);
}

// Draws `pic` scaled (nearest) into `r` of the panel, black without one.
void draw(Picture& panel, const RECT_S& r, const PicturePtr& pic) {
    const std::int64_t x0 = std::max<std::int64_t>(r.s32X, 0), y0 = std::max<std::int64_t>(r.s32Y, 0);
    const std::int64_t x1 = std::min<std::int64_t>(r.s32X + std::int64_t{r.u32Width}, panel.width);
    const std::int64_t y1 = std::min<std::int64_t>(r.s32Y + std::int64_t{r.u32Height}, panel.height);
    for (std::int64_t y = y0; y < y1; ++y) {
        std::uint32_t* out = panel.argb.data() + static_cast<std::size_t>(y * panel.width);
        if (!pic) {
            std::fill(out + x0, out + x1, 0xFF000000u);
            continue;
        }
        const std::int64_t sy = (y - r.s32Y) * pic->height / r.u32Height;
        const auto cw = static_cast<std::size_t>((pic->width + 1) / 2);
        const std::uint8_t* luma = pic->y.data() + static_cast<std::size_t>(sy * pic->width);
        const std::uint8_t* u = pic->u.data() + static_cast<std::size_t>(sy / 2) * cw;
        const std::uint8_t* v = pic->v.data() + static_cast<std::size_t>(sy / 2) * cw;
        for (std::int64_t x = x0; x < x1; ++x) {
            const auto sx = static_cast<std::size_t>((x - r.s32X) * pic->width / r.u32Width);
            out[x] = to_argb(luma[sx], u[sx / 2], v[sx / 2]);
        }
    }
}

}  // namespace

void vo_reset() {
    std::lock_guard lock(g_vo.mutex);
    g_vo.dev = {};
}

}  // namespace host::media

namespace host {

HdOutput hd_output() {
    std::lock_guard lock(media::g_vo.mutex);
    const media::Device& d = media::g_vo.dev[0];
    HdOutput out;
    out.enabled = d.enabled && d.layer_enabled;
    if (d.pub_set) {
        media::timing_size(d.pub, out.width, out.height);
        out.background = d.pub.u32BgColor;
    }
    return out;
}

void hd_draw_video(Picture& panel) {
    struct Shown {
        RECT_S rect;
        media::PicturePtr picture;
    };
    std::vector<Shown> shown;
    {
        std::lock_guard lock(media::g_vo.mutex);
        media::Device& d = media::g_vo.dev[0];
        if (!d.enabled || !d.layer_enabled) return;
        const double now = board_uptime();
        for (media::Channel& c : d.chn) {
            if (!c.enabled) continue;
            media::advance(d, c, now);
            shown.push_back(Shown{media::on_screen(d, c), c.shown});
        }
    }
    for (const Shown& s : shown) media::draw(panel, s.rect, s.picture);
}

}  // namespace host

namespace host::media {

Offer vo_offer_picture(int dev, int chn, const PicturePtr& picture, double& retry_at) {
    if (dev < 0 || dev >= kDevices || chn < 0 || chn >= kChannels) return Offer::closed;
    std::lock_guard lock(g_vo.mutex);
    Device& d = g_vo.dev[static_cast<std::size_t>(dev)];
    Channel& c = d.chn[static_cast<std::size_t>(chn)];
    if (!d.layer_enabled || !c.enabled) return Offer::closed;
    const double now = board_uptime();
    advance(d, c, now);
    if (c.queue.size() >= kQueueDepth) {
        retry_at = c.paused ? clock::kNever : next_due(d, c);
        return Offer::full;
    }
    c.queue.push_back(Queued{picture, now});
    advance(d, c, now);
    return Offer::taken;
}

std::size_t vo_queued(int dev, int chn) {
    if (dev < 0 || dev >= kDevices || chn < 0 || chn >= kChannels) return 0;
    std::lock_guard lock(g_vo.mutex);
    Device& d = g_vo.dev[static_cast<std::size_t>(dev)];
    Channel& c = d.chn[static_cast<std::size_t>(chn)];
    advance(d, c, board_uptime());
    return c.queue.size();
}

ShownPicture vo_shown(int dev, int chn) {
    if (dev < 0 || dev >= kDevices || chn < 0 || chn >= kChannels) return {};
    std::lock_guard lock(g_vo.mutex);
    Device& d = g_vo.dev[static_cast<std::size_t>(dev)];
    Channel& c = d.chn[static_cast<std::size_t>(chn)];
    advance(d, c, board_uptime());
    return ShownPicture{c.shown, c.shown_count, c.shown_at};
}

}  // namespace host::media

using host::board_log;
using namespace host::media;

HI_S32 HI_MPI_VO_SetPubAttr(VO_DEV VoDev, const VO_PUB_ATTR_S* pstPubAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (VoDev < 0 || VoDev >= kDevices) return err(EN_ERR_INVALID_DEVID);
    if (!pstPubAttr) return err(EN_ERR_NULL_PTR);
    const VO_PUB_ATTR_S& p = *pstPubAttr;
    if (p.enIntfType == 0 || (p.enIntfType & ~kKnownInterfaces) != 0) return err(EN_ERR_ILLEGAL_PARAM);
    if (p.enIntfSync < VO_OUTPUT_PAL || (p.enIntfSync > VO_OUTPUT_1280x800_60 && p.enIntfSync != VO_OUTPUT_USER))
        return err(EN_ERR_ILLEGAL_PARAM);
    if (p.enIntfSync == VO_OUTPUT_USER &&
        (p.stSyncInfo.u16Hact == 0 || p.stSyncInfo.u16Vact == 0 || p.stSyncInfo.u16Hact > kMaxWidth ||
         p.stSyncInfo.u16Vact > kMaxHeight))
        return err(EN_ERR_ILLEGAL_PARAM);
    if (p.bDoubleFrame != HI_FALSE && p.bDoubleFrame != HI_TRUE) return err(EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_vo.mutex);
    Device* d = nullptr;
    if (HI_S32 r = find_device(VoDev, d)) return r;
    // The timing of a running device cannot change under it.
    if (d->enabled) return err(EN_ERR_NOT_PERM);
    d->pub = p;
    d->pub_set = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_Enable(VO_DEV VoDev) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    std::string timing;
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        if (HI_S32 r = find_device(VoDev, d)) return r;
        if (!d->pub_set) return err(EN_ERR_NOT_CONFIG);
        if (d->enabled) return HI_SUCCESS;
        d->enabled = true;
        timing = timing_name(d->pub);
    }
    log_device(VoDev, "enabled, " + timing);
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_Disable(VO_DEV VoDev) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    bool wbc_was_on = false;
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        if (HI_S32 r = find_device(VoDev, d)) return r;
        // Never enabled is fine: an output restart disables first.
        if (!d->enabled) return HI_SUCCESS;
        if (d->layer_enabled) return err(EN_ERR_NOT_PERM);
        d->enabled = false;
        wbc_was_on = d->wbc_enabled;
        d->wbc_enabled = false;
    }
    log_device(VoDev, wbc_was_on ? "disabled, write-back stopped with it" : "disabled");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_SetVideoLayerAttr(VO_DEV VoDev, const VO_VIDEO_LAYER_ATTR_S* pstLayerAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (VoDev < 0 || VoDev >= kDevices) return err(EN_ERR_INVALID_DEVID);
    if (!pstLayerAttr) return err(EN_ERR_NULL_PTR);
    const VO_VIDEO_LAYER_ATTR_S& a = *pstLayerAttr;
    if (a.u32DispFrmRt == 0 || a.u32DispFrmRt > 240) return err(EN_ERR_ILLEGAL_PARAM);
    if (a.stImageSize.u32Width == 0 || a.stImageSize.u32Height == 0 || a.stImageSize.u32Width > kMaxWidth ||
        a.stImageSize.u32Height > kMaxHeight)
        return err(EN_ERR_ILLEGAL_PARAM);
    if (a.enPixFormat != PIXEL_FORMAT_YUV_SEMIPLANAR_422 && a.enPixFormat != PIXEL_FORMAT_YUV_SEMIPLANAR_420)
        return err(EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_vo.mutex);
    Device* d = nullptr;
    if (HI_S32 r = find_device(VoDev, d)) return r;
    if (!d->enabled) return err(EN_ERR_NOT_PERM);
    int width = 0, height = 0;
    timing_size(d->pub, width, height);
    if (!rect_inside(a.stDispRect, static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)))
        return err(EN_ERR_ILLEGAL_PARAM);
    d->layer = a;
    d->layer_set = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_EnableVideoLayer(VO_DEV VoDev) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    RECT_S rect{};
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        if (HI_S32 r = find_device(VoDev, d)) return r;
        if (!d->enabled) return err(EN_ERR_NOT_PERM);
        if (!d->layer_set) return err(EN_ERR_NOT_CONFIG);
        if (d->layer_enabled) return HI_SUCCESS;
        d->layer_enabled = true;
        rect = d->layer.stDispRect;
    }
    log_device(VoDev, "video layer enabled, " + std::to_string(rect.u32Width) + "x" + std::to_string(rect.u32Height) +
                          " at " + std::to_string(rect.s32X) + "," + std::to_string(rect.s32Y));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_DisableVideoLayer(VO_DEV VoDev) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    int stopped = 0;
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        if (HI_S32 r = find_device(VoDev, d)) return r;
        if (!d->layer_enabled) return HI_SUCCESS;
        d->layer_enabled = false;
        stopped = disable_channels(*d);
    }
    log_device(VoDev, stopped ? "video layer disabled with " + std::to_string(stopped) + " channel(s)"
                              : std::string("video layer disabled"));
    vdec_output_changed();
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_SetChnAttr(VO_DEV VoDev, VO_CHN VoChn, const VO_CHN_ATTR_S* pstChnAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstChnAttr) return err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_vo.mutex);
    Device* d = nullptr;
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VoDev, VoChn, d, c)) return r;
    if (!d->layer_enabled) return err(EN_ERR_NOT_PERM);
    const VO_CHN_ATTR_S& a = *pstChnAttr;
    if (a.u32Priority > 31 || (a.bDeflicker != HI_FALSE && a.bDeflicker != HI_TRUE) ||
        !rect_inside(a.stRect, d->layer.stImageSize.u32Width, d->layer.stImageSize.u32Height))
        return err(EN_ERR_ILLEGAL_PARAM);
    c->attr = a;
    c->attr_set = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_EnableChn(VO_DEV VoDev, VO_CHN VoChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VoDev, VoChn, d, c)) return r;
        if (!d->layer_enabled) return err(EN_ERR_NOT_PERM);
        if (!c->attr_set) return err(EN_ERR_NOT_CONFIG);
        if (c->enabled) return HI_SUCCESS;
        c->enabled = true;
        c->clear();
    }
    log_device(VoDev, "channel " + std::to_string(VoChn) + " enabled");
    vdec_output_changed();
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_DisableChn(VO_DEV VoDev, VO_CHN VoChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VoDev, VoChn, d, c)) return r;
        if (!c->enabled) return HI_SUCCESS;
        c->enabled = false;
        c->clear();
    }
    log_device(VoDev, "channel " + std::to_string(VoChn) + " disabled");
    vdec_output_changed();
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_SetWbcAttr(VO_DEV VoDev, const VO_WBC_ATTR_S* pstWbcAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (VoDev < 0 || VoDev >= kDevices) return err(EN_ERR_INVALID_DEVID);
    if (!pstWbcAttr) return err(EN_ERR_NULL_PTR);
    const VO_WBC_ATTR_S& a = *pstWbcAttr;
    if (a.stTargetSize.u32Width == 0 || a.stTargetSize.u32Height == 0 || a.stTargetSize.u32Width > kMaxWidth ||
        a.stTargetSize.u32Height > kMaxHeight || a.u32FrameRate == 0 || a.u32FrameRate > 60 ||
        (a.enPixelFormat != PIXEL_FORMAT_YUV_SEMIPLANAR_422 && a.enPixelFormat != PIXEL_FORMAT_YUV_SEMIPLANAR_420))
        return err(EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_vo.mutex);
    Device* d = nullptr;
    if (HI_S32 r = find_device(VoDev, d)) return r;
    if (d->wbc_enabled) return err(EN_ERR_NOT_PERM);
    d->wbc = a;
    d->wbc_set = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_EnableWbc(VO_DEV VoDev) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    SIZE_S size{};
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        if (HI_S32 r = find_device(VoDev, d)) return r;
        if (!d->wbc_set) return err(EN_ERR_NOT_CONFIG);
        if (!d->enabled) return err(EN_ERR_NOT_PERM);
        if (d->wbc_enabled) return HI_SUCCESS;
        d->wbc_enabled = true;
        size = d->wbc.stTargetSize;
    }
    log_device(VoDev, "write-back enabled, " + std::to_string(size.u32Width) + "x" + std::to_string(size.u32Height));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_DisableWbc(VO_DEV VoDev) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        if (HI_S32 r = find_device(VoDev, d)) return r;
        if (!d->wbc_enabled) return HI_SUCCESS;
        d->wbc_enabled = false;
    }
    log_device(VoDev, "write-back disabled");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_ChnPause(VO_DEV VoDev, VO_CHN VoChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        Channel* c = nullptr;
        if (HI_S32 r = running_channel(VoDev, VoChn, d, c)) return r;
        if (c->paused) return HI_SUCCESS;
        c->paused = true;
    }
    log_device(VoDev, "channel " + std::to_string(VoChn) + " paused");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_ChnResume(VO_DEV VoDev, VO_CHN VoChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        Channel* c = nullptr;
        if (HI_S32 r = running_channel(VoDev, VoChn, d, c)) return r;
        if (!c->paused) return HI_SUCCESS;
        c->paused = false;
        c->steps = 0;
        // The picture on show stays one more period.
        c->anchor = host::board_uptime();
        c->since_anchor = 0;
    }
    log_device(VoDev, "channel " + std::to_string(VoChn) + " resumed");
    vdec_output_changed();
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_ChnStep(VO_DEV VoDev, VO_CHN VoChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        Channel* c = nullptr;
        if (HI_S32 r = running_channel(VoDev, VoChn, d, c)) return r;
        // Stepping shows the next picture, or the next to come, and leaves
        // the channel paused.
        c->paused = true;
        ++c->steps;
        c->stepped_at = host::board_uptime();
        advance(*d, *c, c->stepped_at);
    }
    vdec_output_changed();
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_SetChnFrameRate(VO_DEV VoDev, VO_CHN VoChn, HI_S32 s32ChnFrmRate) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (s32ChnFrmRate <= 0 || s32ChnFrmRate > 240) return err(EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_vo.mutex);
        Device* d = nullptr;
        Channel* c = nullptr;
        if (HI_S32 r = running_channel(VoDev, VoChn, d, c)) return r;
        if (c->frame_rate == s32ChnFrmRate) return HI_SUCCESS;
        c->frame_rate = s32ChnFrmRate;
        // The next picture follows the one on show at the new rate.
        c->anchor = c->shown_at;
        c->since_anchor = 0;
    }
    log_device(VoDev, "channel " + std::to_string(VoChn) + " at " + std::to_string(s32ChnFrmRate) + " frames/s");
    vdec_output_changed();
    return HI_SUCCESS;
}
