#include "dsp/dsp_image.h"

#include <cmath>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstring>
#include <initializer_list>

std::uint32_t bili_b = 256, bili_b_u = 256, bili_b_v = 256;
std::uint32_t bili_l = 256, bili_l_u = 256, bili_l_v = 256;
std::uint32_t bili_t = 256, bili_t_u = 256, bili_t_v = 256;
std::uint32_t bili_r = 256, bili_r_u = 256, bili_r_v = 256;

namespace {

// Cameras in the order of the statistics arrays.
enum Cam { B = 0, L = 1, F = 2, R = 3 };

// The largest offset whose 2 x 2 neighbourhood lies inside a camera plane.
constexpr std::uint32_t kMaxAddr = CAM_W * CAM_H - CAM_W - 2;

struct Plane {
    const std::uint8_t* y;
    const std::uint16_t* uv;
};

struct Gain {
    std::uint32_t y, u, v;
};

struct Sample {
    std::uint32_t y, u, v;
};

inline Sample sample(const Plane& p, std::uint32_t a, const Y_bili& w) {
    // A damaged table must not make us read outside the plane.
    if (a > kMaxAddr) a = kMaxAddr;
    const std::uint8_t* y = p.y + a;
    const std::uint32_t yy = (y[0] * w.Y_tl + y[1] * w.Y_tr + y[CAM_W] * w.Y_bl + y[CAM_W + 1] * w.Y_br) >> 8;
    const std::uint16_t c = p.uv[a >> 1];
    return {yy, static_cast<std::uint32_t>(c >> 8), static_cast<std::uint32_t>(c & 0xFF)};
}

inline std::uint32_t scaled(std::uint32_t v, std::uint32_t gain) {
    const std::uint32_t s = (v * gain) >> 8;
    return s > 255 ? 255 : s;
}

inline std::uint32_t lookup(std::uint32_t y, std::uint32_t u, std::uint32_t v) {
    return (y << 14) | ((u >> 1) << 7) | (v >> 1);
}

inline bool near_grey(std::uint32_t c) { return c >= 109 && c <= 147; }

// A gain is stored as trunc(g x 256). The compositor saturates at 255 for any
// gain of 255 x 256 or more, so capping there changes no pixel while keeping
// the products inside 32 bits; a gain that is not a number is neutral.
std::uint32_t store_gain(double g) {
    const double v = g * 256.0;
    if (std::isnan(v)) return 256;
    if (!(v > 0)) return 0;
    if (v >= 65535.0) return 65535;
    return static_cast<std::uint32_t>(v);
}

// A sum weighted by the ring ratios, truncated to an unsigned 64-bit integer
// (0 when it is not a finite number).
std::uint64_t weighted_sum(double d) {
    if (!std::isfinite(d) || d < 1.0) return 0;
    if (d >= 18446744073709551615.0) return UINT64_MAX;
    return static_cast<std::uint64_t>(d);
}

// Ratios that take each camera to its neighbour's level round the car.
struct Ratios {
    double l, f, r;
};

Ratios ring_ratios(const double m[4][5]) {
    // m[camera][corner], corners 1 bl, 2 br, 3 fl, 4 fr.
    const double q = std::sqrt(std::sqrt((m[R][4] * m[F][3] * m[L][1] * m[B][2]) /
                                         (m[R][2] * m[B][1] * m[L][3] * m[F][4])));
    Ratios r;
    r.l = q * m[B][1] / m[L][1];
    r.f = q * m[L][3] * r.l / m[F][3];
    r.r = q * m[F][4] * r.f / m[R][4];
    return r;
}

}  // namespace

void cul_bili(double y, double x, std::uint32_t* addr_Y, Y_bili* ybili) {
    const unsigned xi = static_cast<unsigned>(x);
    const unsigned yi = static_cast<unsigned>(y);
    const double fx = x - xi, fy = y - yi;
    *addr_Y = xi + yi * CAM_W;
    ybili->Y_tr = static_cast<std::uint8_t>(static_cast<unsigned>(fx * (1 - fy) * 255));
    ybili->Y_bl = static_cast<std::uint8_t>(static_cast<unsigned>((1 - fx) * fy * 255));
    ybili->Y_br = static_cast<std::uint8_t>(static_cast<unsigned>(fx * fy * 255));
    ybili->Y_tl = static_cast<std::uint8_t>(255 - ybili->Y_tr - ybili->Y_bl - ybili->Y_br);
}

