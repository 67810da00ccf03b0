// Building the bird's-eye view, and composing a frame through the bird's-eye
// plus back-view table; beside it, the same work (blended corners, gains and
// statistics included) done as well as OpenCV allows, when OpenCV is there.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "tests/scene_system.h"

#ifdef HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

// The system calibrated on the synthetic scene, showing the bird's-eye plus
// back view.
struct Setup : SceneSystem {
    Setup() { MT_image(4, t0.data(), yuv2rgb.data()); }

    void build() {
        init_table(table0);
        mt_fleft(table0);
        mt_fright(table0);
        mt_ftop(table0);
        mt_fbottom(table0);
        mt_car(table0, flash_param.im_param, ptable_YUV2RGB);
        MT_image(4, table0, ptable_YUV2RGB);
    }

    void compose() { SceneSystem::compose(t0.data()); }
};

Setup& setup() {
    static Setup s;
    return s;
}

void BM_BuildBirdseyeView(benchmark::State& state) {
    Setup& s = setup();
    for (auto _ : state) {
        s.build();
        benchmark::DoNotOptimize(s.t0.data());
    }
}
BENCHMARK(BM_BuildBirdseyeView)->Unit(benchmark::kMillisecond);

void BM_SetImage(benchmark::State& state) {
    Setup& s = setup();
    set_image_threads(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        s.compose();
        benchmark::DoNotOptimize(s.canvas.data());
    }
    set_image_threads(1);
}
BENCHMARK(BM_SetImage)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef HAVE_OPENCV
// Cameras in the compositor's statistics order, which is also their place in
// the side-by-side source pictures.
enum Cam { B = 0, L = 1, F = 2, R = 3 };
constexpr Cam kSlot[4] = {B, F, L, R};        // kind 1, slot / 2
constexpr Cam kKind[4] = {B, L, F, R};        // kinds 2..5
constexpr Cam kCornerA[5] = {B, B, B, F, F};  // corners 1..4
constexpr Cam kCornerB[5] = {L, L, R, L, R};
constexpr int kScenePlane[4] = {1, 2, 0, 3};  // SceneSystem keeps front, back, left, right
constexpr std::uint32_t kMaxAddr = CAM_W * CAM_H - CAM_W - 2;

struct Gains {
    std::uint32_t y[4], u[4], v[4];
};

// The next frame's gains by the compositor's own rule, from what the
// OpenCV side measured.
void update_gains(const FrameStats& st, Gains& g) {
    update_gains(st);
    const std::uint32_t* const globals[3][4] = {{&bili_b, &bili_l, &bili_t, &bili_r},
                                                {&bili_b_u, &bili_l_u, &bili_t_u, &bili_r_u},
                                                {&bili_b_v, &bili_l_v, &bili_t_v, &bili_r_v}};
    for (int c = 0; c < 4; ++c) {
        g.y[c] = *globals[0][c];
        g.u[c] = *globals[1][c];
        g.v[c] = *globals[2][c];
    }
}

// The same frame with OpenCV. The four cameras lie side by side in one Y and
// one chroma picture, so one remap serves them all. The single view is
// remapped straight into its canvas rectangle. The bird's-eye pixels are
// remapped into a packed line grouped by camera, so that gains (cv::LUT),
// sums and corner blends run on contiguous runs without masks; one nearest
// remap then scatters the colours, fixed colours included, into the canvas.
class OpenCvComposer {
public:
    Gains gains{};
    FrameStats stats;
    // Grey, so that a pixel the baseline misses shows in the check.
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(TABLE_W * TABLE_H, 0xFF808080u);
    cv::Mat canvas = cv::Mat(TABLE_H, TABLE_W, CV_8UC4, pixels.data());

    explicit OpenCvComposer(const Setup& s) {
        ysrc_.create(CAM_H, 4 * CAM_W, CV_8UC1);
        uvsrc_.create(CAM_H, 2 * CAM_W, CV_8UC2);
        // Chroma is gathered whole: a 16-bit nearest remap is quicker than a two-channel one.
        uvsrc16_ = cv::Mat(CAM_H, 2 * CAM_W, CV_16UC1, uvsrc_.data, uvsrc_.step);
        for (int c = 0; c < 4; ++c) {
            auto& y = s.y[kScenePlane[c]];
            auto& uv = s.uv[kScenePlane[c]];
            cv::Mat(CAM_H, CAM_W, CV_8UC1, const_cast<std::uint8_t*>(y.data()))
                .copyTo(ysrc_.colRange(c * CAM_W, (c + 1) * CAM_W));
            // Chroma words hold V in the low byte: channel 0 is V (Cr), channel 1 is U (Cb).
            cv::Mat(CAM_H, CAM_W / 2, CV_8UC2, const_cast<std::uint16_t*>(uv.data()))
                .copyTo(uvsrc_.colRange(c * CAM_W / 2, (c + 1) * CAM_W / 2));
        }
        for (int c = 0; c < 4; ++c) gains.y[c] = gains.u[c] = gains.v[c] = 256;
        build(s.t0.data());
    }

