// The board's encoder: a camera bound through a processing group to an
// encoder group is recorded as H.264 that libavcodec's own decoder reads back
// as the camera's test pattern, frame counter and overlay.
extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/venc_engine.h"
#include "tests/media/media_board.h"
#include "tests/video_probe.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Stream {
    std::vector<Bytes> packs;
    std::uint64_t pts = 0;
    bool wrapped = false;  // a pack came in two parts
};

int nal_type(const Bytes& pack) { return pack.size() > 4 ? pack[4] & 0x1F : -1; }

bool has_nal(const Stream& s, int type) {
    return std::any_of(s.packs.begin(), s.packs.end(), [&](const Bytes& p) { return nal_type(p) == type; });
}

// 12 of the capture's 25 frames a second: two or three frame times apart.
bool contiguous(const std::vector<Stream>& streams) {
    for (std::size_t i = 1; i < streams.size(); ++i)
        if (const auto gap = streams[i].pts - streams[i - 1].pts; gap != 80000 && gap != 120000) return false;
    return true;
}

struct Recorder : MediaBoard {
    void SetUp() override { start(false, 1000.0); }

    // The system's chain for camera 0: capture, processing group 0, encoder
    // group and channel 0 (H.264 720p main profile, variable bit rate, GOP
    // 12), and a region on the group: its left half opaque green, its right
    // half black without the alpha bit, shown at background alpha 64.
    void chain(HI_U32 ring = 1280 * 720 * 10) {
        bring_up();
        start_capture({0});
        const MPP_CHN_S cap{HI_ID_VIU, 0, 0}, proc{HI_ID_VPSS, 0, 0}, group{HI_ID_GROUP, 0, 0};
        ASSERT_EQ(HI_MPI_SYS_Bind(&cap, &proc), 0);
        VENC_CHN_ATTR_S a{};
        a.stVeAttr.enType = PT_H264;
        a.stVeAttr.stAttrH264e =
            VENC_ATTR_H264_S{1280, 720, ring, 1, HI_TRUE, HI_FALSE, HI_TRUE, 0, HI_FALSE, 1280, 720};
        a.stRcAttr.enRcMode = VENC_RC_MODE_H264VBRv2;
        a.stRcAttr.stAttrH264Vbr = VENC_ATTR_H264_VBR_S{12, 1, 12, 12, 1280, 40, 10};
        ASSERT_EQ(HI_MPI_VENC_CreateGroup(0), 0);
        ASSERT_EQ(HI_MPI_VENC_CreateChn(0, &a), 0);
        ASSERT_EQ(HI_MPI_VENC_RegisterChn(0, 0), 0);
        ASSERT_EQ(HI_MPI_SYS_Bind(&proc, &group), 0);
        RGN_ATTR_S r{};
        r.enType = OVERLAY_RGN;
        r.stOverlay.enPixelFmt = PIXEL_FORMAT_RGB_1555;
        r.stOverlay.stSize = {288, 24};
        ASSERT_EQ(HI_MPI_RGN_Create(0, &r), 0);
        const RGN_CHN_ATTR_S at{HI_TRUE, OVERLAY_RGN, OVERLAY_CHN_ATTR_S{{960, 32}, 128, 64, 1}};
        ASSERT_EQ(HI_MPI_RGN_AttachToChn(0, &group, &at), 0);
        std::vector<std::uint16_t> bits(288 * 26, 0);
        for (std::size_t i = 0; i < bits.size(); ++i)
            if (i % 288 < 144) bits[i] = 0x8000 | 0x03E0;
        BITMAP_S bm{PIXEL_FORMAT_RGB_1555, 288, 26, bits.data()};
        ASSERT_EQ(HI_MPI_RGN_SetBitMap(0, &bm), 0);
        ASSERT_EQ(HI_MPI_VENC_StartRecvPic(0), 0);
    }

