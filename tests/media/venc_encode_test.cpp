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
#include <random>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/venc_engine.h"
#include "tests/media/media_board.h"

namespace {

struct Recorder : MediaBoard {
    void SetUp() override { start(false, 1000.0); }

    // The system's chain for camera 0: capture, processing group 0, encoder
    // group and channel 0 (H.264 720p, variable bit rate, GOP 12), with an
    // overlay region on the group.
    void chain(HI_U32 max_streams = 0, HI_U32 ring = 1280 * 720 * 10) {
        bring_up();
        start_capture({0});
        const MPP_CHN_S cap{HI_ID_VIU, 0, 0}, proc{HI_ID_VPSS, 0, 0}, group{HI_ID_GROUP, 0, 0};
        ASSERT_EQ(HI_MPI_SYS_Bind(&cap, &proc), 0);
        VENC_CHN_ATTR_S a{};
        a.stVeAttr.enType = PT_H264;
        a.stVeAttr.stAttrH264e = VENC_ATTR_H264_S{1280, 720, ring, 1, HI_TRUE, HI_FALSE, HI_TRUE, 0, HI_FALSE, 1280, 720};
        a.stRcAttr.enRcMode = VENC_RC_MODE_H264VBRv2;
        a.stRcAttr.stAttrH264Vbr = VENC_ATTR_H264_VBR_S{12, 1, 12, 12, 1280, 40, 10};
        ASSERT_EQ(HI_MPI_VENC_CreateGroup(0), 0);
        ASSERT_EQ(HI_MPI_VENC_CreateChn(0, &a), 0);
        if (max_streams) {
            ASSERT_EQ(HI_MPI_VENC_SetMaxStreamCnt(0, max_streams), 0);
        }
        ASSERT_EQ(HI_MPI_VENC_RegisterChn(0, 0), 0);
        ASSERT_EQ(HI_MPI_SYS_Bind(&proc, &group), 0);

        // 288 x 24: the left half opaque green (alpha bit set), the right half
        // black without the alpha bit, which shows at the background alpha.
        RGN_ATTR_S r{};
        r.enType = OVERLAY_RGN;
        r.stOverlay.enPixelFmt = PIXEL_FORMAT_RGB_1555;
        r.stOverlay.stSize = {288, 24};
        ASSERT_EQ(HI_MPI_RGN_Create(0, &r), 0);
        RGN_CHN_ATTR_S at{};
        at.bShow = HI_TRUE;
        at.enType = OVERLAY_RGN;
        at.stOverlayChn = OVERLAY_CHN_ATTR_S{{960, 32}, 128, 64, 1};
        ASSERT_EQ(HI_MPI_RGN_AttachToChn(0, &group, &at), 0);
        std::vector<std::uint16_t> bits(288 * 26, 0);
        for (int y = 0; y < 26; ++y)
            for (int x = 0; x < 144; ++x) bits[static_cast<std::size_t>(y * 288 + x)] = 0x8000 | 0x03E0;
        BITMAP_S bm{PIXEL_FORMAT_RGB_1555, 288, 26, bits.data()};
        ASSERT_EQ(HI_MPI_RGN_SetBitMap(0, &bm), 0);
    }

    struct Stream {
        std::vector<std::vector<std::uint8_t>> packs;
        std::uint64_t pts = 0;
        bool wrapped = false;  // a pack came in two parts
    };

    // What a recording thread does: a blocking get, the packs' parts joined.
    static bool fetch(Stream& out) {
        std::array<VENC_PACK_S, 8> packs{};
        VENC_STREAM_S s{packs.data(), 8, 0};
        if (HI_MPI_VENC_GetStream(0, &s, HI_TRUE) != 0) return false;
        out = Stream{};
        for (HI_U32 i = 0; i < s.u32PackCount; ++i) {
            const VENC_PACK_S& p = packs[i];
            std::vector<std::uint8_t> bytes(p.pu8Addr[0], p.pu8Addr[0] + p.u32Len[0]);
            if (p.u32Len[1]) {
                bytes.insert(bytes.end(), p.pu8Addr[1], p.pu8Addr[1] + p.u32Len[1]);
                out.wrapped = true;
            }
            out.packs.push_back(std::move(bytes));
            out.pts = p.u64PTS;
        }
        return HI_MPI_VENC_ReleaseStream(0, &s) == 0;
    }