    void compose() {
        FrameStats& st = stats;
        // No-signal test and window sums, as the compositor takes them.
        for (int c = 0; c < 4; ++c) {
            double lo, hi;
            cv::minMaxLoc(ysrc_.row(360).colRange(c * CAM_W + 40, c * CAM_W + 1240), &lo, &hi);
            st.signal[c] = lo != 16 || hi != 16;
            const cv::Mat w(52, 720, CV_8UC1, ysrc_.ptr(100) + c * CAM_W + 280, 10 * ysrc_.step);
            st.window[c] = static_cast<std::uint64_t>(cv::sum(w)[0]);
        }

        // The single view: no gain, no statistics.
        if (!direct_.empty()) {
            cv::remap(ysrc_, dy_, dmap1_, dmap2_, cv::INTER_LINEAR);
            cv::remap(uvsrc16_, duv_, dcmap_, cv::noArray(), cv::INTER_NEAREST);
            cv::split(pairs(duv_), dvu_);
            const cv::Mat parts[3] = {dy_, dvu_[0], dvu_[1]};
            cv::merge(parts, 3, dycc_);
            cv::Mat roi = canvas(direct_);
            cv::cvtColor(dycc_, roi, cv::COLOR_YCrCb2BGR, 4);
        }

        if (na_ > 0) {
            cv::remap(ysrc_, py_, amap1_, amap2_, cv::INTER_LINEAR);
            cv::remap(uvsrc16_, puv_, acmap_, cv::noArray(), cv::INTER_NEAREST);
            cv::split(line(pairs(puv_)), pvu_);
            if (nc_ > 0) {
                cv::remap(ysrc_, qy_, bmap1_, bmap2_, cv::INTER_LINEAR);
                cv::remap(uvsrc16_, quv_, bcmap_, cv::noArray(), cv::INTER_NEAREST);
                cv::split(line(pairs(quv_)), qvu_);
            }
            // [0] Y, [1] V, [2] U, each as one row.
            const cv::Mat p[3] = {line(py_), pvu_[0], pvu_[1]};
            const cv::Mat q[3] = {line(qy_), qvu_[0], qvu_[1]};

            // Statistics before the gains: per camera the Y sum and the near-grey
            // chroma sums, per corner the sums of both samples.
            for (int c = 0; c < 4; ++c) {
                const Run r = cam_run_[c];
                st.count[c] = static_cast<std::uint32_t>(r.size());
                st.ysum[c] = st.usum[c] = st.vsum[c] = 0;
                if (r.empty()) continue;
                st.ysum[c] = total(p[0].colRange(r.b, r.e));
                cv::Mat t = grey_tmp_.colRange(0, r.size());
                cv::LUT(p[1].colRange(r.b, r.e), grey_lut_, t);
                st.vsum[c] = total(t);
                cv::LUT(p[2].colRange(r.b, r.e), grey_lut_, t);
                st.usum[c] = total(t);
            }
            for (int k = 1; k <= 4; ++k) {
                const Run a = corner_run_[k], b = corner_q_[k];
                st.ccount[k] = static_cast<std::uint32_t>(a.size());
                for (int i = 0; i < 2; ++i) st.cy[k][i] = st.cu[k][i] = st.cv[k][i] = 0;
                if (a.empty()) continue;
                st.cy[k][0] = total(p[0].colRange(a.b, a.e));
                st.cv[k][0] = total(p[1].colRange(a.b, a.e));
                st.cu[k][0] = total(p[2].colRange(a.b, a.e));
                st.cy[k][1] = total(q[0].colRange(b.b, b.e));
                st.cv[k][1] = total(q[1].colRange(b.b, b.e));
                st.cu[k][1] = total(q[2].colRange(b.b, b.e));
            }

            // Gains through lookup tables, on each camera's runs.
            for (int c = 0; c < 4; ++c) {
                const std::uint32_t g[3] = {gains.y[c], gains.v[c], gains.u[c]};
                for (int ch = 0; ch < 3; ++ch) {
                    std::uint8_t* t = lut_[c][ch].ptr<std::uint8_t>();
                    for (std::uint32_t i = 0; i < 256; ++i)
                        t[i] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (i * g[ch]) >> 8));
                }
            }
            for (const auto& [c, r] : gain_runs_)
                for (int ch = 0; ch < 3; ++ch) {
                    cv::Mat m = p[ch].colRange(r.b, r.e);
                    cv::LUT(m, lut_[c][ch], m);
                }
            for (int k = 1; k <= 4; ++k) {
                const Run b = corner_q_[k];
                if (b.empty()) continue;
                for (int ch = 0; ch < 3; ++ch) {
                    cv::Mat m = q[ch].colRange(b.b, b.e);
                    cv::LUT(m, lut_[kCornerB[k]][ch], m);
                }
            }