    // As a recording thread reads: blocking gets, each pack's parts joined.
    static std::vector<Stream> fetch(std::size_t n) {
        std::vector<Stream> got;
        // On two loaded cores a blocking get has been seen to end empty (its
        // two board seconds are 2 ms of host time here): ask again, a bounded
        // number of times, rather than stop short.
        for (int empty = 0; got.size() < n;) {
            std::array<VENC_PACK_S, 8> packs{};
            VENC_STREAM_S s{packs.data(), 8, 0};
            if (HI_MPI_VENC_GetStream(0, &s, HI_TRUE) != 0) {
                if (++empty > 50) break;
                continue;
            }
            Stream& out = got.emplace_back();
            for (HI_U32 i = 0; i < s.u32PackCount; ++i) {
                const VENC_PACK_S& p = packs[i];
                Bytes& b = out.packs.emplace_back(p.pu8Addr[0], p.pu8Addr[0] + p.u32Len[0]);
                if (p.u32Len[1]) b.insert(b.end(), p.pu8Addr[1], p.pu8Addr[1] + p.u32Len[1]);
                out.wrapped = out.wrapped || p.u32Len[1];
                out.pts = p.u64PTS;
            }
            EXPECT_EQ(HI_MPI_VENC_ReleaseStream(0, &s), 0);
        }
        return got;
    }
    static std::vector<Stream> fetch_queued() {
        VENC_CHN_STAT_S stat{};
        EXPECT_EQ(HI_MPI_VENC_Query(0, &stat), 0);
        return fetch(stat.u32LeftStreamFrames);
    }
};

// A decoded picture: luma and the two 4:2:0 chroma planes, packed.
struct Picture {
    bool key = false;
    int width = 0, height = 0;
    std::array<Bytes, 3> planes;

    // Mean Y, U, V over a rectangle in luma pixels (even corners).
    std::array<int, 3> colour(int x0, int y0, int x1, int y1) const {
        std::array<int, 3> out{};
        for (int p = 0; p < 3; ++p) {
            const int s = p ? 2 : 1, w = width / s;
            long sum = 0, n = 0;
            for (int y = y0 / s; y < y1 / s; ++y)
                for (int x = x0 / s; x < x1 / s; ++x, ++n)
                    sum += planes[static_cast<std::size_t>(p)][static_cast<std::size_t>(y * w + x)];
            out[static_cast<std::size_t>(p)] = static_cast<int>(sum / n);
        }
        return out;
    }
};

// libavcodec's H.264 decoder, one stream per packet, errors counted.
struct Decoded {
    std::vector<Picture> pictures;
    int errors = 0;
};
Decoded decode(const std::vector<Stream>& streams) {
    Decoded out;
    const AVCodec* h264 = avcodec_find_decoder(AV_CODEC_ID_H264);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> ctx(avcodec_alloc_context3(h264),
                                                                   [](AVCodecContext* c) { avcodec_free_context(&c); });
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> f(av_frame_alloc(), [](AVFrame* p) { av_frame_free(&p); });
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> pkt(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
    ctx->err_recognition = AV_EF_EXPLODE | AV_EF_BITSTREAM;
    if (avcodec_open2(ctx.get(), h264, nullptr) < 0) return ++out.errors, out;
    auto drain = [&] {
        while (avcodec_receive_frame(ctx.get(), f.get()) == 0) {
            out.errors += f->decode_error_flags || (f->flags & AV_FRAME_FLAG_CORRUPT);
            Picture& p = out.pictures.emplace_back();
            p.key = f->key_frame;
            p.width = f->width;
            p.height = f->height;
            for (int i = 0; i < 3; ++i)
                for (int row = 0; row < f->height / (i ? 2 : 1); ++row) {
                    const std::uint8_t* line = f->data[i] + row * f->linesize[i];
                    p.planes[static_cast<std::size_t>(i)].insert(p.planes[static_cast<std::size_t>(i)].end(), line,
                                                                 line + f->width / (i ? 2 : 1));
                }
            av_frame_unref(f.get());
        }
    };
    for (const Stream& s : streams) {
        Bytes bytes;
        for (const Bytes& pack : s.packs) bytes.insert(bytes.end(), pack.begin(), pack.end());
        pkt->data = bytes.data();
        pkt->size = static_cast<int>(bytes.size());
        out.errors += avcodec_send_packet(ctx.get(), pkt.get()) < 0;
        drain();
    }
    avcodec_send_packet(ctx.get(), nullptr);
    drain();
    return out;
}

// The test pattern's frame counter, read from the decoded luma.
int read_counter(const Picture& p) {
    return static_cast<int>(video_probe::pattern_counter(p.planes[0].data(), p.width));
}

// The system's reading of the statistics file: the seventh number of the line
// after the header.
std::uint64_t lost_frames(const std::filesystem::path& root) {
    std::ifstream in(root / "proc/umap/h264e");
    std::string line;
    while (std::getline(in, line) && line.find("EncdStart") == std::string::npos) {
    }
    unsigned long long lost = ~0ull;
    if (std::getline(in, line)) std::sscanf(line.c_str(), " %*d %*d %*d %*d %*d %*d %llu", &lost);
    return lost;
}

int log_count(const std::string& text) {
    int n = 0;
    for (const auto& l : host::board_log_lines("media")) n += l.find(text) != std::string::npos;
    return n;
}

TEST_F(Recorder, RecordingDecodesToTheCameraCounterAndOverlay) {
    ASSERT_NO_FATAL_FAILURE(chain());
    const std::vector<Stream> streams = fetch(26);
    ASSERT_EQ(streams.size(), 26u);
    EXPECT_TRUE(contiguous(streams));
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const Stream& s = streams[i];
        EXPECT_LE(s.packs.size(), 8u);
        for (const Bytes& p : s.packs) EXPECT_TRUE(p.size() > 4 && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 1);
        // A key frame, its parameter sets in front, every 12 pictures.
        const bool key = i % 12 == 0;
        EXPECT_EQ(nal_type(s.packs[0]) == 7, key) << i;
        EXPECT_EQ(has_nal(s, 5), key) << i;
        EXPECT_EQ(has_nal(s, 1), !key) << i;
        EXPECT_TRUE(!key || (nal_type(s.packs[1]) == 8 && s.packs[0][5] == 77)) << i;  // profile_idc: main
    }
    const Decoded d = decode(streams);
    EXPECT_EQ(d.errors, 0);
    ASSERT_EQ(d.pictures.size(), streams.size());
    const int first = read_counter(d.pictures[0]);
    ASSERT_GE(first, 0);
    for (std::size_t k = 0; k < d.pictures.size(); ++k) {
        const Picture& p = d.pictures[k];
        ASSERT_TRUE(p.width == 1280 && p.height == 720);
        EXPECT_EQ(p.key, k % 12 == 0) << k;
        EXPECT_EQ(read_counter(p), first + static_cast<int>(k)) << "no picture skipped or repeated";
    }
    const Picture& p = d.pictures.back();
    auto near = [](std::array<int, 3> got, std::array<int, 3> want) {
        for (std::size_t i = 0; i < 3; ++i)
            if (std::abs(got[i] - want[i]) > 4) return false;
        return true;
    };
    // Camera 0's red (Y 81, U 90, V 240) away from its glyphs, also just below the region.
    EXPECT_TRUE(near(p.colour(300, 600, 400, 640), {81, 90, 240}));
    EXPECT_TRUE(near(p.colour(1020, 66, 1090, 90), {81, 90, 240}));
    // Opaque green (R 0, G 255, B 0) is Y 144, U 54, V 34.
    EXPECT_TRUE(near(p.colour(1020, 36, 1090, 52), {144, 54, 34}));
    // Black (16, 128, 128) at alpha 64 of 128 over the red: half of each.
    EXPECT_TRUE(near(p.colour(1108, 36, 1136, 52), {49, 109, 184}));
}