namespace {

// Kind-1 slots 0, 2, 4, 6 are back, front, left, right.
constexpr Cam kSlot[4] = {B, F, L, R};
// Kinds 2..5.
constexpr Cam kKind[4] = {B, L, F, R};
// Corners 1..4: first and second camera.
constexpr Cam kCornerA[5] = {B, B, B, F, F};
constexpr Cam kCornerB[5] = {L, L, R, L, R};

// What one walk over a range of rows needs and gathers.
struct Walk {
    std::uint32_t* pimage;
    const Image_table* table;
    const Plane* planes;
    const Gain* gain;
    const std::uint32_t* yuv2rgb;
};

struct Stats : FrameStats {
    void add(const Stats& o) {
        for (int c = 0; c < 4; ++c) {
            ysum[c] += o.ysum[c];
            usum[c] += o.usum[c];
            vsum[c] += o.vsum[c];
            count[c] += o.count[c];
        }
        for (int k = 0; k < 5; ++k) {
            for (int i = 0; i < 2; ++i) {
                cy[k][i] += o.cy[k][i];
                cu[k][i] += o.cu[k][i];
                cv[k][i] += o.cv[k][i];
            }
            ccount[k] += o.ccount[k];
        }
    }
};

// 3. Compose rows first..last, gathering their statistics.
void compose_rows(const Walk& w, int first, int last, Stats& st) {
    const Plane* planes = w.planes;
    const Gain* gain = w.gain;
    const std::uint32_t* ptable_YUV2RGB = w.yuv2rgb;
    for (int row = first; row <= last; ++row) {
        const Image_table* e = w.table + row * TABLE_W + COMPOSE_LEFT;
        std::uint32_t* out = w.pimage + row * TABLE_W + COMPOSE_LEFT;
        for (int col = COMPOSE_LEFT; col <= COMPOSE_RIGHT; ++col, ++e, ++out) {
            const unsigned kind = (e->pic_num >> 4) & 0x0F;
            switch (kind) {
            case KIND_COLOUR:
                *out = e->YUV_default;
                break;
            case KIND_CAMERA: {
                const unsigned slot = e->pic_num & 0x0E;
                if (slot >= 8) break;
                const Sample s = sample(planes[kSlot[slot >> 1]], e->Addr_Y, e->ybili);
                // Weights from a damaged table may sum past 255: stay inside the lookup table.
                *out = ptable_YUV2RGB[lookup(s.y, s.u, s.v) & 0x3FFFFF];
                break;
            }
            case KIND_BACK:
            case KIND_LEFT:
            case KIND_FRONT:
            case KIND_RIGHT: {
                const Cam c = kKind[kind - KIND_BACK];
                const Sample s = sample(planes[c], e->Addr_Y, e->ybili);
                st.ysum[c] += s.y;
                ++st.count[c];
                if (near_grey(s.u)) st.usum[c] += s.u;
                if (near_grey(s.v)) st.vsum[c] += s.v;
                const Gain& g = gain[c];
                *out = ptable_YUV2RGB[lookup(scaled(s.y, g.y), scaled(s.u, g.u), scaled(s.v, g.v))];
                break;
            }
            case KIND_CORNER: {
                const unsigned corner = e->pic_num & 0x0F;
                if (corner < 1 || corner > 4) break;
                const Cam ca = kCornerA[corner], cb = kCornerB[corner];
                const Sample a = sample(planes[ca], e->Addr_Y, e->ybili);
                const Sample b = sample(planes[cb], e->Addr_Y2, e->ybili2);
                st.cy[corner][0] += a.y;
                st.cu[corner][0] += a.u;
                st.cv[corner][0] += a.v;
                st.cy[corner][1] += b.y;
                st.cu[corner][1] += b.u;
                st.cv[corner][1] += b.v;
                ++st.ccount[corner];
                const Gain& ga = gain[ca];
                const Gain& gb = gain[cb];
                const std::uint32_t wa = e->qz, wb = 256u - e->qz;
                const std::uint32_t sy = wa * scaled(a.y, ga.y) + wb * scaled(b.y, gb.y);
                const std::uint32_t su = wa * scaled(a.u, ga.u) + wb * scaled(b.u, gb.u);
                const std::uint32_t sv = wa * scaled(a.v, ga.v) + wb * scaled(b.v, gb.v);
                // The mask keeps a weight above 256 from a damaged table inside the lookup table.
                *out = ptable_YUV2RGB[(((sy >> 8) << 14) | ((su >> 9) << 7) | (sv >> 9)) & 0x3FFFFF];
                break;
            }
            default:
                break;
            }
        }
    }
}

// A helper thread that composes the lower half of the rows when asked.
class RowHelper {
public:
    ~RowHelper() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void start(const Walk& w, int first, int last) {
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
        std::lock_guard lock(mutex_);
        walk_ = w;
        first_ = first;
        last_ = last;
        stats_ = Stats{};
        busy_ = true;
        wake_.notify_all();
    }