    static std::vector<Stream> fetch(int n) {
        std::vector<Stream> got;
        Stream s;
        while (static_cast<int>(got.size()) < n && fetch(s)) got.push_back(std::move(s));
        return got;
    }
};

int nal_type(const std::vector<std::uint8_t>& pack) { return pack.size() > 4 ? pack[4] & 0x1F : -1; }

bool has_nal(const Recorder::Stream& s, int type) {
    for (const auto& p : s.packs)
        if (nal_type(p) == type) return true;
    return false;
}

// A decoded picture: luma and the two 4:2:0 chroma planes.
struct Decoded {
    int width = 0, height = 0;
    std::vector<std::uint8_t> y, u, v;
    bool key = false;

    int mean(const std::vector<std::uint8_t>& plane, int stride, int x0, int y0, int x1, int y1) const {
        long sum = 0, n = 0;
        for (int yy = y0; yy < y1; ++yy)
            for (int xx = x0; xx < x1; ++xx, ++n) sum += plane[static_cast<std::size_t>(yy * stride + xx)];
        return static_cast<int>(sum / n);
    }
    // Mean Y, U, V over a rectangle in luma pixels (even corners).
    std::array<int, 3> colour(int x0, int y0, int x1, int y1) const {
        return {mean(y, width, x0, y0, x1, y1), mean(u, width / 2, x0 / 2, y0 / 2, x1 / 2, y1 / 2),
                mean(v, width / 2, x0 / 2, y0 / 2, x1 / 2, y1 / 2)};
    }
};

// libavcodec's H.264 decoder, one stream per packet, errors fatal.
struct Decoder {
    struct CodecFree {
        void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    };
    std::unique_ptr<AVCodecContext, CodecFree> ctx;
    std::vector<Decoded> pictures;
    int errors = 0;