TEST_F(Recorder, StartingAgainBeginsWithAKeyFrameAndSystemExitEndsTheEncoder) {
    ASSERT_NO_FATAL_FAILURE(chain());
    const std::vector<Stream> before = fetch(5);
    ASSERT_EQ(before.size(), 5u);
    ASSERT_EQ(HI_MPI_VENC_StopRecvPic(0), 0);
    fetch_queued();
    host::board_sleep(1.0);
    EXPECT_TRUE(fetch_queued().empty());

    ASSERT_EQ(HI_MPI_VENC_StartRecvPic(0), 0);
    const std::vector<Stream> after = fetch(3);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(nal_type(after[0].packs[0]), 7);
    EXPECT_TRUE(has_nal(after[0], 5) && !has_nal(after[1], 5));
    EXPECT_GT(after[0].pts, before.back().pts + 1000000);
    const Decoded d = decode(after);
    EXPECT_EQ(d.errors, 0);
    EXPECT_EQ(d.pictures.size(), 3u);

    // Taking the system down while encoding ends the encoder; board time
    // then passes with nothing encoded.
    ASSERT_EQ(HI_MPI_SYS_Exit(), 0);
    EXPECT_EQ(log_count("VENC 0 encoder stopped"), 2);
    host::board_sleep(1.0);
    EXPECT_EQ(log_count("VENC 0 encoding"), 2);
}