    const Stats& finish() {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return !busy_; });
        return stats_;
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return busy_ || quit_; });
            if (quit_) return;
            const Walk w = walk_;
            const int first = first_, last = last_;
            Stats st;
            lock.unlock();
            compose_rows(w, first, last, st);
            lock.lock();
            stats_ = st;
            busy_ = false;
            done_.notify_all();
        }
    }

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    Walk walk_{};
    int first_ = 0, last_ = 0;
    Stats stats_;
    bool busy_ = false, quit_ = false;
};

std::atomic<int> g_threads{1};

}  // namespace

void set_image_threads(int threads) { g_threads = threads >= 2 ? 2 : 1; }

void set_image(std::uint32_t* pimage, const Image_table* table, const std::uint8_t* pY_t, const std::uint16_t* pUV_t,
               const std::uint8_t* pY_b, const std::uint16_t* pUV_b, const std::uint8_t* pY_l,
               const std::uint16_t* pUV_l, const std::uint8_t* pY_r, const std::uint16_t* pUV_r,
               const std::uint32_t* ptable_YUV2RGB) {
    const Plane planes[4] = {{pY_b, pUV_b}, {pY_l, pUV_l}, {pY_t, pUV_t}, {pY_r, pUV_r}};
    const Gain gain[4] = {{bili_b, bili_b_u, bili_b_v},
                          {bili_l, bili_l_u, bili_l_v},
                          {bili_t, bili_t_u, bili_t_v},
                          {bili_r, bili_r_u, bili_r_v}};
    const Walk walk{pimage, table, planes, gain, ptable_YUV2RGB};

    // 3. Compose, on two threads when asked: the helper takes the lower rows
    // while this thread does the signal test and window sums and the upper rows.
    Stats st;
    static thread_local RowHelper helper;
    const bool split = g_threads.load() == 2;
    constexpr int kMiddle = (COMPOSE_TOP + COMPOSE_BOTTOM) / 2;
    if (split) helper.start(walk, kMiddle + 1, COMPOSE_BOTTOM);

    // 1. No-signal test on row 360.
    for (int c = 0; c < 4; ++c) {
        const std::uint8_t* row = planes[c].y + 360 * CAM_W;
        st.signal[c] = false;
        for (int x = 40; x <= 1239; ++x)
            if (row[x] != 16) {
                st.signal[c] = true;
                break;
            }
    }
    // 2. Window sums.
    for (int c = 0; c < 4; ++c)
        for (int y = 100; y <= 610; y += 10) {
            const std::uint8_t* row = planes[c].y + y * CAM_W;
            std::uint32_t s = 0;
            for (int x = 280; x <= 999; ++x) s += row[x];
            st.window[c] += s;
        }

    compose_rows(walk, COMPOSE_TOP, split ? kMiddle : COMPOSE_BOTTOM, st);
    if (split) st.add(helper.finish());
    update_gains(st);
}

