// The H.264 encoders, one per camera, fed by the processing groups.
#include <pthread.h>
#include <sys/select.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "common/ds1337.h"
#include "common/prt.h"
#include "common/sample_comm.h"
#include "dsp/dsp_control.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "vio/vio.h"

namespace {

// Bit rates by picture size: the constant rate and the maximum of a variable rate.
HI_U32 h264_bitrate(PIC_SIZE_E size, VENC_CHN chn, bool maximum) {
    switch (size) {
    case PIC_QCIF: return maximum ? 768 : 256;
    case PIC_CIF:
    case PIC_QVGA: return maximum ? 1536 : 512;
    case PIC_D1:
    case PIC_VGA: return maximum ? 2048 : 1024;
    case PIC_HD720: return chn <= 1 ? (maximum ? 1280 : 1228) : 1536;
    case PIC_HD1080: return 6144;
    default: return maximum ? 12288 : 4096;
    }
}

HI_U32 mjpeg_bitrate(PIC_SIZE_E size, bool maximum) {
    switch (size) {
    case PIC_QCIF: return maximum ? 768 : 1152;
    case PIC_CIF:
    case PIC_QVGA: return maximum ? 1536 : 2304;
    case PIC_D1:
    case PIC_VGA: return maximum ? 6144 : 9216;
    case PIC_HD720: return maximum ? 9216 : 15360;
    case PIC_HD1080: return maximum ? 18432 : 30720;
    default: return maximum ? 12288 : 21504;
    }
}

}  // namespace

