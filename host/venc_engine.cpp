// The board's video encoder. While an H.264 channel receives pictures, a
// thread of its own follows the capture channel bound (through a processing
// group) to the channel's group: at each frame's due board time it renders
// that frame, burns in the group's overlay regions, encodes it with x264
// and queues the packs as the chip would. Encoding takes no board time.
// MJPEG and JPEG channels are bookkeeping only; the system records H.264.
#include "host/venc_engine.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include "host/clock.h"
#include "host/vdec_engine.h"

namespace host::media {
namespace {

constexpr int kChannels = 64;
constexpr std::size_t kPlane = std::size_t{kCaptureWidth} * kCaptureHeight;
constexpr std::uint8_t kStartCode[] = {0, 0, 0, 1};

// BT.601, limited range, in integers.
struct Yuv {
    int y, u, v;
};
constexpr Yuv to_yuv(int r, int g, int b) {
    return Yuv{((66 * r + 129 * g + 25 * b + 128) >> 8) + 16, ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128,
               ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128};
}

constexpr int expand5(int v) { return (v << 3) | (v >> 2); }

// One ARGB1555 pixel of a region: its alpha on the 0..128 scale, its colour.
struct Dot {
    int alpha;
    Yuv c;
};
Dot region_dot(const GroupRegion& r, int rx, int ry) {
    const std::size_t at = (static_cast<std::size_t>(ry) * r.picture.width + static_cast<std::size_t>(rx)) * 2;
    const int p = r.picture.pixels[at] | r.picture.pixels[at + 1] << 8;
    const OVERLAY_CHN_ATTR_S& o = r.attr.stOverlayChn;
    const int alpha = static_cast<int>((p & 0x8000) ? o.u32FgAlpha : o.u32BgAlpha);
    return Dot{alpha, to_yuv(expand5((p >> 10) & 31), expand5((p >> 5) & 31), expand5(p & 31))};
}

std::uint8_t mix(int alpha, int over, int under) {
    return static_cast<std::uint8_t>((alpha * over + (128 - alpha) * under + 64) >> 7);
}

}  // namespace

void blend_regions(std::uint8_t* y, std::uint8_t* vu, int width, int height, std::span<const GroupRegion> regions) {
    for (const GroupRegion& r : regions) {
        // The system's regions are ARGB1555; other formats are not burned in.
        if (r.picture.format != PIXEL_FORMAT_RGB_1555) continue;
        const int rw = static_cast<int>(r.picture.width), rh = static_cast<int>(r.picture.height);
        if (r.picture.pixels.size() < static_cast<std::size_t>(rw) * static_cast<std::size_t>(rh) * 2) continue;
        const int x0 = r.attr.stOverlayChn.stPoint.s32X, y0 = r.attr.stOverlayChn.stPoint.s32Y;
        const int x1 = std::min(x0 + rw, width), y1 = std::min(y0 + rh, height);
        if (x0 < 0 || y0 < 0 || x0 >= x1 || y0 >= y1) continue;
        for (int py = y0; py < y1; ++py) {
            std::uint8_t* luma = y + static_cast<std::size_t>(py) * static_cast<std::size_t>(width);
            std::uint8_t* chroma = vu + static_cast<std::size_t>(py) * static_cast<std::size_t>(width);
            for (int px = x0; px < x1; ++px) {
                const Dot d = region_dot(r, px - x0, py - y0);
                if (d.alpha > 0) luma[px] = mix(d.alpha, d.c.y, luma[px]);
            }
            // Chroma is shared by a pixel pair: each pixel weighs in with its alpha.
            for (int pair = x0 / 2; pair * 2 < x1; ++pair) {
                int a = 0, u = 0, v = 0;
                for (int px = pair * 2; px < pair * 2 + 2; ++px) {
                    if (px < x0 || px >= x1) continue;
                    const Dot d = region_dot(r, px - x0, py - y0);
                    a += d.alpha;
                    u += d.alpha * d.c.u;
                    v += d.alpha * d.c.v;
                }
                if (a == 0) continue;
                std::uint8_t* cell = chroma + 2 * pair;  // V, then U
                cell[0] = static_cast<std::uint8_t>((v + (256 - a) * cell[0] + 128) >> 8);
                cell[1] = static_cast<std::uint8_t>((u + (256 - a) * cell[1] + 128) >> 8);
            }
        }
    }
}

void PictureEncoder::CodecFree::operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
void PictureEncoder::FrameFree::operator()(AVFrame* f) const { av_frame_free(&f); }
void PictureEncoder::PacketFree::operator()(AVPacket* p) const { av_packet_free(&p); }

PictureEncoder::PictureEncoder() = default;
PictureEncoder::~PictureEncoder() = default;

bool PictureEncoder::open(const VENC_CHN_ATTR_S& attr, std::string& why) {
    quiet_libav();
    if (attr.stVeAttr.enType != PT_H264) {
        why = "not H.264";
        return false;
    }
    const VENC_ATTR_H264_S& h = attr.stVeAttr.stAttrH264e;
    if (h.u32PicWidth > kCaptureWidth || h.u32PicHeight > kCaptureHeight || h.u32PicWidth % 2 || h.u32PicHeight % 2) {
        why = "picture " + std::to_string(h.u32PicWidth) + "x" + std::to_string(h.u32PicHeight) + " not encodable";
        return false;
    }
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        why = "no libx264";
        return false;
    }
    codec_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!codec_ || !frame_ || !packet_) {
        why = "out of memory";
        return false;
    }
    AVCodecContext* c = codec_.get();
    c->width = static_cast<int>(h.u32PicWidth);
    c->height = static_cast<int>(h.u32PicHeight);
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->max_b_frames = 0;
    c->thread_count = 1;  // the four channels run side by side instead
    const VENC_RC_ATTR_S& rc = attr.stRcAttr;
    HI_U32 gop = 0, fps = 0;
    switch (rc.enRcMode) {
    case VENC_RC_MODE_H264CBRv2: {
        const auto& r = rc.stAttrH264Cbr;
        gop = r.u32Gop;
        fps = r.fr32TargetFrmRate;
        c->bit_rate = c->rc_max_rate = std::int64_t{r.u32BitRate} * 1000;
        c->rc_buffer_size = static_cast<int>(std::min<std::int64_t>(c->rc_max_rate, INT32_MAX));
        break;
    }
    case VENC_RC_MODE_H264VBRv2: {
        // Quality first, capped: x264's constant quality under a one-second
        // buffer at the maximum rate, within the channel's QP range.
        const auto& r = rc.stAttrH264Vbr;
        gop = r.u32Gop;
        fps = r.fr32TargetFrmRate;
        c->rc_max_rate = std::int64_t{r.u32MaxBitRate} * 1000;
        c->rc_buffer_size = static_cast<int>(std::min<std::int64_t>(c->rc_max_rate, INT32_MAX));
        c->qmin = static_cast<int>(r.u32MinQp);
        c->qmax = static_cast<int>(r.u32MaxQp);
        break;
    }
    case VENC_RC_MODE_H264FIXQP: {
        const auto& r = rc.stAttrH264FixQp;
        gop = r.u32Gop;
        fps = r.fr32TargetFrmRate;
        av_opt_set_int(c->priv_data, "qp", r.u32PQp, 0);
        // x264 derives the I-frame QP from the P one by this factor.
        c->i_quant_factor = static_cast<float>(std::exp2((static_cast<double>(r.u32IQp) - r.u32PQp) / 6.0));
        break;
    }
    default: why = "rate control " + std::to_string(rc.enRcMode); return false;
    }
    // Whole frames per second, as the system sets them.
    c->time_base = AVRational{1, static_cast<int>(fps)};
    c->framerate = AVRational{static_cast<int>(fps), 1};
    c->gop_size = static_cast<int>(gop);
    static constexpr const char* kProfiles[] = {"baseline", "main", "high"};
    // superfast keeps CABAC and the 8x8 transform the profiles ask for, at
    // about 10 ms a picture; ultrafast is twice as quick but twice the size.
    av_opt_set(c->priv_data, "preset", "superfast", 0);
    av_opt_set(c->priv_data, "tune", "zerolatency", 0);
    av_opt_set(c->priv_data, "profile", kProfiles[std::min<HI_U32>(h.u32Profile, 2)], 0);
    // Key frames exactly every GOP pictures, as the chip makes them.
    av_opt_set(c->priv_data, "x264-params", "scenecut=0", 0);
    if (const int e = avcodec_open2(c, codec, nullptr); e < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(e, text, sizeof text);
        why = std::string("x264: ") + text;
        codec_.reset();
        return false;
    }
    frame_->format = AV_PIX_FMT_YUV420P;
    frame_->width = c->width;
    frame_->height = c->height;
    if (av_frame_get_buffer(frame_.get(), 0) < 0) {
        why = "out of memory";
        codec_.reset();
        return false;
    }
    // Room for any picture x264 makes of this size, so encoding never allocates.
    out_.reserve(std::size_t{h.u32PicWidth} * h.u32PicHeight * 2);
    index_ = 0;
    return true;
}

