// Playback through the board: a stream sent to decoder channel 32 in any
// cuts, through processing group 4 to output channel 0 of the HD device, at
// the output's frame rate in board time, and on the panel under the canvas.
// FFmpeg's own command-line tools make the streams and are the reference.
#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <thread>

#include "host/internal.h"
#include "host/media_parts.h"
#include "platform/devices.h"
#include "platform/hifb.h"
#include "tests/media/media_board.h"
#include "tests/media/vdec_fuzz.h"
#include "tests/mutate.h"
#include "tests/video_probe.h"

namespace {

namespace fs = std::filesystem;
using host::media::PicturePtr;

constexpr HI_S32 kBufFull = static_cast<HI_S32>(0xA005800F);
constexpr std::size_t kOutputDepth = 4;  // what an output channel queues
constexpr std::uint32_t kGreen = 0xFF00FF00u;

using Bytes = std::vector<std::uint8_t>;

Bytes read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// An H.264 stream made by ffmpeg from a lavfi source, without B frames.
Bytes make_clip(const fs::path& dir, const std::string& source, int frames, const std::string& x264 = "keyint=10") {
    const fs::path file = dir / ("clip" + std::to_string(std::hash<std::string>{}(source + x264)) + ".h264");
    video_probe::run("ffmpeg -nostdin -v error -y -f lavfi -i '" + source + "' -frames:v " + std::to_string(frames) +
                     " -c:v libx264 -bf 0 -pix_fmt yuv420p -x264-params " + x264 + " " + video_probe::quoted(file));
    return read_file(file);
}

// ffmpeg's decoding of a stream, picture by picture, in `pix_fmt`.
std::vector<Bytes> reference(const fs::path& dir, const Bytes& clip, const std::string& pix_fmt, std::size_t size) {
    const fs::path file = dir / "ref.h264";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(clip.data()),
                                                 static_cast<std::streamsize>(clip.size()));
    const std::string raw = video_probe::run("ffmpeg -nostdin -v error -i " + video_probe::quoted(file) +
                                             " -f rawvideo -pix_fmt " + pix_fmt + " -");
    std::vector<Bytes> out;
    for (std::size_t at = 0; at + size <= raw.size(); at += size)
        out.emplace_back(raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + size));
    return out;
}

Bytes planes(const host::media::VideoPicture& p) {
    Bytes b = p.y;
    b.insert(b.end(), p.u.begin(), p.u.end());
    b.insert(b.end(), p.v.begin(), p.v.end());
    return b;
}