    Decoder() {
        ctx.reset(avcodec_alloc_context3(avcodec_find_decoder(AV_CODEC_ID_H264)));
        ctx->thread_count = 1;
        ctx->err_recognition = AV_EF_EXPLODE | AV_EF_CRCCHECK | AV_EF_BITSTREAM;
        EXPECT_EQ(avcodec_open2(ctx.get(), avcodec_find_decoder(AV_CODEC_ID_H264), nullptr), 0);
    }
    void drain(AVFrame* f) {
        while (avcodec_receive_frame(ctx.get(), f) == 0) {
            if (f->decode_error_flags || (f->flags & AV_FRAME_FLAG_CORRUPT)) ++errors;
            Decoded d;
            d.width = f->width;
            d.height = f->height;
            d.key = f->key_frame;
            for (int row = 0; row < f->height; ++row)
                d.y.insert(d.y.end(), f->data[0] + row * f->linesize[0], f->data[0] + row * f->linesize[0] + f->width);
            for (int row = 0; row < f->height / 2; ++row) {
                d.u.insert(d.u.end(), f->data[1] + row * f->linesize[1],
                           f->data[1] + row * f->linesize[1] + f->width / 2);
                d.v.insert(d.v.end(), f->data[2] + row * f->linesize[2],
                           f->data[2] + row * f->linesize[2] + f->width / 2);
            }
            pictures.push_back(std::move(d));
            av_frame_unref(f);
        }
    }
    void decode(const std::vector<Recorder::Stream>& streams) {
        AVFrame* f = av_frame_alloc();
        AVPacket* p = av_packet_alloc();
        for (const auto& s : streams) {
            std::vector<std::uint8_t> bytes;
            for (const auto& pack : s.packs) bytes.insert(bytes.end(), pack.begin(), pack.end());
            ASSERT_EQ(av_new_packet(p, static_cast<int>(bytes.size())), 0);
            std::copy(bytes.begin(), bytes.end(), p->data);
            if (avcodec_send_packet(ctx.get(), p) < 0) ++errors;
            av_packet_unref(p);
            drain(f);
        }
        avcodec_send_packet(ctx.get(), nullptr);
        drain(f);
        av_packet_free(&p);
        av_frame_free(&f);
    }
};

// The test pattern's frame counter: six 5 x 7 glyphs of 16-pixel cells,
// white on a dark panel at (536, 304), 96 pixels apart.
int read_counter(const Decoded& d) {
    static constexpr std::array<std::array<std::uint8_t, 7>, 10> kDigits = {{
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
    int value = 0;
    for (int i = 0; i < 6; ++i) {
        std::array<std::uint8_t, 7> rows{};
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col) {
                const int x = 536 + i * 96 + col * 16 + 8, y = 304 + row * 16 + 8;
                if (d.y[static_cast<std::size_t>(y * d.width + x)] > 138) rows[static_cast<std::size_t>(row)] |= 0x10 >> col;
            }
        int digit = -1;
        for (int k = 0; k < 10; ++k)
            if (rows == kDigits[static_cast<std::size_t>(k)]) digit = k;
        if (digit < 0) return -1;
        value = value * 10 + digit;
    }
    return value;
}

std::uint64_t lost_frames(const std::filesystem::path& root) {
    std::ifstream in(root / "proc/umap/h264e");
    std::string line;
    while (std::getline(in, line) && line.find("EncdStart") == std::string::npos) {
    }
    unsigned long long lost = 0;
    if (!std::getline(in, line) || std::sscanf(line.c_str(), " %*d %*d %*d %*d %*d %*d %llu", &lost) != 1) return ~0ull;
    return lost;
}

void expect_near(const std::array<int, 3>& got, const std::array<int, 3>& want, int tolerance, const char* where) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[static_cast<std::size_t>(i)], want[static_cast<std::size_t>(i)], tolerance) << where << " component " << i;
}

TEST_F(Recorder, RecordingDecodesToTheCameraCounterAndOverlay) {
    ASSERT_NO_FATAL_FAILURE(chain());
    ASSERT_EQ(HI_MPI_VENC_StartRecvPic(0), 0);
    constexpr int kStreams = 26;
    const std::vector<Stream> streams = fetch(kStreams);
    ASSERT_EQ(static_cast<int>(streams.size()), kStreams);

    for (std::size_t i = 0; i < streams.size(); ++i) {
        const Stream& s = streams[i];
        ASSERT_FALSE(s.packs.empty());
        EXPECT_LE(s.packs.size(), 8u);
        for (const auto& p : s.packs) {
            ASSERT_GE(p.size(), 5u);
            EXPECT_EQ(std::vector<std::uint8_t>(p.begin(), p.begin() + 4), (std::vector<std::uint8_t>{0, 0, 0, 1}));
        }
        // A key frame, with its parameter sets in front, every 12 pictures.
        const bool key = i % 12 == 0;
        EXPECT_EQ(nal_type(s.packs[0]) == 7, key) << i;
        if (key) {
            EXPECT_EQ(s.packs[0][5], 77) << i;  // profile_idc: main, as asked
        }
        if (key) {
            EXPECT_EQ(nal_type(s.packs[1]), 8) << i;
        }
        EXPECT_EQ(has_nal(s, 5), key) << i;
        EXPECT_EQ(has_nal(s, 1), !key) << i;
        // 12 of the capture's 25 frames a second: two or three frame times apart.
        if (i > 0) {
            const std::uint64_t gap = s.pts - streams[i - 1].pts;
            EXPECT_TRUE(gap == 80000 || gap == 120000) << i << ": " << gap;
        }
    }

    Decoder dec;
    dec.decode(streams);
    EXPECT_EQ(dec.errors, 0);
    ASSERT_EQ(dec.pictures.size(), streams.size());
    const int first = read_counter(dec.pictures[0]);
    ASSERT_GE(first, 0);
    for (std::size_t k = 0; k < dec.pictures.size(); ++k) {
        const Decoded& d = dec.pictures[k];
        ASSERT_EQ(d.width, 1280);
        ASSERT_EQ(d.height, 720);
        EXPECT_EQ(d.key, k % 12 == 0) << k;
        // No picture skipped or repeated.
        EXPECT_EQ(read_counter(d), first + static_cast<int>(k)) << k;
    }
    const Decoded& d = dec.pictures.back();
    // Camera 0's red (Y 81, U 90, V 240) away from its glyphs and the region.
    expect_near(d.colour(1020, 66, 1090, 90), {81, 90, 240}, 4, "below the region");
    expect_near(d.colour(300, 600, 400, 640), {81, 90, 240}, 4, "camera");
    // Opaque green: R 0, G 255, B 0 is Y 144, U 54, V 34.
    expect_near(d.colour(1020, 36, 1090, 52), {144, 54, 34}, 4, "opaque half");
    // Black at alpha 64 of 128 over red: half of each.
    expect_near(d.colour(1108, 36, 1136, 52), {49, 109, 184}, 4, "translucent half");
}