std::size_t PictureEncoder::encode(std::uint8_t* yuv422, std::span<const GroupRegion> regions, Packs& packs) {
    AVCodecContext* c = codec_.get();
    if (!c) return 0;
    std::uint8_t* y = yuv422;
    std::uint8_t* vu = yuv422 + kPlane;
    blend_regions(y, vu, kCaptureWidth, kCaptureHeight, regions);

    AVFrame* f = frame_.get();
    if (av_frame_make_writable(f) < 0) return 0;
    const auto w = static_cast<std::size_t>(c->width);
    for (int row = 0; row < c->height; ++row)
        std::memcpy(f->data[0] + static_cast<std::ptrdiff_t>(row) * f->linesize[0],
                    y + static_cast<std::size_t>(row) * kCaptureWidth, w);
    // 4:2:2 to 4:2:0: each chroma sample is the mean of two rows, rounded up.
    // Four pairs at a time in a 64-bit word ((a | b) - ((a ^ b) >> 1) is the
    // rounded-up mean of each byte): the same bytes, with an eighth of the
    // memory accesses, which is what ThreadSanitizer pays for.
    static_assert(std::endian::native == std::endian::little);
    for (int row = 0; row < c->height / 2; ++row) {
        const std::uint8_t* a = vu + static_cast<std::size_t>(2 * row) * kCaptureWidth;
        const std::uint8_t* b = a + kCaptureWidth;
        std::uint8_t* u = f->data[1] + static_cast<std::ptrdiff_t>(row) * f->linesize[1];
        std::uint8_t* v = f->data[2] + static_cast<std::ptrdiff_t>(row) * f->linesize[2];
        std::size_t x = 0;
        for (; x + 4 <= w / 2; x += 4) {
            std::uint64_t wa, wb;
            std::memcpy(&wa, a + 2 * x, 8);
            std::memcpy(&wb, b + 2 * x, 8);
            const std::uint64_t m = (wa | wb) - (((wa ^ wb) >> 1) & 0x7f7f7f7f7f7f7f7full);
            std::uint8_t vs[4], us[4];
            for (int k = 0; k < 4; ++k) {
                vs[k] = static_cast<std::uint8_t>(m >> (16 * k));
                us[k] = static_cast<std::uint8_t>(m >> (16 * k + 8));
            }
            std::memcpy(v + x, vs, 4);
            std::memcpy(u + x, us, 4);
        }
        for (; x < w / 2; ++x) {
            v[x] = static_cast<std::uint8_t>((a[2 * x] + b[2 * x] + 1) >> 1);
            u[x] = static_cast<std::uint8_t>((a[2 * x + 1] + b[2 * x + 1] + 1) >> 1);
        }
    }
    f->pts = index_++;
    if (avcodec_send_frame(c, f) < 0) return 0;
    AVPacket* p = packet_.get();
    if (avcodec_receive_packet(c, p) < 0) return 0;
    key_ = (p->flags & AV_PKT_FLAG_KEY) != 0;

    // One pack per NAL unit, each behind a four-byte start code.
    const std::uint8_t* d = p->data;
    const auto n = static_cast<std::size_t>(p->size);
    auto next_start = [&](std::size_t from) {
        for (std::size_t i = from; i + 2 < n; ++i)
            if (d[i + 2] == 1 && d[i + 1] == 0 && d[i] == 0) return i;
        return n;
    };
    out_.clear();
    std::array<std::size_t, kStreamPacks> starts{};
    std::size_t count = 0;
    for (std::size_t at = next_start(0); at < n;) {
        const std::size_t begin = at + 3;
        const std::size_t next = next_start(begin);
        std::size_t end = next;
        // Zeros before a start code belong to it (or pad), never to the unit.
        while (end > begin && d[end - 1] == 0) --end;
        if (end > begin) {
            // Past the last pack the units run on inside it.
            if (count < kStreamPacks) starts[count++] = out_.size();
            out_.insert(out_.end(), std::begin(kStartCode), std::end(kStartCode));
            out_.insert(out_.end(), d + begin, d + end);
        }
        at = next;
    }
    av_packet_unref(p);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t stop = i + 1 < count ? starts[i + 1] : out_.size();
        packs[i] = std::span<const std::uint8_t>(out_.data() + starts[i], stop - starts[i]);
    }
    return count;
}