// A reader that does not fetch: pictures that find the ring full are lost
// and counted; what the ring holds stays whole, packs past its end included.
TEST_F(Recorder, AReaderThatDoesNotFetchLosesPicturesNotTheRing) {
    // Noise in a quarter of the picture: tens of kilobytes a picture.
    host::capture_use_renderer([](int, std::uint64_t frame, std::uint8_t* y, std::uint8_t* uv) {
        std::memset(y, 100, kPlaneBytes);
        std::memset(uv, 128, kPlaneBytes);
        std::uint32_t h = static_cast<std::uint32_t>(frame) * 2654435761u + 1;
        for (int row = 180; row < 540; ++row)
            for (int x = 320; x < 960; ++x)
                y[row * 1280 + x] = static_cast<std::uint8_t>(16 + ((h = h * 1664525u + 1013904223u) >> 24) % 200);
    });
    constexpr HI_U32 kRing = 1280 * 720;  // the least a 720p channel may have
    ASSERT_NO_FATAL_FAILURE(chain(kRing));
    VENC_CHN_STAT_S stat{};
    host::board_sleep(4.0);
    ASSERT_EQ(HI_MPI_VENC_Query(0, &stat), 0);
    EXPECT_LE(stat.u32LeftStreamBytes, kRing);
    const std::vector<Stream> first = fetch_queued();
    const std::uint64_t lost = lost_frames(root_);
    EXPECT_GT(lost, 0u);
    EXPECT_TRUE(first.size() > 12 && first.size() < 40) << first.size();
    host::board_sleep(4.0);
    ASSERT_EQ(HI_MPI_VENC_StopRecvPic(0), 0);
    const std::vector<Stream> second = fetch_queued();
    EXPECT_GT(lost_frames(root_), lost);
    // Each batch is what came while there was room: no gap inside it, and the
    // second was written on from where the first was read.
    EXPECT_TRUE(contiguous(first) && contiguous(second));
    EXPECT_TRUE(std::any_of(second.begin(), second.end(), [](const Stream& s) { return s.wrapped; }));
    const Decoded one = decode(first);
    EXPECT_EQ(one.errors, 0);
    EXPECT_EQ(one.pictures.size(), first.size());
    // The second batch decodes from its first key frame on.
    const std::vector<Stream> tail(
        std::find_if(second.begin(), second.end(), [](const Stream& s) { return has_nal(s, 5); }), second.end());
    ASSERT_FALSE(tail.empty());
    const Decoded two = decode(tail);
    EXPECT_EQ(two.errors, 0);
    EXPECT_EQ(two.pictures.size(), tail.size());
}

// Constant bit rate keeps near its target; fixed QP sets the coarseness; the
// profile is the one asked for.
TEST(PictureEncoder, ProfileAndRateControlFollowTheAttributes) {
    std::mt19937 rng(3);
    Bytes source(host::media::kCaptureFrameBytes);
    for (auto& b : source) b = static_cast<std::uint8_t>(16 + rng() % 220);
    VENC_CHN_ATTR_S a{};
    a.stVeAttr.enType = PT_H264;
    a.stVeAttr.stAttrH264e =
        VENC_ATTR_H264_S{1280, 720, 1280 * 720, 0, HI_TRUE, HI_FALSE, HI_TRUE, 0, HI_FALSE, 1280, 720};
    int profile = 0;
    auto bytes = [&](int pictures) {
        host::media::PictureEncoder e;
        std::string why;
        EXPECT_TRUE(e.open(a, why)) << why;
        std::size_t total = 0;
        host::media::PictureEncoder::Packs packs{};
        for (int k = 0; k < pictures; ++k) {
            Bytes work = source;
            for (std::size_t i = static_cast<std::size_t>(k); i < work.size(); i += 7) work[i] ^= 0x10;
            const std::size_t n = e.encode(work.data(), {}, packs);
            EXPECT_GT(n, 0u);
            if (k == 0 && n > 0) profile = packs[0][5];
            for (std::size_t i = 0; i < n; ++i) total += packs[i].size();
        }
        return total;
    };
    // 400 kbit/s for two seconds is 100 kB.
    a.stRcAttr.enRcMode = VENC_RC_MODE_H264CBRv2;
    a.stRcAttr.stAttrH264Cbr = VENC_ATTR_H264_CBR_S{12, 1, 12, 12, 400, 0};
    const std::size_t cbr = bytes(24);
    EXPECT_TRUE(cbr > 60000 && cbr < 140000) << cbr;
    EXPECT_EQ(profile, 66);  // baseline
    a.stVeAttr.stAttrH264e.u32Profile = 2;
    a.stRcAttr.enRcMode = VENC_RC_MODE_H264FIXQP;
    a.stRcAttr.stAttrH264FixQp = VENC_ATTR_H264_FIXQP_S{12, 12, 12, 51, 51};
    const std::size_t coarse = bytes(3);
    EXPECT_EQ(profile, 100);  // high
    a.stRcAttr.stAttrH264FixQp = VENC_ATTR_H264_FIXQP_S{12, 12, 12, 20, 20};
    EXPECT_GT(bytes(3), 5 * coarse);
}

}  // namespace