TEST_F(Recorder, StartingAgainBeginsWithAKeyFrame) {
    ASSERT_NO_FATAL_FAILURE(chain());
    ASSERT_EQ(HI_MPI_VENC_StartRecvPic(0), 0);
    std::vector<Stream> first = fetch(5);
    ASSERT_EQ(first.size(), 5u);
    ASSERT_EQ(HI_MPI_VENC_StopRecvPic(0), 0);
    // Whatever was queued before the stop is still there to read; then none.
    VENC_CHN_STAT_S stat{};
    ASSERT_EQ(HI_MPI_VENC_Query(0, &stat), 0);
    Stream s;
    for (HI_U32 i = 0; i < stat.u32LeftStreamFrames; ++i) ASSERT_TRUE(fetch(s));
    host::board_sleep(1.0);
    ASSERT_EQ(HI_MPI_VENC_Query(0, &stat), 0);
    EXPECT_EQ(stat.u32LeftStreamFrames, 0u);

    ASSERT_EQ(HI_MPI_VENC_StartRecvPic(0), 0);
    std::vector<Stream> second = fetch(3);
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(nal_type(second[0].packs[0]), 7);
    EXPECT_TRUE(has_nal(second[0], 5));
    EXPECT_FALSE(has_nal(second[1], 5));
    EXPECT_GT(second[0].pts, first.back().pts + 1000000);
    // The second spell decodes on its own.
    Decoder dec;
    dec.decode(second);
    EXPECT_EQ(dec.errors, 0);
    EXPECT_EQ(dec.pictures.size(), 3u);

    // Unregistering stops the encoder as well.
    ASSERT_EQ(HI_MPI_VENC_UnRegisterChn(0), 0);
    const auto lines = host::board_log_lines("media");
    int stops = 0;
    for (const auto& l : lines) stops += l.find("VENC 0 encoder stopped") != std::string::npos;
    EXPECT_EQ(stops, 2);
}

TEST_F(Recorder, SystemExitWhileEncodingEndsTheEncoder) {
    ASSERT_NO_FATAL_FAILURE(chain());
    ASSERT_EQ(HI_MPI_VENC_StartRecvPic(0), 0);
    ASSERT_EQ(fetch(2).size(), 2u);
    ASSERT_EQ(HI_MPI_SYS_Exit(), 0);
    const auto count = [] {
        int n = 0;
        for (const auto& l : host::board_log_lines("media")) n += l.find("VENC 0 encoder stopped") != std::string::npos;
        return n;
    };
    EXPECT_EQ(count(), 1);
    // Up again, the same chain records afresh.
    ASSERT_EQ(HI_MPI_VB_Exit(), 0);
    ASSERT_NO_FATAL_FAILURE(chain());
    ASSERT_EQ(HI_MPI_VENC_StartRecvPic(0), 0);
    const std::vector<Stream> again = fetch(2);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(nal_type(again[0].packs[0]), 7);
    // Power-off with the encoder running (the fixture's tear-down) must not hang either.
}

