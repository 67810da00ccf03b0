// Encoder channels: attributes, registration, the stream queue behind the
// descriptor, and the statistics file the system reads.
#include <sys/select.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "host/media_parts.h"
#include "tests/media/media_board.h"

namespace {

using Encoder = MediaBoard;

// The system's recording channel: H.264 720p, variable bit rate.
VENC_CHN_ATTR_S recording(HI_U32 w = 1280, HI_U32 h = 720, HI_U32 buf = 1280 * 720 * 10) {
    VENC_CHN_ATTR_S a{};
    a.stVeAttr.enType = PT_H264;
    a.stVeAttr.stAttrH264e = VENC_ATTR_H264_S{w, h, buf, 1, HI_TRUE, HI_FALSE, HI_TRUE, 0, HI_FALSE, w, h};
    a.stRcAttr.enRcMode = VENC_RC_MODE_H264VBRv2;
    a.stRcAttr.stAttrH264Vbr = VENC_ATTR_H264_VBR_S{12, 1, 12, 12, 1280, 40, 10};
    return a;
}

bool readable(int fd) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    timeval zero{0, 0};
    return select(fd + 1, &set, nullptr, nullptr, &zero) == 1;
}

void start_channel(int chn, const VENC_CHN_ATTR_S& a) {
    ASSERT_EQ(HI_MPI_VENC_CreateGroup(chn), 0);
    ASSERT_EQ(HI_MPI_VENC_CreateChn(chn, &a), 0);
    ASSERT_EQ(HI_MPI_VENC_RegisterChn(chn, chn), 0);
    ASSERT_EQ(HI_MPI_VENC_StartRecvPic(chn), 0);
}

bool queue(int chn, const std::vector<std::vector<std::uint8_t>>& packs, std::uint64_t pts) {
    std::vector<std::span<const std::uint8_t>> spans(packs.begin(), packs.end());
    return host::media::venc_queue_stream(chn, spans, pts);
}