int max_difference(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return 256;
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

// Cut lengths covering `n` bytes: random lengths in [1, longest], with cuts
// also one, two and three bytes into every fourth start code.
std::vector<std::size_t> cuts(const Bytes& clip, std::size_t longest, unsigned seed) {
    std::mt19937 rng(seed);
    std::set<std::size_t> at;
    int codes = 0;
    for (std::size_t i = 0; i + 3 < clip.size(); ++i)
        if (clip[i] == 0 && clip[i + 1] == 0 && clip[i + 2] == 1 && codes++ % 4 == 0) at.insert(i + 1 + codes % 3);
    for (std::size_t p = 0; p < clip.size();) {
        p += 1 + rng() % longest;
        at.insert(p);
    }
    std::vector<std::size_t> out;
    std::size_t last = 0;
    for (std::size_t p : at) {
        if (p <= last || p > clip.size()) continue;
        out.push_back(p - last);
        last = p;
    }
    if (last < clip.size()) out.push_back(clip.size() - last);
    return out;
}

// Waits (in board time, up to `limit` s) until output channel 0 has
// shown `count` pictures, looking every `step` s.
host::media::ShownPicture wait_shown(std::uint64_t count, double limit = 5, double step = 0.01) {
    host::media::ShownPicture s = host::media::vo_shown(0, 0);
    for (double waited = 0; s.count < count && waited < limit; waited += step) {
        host::board_sleep(step);
        s = host::media::vo_shown(0, 0);
    }
    return s;
}

VDEC_CHN_STAT_S query() {
    VDEC_CHN_STAT_S st{};
    EXPECT_EQ(HI_MPI_VDEC_Query(32, &st), 0);
    return st;
}


class Playback : public MediaBoard {
protected:
    void SetUp() override {
        MediaBoard::SetUp();
        dir_ = root_ / "clips";
        fs::create_directories(dir_);
    }

    void TearDown() override {
        if (sender_.joinable()) sender_.join();
        MediaBoard::TearDown();
    }

    // The chain the system builds for playback, on the 800 x 480 panel of
    // board code 1, with a stream buffer of `buffer` bytes.
    void start_chain(HI_U32 buffer = 1280 * 720) {
        bring_up();
        VO_PUB_ATTR_S pub{};
        pub.enIntfType = VO_INTF_LCD;
        pub.enIntfSync = VO_OUTPUT_USER;
        pub.stSyncInfo = {HI_TRUE, HI_TRUE, 2, 480, 36, 8, 800, 217, 10, 1, 1, 1, 1, 10, 4, HI_FALSE, HI_TRUE, HI_TRUE};
        ASSERT_EQ(HI_MPI_VO_SetPubAttr(0, &pub), 0);
        ASSERT_EQ(HI_MPI_VO_Enable(0), 0);
        const VO_VIDEO_LAYER_ATTR_S layer{{0, 0, 800, 480}, {800, 480}, 25, PIXEL_FORMAT_YUV_SEMIPLANAR_420};
        ASSERT_EQ(HI_MPI_VO_SetVideoLayerAttr(0, &layer), 0);
        ASSERT_EQ(HI_MPI_VO_EnableVideoLayer(0), 0);
        const VO_CHN_ATTR_S chn{0, {0, 0, 800, 480}, HI_FALSE};
        ASSERT_EQ(HI_MPI_VO_SetChnAttr(0, 0, &chn), 0);
        ASSERT_EQ(HI_MPI_VO_EnableChn(0, 0), 0);

        const VPSS_GRP_ATTR_S grp{1280, 720, PIXEL_FORMAT_YUV_SEMIPLANAR_420, HI_FALSE, HI_FALSE, HI_FALSE,
                                  HI_FALSE, HI_FALSE, 0};
        ASSERT_EQ(HI_MPI_VPSS_CreateGrp(4, &grp), 0);
        const VPSS_CHN_ATTR_S vc{HI_FALSE, HI_FALSE, {{2, 2, 2, 2}, {0xFF00, 0xFF00, 0xFF00, 0xFF00}}};
        ASSERT_EQ(HI_MPI_VPSS_SetChnAttr(4, 2, &vc), 0);
        ASSERT_EQ(HI_MPI_VPSS_EnableChn(4, 2), 0);
        ASSERT_EQ(HI_MPI_VPSS_StartGrp(4), 0);
        const MPP_CHN_S group_out{HI_ID_VPSS, 4, 2}, output{HI_ID_VOU, 0, 0};
        ASSERT_EQ(HI_MPI_SYS_Bind(&group_out, &output), 0);

        VDEC_CHN_ATTR_S a{};
        a.enType = PT_H264;
        a.u32BufSize = buffer;
        a.u32Priority = 1;
        a.u32PicWidth = 1280;
        a.u32PicHeight = 720;
        a.stVdecVideoAttr = VDEC_ATTR_VIDEO_S{2, VIDEO_MODE_FRAME, 0};
        ASSERT_EQ(HI_MPI_VDEC_CreateChn(32, &a), 0);
        ASSERT_EQ(HI_MPI_VDEC_StartRecvStream(32), 0);
        const MPP_CHN_S decoder{HI_ID_VDEC, 0, 32}, group_in{HI_ID_VPSS, 4, 0};
        ASSERT_EQ(HI_MPI_SYS_Bind(&decoder, &group_in), 0);
    }

    // Sends the pieces on a thread of its own, blocking, as the system's
    // sender does: a refused piece is sent again 40 ms later.
    // Gives up on a piece refused for 100 board seconds.
    void send(const Bytes& clip, std::vector<std::size_t> pieces, std::size_t from = 0) {
        sender_ = std::thread([this, clip, pieces = std::move(pieces), from] {
            std::size_t at = from;
            for (std::size_t len : pieces) {
                if (len == 0) continue;
                Bytes piece(clip.begin() + static_cast<long>(at), clip.begin() + static_cast<long>(at + len));
                VDEC_STREAM_S s{piece.data(), static_cast<HI_U32>(len), 0};
                int tries = 0;
                for (HI_S32 r; (r = HI_MPI_VDEC_SendStream(32, &s, HI_IO_BLOCK)) != 0;) {
                    if (r != kBufFull || ++tries > 1250) return;
                    ++refused_;
                    host::board_sleep(0.04);
                }
                at += len;
            }
            sent_at_ = host::board_uptime();
        });
    }

    fs::path dir_;
    std::thread sender_;
    std::atomic<int> refused_{0};
    std::atomic<double> sent_at_{-1};
};

// Stepping a paused output shows the decoded pictures one at a time: each
// must be ffmpeg's picture of the same number, none lost, none twice.
void every_picture_in_order(const std::vector<Bytes>& ref) {
    for (std::size_t i = 0; i < ref.size(); ++i) {
        ASSERT_EQ(HI_MPI_VO_ChnStep(0, 0), 0);
        const host::media::ShownPicture s = wait_shown(i + 1);
        ASSERT_EQ(s.count, i + 1) << "picture " << i << " never came";
        ASSERT_LE(max_difference(planes(*s.picture), ref[i]), 1) << "picture " << i;
    }
    ASSERT_EQ(HI_MPI_VO_ChnStep(0, 0), 0);
    EXPECT_EQ(wait_shown(ref.size() + 1, 1).count, ref.size()) << "a picture more than the stream holds";
    const VDEC_CHN_STAT_S st = query();
    EXPECT_EQ(st.u32LeftStreamBytes, 0u);
    EXPECT_EQ(st.u32LeftStreamFrames, 0u);
    EXPECT_EQ(st.u32LeftPics, 0u);
    EXPECT_EQ(st.u32DecodeStreamFrames, ref.size());
}

TEST_F(Playback, EveryPictureInOrderWhateverTheCuts) {
    // Three slices a picture and a key frame with parameter sets every tenth.
    const Bytes clip = make_clip(dir_, "testsrc2=s=320x192:r=12", 30, "slices=3:keyint=10");
    ASSERT_GT(clip.size(), 10000u);
    const auto ref = reference(dir_, clip, "yuv420p", 320 * 192 * 3 / 2);
    ASSERT_EQ(ref.size(), 30u);
    for (const std::size_t longest : {std::size_t{7}, std::size_t{100000}}) {
        SCOPED_TRACE(longest);
        start_chain();
        // Paused before the first picture can come: one shown before the
        // pause would make every step one picture late.
        ASSERT_EQ(HI_MPI_VO_ChnPause(0, 0), 0);
        send(clip, cuts(clip, longest, static_cast<unsigned>(longest)));
        every_picture_in_order(ref);
        sender_.join();
        restart(false, 1.0);
    }
}

TEST_F(Playback, SpeedFollowsTheOutputFrameRate) {
    const Bytes clip = make_clip(dir_, "testsrc2=s=320x192:r=12", 24);
    double took[2] = {};
    for (const int rate : {12, 24}) {
        // A stream buffer of a few pictures: the sender is held back by it.
        start_chain(16 * 1024);
        ASSERT_EQ(HI_MPI_VO_SetChnFrameRate(0, 0, rate), 0);
        std::vector<std::size_t> pieces(clip.size() / 1000, 1000);
        pieces.push_back(clip.size() % 1000);
        send(clip, pieces);
        const host::media::ShownPicture first = wait_shown(1, 5, 0.25 / rate);
        ASSERT_EQ(first.count, 1u);
        const host::media::ShownPicture last = wait_shown(24, 10, 0.25 / rate);
        ASSERT_EQ(last.count, 24u);
        // One picture every 1/rate board seconds, never earlier, never later.
        EXPECT_NEAR(last.at - first.at, 23.0 / rate, 1e-6) << rate;
        took[rate / 24] = last.at - first.at;
        sender_.join();
        EXPECT_GT(refused_.load(), 0) << "the full buffer held the sender back";
        EXPECT_GT(sent_at_.load(), first.at + 5.0 / rate) << "the sender kept pace with the output";
        refused_ = 0;
        restart(false, 1.0);
    }
    EXPECT_NEAR(took[0] / took[1], 2.0, 1e-6);
}

TEST_F(Playback, FullOutputHoldsTheStream) {
    const Bytes clip = make_clip(dir_, "testsrc2=s=320x192:r=12", 30);
    constexpr HI_U32 kBuffer = 16 * 1024;
    start_chain(kBuffer);
    ASSERT_EQ(HI_MPI_VO_ChnPause(0, 0), 0);
    std::size_t at = 0;
    HI_S32 r = 0;
    constexpr std::size_t kPiece = 2000;
    for (; at + kPiece <= clip.size(); at += kPiece) {
        VDEC_STREAM_S s{const_cast<std::uint8_t*>(clip.data() + at), kPiece, 0};
        if ((r = HI_MPI_VDEC_SendStream(32, &s, HI_IO_NOBLOCK)) != 0) break;
        host::board_sleep(0.01);
    }
    ASSERT_EQ(r, kBufFull) << "all " << at << " bytes taken while nothing is shown";
    // The output's queue is full, a decoded picture waits for it, the rest stays in the buffer.
    const VDEC_CHN_STAT_S st = query();
    EXPECT_GT(st.u32LeftStreamBytes + kPiece, kBuffer);
    EXPECT_EQ(st.u32LeftPics, kOutputDepth + 1);
    EXPECT_EQ(host::media::vo_shown(0, 0).count, 0u);
    // A blocking send waits a little board time for room, then gives up.
    VDEC_STREAM_S s{const_cast<std::uint8_t*>(clip.data() + at), kPiece, 0};
    const double before = host::board_uptime();
    EXPECT_EQ(HI_MPI_VDEC_SendStream(32, &s, HI_IO_BLOCK), kBufFull);
    EXPECT_NEAR(host::board_uptime() - before, 0.04, 0.005);
    // Resumed, the output makes room and the rest goes through.
    ASSERT_EQ(HI_MPI_VO_ChnResume(0, 0), 0);
    std::vector<std::size_t> rest((clip.size() - at) / kPiece, kPiece);
    rest.push_back((clip.size() - at) % kPiece);
    send(clip, rest, at);
    sender_.join();
    EXPECT_EQ(wait_shown(30).count, 30u);
}

TEST_F(Playback, PauseHoldsStepAdvancesResumeContinues) {
    const Bytes clip = make_clip(dir_, "testsrc2=s=320x192:r=12", 30);
    start_chain();
    ASSERT_EQ(HI_MPI_VO_SetChnFrameRate(0, 0, 12), 0);
    send(clip, {clip.size()});
    ASSERT_EQ(wait_shown(5).count, 5u);
    ASSERT_EQ(HI_MPI_VO_ChnPause(0, 0), 0);
    const host::media::ShownPicture paused = host::media::vo_shown(0, 0);
    host::board_sleep(1.0);
    EXPECT_EQ(host::media::vo_shown(0, 0).count, paused.count) << "paused, the picture stays";
    for (std::uint64_t k = 1; k <= 2; ++k) {
        const double now = host::board_uptime();
        ASSERT_EQ(HI_MPI_VO_ChnStep(0, 0), 0);
        const host::media::ShownPicture s = host::media::vo_shown(0, 0);
        EXPECT_EQ(s.count, paused.count + k);
        EXPECT_DOUBLE_EQ(s.at, now);
        host::board_sleep(0.5);
        EXPECT_EQ(host::media::vo_shown(0, 0).count, paused.count + k) << "a step shows exactly one";
    }
    const double resumed = host::board_uptime();
    ASSERT_EQ(HI_MPI_VO_ChnResume(0, 0), 0);
    const host::media::ShownPicture next = wait_shown(paused.count + 3, 1, 1.0 / 48);
    EXPECT_EQ(next.count, paused.count + 3);
    EXPECT_NEAR(next.at, resumed + 1.0 / 12, 1e-9);
    const host::media::ShownPicture after = wait_shown(paused.count + 4, 1, 1.0 / 48);
    EXPECT_NEAR(after.at, resumed + 2.0 / 12, 1e-9);
}

// The panel: a transparent canvas shows the video layer, an opaque one hides it.
TEST_F(Playback, PanelShowsTheVideoWhereTheCanvasIsTransparent) {
    const Bytes clip = make_clip(dir_, "color=c=0x3070C0:s=320x192:r=12", 3);
    const auto rgb = reference(dir_, clip, "rgb24", 320 * 192 * 3);
    ASSERT_EQ(rgb.size(), 3u);
    start_chain();
    const int gpio = dev_open("/dev/gpioi2c", O_RDWR);
    unsigned on = 1;
    ASSERT_EQ(dev_ioctl(gpio, GPIO_SET_AV_POWER, &on), 0);
    dev_close(gpio);
    const int fb = dev_open("/dev/fb0", O_RDWR);
    ASSERT_GE(fb, 0);
    fb_var_screeninfo var{};
    ASSERT_EQ(dev_ioctl(fb, FBIOGET_VSCREENINFO, &var), 0);
    var.xres = var.xres_virtual = 800;
    var.yres = var.yres_virtual = 480;
    var.bits_per_pixel = 32;
    var.transp = {24, 8, 0}, var.red = {16, 8, 0}, var.green = {8, 8, 0}, var.blue = {0, 8, 0};
    ASSERT_EQ(dev_ioctl(fb, FBIOPUT_VSCREENINFO, &var), 0);
    HIFB_LAYER_INFO_S info{};
    info.BufMode = HIFB_LAYER_BUF_DOUBLE;
    info.u32Mask = HIFB_LAYERMASK_BUFMODE;
    ASSERT_EQ(dev_ioctl(fb, FBIOPUT_LAYER_INFO, &info), 0);
    HI_BOOL show = HI_TRUE;
    ASSERT_EQ(dev_ioctl(fb, FBIOPUT_SHOW_HIFB, &show), 0);
    // The left half transparent (as the display table is during playback), the right opaque green.
    HI_U32 phys = 0;
    void* virt = nullptr;
    ASSERT_EQ(HI_MPI_SYS_MmzAlloc(&phys, &virt, nullptr, nullptr, 800 * 480 * 4), 0);
    auto* px = static_cast<std::uint32_t*>(virt);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 800; ++x) px[y * 800 + x] = x < 400 ? 0x00FFFFFFu : kGreen;
    HIFB_BUFFER_S buf{};
    buf.stCanvas = HIFB_SURFACE_S{phys, 800, 480, 800 * 4, HIFB_FMT_ARGB8888};
    buf.UpdateRect = HIFB_RECT{0, 0, 800, 480};
    ASSERT_EQ(dev_ioctl(fb, FBIO_REFRESH, &buf), 0);

    auto at = [](const host::Picture& p, int x, int y) { return p.argb[static_cast<std::size_t>(y * p.width + x)]; };
    host::Picture before = host::panel_picture();
    EXPECT_EQ(at(before, 100, 100), 0xFF000000u) << "no picture yet: the video layer is black";
    EXPECT_EQ(at(before, 600, 100), kGreen);

    send(clip, {clip.size()});
    ASSERT_EQ(wait_shown(1).count, 1u);
    const host::Picture p = host::panel_picture();
    // 320 x 192 scaled to 800 x 480: panel (x, y) shows picture (x * 2 / 5, y * 2 / 5).
    int worst = 0;
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 400; x += 7) {
            const std::uint32_t v = at(p, x, y);
            const std::size_t src = static_cast<std::size_t>((y * 2 / 5) * 320 + x * 2 / 5) * 3;
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(static_cast<int>((v >> (16 - 8 * c)) & 0xFF) - rgb[0][src + c]));
        }
    EXPECT_LE(worst, 3) << "the picture as ffmpeg converts it";
    for (int y = 0; y < 480; y += 7)
        for (int x = 400; x < 800; x += 7) ASSERT_EQ(at(p, x, y), kGreen) << x << "," << y;
    dev_close(fb);
}