void update_gains(const FrameStats& st) {
    const bool(&signal)[4] = st.signal;
    const std::uint64_t(&window)[4] = st.window;
    const std::uint64_t(&ysum)[4] = st.ysum;
    const std::uint64_t(&usum)[4] = st.usum;
    const std::uint64_t(&vsum)[4] = st.vsum;
    const std::uint32_t(&count)[4] = st.count;
    const std::uint64_t(&cy)[5][2] = st.cy;
    const std::uint64_t(&cu)[5][2] = st.cu;
    const std::uint64_t(&cv)[5][2] = st.cv;
    const std::uint32_t(&ccount)[5] = st.ccount;

    // 4. Seam means: [camera][corner].
    double my[4][5], mu[4][5], mv[4][5];
    for (auto* m : {my, mu, mv})
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 5; ++k) m[c][k] = 128;
    for (int k = 1; k <= 4; ++k) {
        if (ccount[k] == 0) continue;
        const Cam cams[2] = {kCornerA[k], kCornerB[k]};
        for (int i = 0; i < 2; ++i) {
            const Cam c = cams[i];
            my[c][k] = signal[c] ? static_cast<double>(cy[k][i] / ccount[k]) : 128;
            mu[c][k] = static_cast<double>(cu[k][i] / ccount[k]);
            mv[c][k] = static_cast<double>(cv[k][i] / ccount[k]);
        }
    }

    // 5. and 6. Y gains.
    {
        const Ratios r = ring_ratios(my);
        std::uint64_t S[4];
        std::uint32_t N[4];
        for (int c = 0; c < 4; ++c) {
            S[c] = signal[c] ? ysum[c] : 0;
            N[c] = signal[c] ? count[c] : 0;
        }
        const std::uint64_t D = weighted_sum(static_cast<double>(S[B]) + static_cast<double>(S[F]) * r.f +
                                             static_cast<double>(S[L]) * r.l + static_cast<double>(S[R]) * r.r);
        int n = 0;
        std::uint64_t wsum = 0;
        for (int c = 0; c < 4; ++c)
            if (signal[c]) {
                ++n;
                wsum += window[c] / 37440;
            }
        if (D == 0 || n == 0) {
            bili_b = bili_l = bili_t = bili_r = 256;
        } else {
            const std::uint32_t M = static_cast<std::uint32_t>(wsum / static_cast<std::uint64_t>(n));
            const std::uint32_t total = (N[B] + N[F] + N[L] + N[R]) * M;
            const double base = static_cast<double>(total) / static_cast<double>(D);
            auto capped = [&](Cam c, double g) {
                const double s = static_cast<double>(S[c]), cap = 192.0 * N[c];
                if (s * g > cap) return cap / s;
                return g;
            };
            auto side = [&](Cam c, double g) {
                const double s = static_cast<double>(S[c]), cap = 192.0 * N[c];
                if (s * g > cap) return cap / s;
                const double f = std::min(64.0 * N[c], s);
                if (s * g < f) return f / s;
                return g;
            };
            bili_b = store_gain(capped(B, base));
            bili_t = store_gain(capped(F, r.f * base));
            bili_l = store_gain(side(L, r.l * base));
            bili_r = store_gain(side(R, r.r * base));
        }
    }

    // 7. and 8. Chroma gains.
    auto chroma = [](const double m[4][5], const std::uint64_t G[4], std::uint32_t& gb, std::uint32_t& gl,
                     std::uint32_t& gt, std::uint32_t& gr) {
        const Ratios r = ring_ratios(m);
        const std::uint64_t D = weighted_sum(static_cast<double>(G[B]) + static_cast<double>(G[F]) * r.f +
                                             static_cast<double>(G[L]) * r.l + static_cast<double>(G[R]) * r.r);
        if (D == 0) {
            gb = gl = gt = gr = 256;
            return;
        }
        const double base = static_cast<double>(G[B] + G[F] + G[L] + G[R]) / static_cast<double>(D);
        gb = store_gain(base);
        gl = store_gain(r.l * base);
        gt = store_gain(r.f * base);
        gr = store_gain(r.r * base);
    };
    chroma(mu, usum, bili_b_u, bili_l_u, bili_t_u, bili_r_u);
    chroma(mv, vsum, bili_b_v, bili_l_v, bili_t_v, bili_r_v);
}