            // Corners: the two samples weighted as the table says.
            if (nc_ > 0)
                for (int ch = 0; ch < 3; ++ch) {
                    cv::Mat m = p[ch].colRange(corners_.b, corners_.e);
                    cv::blendLinear(m, q[ch].colRange(0, nc_), wa_, wb_, m);
                }

            const cv::Mat parts[3] = {p[0].colRange(0, na_), p[1].colRange(0, na_), p[2].colRange(0, na_)};
            cv::merge(parts, 3, pycc_);
            cv::Mat colours = line(pbgra_).colRange(0, na_);
            cv::cvtColor(pycc_, colours, cv::COLOR_YCrCb2BGR, 4);
            // Whole pixels as one 32-bit channel: the faster gather.
            cv::Mat roi = canvas32_(scatter_);
            cv::remap(pbgra32_, roi, smap_, cv::noArray(), cv::INTER_NEAREST, cv::BORDER_TRANSPARENT);
        }

        for (const cv::Rect& r : fixed_) fixed_colours_(r).copyTo(canvas(r));
        update_gains(st, gains);
    }

private:
    struct Run {
        int b = 0, e = 0;
        int size() const { return e - b; }
        bool empty() const { return e <= b; }
    };
    struct Sample {
        Cam cam;
        std::uint32_t addr;
        Y_bili w;
    };
    struct Pixel {
        int canvas;  // row x TABLE_W + column
        Sample a, b;
        std::uint16_t qz;
    };
    static constexpr int kLine = 1024;  // width of the packed pictures (remap coordinates are 16 bits)

    // A continuous picture seen as one row.
    static cv::Mat line(const cv::Mat& m) { return cv::Mat(1, m.rows * m.cols, m.type(), m.data); }
    // 16-bit chroma words seen as V, U byte pairs.
    static cv::Mat pairs(const cv::Mat& m) { return cv::Mat(m.rows, m.cols, CV_8UC2, m.data, m.step); }
    static std::uint64_t total(const cv::Mat& m) { return static_cast<std::uint64_t>(cv::sum(m)[0]); }

    static void place(const Sample& s, cv::Mat& mx, cv::Mat& my, cv::Mat& cm, int row, int col) {
        const std::uint32_t a = std::min(s.addr, kMaxAddr);
        const int ax = static_cast<int>(a % CAM_W), ay = static_cast<int>(a / CAM_W);
        mx.at<float>(row, col) = static_cast<float>(s.cam * CAM_W + ax) + (s.w.Y_tr + s.w.Y_br) / 255.0f;
        my.at<float>(row, col) = static_cast<float>(ay) + (s.w.Y_bl + s.w.Y_br) / 255.0f;
        cm.at<cv::Vec2s>(row, col) = cv::Vec2s(static_cast<short>(s.cam * CAM_W / 2 + ax / 2), static_cast<short>(ay));
    }

    // Maps for samples laid out row by row in a kLine-wide picture.
    static void packed_maps(const std::vector<const Sample*>& samples, cv::Mat& m1, cv::Mat& m2, cv::Mat& cm) {
        const int rows = std::max<int>(1, (static_cast<int>(samples.size()) + kLine - 1) / kLine);
        cv::Mat mx(rows, kLine, CV_32F, cv::Scalar(0)), my(rows, kLine, CV_32F, cv::Scalar(0));
        cm = cv::Mat(rows, kLine, CV_16SC2, cv::Scalar(0, 0));
        for (std::size_t i = 0; i < samples.size(); ++i)
            place(*samples[i], mx, my, cm, static_cast<int>(i) / kLine, static_cast<int>(i) % kLine);
        cv::convertMaps(mx, my, m1, m2, CV_16SC2);
    }

    void build(const Image_table* table) {
        // What each composed pixel is.
        enum Group { G_VIEW, G_L, G_B, G_C1, G_C2, G_C3, G_C4, G_F, G_R, G_COUNT };
        constexpr Group kKindGroup[4] = {G_B, G_L, G_F, G_R};
        std::vector<Pixel> view, groups[G_COUNT];
        std::vector<std::pair<int, std::uint32_t>> fixed;  // canvas index, colour
        cv::Rect view_box;
        bool first_view = true;
        for (int r = COMPOSE_TOP; r <= COMPOSE_BOTTOM; ++r)
            for (int col = COMPOSE_LEFT; col <= COMPOSE_RIGHT; ++col) {
                const Image_table& e = table[r * TABLE_W + col];
                const unsigned kind = (e.pic_num >> 4) & 0x0F;
                Pixel p{r * TABLE_W + col, {B, e.Addr_Y, e.ybili}, {B, e.Addr_Y2, e.ybili2}, e.qz};
                if (kind == KIND_COLOUR) {
                    fixed.emplace_back(p.canvas, e.YUV_default);
                } else if (kind == KIND_CAMERA && (e.pic_num & 0x0E) < 8) {
                    p.a.cam = kSlot[(e.pic_num & 0x0E) >> 1];
                    view.push_back(p);
                    const cv::Rect one(col, r, 1, 1);
                    view_box = first_view ? one : (view_box | one);
                    first_view = false;
                } else if (kind >= KIND_BACK && kind <= KIND_RIGHT) {
                    p.a.cam = kKind[kind - KIND_BACK];
                    groups[kKindGroup[kind - KIND_BACK]].push_back(p);
                } else if (kind == KIND_CORNER && (e.pic_num & 0x0F) >= 1 && (e.pic_num & 0x0F) <= 4) {
                    const int k = e.pic_num & 0x0F;
                    p.a.cam = kCornerA[k];
                    p.b.cam = kCornerB[k];
                    groups[G_C1 + k - 1].push_back(p);
                }
            }
        // The single view goes straight to the canvas when its rectangle holds nothing else.
        if (!view.empty() && static_cast<std::size_t>(view_box.area()) == view.size()) {
            direct_ = view_box;
            cv::Mat mx(view_box.size(), CV_32F), my(view_box.size(), CV_32F);
            dcmap_.create(view_box.size(), CV_16SC2);
            for (const Pixel& p : view)
                place(p.a, mx, my, dcmap_, p.canvas / TABLE_W - view_box.y, p.canvas % TABLE_W - view_box.x);
            cv::convertMaps(mx, my, dmap1_, dmap2_, CV_16SC2);
        } else {
            groups[G_VIEW] = std::move(view);
        }

        // Packed order: G_VIEW, L, B, corners 1..4, F, R, so that B and F each
        // cover their corners' first samples in one run.
        std::vector<const Sample*> a_samples, b_samples;
        std::vector<const Pixel*> order;
        int start[G_COUNT + 1];
        for (int g = 0; g < G_COUNT; ++g) {
            start[g] = static_cast<int>(order.size());
            for (const Pixel& p : groups[g]) {
                order.push_back(&p);
                a_samples.push_back(&p.a);
            }
        }
        start[G_COUNT] = static_cast<int>(order.size());
        na_ = start[G_COUNT];
        auto run = [&](int g0, int g1) { return Run{start[g0], start[g1 + 1]}; };
        cam_run_[B] = run(G_B, G_B);
        cam_run_[L] = run(G_L, G_L);
        cam_run_[F] = run(G_F, G_F);
        cam_run_[R] = run(G_R, G_R);
        gain_runs_ = {{L, run(G_L, G_L)}, {B, run(G_B, G_C2)}, {F, run(G_C3, G_F)}, {R, run(G_R, G_R)}};
        corners_ = run(G_C1, G_C4);
        nc_ = corners_.size();
        for (int k = 1; k <= 4; ++k) {
            corner_run_[k] = run(G_C1 + k - 1, G_C1 + k - 1);
            corner_q_[k] = Run{corner_run_[k].b - corners_.b, corner_run_[k].e - corners_.b};
        }
        for (int i = corners_.b; i < corners_.e; ++i) b_samples.push_back(&order[i]->b);
        packed_maps(a_samples, amap1_, amap2_, acmap_);
        packed_maps(b_samples, bmap1_, bmap2_, bcmap_);
        wa_.create(1, std::max(nc_, 1), CV_32F);
        wb_.create(1, std::max(nc_, 1), CV_32F);
        for (int i = 0; i < nc_; ++i) {
            wa_.at<float>(0, i) = order[corners_.b + i]->qz;
            wb_.at<float>(0, i) = 256.0f - order[corners_.b + i]->qz;
        }
        if (nc_ > 0) {
            wa_ = wa_.colRange(0, nc_);
            wb_ = wb_.colRange(0, nc_);
        }
        int largest = 1;
        for (const Run& r : cam_run_) largest = std::max(largest, r.size());
        grey_tmp_.create(1, largest, CV_8UC1);
        grey_lut_.create(1, 256, CV_8UC1);
        for (int i = 0; i < 256; ++i)
            grey_lut_.at<std::uint8_t>(0, i) = i >= 109 && i <= 147 ? static_cast<std::uint8_t>(i) : 0;
        for (auto& luts : lut_)
            for (auto& t : luts) t.create(1, 256, CV_8UC1);

        // The scatter: over the rectangle of the packed pixels, each canvas pixel
        // takes its colour from the packed line; fixed colours inside it sit
        // after the sampled ones.
        for (const Pixel* p : order) {
            const cv::Rect one(p->canvas % TABLE_W, p->canvas / TABLE_W, 1, 1);
            scatter_ = scatter_.empty() ? one : (scatter_ | one);
        }
        std::vector<std::pair<int, std::uint32_t>> inside, outside;
        for (const auto& f : fixed)
            (scatter_.contains(cv::Point(f.first % TABLE_W, f.first / TABLE_W)) ? inside : outside).push_back(f);
        const int total = na_ + static_cast<int>(inside.size());
        pbgra_.create(std::max(1, (total + kLine - 1) / kLine), kLine, CV_8UC4);
        pbgra32_ = cv::Mat(pbgra_.rows, pbgra_.cols, CV_32SC1, pbgra_.data);
        auto* colours = reinterpret_cast<std::uint32_t*>(pbgra_.data);
        smap_ = cv::Mat(scatter_.size(), CV_16SC2, cv::Scalar(-1, -1));
        auto point = [&](int canvas_index, int packed) {
            smap_.at<cv::Vec2s>(canvas_index / TABLE_W - scatter_.y, canvas_index % TABLE_W - scatter_.x) =
                cv::Vec2s(static_cast<short>(packed % kLine), static_cast<short>(packed / kLine));
        };
        for (int i = 0; i < na_; ++i) point(order[i]->canvas, i);
        for (std::size_t j = 0; j < inside.size(); ++j) {
            colours[na_ + j] = inside[j].second;
            point(inside[j].first, na_ + static_cast<int>(j));
        }
        py_.create(amap1_.size(), CV_8UC1);
        puv_.create(amap1_.size(), CV_16UC1);
        qy_.create(bmap1_.size(), CV_8UC1);
        quv_.create(bmap1_.size(), CV_16UC1);

        // Fixed colours outside both rectangles: row runs merged into rectangles.
        fixed_colours_ = cv::Mat(TABLE_H, TABLE_W, CV_8UC4, cv::Scalar(0, 0, 0, 0));
        for (const auto& f : outside) fixed_colours_.at<std::uint32_t>(f.first / TABLE_W, f.first % TABLE_W) = f.second;
        std::vector<cv::Rect> open;
        int prev_row = -1;
        std::vector<cv::Rect> row_runs;
        auto flush_row = [&](int row) {
            std::vector<cv::Rect> next;
            for (const cv::Rect& r : row_runs) {
                auto it = std::find_if(open.begin(), open.end(), [&](const cv::Rect& o) {
                    return o.x == r.x && o.width == r.width && o.y + o.height == row;
                });
                if (it != open.end()) {
                    cv::Rect grown = *it;
                    ++grown.height;
                    next.push_back(grown);
                    open.erase(it);
                } else {
                    next.push_back(r);
                }
            }
            for (const cv::Rect& o : open) fixed_.push_back(o);
            open = next;
            row_runs.clear();
        };
        for (std::size_t i = 0; i < outside.size(); ++i) {
            const int row = outside[i].first / TABLE_W, col = outside[i].first % TABLE_W;
            if (row != prev_row && prev_row >= 0) flush_row(prev_row);
            prev_row = row;
            if (!row_runs.empty() && row_runs.back().x + row_runs.back().width == col)
                ++row_runs.back().width;
            else
                row_runs.emplace_back(col, row, 1, 1);
        }
        if (prev_row >= 0) flush_row(prev_row);
        for (const cv::Rect& o : open) fixed_.push_back(o);
    }

    cv::Mat canvas32_ = cv::Mat(TABLE_H, TABLE_W, CV_32SC1, pixels.data());
    cv::Mat ysrc_, uvsrc_, uvsrc16_;
    cv::Rect direct_, scatter_;
    cv::Mat dmap1_, dmap2_, dcmap_, dy_, duv_, dvu_[2], dycc_;
    int na_ = 0, nc_ = 0;
    cv::Mat amap1_, amap2_, acmap_, bmap1_, bmap2_, bcmap_, smap_;
    cv::Mat py_, puv_, pvu_[2], qy_, quv_, qvu_[2], pycc_, pbgra_, pbgra32_, wa_, wb_;
    Run cam_run_[4], corner_run_[5], corner_q_[5], corners_;
    std::vector<std::pair<Cam, Run>> gain_runs_;
    cv::Mat grey_lut_, grey_tmp_, lut_[4][3];  // [camera][Y, V, U]
    cv::Mat fixed_colours_;
    std::vector<cv::Rect> fixed_;
};