TEST_F(Playback, GarbageAndTruncatedStreamsAreSkipped) {
    const Bytes clip = make_clip(dir_, "testsrc2=s=320x192:r=12", 20, "keyint=5");
    const auto ref = reference(dir_, clip, "yuv420p", 320 * 192 * 3 / 2);
    ASSERT_EQ(ref.size(), 20u);
    start_chain();
    ASSERT_EQ(HI_MPI_VO_SetChnFrameRate(0, 0, 240), 0);
    std::mt19937 rng(5);
    Bytes all(60000);
    for (auto& b : all) b = static_cast<std::uint8_t>(rng() % 4 ? rng() : 0);
    all.insert(all.end(), clip.begin(), clip.begin() + static_cast<long>(clip.size() / 2));  // cut mid-picture
    all.insert(all.end(), {0, 0, 1, 0x67, 0x42, 0xFF});                                        // a broken unit
    all.insert(all.end(), clip.begin(), clip.end());
    send(all, cuts(all, 5000, 9));
    sender_.join();
    host::board_sleep(1.0);
    const host::media::ShownPicture last = host::media::vo_shown(0, 0);
    ASSERT_TRUE(last.picture);
    EXPECT_LE(max_difference(planes(*last.picture), ref.back()), 1) << "the sound stream plays to its end";
    EXPECT_GE(query().u32DecodeStreamFrames, 20u);
    bool logged = false;
    for (const std::string& line : host::board_log_lines("media"))
        logged = logged || line.find("VDEC 32 stream error") != std::string::npos;
    EXPECT_TRUE(logged);
    ASSERT_EQ(HI_MPI_VDEC_StopRecvStream(32), 0);
    ASSERT_EQ(HI_MPI_VDEC_DestroyChn(32), 0);
}

// Random and cut-short streams straight into the decoder, as the fuzz driver does.
TEST_F(Playback, MutatedStreamsNeverCrash) {
    const Bytes seed = make_clip(dir_, "testsrc2=s=64x48:r=12", 3, "keyint=2");
    ASSERT_GT(seed.size(), 200u);
    EXPECT_EQ(fuzz_vdec(seed.data(), seed.size()), 3u);
    mutate_and_run([](const std::uint8_t* d, std::size_t n) { fuzz_vdec(d, n); }, {seed}, 3000, 4);
}

}  // namespace