TEST_F(Recorder, AReaderThatDoesNotFetchLosesPicturesNotTheRing) {
    ASSERT_NO_FATAL_FAILURE(chain(5));
    ASSERT_EQ(HI_MPI_VENC_StartRecvPic(0), 0);
    host::board_sleep(3.0);
    ASSERT_EQ(HI_MPI_VENC_StopRecvPic(0), 0);
    // Three seconds at 12 pictures a second: 36 due, give or take the one at
    // each end; the reader took none, so all but the five kept were lost.
    const std::uint64_t lost = lost_frames(root_);
    EXPECT_GE(lost, 36u - 1 - 5);
    EXPECT_LE(lost, 36u + 1 - 5);
    VENC_CHN_STAT_S stat{};
    ASSERT_EQ(HI_MPI_VENC_Query(0, &stat), 0);
    EXPECT_EQ(stat.u32LeftStreamFrames, 5u);
    // The five kept are the first five, whole and in order.
    std::vector<Stream> kept = fetch(5);
    ASSERT_EQ(kept.size(), 5u);
    Decoder dec;
    dec.decode(kept);
    EXPECT_EQ(dec.errors, 0);
    ASSERT_EQ(dec.pictures.size(), 5u);
    const int first = read_counter(dec.pictures[0]);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(read_counter(dec.pictures[static_cast<std::size_t>(k)]), first + k);
}

// Pictures that find the ring full are lost; what it holds stays whole,
// including packs that run past its end.
TEST_F(Recorder, AFullRingLosesPicturesAndKeepsWhatItHolds) {
    // Noise in a quarter of the picture: tens of kilobytes a picture.
    host::capture_use_renderer([](int, std::uint64_t frame, std::uint8_t* y, std::uint8_t* uv) {
        std::memset(y, 100, kPlaneBytes);
        std::memset(uv, 128, kPlaneBytes);
        std::uint32_t h = static_cast<std::uint32_t>(frame) * 2654435761u + 1;
        for (int row = 180; row < 540; ++row)
            for (int x = 320; x < 960; ++x) {
                h = h * 1664525u + 1013904223u;
                y[row * 1280 + x] = static_cast<std::uint8_t>(16 + (h >> 24) % 200);
            }
    });
    static constexpr HI_U32 kRing = 1280 * 720;  // the smallest a 720p channel may have
    ASSERT_NO_FATAL_FAILURE(chain(0, kRing));
    ASSERT_EQ(HI_MPI_VENC_StartRecvPic(0), 0);

    auto take_all = [](std::vector<Stream>& out) {
        VENC_CHN_STAT_S stat{};
        ASSERT_EQ(HI_MPI_VENC_Query(0, &stat), 0);
        EXPECT_LE(stat.u32LeftStreamBytes, kRing);
        Stream s;
        for (HI_U32 i = 0; i < stat.u32LeftStreamFrames; ++i) {
            ASSERT_TRUE(fetch(s));
            out.push_back(std::move(s));
        }
    };
    auto contiguous = [](const std::vector<Stream>& streams) {
        for (std::size_t i = 1; i < streams.size(); ++i) {
            const std::uint64_t gap = streams[i].pts - streams[i - 1].pts;
            if (gap != 80000 && gap != 120000) return false;
        }
        return true;
    };
    std::vector<Stream> first, second;
    host::board_sleep(4.0);
    ASSERT_NO_FATAL_FAILURE(take_all(first));
    const std::uint64_t lost = lost_frames(root_);
    EXPECT_GT(lost, 0u);
    EXPECT_GT(first.size(), 12u);
    EXPECT_LT(first.size(), 40u);
    host::board_sleep(4.0);
    ASSERT_EQ(HI_MPI_VENC_StopRecvPic(0), 0);
    ASSERT_NO_FATAL_FAILURE(take_all(second));
    EXPECT_GT(lost_frames(root_), lost);
    // Each batch is what came while there was room: no gap inside it.
    EXPECT_TRUE(contiguous(first));
    EXPECT_TRUE(contiguous(second));
    // The second batch was written from where the first was read.
    bool wrapped = false;
    for (const Stream& s : second) wrapped = wrapped || s.wrapped;
    EXPECT_TRUE(wrapped);

    Decoder one;
    one.decode(first);
    EXPECT_EQ(one.errors, 0);
    EXPECT_EQ(one.pictures.size(), first.size());
    // The second batch decodes from its first key frame on.
    auto key = std::find_if(second.begin(), second.end(), [](const Stream& s) { return has_nal(s, 5); });
    ASSERT_NE(key, second.end());
    const std::vector<Stream> tail(key, second.end());
    Decoder two;
    two.decode(tail);
    EXPECT_EQ(two.errors, 0);
    EXPECT_EQ(two.pictures.size(), tail.size());
}