std::string stats_file(const std::filesystem::path& root) {
    std::ifstream in(root / "proc/umap/h264e");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

constexpr const char* kHeader =
    "-----VENC CHN STATE------------------------------------------------------------\n"
    "   ChnId   GrpId RecvStart  LeftPics LeftBytes  CurPacks   LostFrm EncdStart\n";

TEST_F(Encoder, AttributesComeBackAsCreated) {
    bring_up();
    const VENC_CHN_ATTR_S a = recording();
    ASSERT_EQ(HI_MPI_VENC_CreateChn(3, &a), 0);
    VENC_CHN_ATTR_S got{};
    ASSERT_EQ(HI_MPI_VENC_GetChnAttr(3, &got), 0);
    EXPECT_EQ(std::memcmp(&got, &a, sizeof a), 0);
    EXPECT_EQ(HI_MPI_VENC_CreateChn(3, &a), code(0xA0078004));

    VENC_CHN_ATTR_S bad = a;
    bad.stVeAttr.enType = PT_MP4VIDEO;
    EXPECT_EQ(HI_MPI_VENC_CreateChn(4, &bad), code(0xA0078008));
    bad = a;
    bad.stRcAttr.enRcMode = VENC_RC_MODE_MJPEGCBR;  // not a rate control of H.264
    EXPECT_EQ(HI_MPI_VENC_CreateChn(4, &bad), code(0xA0078003));
    EXPECT_EQ(HI_MPI_VENC_CreateChn(4, &(bad = recording(1280, 720, 1280 * 720 - 1))), code(0xA0078003));
    bad = recording();
    bad.stVeAttr.stAttrH264e.u32PicWidth = 1920;  // above the maximum
    EXPECT_EQ(HI_MPI_VENC_CreateChn(4, &bad), code(0xA0078003));
}

TEST_F(Encoder, ReceptionNeedsRegistration) {
    bring_up();
    const VENC_CHN_ATTR_S a = recording();
    ASSERT_EQ(HI_MPI_VENC_CreateChn(0, &a), 0);
    EXPECT_EQ(HI_MPI_VENC_StartRecvPic(0), code(0xA0078009));
    EXPECT_EQ(HI_MPI_VENC_RegisterChn(0, 0), code(0xA0078005));  // no group 0
    ASSERT_EQ(HI_MPI_VENC_CreateGroup(0), 0);
    ASSERT_EQ(HI_MPI_VENC_RegisterChn(0, 0), 0);
    EXPECT_NE(HI_MPI_VENC_RegisterChn(0, 0), 0);
    EXPECT_EQ(HI_MPI_VENC_StartRecvPic(0), 0);
    EXPECT_NE(HI_MPI_VENC_DestroyChn(0), 0);  // still registered
    EXPECT_NE(HI_MPI_VENC_DestroyGroup(0), 0);
    EXPECT_EQ(HI_MPI_VENC_UnRegisterChn(0), 0);
    EXPECT_EQ(HI_MPI_VENC_DestroyChn(0), 0);
    EXPECT_EQ(HI_MPI_VENC_DestroyGroup(0), 0);
    EXPECT_LT(HI_MPI_VENC_GetFd(0), 0);
}

TEST_F(Encoder, DescriptorIsReadableExactlyWhileAStreamWaits) {
    bring_up();
    start_channel(0, recording());
    const int fd = HI_MPI_VENC_GetFd(0);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(readable(fd));
    VENC_PACK_S packs[2]{};
    VENC_STREAM_S stream{packs, 2, 0};
    EXPECT_EQ(HI_MPI_VENC_GetStream(0, &stream, HI_FALSE), code(0xA007800E));

    const std::vector<std::uint8_t> sps = {0, 0, 0, 1, 0x67, 1, 2}, slice(5000, 0xAB);
    ASSERT_TRUE(queue(0, {sps, slice}, 123456));
    EXPECT_TRUE(readable(fd));
    VENC_CHN_STAT_S stat{};
    ASSERT_EQ(HI_MPI_VENC_Query(0, &stat), 0);
    EXPECT_EQ(stat.u32CurPacks, 2u);
    EXPECT_EQ(stat.u32LeftStreamFrames, 1u);
    EXPECT_EQ(stat.u32LeftStreamBytes, 5007u);

    stream.u32PackCount = 1;
    EXPECT_EQ(HI_MPI_VENC_GetStream(0, &stream, HI_TRUE), code(0xA0078003));  // too few packs
    stream.u32PackCount = 2;
    ASSERT_EQ(HI_MPI_VENC_GetStream(0, &stream, HI_TRUE), 0);
    EXPECT_FALSE(readable(fd));
    EXPECT_EQ(stream.u32PackCount, 2u);
    EXPECT_EQ(std::vector<std::uint8_t>(packs[0].pu8Addr[0], packs[0].pu8Addr[0] + packs[0].u32Len[0]), sps);
    EXPECT_EQ(packs[1].u32Len[0], 5000u);
    EXPECT_EQ(packs[1].u32Len[1], 0u);
    EXPECT_EQ(packs[1].u64PTS, 123456u);
    EXPECT_EQ(packs[1].bFrameEnd, HI_TRUE);
    EXPECT_EQ(host::mmz_resolve(packs[1].u32PhyAddr[0], 5000), packs[1].pu8Addr[0]);
    ASSERT_EQ(HI_MPI_VENC_Query(0, &stat), 0);
    EXPECT_EQ(stat.u32CurPacks, 0u);
    EXPECT_EQ(HI_MPI_VENC_ReleaseStream(0, &stream), 0);
    EXPECT_NE(HI_MPI_VENC_ReleaseStream(0, &stream), 0);
}

TEST_F(Encoder, PackRunningPastTheRingEndComesInTwoParts) {
    bring_up();
    start_channel(1, recording(64, 64, 4096));
    std::vector<std::uint8_t> first(3000, 1), second(3000);
    for (std::size_t i = 0; i < second.size(); ++i) second[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(queue(1, {first}, 1));
    EXPECT_FALSE(queue(1, {second}, 2));  // no room until the first goes back
    VENC_PACK_S pack{};
    VENC_STREAM_S stream{&pack, 1, 0};
    ASSERT_EQ(HI_MPI_VENC_GetStream(1, &stream, HI_FALSE), 0);
    ASSERT_EQ(HI_MPI_VENC_ReleaseStream(1, &stream), 0);

    ASSERT_TRUE(queue(1, {second}, 3));
    ASSERT_EQ(HI_MPI_VENC_GetStream(1, &stream, HI_FALSE), 0);
    EXPECT_EQ(pack.u32Len[0], 4096u - 3000u);
    EXPECT_EQ(pack.u32Len[1], 3000u - (4096u - 3000u));
    std::vector<std::uint8_t> joined(pack.pu8Addr[0], pack.pu8Addr[0] + pack.u32Len[0]);
    joined.insert(joined.end(), pack.pu8Addr[1], pack.pu8Addr[1] + pack.u32Len[1]);
    EXPECT_EQ(joined, second);
    // The lost picture shows in the statistics the system reads.
    std::istringstream stats(stats_file(root_));
    std::string line;
    std::getline(stats, line);
    std::getline(stats, line);
    ASSERT_TRUE(std::getline(stats, line));
    int chn = -1, lost = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), " %d %*d %*d %*d %*d %*d %d", &chn, &lost), 2);
    EXPECT_EQ(chn, 1);
    EXPECT_EQ(lost, 1);
}