// ---------------------------------------------------------------- the engine

namespace {

struct Worker {
    int chn = 0;
    int group = 0;
    VENC_CHN_ATTR_S attr{};
    std::uint64_t spell = 0;
    std::mutex mutex;
    std::condition_variable cv;  // told to stop
    bool stop = false;
    std::thread thread;
};

struct Engine {
    std::mutex mutex;  // starts and stops; never held by a worker
    std::array<std::unique_ptr<Worker>, kChannels> workers;
};
Engine g_engine;

// The capture channel feeding an encoder group through a processing group.
int capture_of_group(int group) {
    MPP_CHN_S proc{}, cap{};
    if (!bind_source(MPP_CHN_S{HI_ID_GROUP, group, 0}, proc) || proc.enModId != HI_ID_VPSS) return -1;
    if (!bind_source(MPP_CHN_S{HI_ID_VPSS, proc.s32DevId, 0}, cap) || cap.enModId != HI_ID_VIU) return -1;
    return cap.s32ChnId;
}

double due_time(const CaptureTiming& t, std::uint64_t frame) {
    const auto src = static_cast<std::uint64_t>(t.src), dst = static_cast<std::uint64_t>(t.dst);
    return t.epoch + static_cast<double>(frame * src / dst) / static_cast<double>(src);
}

// The first frame due at or after board time `now`.
std::uint64_t first_frame(const CaptureTiming& t, double now) {
    const double since = std::max(0.0, now - t.epoch);
    auto f = static_cast<std::uint64_t>(std::max(0.0, std::floor(since * t.dst) - 2));
    while (due_time(t, f) < now) ++f;
    return f;
}

HI_U32 target_rate(const VENC_CHN_ATTR_S& a) {
    switch (a.stRcAttr.enRcMode) {
    case VENC_RC_MODE_H264CBRv2: return a.stRcAttr.stAttrH264Cbr.fr32TargetFrmRate;
    case VENC_RC_MODE_H264VBRv2: return a.stRcAttr.stAttrH264Vbr.fr32TargetFrmRate;
    default: return a.stRcAttr.stAttrH264FixQp.fr32TargetFrmRate;
    }
}

void log_engine(int chn, const std::string& what) { board_log("media", "VENC " + std::to_string(chn) + " " + what); }

void run(Worker& w) {
    // Signals are for the system's own threads.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);

    PictureEncoder encoder;
    std::string why;
    const bool ready = encoder.open(w.attr, why);
    if (!ready) log_engine(w.chn, "cannot encode: " + why);
    const double rate = std::max<HI_U32>(target_rate(w.attr), 1);
    std::vector<std::uint8_t> picture(kCaptureFrameBytes);
    std::vector<GroupRegion> regions;
    PictureEncoder::Packs packs{};

    // Where the pictures come from, and which picture of that schedule is next.
    int source = -1;
    CaptureTiming timing{};
    std::uint64_t first = 0, taken = 0;
    std::uint64_t encoded = 0;
    bool logged = false;

    std::unique_lock lock(w.mutex);
    while (!w.stop) {
        const double now = host::board_uptime();
        const int cap = ready ? capture_of_group(w.group) : -1;
        CaptureTiming t{};
        if (cap < 0 || !capture_timing(cap, t) || t.src <= 0 || t.dst <= 0) {
            // Nothing to encode yet: look again a picture later.
            source = -1;
            host::clock::wait_until(lock, w.cv, now + 1.0 / rate, [&] { return w.stop; });
            continue;
        }
        if (cap != source || t.epoch != timing.epoch || t.src != timing.src || t.dst != timing.dst) {
            source = cap;
            timing = t;
            first = first_frame(t, now);
            taken = 0;
            if (!logged)
                log_engine(w.chn, "encoding VI " + std::to_string(cap) + " from frame " + std::to_string(first));
            logged = true;
        }
        // The channel keeps `rate` of the capture's `dst` frames a second.
        const double keep = std::min(rate, static_cast<double>(t.dst));
        const std::uint64_t frame =
            first + static_cast<std::uint64_t>(std::floor(static_cast<double>(taken) * t.dst / keep));
        const double due = due_time(t, frame);
        if (host::clock::wait_until(lock, w.cv, due, [&] { return w.stop; })) break;
        ++taken;
        lock.unlock();
        capture_render(cap, frame, picture.data());
        const std::size_t n_regions = rgn_shown_on_group(w.group, regions);
        const std::size_t n = encoder.encode(picture.data(), std::span(regions.data(), n_regions), packs);
        // A picture the reader has no room for is lost (and counted); the
        // chip goes on with the next one as if nothing happened.
        if (n > 0) {
            venc_queue_stream(w.chn, std::span(packs.data(), n), static_cast<std::uint64_t>(std::llround(due * 1e6)));
            ++encoded;
        }
        lock.lock();
    }
    if (logged) log_engine(w.chn, "encoder stopped after " + std::to_string(encoded) + " pictures");
}

void stop_worker(std::unique_ptr<Worker>& w) {
    {
        std::lock_guard lock(w->mutex);
        w->stop = true;
        w->cv.notify_all();
        host::clock::poke(w->cv);
    }
    w->thread.join();
    w.reset();
}

void sync_locked(int chn) {
    VENC_CHN_ATTR_S attr{};
    int group = -1;
    std::uint64_t spell = 0;
    const bool wanted = venc_encoding_wanted(chn, attr, group, spell);
    std::unique_ptr<Worker>& w = g_engine.workers[static_cast<std::size_t>(chn)];
    // A new spell starts afresh, so its first picture is a key frame.
    if (w && (!wanted || w->spell != spell)) stop_worker(w);
    if (wanted && !w) {
        w = std::make_unique<Worker>();
        w->chn = chn;
        w->group = group;
        w->attr = attr;
        w->spell = spell;
        w->thread = std::thread(run, std::ref(*w));
    }
}

}  // namespace

void venc_engine_sync(int chn) {
    if (chn < 0 || chn >= kChannels) return;
    std::lock_guard lock(g_engine.mutex);
    sync_locked(chn);
}

void venc_engine_sync_all() {
    std::lock_guard lock(g_engine.mutex);
    for (int chn = 0; chn < kChannels; ++chn) sync_locked(chn);
}

}  // namespace host::media