// The profile and rate control come from the channel's attributes.
TEST(PictureEncoder, ProfileAndRateControlFollowTheAttributes) {
    using host::media::PictureEncoder;
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> noise(16, 235);
    std::vector<std::uint8_t> source(host::media::kCaptureFrameBytes);
    for (auto& b : source) b = static_cast<std::uint8_t>(noise(rng));

    auto run = [&](const VENC_CHN_ATTR_S& a, int pictures, std::vector<std::uint8_t>& sps) {
        PictureEncoder e;
        std::string why;
        EXPECT_TRUE(e.open(a, why)) << why;
        std::size_t bytes = 0;
        PictureEncoder::Packs packs{};
        std::vector<std::uint8_t> work;
        for (int k = 0; k < pictures; ++k) {
            work = source;
            // A different picture each time, so every one costs bits.
            for (std::size_t i = static_cast<std::size_t>(k); i < work.size(); i += 7) work[i] ^= 0x10;
            const std::size_t n = e.encode(work.data(), {}, packs);
            EXPECT_GT(n, 0u);
            if (k == 0 && n > 0) sps.assign(packs[0].begin(), packs[0].end());
            for (std::size_t i = 0; i < n; ++i) bytes += packs[i].size();
        }
        return bytes;
    };
    VENC_CHN_ATTR_S a{};
    a.stVeAttr.enType = PT_H264;
    a.stVeAttr.stAttrH264e = VENC_ATTR_H264_S{1280, 720, 1280 * 720 * 10, 0, HI_TRUE, HI_FALSE, HI_TRUE, 0,
                                              HI_FALSE, 1280, 720};
    // Constant 400 kbit/s, baseline: two seconds come to about 100 kB.
    a.stRcAttr.enRcMode = VENC_RC_MODE_H264CBRv2;
    a.stRcAttr.stAttrH264Cbr = VENC_ATTR_H264_CBR_S{12, 1, 12, 12, 400, 0};
    std::vector<std::uint8_t> sps;
    const std::size_t cbr = run(a, 24, sps);
    EXPECT_GT(cbr, 60000u);
    EXPECT_LT(cbr, 140000u);
    ASSERT_GE(sps.size(), 6u);
    EXPECT_EQ(sps[4] & 0x1F, 7);
    EXPECT_EQ(sps[5], 66);  // profile_idc: baseline

    // Fixed QP 51 gives the coarsest pictures; QP 20 many times the bytes. High profile.
    a.stVeAttr.stAttrH264e.u32Profile = 2;
    a.stRcAttr.enRcMode = VENC_RC_MODE_H264FIXQP;
    a.stRcAttr.stAttrH264FixQp = VENC_ATTR_H264_FIXQP_S{12, 12, 12, 51, 51};
    const std::size_t coarse = run(a, 3, sps);
    EXPECT_EQ(sps[5], 100);  // high
    a.stRcAttr.stAttrH264FixQp = VENC_ATTR_H264_FIXQP_S{12, 12, 12, 20, 20};
    const std::size_t fine = run(a, 3, sps);
    EXPECT_GT(fine, 5 * coarse);
}

}  // namespace