// One frame from the same gains on both sides: mean absolute difference per
// channel over the composed area, and the largest difference of the gains
// each side sets for the next frame.
struct Check {
    double r = 0, g = 0, b = 0;
    std::uint32_t gain = 0;
};

Check check(Setup& s, OpenCvComposer& o) {
    std::uint32_t* const globals[3][4] = {{&bili_b, &bili_l, &bili_t, &bili_r},
                                          {&bili_b_u, &bili_l_u, &bili_t_u, &bili_r_u},
                                          {&bili_b_v, &bili_l_v, &bili_t_v, &bili_r_v}};
    for (int c = 0; c < 4; ++c) {
        o.gains.y[c] = *globals[0][c];
        o.gains.u[c] = *globals[1][c];
        o.gains.v[c] = *globals[2][c];
    }
    set_image_threads(1);
    s.compose();
    // The OpenCV side sets the same globals: keep the compositor's first.
    std::uint32_t mine_gains[3][4];
    for (int ch = 0; ch < 3; ++ch)
        for (int k = 0; k < 4; ++k) mine_gains[ch][k] = *globals[ch][k];
    o.compose();
    const cv::Rect area(COMPOSE_LEFT, COMPOSE_TOP, COMPOSE_RIGHT - COMPOSE_LEFT + 1, COMPOSE_BOTTOM - COMPOSE_TOP + 1);
    const cv::Mat mine(TABLE_H, TABLE_W, CV_8UC4, s.canvas.data());
    cv::Mat diff;
    cv::absdiff(mine(area), o.canvas(area), diff);
    const cv::Scalar m = cv::mean(diff);
    Check c{m[2], m[1], m[0], 0};
    for (int k = 0; k < 4; ++k) {
        const std::uint32_t theirs[3] = {o.gains.y[k], o.gains.u[k], o.gains.v[k]};
        for (int ch = 0; ch < 3; ++ch) {
            const std::uint32_t a = mine_gains[ch][k], b = theirs[ch];
            c.gain = std::max(c.gain, a > b ? a - b : b - a);
        }
    }
    return c;
}

void BM_OpenCv(benchmark::State& state) {
    Setup& s = setup();
    static OpenCvComposer composer(s);
    const int threads = cv::getNumThreads();
    cv::setNumThreads(1);
    static const Check c = check(s, composer);
    for (auto _ : state) {
        composer.compose();
        benchmark::DoNotOptimize(composer.pixels.data());
    }
    // Mean absolute difference per channel, and the gain difference in 1/256.
    state.counters["diff_R"] = c.r;
    state.counters["diff_G"] = c.g;
    state.counters["diff_B"] = c.b;
    state.counters["gain_diff"] = c.gain;
    cv::setNumThreads(threads);
}
BENCHMARK(BM_OpenCv)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace

BENCHMARK_MAIN();