HI_S32 SAMPLE_COMM_VENC_Start(VENC_GRP VencGrp, VENC_CHN VencChn, PAYLOAD_TYPE_E enType, VIDEO_NORM_E enNorm,
                              PIC_SIZE_E enSize, SAMPLE_RC_E enRcMode) {
    SIZE_S pic{};
    if (SAMPLE_COMM_SYS_GetPicSize(enNorm, enSize, &pic) != HI_SUCCESS) {
        prt(__func__, __LINE__, "Get picture size failed!\n");
        return HI_FAILURE;
    }
    HI_S32 r = HI_MPI_VENC_CreateGroup(VencGrp);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "HI_MPI_VENC_CreateGroup[%d] failed with %#x!\n", VencGrp, static_cast<unsigned>(r));
        return r;
    }
    const HI_U32 rate = enNorm == VIDEO_ENCODING_MODE_PAL ? 25 : 30;
    VENC_CHN_ATTR_S attr{};
    attr.stVeAttr.enType = enType;
    switch (enType) {
    case PT_H264: {
        VENC_ATTR_H264_S& h = attr.stVeAttr.stAttrH264e;
        h.u32MaxPicWidth = h.u32PicWidth = pic.u32Width;
        h.u32MaxPicHeight = h.u32PicHeight = pic.u32Height;
        h.u32BufSize = pic.u32Width * pic.u32Height * 10;
        h.u32Profile = 1;
        h.bByFrame = HI_TRUE;
        h.bField = HI_FALSE;
        h.bMainStream = HI_TRUE;
        h.u32Priority = 0;
        h.bVIField = HI_FALSE;
        VENC_RC_ATTR_S& rc = attr.stRcAttr;
        if (enRcMode == SAMPLE_RC_CBR) {
            rc.enRcMode = VENC_RC_MODE_H264CBRv2;
            rc.stAttrH264Cbr = {12, 1, 12, 12, h264_bitrate(enSize, VencChn, false), 0};
        } else if (enRcMode == SAMPLE_RC_VBR) {
            rc.enRcMode = VENC_RC_MODE_H264VBRv2;
            rc.stAttrH264Vbr = {12, 1, 12, 12, h264_bitrate(enSize, VencChn, true), 40, 10};
        } else if (enRcMode == SAMPLE_RC_FIXQP) {
            rc.enRcMode = VENC_RC_MODE_H264FIXQP;
            rc.stAttrH264FixQp = {rate, rate, rate, 20, 23};
        } else {
            return HI_FAILURE;
        }
        break;
    }
    case PT_MJPEG: {
        VENC_ATTR_MJPEG_S& m = attr.stVeAttr.stAttrMjpeg;
        m.u32MaxPicWidth = m.u32PicWidth = pic.u32Width;
        m.u32MaxPicHeight = m.u32PicHeight = pic.u32Height;
        m.u32BufSize = pic.u32Width * pic.u32Height * 2;
        m.bByFrame = HI_TRUE;
        m.bMainStream = HI_TRUE;
        VENC_RC_ATTR_S& rc = attr.stRcAttr;
        if (enRcMode == SAMPLE_RC_CBR) {
            rc.enRcMode = VENC_RC_MODE_MJPEGCBR;
            rc.stAttrMjpegeCbr = {1, rate, rate, mjpeg_bitrate(enSize, false), 0};
        } else if (enRcMode == SAMPLE_RC_VBR) {
            rc.enRcMode = VENC_RC_MODE_MJPEGVBR;
            rc.stAttrMjpegeVbr = {1, rate, 5, mjpeg_bitrate(enSize, true), 95, 50};
        } else if (enRcMode == SAMPLE_RC_FIXQP) {
            rc.enRcMode = VENC_RC_MODE_MJPEGFIXQP;
            rc.stAttrMjpegeFixQp = {rate, rate, 90};
        } else {
            std::printf("cann't support other mode in this version!\n");
            return HI_FAILURE;
        }
        break;
    }
    case PT_JPEG:
        break;
    default:
        return hi_err(HI_ID_VENC, EN_ERR_NOT_SUPPORT);
    }
    r = HI_MPI_VENC_CreateChn(VencChn, &attr);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "HI_MPI_VENC_CreateChn [%d] faild with %#x!\n", VencChn, static_cast<unsigned>(r));
        return r;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_BindVpss(VENC_GRP GrpChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    const MPP_CHN_S src{HI_ID_VPSS, VpssGrp, VpssChn};
    const MPP_CHN_S dst{HI_ID_GROUP, GrpChn, 0};
    const HI_S32 r = HI_MPI_SYS_Bind(&src, &dst);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_UnBindVpss(VENC_GRP GrpChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    const MPP_CHN_S src{HI_ID_VPSS, VpssGrp, VpssChn};
    const MPP_CHN_S dst{HI_ID_GROUP, GrpChn, 0};
    const HI_S32 r = HI_MPI_SYS_UnBind(&src, &dst);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

// ---------------------------------------------------------------- recording

SAMPLE_VENC_GETSTREAM_PARA_S gs_stPara{};

namespace {

constexpr HI_S32 kMaxRecordChannels = 71;
constexpr int kSegmentSeconds = 300;
constexpr HI_U32 kMaxStreamCount = 600;
constexpr HI_S32 kRecordedChannels = 4;  // the channels started and stopped with the thread
// A new segment's file starts with a key frame, so every file plays on its
// own; a channel that shows none within this many streams changes anyway.
constexpr int kKeyFrameWait = 25;

std::thread g_record_thread;
std::atomic<bool> g_record_ended{false};  // the thread has run to its end
// The media clock when the stop was asked, set before bThreadStart drops: the
// pictures stamped up to it are recorded, later ones are not, however late
// the encoders deliver them.
std::atomic<HI_U64> g_stop_pts{0};

// The time stamps of the segment being written and of the one beginning.
std::mutex g_stamp_mutex;
char g_current_stamp[16] = {};
char g_next_stamp[16] = {};

const char* camera_suffix(HI_S32 chn) {
    static constexpr const char* kLetters[] = {"L", "R", "B", "F"};
    return chn >= 0 && chn < 4 ? kLetters[chn] : "X";
}

struct RecChannel {
    std::FILE* file = nullptr;
    char path[64] = {};
    PAYLOAD_TYPE_E payload = PT_H264;
    HI_S32 fd = -1;
    // Waiting for a key frame to begin the next segment's file: `file` is
    // still the old segment's.
    bool changing = false;
    int waited = 0;
    std::unique_ptr<VENC_PACK_S[]> packs;
    HI_U32 capacity = 0;
    bool past_stop = false;  // a picture later than the stop came: the channel is done
};

// A byte of a pack, across its two parts; -1 past its end.
int pack_byte(const VENC_PACK_S& p, HI_U32 k) {
    if (k < p.u32Len[0]) return p.pu8Addr[0][k];
    k -= p.u32Len[0];
    if (k < p.u32Len[1] && p.pu8Addr[1]) return p.pu8Addr[1][k];
    return -1;
}

// Whether the stream begins a picture that decodes on its own (parameter
// sets or an IDR slice).
bool starts_key_frame(const VENC_STREAM_S& s) {
    for (HI_U32 i = 0; i < s.u32PackCount; ++i) {
        HI_U32 k = 0;
        while (pack_byte(s.pstPack[i], k) == 0) ++k;
        if (k < 2 || pack_byte(s.pstPack[i], k) != 1) continue;
        const int type = pack_byte(s.pstPack[i], k + 1) & 0x1F;
        if (type == 7 || type == 5) return true;
    }
    return false;
}

// Whether a file of segment `stamp` is on the disk under any name a camera's
// file may have: as recorded, locked by the vehicle ("#" before ".h264") or
// by the user ("@" in front), or both.
bool stamp_taken(const char* stamp, HI_S32 count) {
    for (HI_S32 i = 0; i < count; ++i)
        for (const char* user : {"", "@"})
            for (const char* vehicle : {"", "#"}) {
                char path[64];
                std::snprintf(path, sizeof path, "%s/%s%s_%s%s.h264", "/opt", user, stamp, camera_suffix(i), vehicle);
                struct stat st {};
                if (::lstat(board_path(path).c_str(), &st) == 0) return true;
            }
    return false;
}

// The stamp of a segment beginning now: this second, or the first later one
// whose names are all free. A recording never replaces a file on the disk,
// whatever brings its name again: a clock chip that stopped, a date set
// back, another unit's disk, a segment begun again within the same second.
void choose_stamp(char* stamp, HI_S32 count) {
    const std::time_t now = clk_time();
    std::time_t t = now;
    format_time2(t, stamp);
    while (stamp_taken(stamp, count)) format_time2(++t, stamp);
    if (t != now) {
        char taken[64];
        format_time2(now, taken);
        std::printf("segment %s is on the disk already, recording %s\n", taken, stamp);
    }
}

// Opens channel i's file of the segment `stamp`; false after its message.
bool open_channel_file(RecChannel& c, HI_S32 i, const char* stamp, HI_S32& maxfd) {
    VENC_CHN_ATTR_S attr{};
    HI_S32 r = HI_MPI_VENC_GetChnAttr(i, &attr);
    if (r != HI_SUCCESS) {
        std::printf("HI_MPI_VENC_GetChnAttr chn[%d] failed with %#x!\n", i, static_cast<unsigned>(r));
        return false;
    }
    c.payload = attr.stVeAttr.enType;
    char postfix[10];
    r = SAMPLE_COMM_VENC_GetFilePostfix(c.payload, postfix);
    if (r != HI_SUCCESS) {
        std::printf("SAMPLE_COMM_VENC_GetFilePostfix [%d] failed with %#x!\n", c.payload, static_cast<unsigned>(r));
        return false;
    }
    std::snprintf(c.path, sizeof c.path, "%s/%s_%s%s", "/opt", stamp, camera_suffix(i), postfix);
    // Never over a file that came since the stamp was chosen.
    c.file = std::fopen(board_path(c.path).c_str(), "wbx");
    if (!c.file) {
        std::printf("open file[%s] failed!\n", c.path);
        return false;
    }
    std::printf("*%s\n", c.path);
    record_time = kSegmentSeconds;
    const HI_S32 fd = HI_MPI_VENC_GetFd(i);
    if (fd < 0 || fd >= FD_SETSIZE) {
        std::printf("HI_MPI_VENC_GetFd failed with %#x!\n", static_cast<unsigned>(fd));
        return false;
    }
    c.fd = fd;
    if (fd > maxfd) maxfd = fd;
    return true;
}

void close_channel_file(RecChannel& c, bool locked) {
    if (!c.file) return;
    std::fclose(c.file);
    c.file = nullptr;
    if (locked) {
        change_file2(c.path);
        std::printf("record_lock=1\n");
    } else {
        std::printf("record_lock=0\n");
    }
}

// Takes every stream waiting on channel i into its file.
bool drain_channel(RecChannel& c, HI_S32 i, const char* next_stamp, bool old_locked, HI_S32& maxfd) {
    for (;;) {
        VENC_CHN_STAT_S stat{};
        HI_S32 r = HI_MPI_VENC_Query(i, &stat);
        if (r != HI_SUCCESS) {
            std::printf("HI_MPI_VENC_Query chn[%d] failed with %#x!\n", i, static_cast<unsigned>(r));
            return false;
        }
        if (stat.u32CurPacks == 0) return true;
        if (stat.u32CurPacks > c.capacity) {
            c.packs.reset(new (std::nothrow) VENC_PACK_S[stat.u32CurPacks]);
            c.capacity = c.packs ? stat.u32CurPacks : 0;
            if (!c.packs) {
                std::printf("malloc stream pack failed!\n");
                return false;
            }
        }
        VENC_STREAM_S stream{};
        stream.pstPack = c.packs.get();
        stream.u32PackCount = stat.u32CurPacks;
        r = HI_MPI_VENC_GetStream(i, &stream, HI_TRUE);
        if (r != HI_SUCCESS) {
            std::printf("HI_MPI_VENC_GetStream failed with %#x!\n", static_cast<unsigned>(r));
            return false;
        }
        if (gs_stPara.bThreadStart != 1 && stream.pstPack[0].u64PTS > g_stop_pts) {
            // The channel is done; what else it holds is dropped at the next start.
            c.past_stop = true;
            r = HI_MPI_VENC_ReleaseStream(i, &stream);
            if (r != HI_SUCCESS) std::printf("release stream failed! %x\n", static_cast<unsigned>(r));
            return r == HI_SUCCESS;
        }
        const bool key = c.payload != PT_H264 || starts_key_frame(stream);
        if (c.changing) {
            // The old segment takes the pictures up to the next key frame.
            if (key || ++c.waited > kKeyFrameWait) {
                close_channel_file(c, old_locked);
                c.changing = false;
                if (!open_channel_file(c, i, next_stamp, maxfd)) {
                    HI_MPI_VENC_ReleaseStream(i, &stream);
                    return false;
                }
            }
        }
        if (SAMPLE_COMM_VENC_SaveStream(c.payload, c.file, &stream) != HI_SUCCESS) {
            HI_MPI_VENC_ReleaseStream(i, &stream);
            std::printf("save stream failed!\n");
            return false;
        }
        r = HI_MPI_VENC_ReleaseStream(i, &stream);
        if (r != HI_SUCCESS) {
            std::printf("release stream failed! %x\n", static_cast<unsigned>(r));
            return false;
        }
    }
}

// Streams an earlier recording left behind when it stopped are older than
// anything the next one records: they must not begin its files.
void drop_leftovers(HI_S32 chn) {
    VENC_PACK_S packs[16];
    for (;;) {
        VENC_CHN_STAT_S stat{};
        if (HI_MPI_VENC_Query(chn, &stat) != HI_SUCCESS || stat.u32CurPacks == 0 || stat.u32CurPacks > 16) return;
        VENC_STREAM_S stream{};
        stream.pstPack = packs;
        stream.u32PackCount = stat.u32CurPacks;
        if (HI_MPI_VENC_GetStream(chn, &stream, HI_FALSE) != HI_SUCCESS) return;
        if (HI_MPI_VENC_ReleaseStream(chn, &stream) != HI_SUCCESS) return;
    }
}

}  // namespace

HI_S32 SAMPLE_COMM_VENC_GetFilePostfix(PAYLOAD_TYPE_E enPayload, char* szFilePostfix) {
    switch (enPayload) {
    case PT_H264: std::strcpy(szFilePostfix, ".h264"); return HI_SUCCESS;
    case PT_JPEG: std::strcpy(szFilePostfix, ".jpg"); return HI_SUCCESS;
    case PT_MJPEG: std::strcpy(szFilePostfix, ".mjp"); return HI_SUCCESS;
    case PT_MP4VIDEO: std::strcpy(szFilePostfix, ".mp4"); return HI_SUCCESS;
    default: std::printf("payload type err!\n"); return HI_FAILURE;
    }
}

void publish_stamps(const char* current, const char* next) {
    std::lock_guard lock(g_stamp_mutex);
    // A stamp is YYYYMMDD-HHMMSS: 15 characters.
    std::snprintf(g_current_stamp, sizeof g_current_stamp, "%.15s", current);
    std::snprintf(g_next_stamp, sizeof g_next_stamp, "%.15s", next);
}

HI_S32 SAMPLE_COMM_VENC_SaveH264(std::FILE* fpH264File, const VENC_STREAM_S* pstStream) {
    for (HI_U32 i = 0; i < pstStream->u32PackCount; ++i) {
        const VENC_PACK_S& p = pstStream->pstPack[i];
        // Every part goes to the disk at once: a pulled disk or a power cut
        // loses at most the picture being written.
        std::fwrite(p.pu8Addr[0], p.u32Len[0], 1, fpH264File);
        if (std::fflush(fpH264File) != 0) return HI_FAILURE;
        if (p.u32Len[1] != 0) {
            std::fwrite(p.pu8Addr[1], p.u32Len[1], 1, fpH264File);
            if (std::fflush(fpH264File) != 0) return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_SaveMJpeg(std::FILE* fpJpegFile, const VENC_STREAM_S* pstStream) {
    for (HI_U32 i = 0; i < pstStream->u32PackCount; ++i) {
        const VENC_PACK_S& p = pstStream->pstPack[i];
        std::fwrite(p.pu8Addr[0], p.u32Len[0], 1, fpJpegFile);
        if (p.u32Len[1] != 0) std::fwrite(p.pu8Addr[1], p.u32Len[1], 1, fpJpegFile);
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_SaveStream(PAYLOAD_TYPE_E enType, std::FILE* pFd, const VENC_STREAM_S* pstStream) {
    if (enType == PT_H264) return SAMPLE_COMM_VENC_SaveH264(pFd, pstStream);
    if (enType == PT_MJPEG) return SAMPLE_COMM_VENC_SaveMJpeg(pFd, pstStream);
    return HI_FAILURE;
}

int change_file2(const char* path) {
    if (!path || !*path) return -1;
    char format[16];
    std::snprintf(format, sizeof format, "%s/%%40[^.]", "/opt");
    char part[41] = {};
    // Only a name straight under the mount point is renamed.
    if (std::sscanf(path, format, part) != 1 || std::strchr(part, '/')) return -1;
    char from[64], to[64];
    std::snprintf(from, sizeof from, "%s/%s.h264", "/opt", part);
    std::snprintf(to, sizeof to, "%s/%s#.h264", "/opt", part);
    std::printf("cmd mv -n %s %s\n", from, to);
    std::lock_guard lock(disk_ops_mutex());
    // A file of the locked name stays as it is; this one keeps its name.
    const int r = sh_mv_n(from, to);
    if (r != 0) std::printf("%s not locked: %s could not be made\n", from, to);
    return r;
}

void* SAMPLE_COMM_VENC_GetVencStreamProc(void* p) {
    auto* para = static_cast<SAMPLE_VENC_GETSTREAM_PARA_S*>(p);
    record_on = 1;
    const HI_S32 count = para->s32Cnt;
    if (count > kMaxRecordChannels || count < 0) {
        std::printf("input count invaild\n");
        record_on = 0;
        return nullptr;
    }
    std::array<RecChannel, kMaxRecordChannels> chn;
    char stamp[64];
    char next_stamp[64] = {};
    choose_stamp(stamp, count);
    publish_stamps(stamp, "");
    HI_S32 maxfd = -1;
    bool failed = false;
    for (HI_S32 i = 0; i < count && !failed; ++i) failed = !open_channel_file(chn[static_cast<std::size_t>(i)], i, stamp, maxfd);

    // The vehicle's lock is read once per segment, so its files are locked alike.
    bool old_locked = false;
    bool changing = false;
    // A stop ends the loop once every channel has shown a picture later than it.
    auto stopped = [&] {
        return para->bThreadStart != 1 &&
               std::all_of(chn.begin(), chn.begin() + count, [](const RecChannel& c) { return c.past_stop; });
    };
    while (!failed && !stopped()) {
        if (record_time == 0 && !changing && para->bThreadStart == 1) {
            old_locked = record_lock == 1;
            choose_stamp(next_stamp, count);
            publish_stamps(stamp, next_stamp);
            for (HI_S32 i = 0; i < count; ++i) {
                chn[static_cast<std::size_t>(i)].changing = true;
                chn[static_cast<std::size_t>(i)].waited = 0;
            }
            changing = true;
            record_time = kSegmentSeconds;
        }
        fd_set read_fds;
        FD_ZERO(&read_fds);
        for (HI_S32 i = 0; i < count; ++i)
            if (!chn[static_cast<std::size_t>(i)].past_stop) FD_SET(chn[static_cast<std::size_t>(i)].fd, &read_fds);
        timeval timeout{2, 0};
        const int r = clk_select(maxfd + 1, &read_fds, nullptr, nullptr, &timeout);
        if (r < 0) {
            if (errno == EINTR) continue;
            std::printf("select failed!\n");
            failed = true;
            break;
        }
        if (r == 0) {
            std::printf("get venc stream time out, exit thread\n");
            failed = true;
            break;
        }
        for (HI_S32 i = 0; i < count && !failed; ++i) {
            RecChannel& c = chn[static_cast<std::size_t>(i)];
            if (FD_ISSET(c.fd, &read_fds)) failed = !drain_channel(c, i, next_stamp, old_locked, maxfd);
        }
        if (changing && std::none_of(chn.begin(), chn.begin() + count, [](const RecChannel& c) { return c.changing; })) {
            changing = false;
            std::memcpy(stamp, next_stamp, sizeof stamp);
            publish_stamps(stamp, "");
        }
    }

    // Segment end: files still waiting for the change belong to the old segment.
    const bool locked_now = record_lock == 1;
    for (HI_S32 i = 0; i < count; ++i) {
        RecChannel& c = chn[static_cast<std::size_t>(i)];
        close_channel_file(c, c.changing ? old_locked : locked_now);
    }
    if (failed) std::printf("record_process end %d %d\n", para->bThreadStart.load(), record_time.load());
    publish_stamps("", "");
    record_on = 0;
    for (HI_S32 i = 0; i < kRecordedChannels; ++i) HI_MPI_VENC_StopRecvPic(i);
    for (HI_S32 i = 0; i < kRecordedChannels; ++i) HI_MPI_VENC_UnRegisterChn(i);
    g_record_ended = true;
    return nullptr;
}

HI_S32 SAMPLE_COMM_VENC_StartGetStream(HI_S32 s32Cnt) {
    // A thread that ended by itself is joined before a new one starts.
    if (g_record_thread.joinable()) {
        gs_stPara.bThreadStart = 0;
        g_record_thread.join();
    }
    gs_stPara.s32Cnt = s32Cnt;
    HI_S32 started = 0;
    HI_S32 r = HI_SUCCESS;
    for (; started < kRecordedChannels; ++started) {
        r = HI_MPI_VENC_RegisterChn(started, started);
        if (r != HI_SUCCESS) {
            std::printf("HI_MPI_VENC_RegisterChn [%d] failed with %#x!\n", started, static_cast<unsigned>(r));
            break;
        }
        drop_leftovers(started);
        const HI_S32 m = HI_MPI_VENC_SetMaxStreamCnt(started, kMaxStreamCount);
        if (m != HI_SUCCESS)
            std::printf("HI_MPI_VENC_SetMaxStreamCnt [%d] failed with %#x!\n", started, static_cast<unsigned>(m));
        r = HI_MPI_VENC_StartRecvPic(started);
        if (r != HI_SUCCESS) {
            std::printf("HI_MPI_VENC_StartRecvPic [%d] failed with %#x!\n", started, static_cast<unsigned>(r));
            HI_MPI_VENC_UnRegisterChn(started);
            break;
        }
    }
    if (r != HI_SUCCESS) {
        // Undo what was started, so the next try begins clean.
        for (HI_S32 i = started - 1; i >= 0; --i) {
            HI_MPI_VENC_StopRecvPic(i);
            HI_MPI_VENC_UnRegisterChn(i);
        }
        return r;
    }
    gs_stPara.bThreadStart = 1;
    g_record_ended = false;
    g_record_thread = start_worker(SAMPLE_COMM_VENC_GetVencStreamProc, &gs_stPara);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_StopGetStream() {
    if (gs_stPara.bThreadStart == 1) {
        // Without the media clock the stop takes the pictures already written.
        HI_U64 now = 0;
        if (HI_MPI_SYS_GetCurPts(&now) != HI_SUCCESS) now = 0;
        g_stop_pts = now;
        gs_stPara.bThreadStart = 0;
        if (g_record_thread.joinable()) g_record_thread.join();
    }
    return HI_SUCCESS;
}

void reap_record_thread() {
    if (g_record_ended && g_record_thread.joinable()) g_record_thread.join();
}

bool is_recording_file(const char* name) {
    std::lock_guard lock(g_stamp_mutex);
    for (const char* stamp : {g_current_stamp, g_next_stamp}) {
        const std::size_t n = std::strlen(stamp);
        if (n > 0 && std::strncmp(name, stamp, n) == 0 && name[n] == '_') return true;
    }
    return false;
}

std::recursive_mutex& disk_ops_mutex() {
    static std::recursive_mutex m;
    return m;
}

std::thread start_worker(void* (*body)(void*), void* arg) {
    // The new thread inherits the mask in force while it is made.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    std::thread t(body, arg);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return t;
}