TEST_F(Encoder, BlockingGetGivesUpAfterTwoBoardSeconds) {
    restart(false, 20.0);
    bring_up();
    start_channel(2, recording());
    VENC_PACK_S pack{};
    VENC_STREAM_S stream{&pack, 1, 0};
    const double start = host::board_uptime();
    EXPECT_EQ(HI_MPI_VENC_GetStream(2, &stream, HI_TRUE), code(0xA007800E));
    EXPECT_GE(host::board_uptime() - start, 1.95);
}

TEST_F(Encoder, BlockingGetWakesForAQueuedStream) {
    bring_up();
    start_channel(2, recording());
    VENC_PACK_S pack{};
    VENC_STREAM_S stream{&pack, 1, 0};
    std::thread encoder([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::vector<std::uint8_t> data(100, 7);
        EXPECT_TRUE(queue(2, {data}, 9));
    });
    EXPECT_EQ(HI_MPI_VENC_GetStream(2, &stream, HI_TRUE), 0);
    encoder.join();
    EXPECT_EQ(pack.u32Len[0], 100u);
    EXPECT_EQ(pack.u64PTS, 9u);
}

TEST_F(Encoder, StatisticsFileListsEveryChannel) {
    EXPECT_EQ(stats_file(root_), kHeader);
    bring_up();
    start_channel(0, recording());
    const VENC_CHN_ATTR_S a = recording();
    ASSERT_EQ(HI_MPI_VENC_CreateChn(5, &a), 0);
    EXPECT_EQ(stats_file(root_), std::string(kHeader) +
                                     "       0       0         1         0         0         0         0         0\n"
                                     "       5      -1         0         0         0         0         0         0\n");
    ASSERT_EQ(HI_MPI_VENC_StopRecvPic(0), 0);
    ASSERT_EQ(HI_MPI_VENC_DestroyChn(5), 0);
    EXPECT_EQ(stats_file(root_), std::string(kHeader) +
                                     "       0       0         0         0         0         0         0         0\n");
    // The system's reading: the seventh number after the header line.
    std::ifstream in(root_ / "proc/umap/h264e");
    std::string line;
    while (std::getline(in, line) && line.find("EncdStart") == std::string::npos) {
    }
    ASSERT_TRUE(std::getline(in, line));
    int lost = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), " %*d %*d %*d %*d %*d %*d %d", &lost), 1);
    EXPECT_EQ(lost, 0);
}

}  // namespace
