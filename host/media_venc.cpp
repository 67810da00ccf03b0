// Encoder groups and channels. Each channel keeps its encoded streams in a
// ring in media memory, as the chip does: a pack that runs past the end of
// the ring comes out in two parts. The encoder engine (venc_engine.cpp)
// hands its output to venc_queue_stream.
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "host/clock.h"
#include "host/media_parts.h"

namespace host::media {
namespace {

constexpr int kGroups = 64;
constexpr int kChannels = 64;
constexpr std::uint32_t kMaxPacks = 8;             // packs of one stream (parameter sets, slices)
constexpr std::uint32_t kDefaultMaxStreams = 200;  // streams a channel keeps before it drops
constexpr std::uint32_t kMaxStreamsLimit = 4096;
constexpr HI_U32 kMaxWidth = 1920;
constexpr HI_U32 kMaxHeight = 1088;
constexpr double kBlockingWait = 2.0;  // board seconds a blocking get waits

struct PackRec {
    std::uint32_t offset = 0;  // into the ring
    std::uint32_t len = 0;
};

struct StreamRec {
    std::array<PackRec, kMaxPacks> packs{};
    std::uint32_t count = 0;
    std::uint32_t bytes = 0;
    std::uint32_t seq = 0;
    std::uint64_t pts = 0;
};

struct Channel {
    bool exists = false;
    VENC_CHN_ATTR_S attr{};
    int group = -1;  // registered to
    bool receiving = false;
    std::uint64_t spell = 0;  // which receiving spell, unique across channels
    int fd = -1;     // readable while a stream waits to be got
    bool fd_raised = false;
    // The stream ring, taken at the first start: bytes in [read, read + used)
    // modulo its size.
    MmzBlock ring{};
    std::uint32_t ring_size = 0;
    std::uint32_t read = 0;
    std::uint32_t used = 0;
    // Stream records: `held` got but not released, then `queued`, from `first`.
    std::vector<StreamRec> streams;
    std::size_t first = 0;
    std::size_t held = 0;
    std::size_t queued = 0;
    std::uint32_t next_seq = 0;
    std::uint64_t lost = 0;
    std::uint64_t encoded = 0;
};

struct Group {
    bool exists = false;
};

struct Venc {
    std::mutex mutex;
    std::condition_variable changed;  // a stream was queued, or the channels were reset
    std::uint64_t generation = 0;
    std::uint64_t spells = 0;
    std::array<Group, kGroups> groups{};
    std::array<Channel, kChannels> chn{};
};
Venc g_venc;

constexpr HI_S32 err(HI_ERR_CODE code) { return hi_err(HI_ID_VENC, code); }

void raise_fd(Channel& c, bool on) {
    if (c.fd < 0 || c.fd_raised == on) return;
    std::uint64_t v = 1;
    ssize_t n = on ? ::write(c.fd, &v, sizeof v) : ::read(c.fd, &v, sizeof v);
    (void)n;
    c.fd_raised = on;
    // A reader selecting on the descriptor takes the stream at this instant.
    if (on) host::fd_ready(c.fd);
}

void release_channel(Channel& c) {
    if (c.fd >= 0) ::close(c.fd);
    if (c.ring.virt) mmz_free(c.ring.phys);
    c = Channel{};
}

std::uint32_t queued_bytes(const Channel& c) {
    std::uint32_t n = 0;
    for (std::size_t i = 0; i < c.queued; ++i) n += c.streams[(c.first + c.held + i) % c.streams.size()].bytes;
    return n;
}

const StreamRec* next_queued(const Channel& c) {
    if (c.queued == 0) return nullptr;
    return &c.streams[(c.first + c.held) % c.streams.size()];
}

// The statistics file the system reads its lost-frame count from. Written
// whole and renamed into place so a reader never sees half of it.
void write_stats_locked() {
    const std::filesystem::path& root = board_root();
    if (root.empty()) return;
    std::string text =
        "-----VENC CHN STATE------------------------------------------------------------\n"
        "   ChnId   GrpId RecvStart  LeftPics LeftBytes  CurPacks   LostFrm EncdStart\n";
    for (int i = 0; i < kChannels; ++i) {
        const Channel& c = g_venc.chn[static_cast<std::size_t>(i)];
        if (!c.exists) continue;
        const StreamRec* next = next_queued(c);
        char line[128];
        std::snprintf(line, sizeof line, "%8d%8d%10d%10d%10u%10u%10llu%10llu\n", i, c.group, c.receiving ? 1 : 0, 0,
                      queued_bytes(c), next ? next->count : 0u, static_cast<unsigned long long>(c.lost),
                      static_cast<unsigned long long>(c.encoded));
        text += line;
    }
    // The board lays the folder out at power-on; nothing is made here.
    const std::filesystem::path dir = root / "proc" / "umap";
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return;
    const std::filesystem::path tmp = dir / ".h264e.new";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return;
        out << text;
        if (!out) return;
    }
    std::filesystem::rename(tmp, dir / "h264e", ec);
}

HI_S32 find_channel(VENC_CHN chn, Channel*& out) {
    if (chn < 0 || chn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    Channel& c = g_venc.chn[static_cast<std::size_t>(chn)];
    if (!c.exists) return err(EN_ERR_UNEXIST);
    out = &c;
    return HI_SUCCESS;
}

bool size_ok(HI_U32 max_w, HI_U32 max_h, HI_U32 w, HI_U32 h, HI_U32 buf) {
    return max_w > 0 && max_h > 0 && max_w <= kMaxWidth && max_h <= kMaxHeight && w > 0 && h > 0 && w <= max_w &&
           h <= max_h && std::uint64_t{buf} >= std::uint64_t{w} * h;
}

HI_U32 buffer_size(const VENC_ATTR_S& a) {
    switch (a.enType) {
    case PT_H264: return a.stAttrH264e.u32BufSize;
    case PT_MJPEG: return a.stAttrMjpeg.u32BufSize;
    default: return a.stAttrJpeg.u32BufSize;
    }
}

HI_S32 check_attr(const VENC_CHN_ATTR_S& attr) {
    const VENC_ATTR_S& v = attr.stVeAttr;
    const VENC_RC_ATTR_S& rc = attr.stRcAttr;
    switch (v.enType) {
    case PT_H264: {
        const VENC_ATTR_H264_S& h = v.stAttrH264e;
        if (!size_ok(h.u32MaxPicWidth, h.u32MaxPicHeight, h.u32PicWidth, h.u32PicHeight, h.u32BufSize) ||
            h.u32Profile > 2)
            return err(EN_ERR_ILLEGAL_PARAM);
        switch (rc.enRcMode) {
        case VENC_RC_MODE_H264CBRv2: {
            const auto& r = rc.stAttrH264Cbr;
            if (r.u32Gop == 0 || r.u32ViFrmRate == 0 || r.fr32TargetFrmRate == 0 || r.u32BitRate == 0)
                return err(EN_ERR_ILLEGAL_PARAM);
            return HI_SUCCESS;
        }
        case VENC_RC_MODE_H264VBRv2: {
            const auto& r = rc.stAttrH264Vbr;
            if (r.u32Gop == 0 || r.u32ViFrmRate == 0 || r.fr32TargetFrmRate == 0 || r.u32MaxBitRate == 0 ||
                r.u32MaxQp > 51 || r.u32MinQp > r.u32MaxQp)
                return err(EN_ERR_ILLEGAL_PARAM);
            return HI_SUCCESS;
        }
        case VENC_RC_MODE_H264FIXQP: {
            const auto& r = rc.stAttrH264FixQp;
            if (r.u32Gop == 0 || r.u32ViFrmRate == 0 || r.fr32TargetFrmRate == 0 || r.u32IQp > 51 || r.u32PQp > 51)
                return err(EN_ERR_ILLEGAL_PARAM);
            return HI_SUCCESS;
        }
        default: return err(EN_ERR_ILLEGAL_PARAM);
        }
    }
    case PT_MJPEG: {
        const VENC_ATTR_MJPEG_S& m = v.stAttrMjpeg;
        if (!size_ok(m.u32MaxPicWidth, m.u32MaxPicHeight, m.u32PicWidth, m.u32PicHeight, m.u32BufSize))
            return err(EN_ERR_ILLEGAL_PARAM);
        switch (rc.enRcMode) {
        case VENC_RC_MODE_MJPEGCBR: {
            const auto& r = rc.stAttrMjpegeCbr;
            if (r.u32ViFrmRate == 0 || r.fr32TargetFrmRate == 0 || r.u32BitRate == 0) return err(EN_ERR_ILLEGAL_PARAM);
            return HI_SUCCESS;
        }
        case VENC_RC_MODE_MJPEGVBR: {
            const auto& r = rc.stAttrMjpegeVbr;
            if (r.u32ViFrmRate == 0 || r.fr32TargetFrmRate == 0 || r.u32MaxBitRate == 0 || r.u32MaxQfactor > 99 ||
                r.u32MinQfactor > r.u32MaxQfactor)
                return err(EN_ERR_ILLEGAL_PARAM);
            return HI_SUCCESS;
        }
        case VENC_RC_MODE_MJPEGFIXQP: {
            const auto& r = rc.stAttrMjpegeFixQp;
            if (r.u32ViFrmRate == 0 || r.fr32TargetFrmRate == 0 || r.u32Qfactor == 0 || r.u32Qfactor > 99)
                return err(EN_ERR_ILLEGAL_PARAM);
            return HI_SUCCESS;
        }
        default: return err(EN_ERR_ILLEGAL_PARAM);
        }
    }
    case PT_JPEG: {
        // Snapshots have no rate control.
        const VENC_ATTR_JPEG_S& j = v.stAttrJpeg;
        if (!size_ok(j.u32MaxPicWidth, j.u32MaxPicHeight, j.u32PicWidth, j.u32PicHeight, j.u32BufSize))
            return err(EN_ERR_ILLEGAL_PARAM);
        return HI_SUCCESS;
    }
    default: return err(EN_ERR_NOT_SUPPORT);
    }
}

void log_channel(VENC_CHN chn, const std::string& what) {
    board_log("media", "VENC " + std::to_string(chn) + " " + what);
}

}  // namespace

void venc_reset() {
    {
        std::lock_guard lock(g_venc.mutex);
        for (Channel& c : g_venc.chn)
            if (c.exists) release_channel(c);
        g_venc.groups = {};
        ++g_venc.generation;
        g_venc.changed.notify_all();
        host::clock::poke(g_venc.changed);
        write_stats_locked();
    }
    venc_engine_sync_all();
}

bool venc_encoding_wanted(int chn, VENC_CHN_ATTR_S& attr, int& group, std::uint64_t& spell) {
    if (chn < 0 || chn >= kChannels) return false;
    std::lock_guard lock(g_venc.mutex);
    const Channel& c = g_venc.chn[static_cast<std::size_t>(chn)];
    // Only H.264 is encoded; MJPEG and JPEG channels keep their bookkeeping
    // and stay silent, which is all the system needs of them.
    if (!c.exists || !c.receiving || c.group < 0 || c.attr.stVeAttr.enType != PT_H264) return false;
    attr = c.attr;
    group = c.group;
    spell = c.spell;
    return true;
}

void venc_power_on() {
    std::lock_guard lock(g_venc.mutex);
    write_stats_locked();
}

bool venc_queue_stream(int chn, std::span<const std::span<const std::uint8_t>> packs, std::uint64_t pts) {
    if (chn < 0 || chn >= kChannels || packs.empty() || packs.size() > kMaxPacks) return false;
    std::uint64_t total = 0;
    for (const auto& p : packs) {
        if (p.empty()) return false;
        total += p.size();
    }
    std::lock_guard lock(g_venc.mutex);
    Channel& c = g_venc.chn[static_cast<std::size_t>(chn)];
    if (!c.exists || !c.receiving) return false;
    const std::size_t capacity = c.streams.size();
    if (c.held + c.queued >= capacity || total > c.ring_size - c.used) {
        // No room: the picture is lost, as when the reader falls behind.
        ++c.lost;
        write_stats_locked();
        return false;
    }
    StreamRec& s = c.streams[(c.first + c.held + c.queued) % capacity];
    s.count = static_cast<std::uint32_t>(packs.size());
    s.bytes = static_cast<std::uint32_t>(total);
    s.seq = c.next_seq++;
    s.pts = pts;
    auto* ring = static_cast<std::uint8_t*>(c.ring.virt);
    std::uint32_t at = static_cast<std::uint32_t>((std::uint64_t{c.read} + c.used) % c.ring_size);
    for (std::size_t i = 0; i < packs.size(); ++i) {
        const auto& p = packs[i];
        const auto len = static_cast<std::uint32_t>(p.size());
        s.packs[i] = PackRec{at, len};
        const std::uint32_t head = std::min(len, c.ring_size - at);
        std::memcpy(ring + at, p.data(), head);
        if (head < len) std::memcpy(ring, p.data() + head, len - head);
        at = static_cast<std::uint32_t>((std::uint64_t{at} + len) % c.ring_size);
    }
    c.used += s.bytes;
    ++c.queued;
    ++c.encoded;
    raise_fd(c, true);
    g_venc.changed.notify_all();
    host::clock::poke(g_venc.changed);
    return true;
}

}  // namespace host::media

using host::board_log;
using namespace host::media;

HI_S32 HI_MPI_VENC_CreateGroup(VENC_GRP VeGroup) {
    if (auto fail_ = fail_point(err(EN_ERR_NOMEM))) return *fail_;
    if (VeGroup < 0 || VeGroup >= kGroups) return err(EN_ERR_INVALID_DEVID);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    {
        std::lock_guard lock(g_venc.mutex);
        Group& g = g_venc.groups[static_cast<std::size_t>(VeGroup)];
        if (g.exists) return err(EN_ERR_EXIST);
        g.exists = true;
    }
    board_log("media", "VENC group " + std::to_string(VeGroup) + " created");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_DestroyGroup(VENC_GRP VeGroup) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (VeGroup < 0 || VeGroup >= kGroups) return err(EN_ERR_INVALID_DEVID);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    {
        std::lock_guard lock(g_venc.mutex);
        Group& g = g_venc.groups[static_cast<std::size_t>(VeGroup)];
        if (!g.exists) return err(EN_ERR_UNEXIST);
        for (const Channel& c : g_venc.chn)
            if (c.exists && c.group == VeGroup) return err(EN_ERR_NOT_PERM);
        g.exists = false;
    }
    board_log("media", "VENC group " + std::to_string(VeGroup) + " destroyed");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_CreateChn(VENC_CHN VeChn, const VENC_CHN_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_NOMEM))) return *fail_;
    if (VeChn < 0 || VeChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!pstAttr) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    if (HI_S32 r = check_attr(*pstAttr)) return r;
    const HI_U32 ring_size = buffer_size(pstAttr->stVeAttr);
    {
        std::lock_guard lock(g_venc.mutex);
        Channel& c = g_venc.chn[static_cast<std::size_t>(VeChn)];
        if (c.exists) return err(EN_ERR_EXIST);
        Channel fresh;
        fresh.fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (fresh.fd < 0) return err(EN_ERR_NOMEM);
        fresh.exists = true;
        fresh.attr = *pstAttr;
        fresh.ring_size = ring_size;
        fresh.streams.resize(kDefaultMaxStreams);
        c = std::move(fresh);
        write_stats_locked();
    }
    log_channel(VeChn, "created, payload " + std::to_string(pstAttr->stVeAttr.enType) + ", rate control " +
                           std::to_string(pstAttr->stRcAttr.enRcMode) + ", buffer " + std::to_string(ring_size));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_DestroyChn(VENC_CHN VeChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_venc.mutex);
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VeChn, c)) return r;
        // Unregister first, as on the real chip.
        if (c->group >= 0) return err(EN_ERR_NOT_PERM);
        release_channel(*c);
        g_venc.changed.notify_all();
        host::clock::poke(g_venc.changed);
        write_stats_locked();
    }
    venc_engine_sync(VeChn);
    log_channel(VeChn, "destroyed");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_RegisterChn(VENC_GRP VeGroup, VENC_CHN VeChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (VeGroup < 0 || VeGroup >= kGroups) return err(EN_ERR_INVALID_DEVID);
    {
        std::lock_guard lock(g_venc.mutex);
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VeChn, c)) return r;
        if (!g_venc.groups[static_cast<std::size_t>(VeGroup)].exists) return err(EN_ERR_UNEXIST);
        if (c->group >= 0) return err(EN_ERR_EXIST);
        c->group = VeGroup;
        write_stats_locked();
    }
    log_channel(VeChn, "registered to group " + std::to_string(VeGroup));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_UnRegisterChn(VENC_CHN VeChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    bool stopped = false;
    {
        std::lock_guard lock(g_venc.mutex);
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VeChn, c)) return r;
        if (c->group < 0) return err(EN_ERR_NOT_PERM);
        // Without a group there are no pictures to take.
        stopped = c->receiving;
        c->receiving = false;
        c->group = -1;
        write_stats_locked();
    }
    venc_engine_sync(VeChn);
    log_channel(VeChn, stopped ? "unregistered, stopped receiving" : "unregistered");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_SetMaxStreamCnt(VENC_CHN VeChn, HI_U32 u32MaxStrmCnt) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (u32MaxStrmCnt == 0 || u32MaxStrmCnt > kMaxStreamsLimit) return err(EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_venc.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VeChn, c)) return r;
    if (c->held + c->queued > 0) return err(EN_ERR_NOT_PERM);
    c->streams.assign(u32MaxStrmCnt, StreamRec{});
    c->first = 0;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_StartRecvPic(VENC_CHN VeChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_venc.mutex);
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VeChn, c)) return r;
        if (c->group < 0) return err(EN_ERR_NOT_PERM);
        if (c->receiving) return HI_SUCCESS;
        // The stream ring is taken when pictures first come, not at creation:
        // channels that never record cost no media memory.
        if (!c->ring.virt) {
            c->ring = host::mmz_alloc(c->ring_size);
            if (!c->ring.virt) return err(EN_ERR_NOMEM);
            // The chip's ring is memory it holds whole. Touched here, it
            // counts at once, not a page at a time over the first lap of a
            // recording, which looked like memory creeping up for minutes.
            std::memset(c->ring.virt, 0, c->ring_size);
        }
        c->receiving = true;
        c->spell = ++g_venc.spells;
        write_stats_locked();
    }
    log_channel(VeChn, "receiving pictures");
    venc_engine_sync(VeChn);
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_StopRecvPic(VENC_CHN VeChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_venc.mutex);
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VeChn, c)) return r;
        if (!c->receiving) return HI_SUCCESS;
        c->receiving = false;
        write_stats_locked();
    }
    venc_engine_sync(VeChn);
    log_channel(VeChn, "stopped receiving pictures");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_GetChnAttr(VENC_CHN VeChn, VENC_CHN_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstAttr) return err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_venc.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VeChn, c)) return r;
    *pstAttr = c->attr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_GetFd(VENC_CHN VeChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_venc.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VeChn, c)) return r;
    return c->fd;
}

HI_S32 HI_MPI_VENC_Query(VENC_CHN VeChn, VENC_CHN_STAT_S* pstStat) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstStat) return err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_venc.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VeChn, c)) return r;
    const StreamRec* next = next_queued(*c);
    VENC_CHN_STAT_S s{};
    s.u32LeftPics = 0;
    s.u32LeftStreamBytes = queued_bytes(*c);
    s.u32LeftStreamFrames = static_cast<HI_U32>(c->queued);
    s.u32CurPacks = next ? next->count : 0;
    s.u32LeftRecvPics = 0;
    s.u32LeftEncPics = 0;
    *pstStat = s;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_GetStream(VENC_CHN VeChn, VENC_STREAM_S* pstStream, HI_BOOL bBlockFlag) {
    if (auto fail_ = fail_point(err(EN_ERR_BUF_EMPTY))) return *fail_;
    if (!pstStream || !pstStream->pstPack) return err(EN_ERR_NULL_PTR);
    std::unique_lock lock(g_venc.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VeChn, c)) return r;
    if (c->queued == 0) {
        if (bBlockFlag != HI_TRUE) return err(EN_ERR_BUF_EMPTY);
        const std::uint64_t generation = g_venc.generation;
        const double deadline = host::board_uptime() + kBlockingWait;
        host::clock::wait_until(lock, g_venc.changed, deadline, [&] {
            return g_venc.generation != generation || !c->exists || c->queued > 0;
        });
        if (g_venc.generation != generation) return err(EN_ERR_SYS_NOTREADY);
        if (!c->exists) return err(EN_ERR_UNEXIST);
        if (c->queued == 0) return err(EN_ERR_BUF_EMPTY);
    }
    const StreamRec& s = *next_queued(*c);
    if (pstStream->u32PackCount < s.count) return err(EN_ERR_ILLEGAL_PARAM);
    auto* ring = static_cast<std::uint8_t*>(c->ring.virt);
    for (std::uint32_t i = 0; i < s.count; ++i) {
        const PackRec& p = s.packs[i];
        VENC_PACK_S& out = pstStream->pstPack[i];
        out = VENC_PACK_S{};
        const std::uint32_t head = std::min(p.len, c->ring_size - p.offset);
        out.u32PhyAddr[0] = c->ring.phys + p.offset;
        out.pu8Addr[0] = ring + p.offset;
        out.u32Len[0] = head;
        if (head < p.len) {
            out.u32PhyAddr[1] = c->ring.phys;
            out.pu8Addr[1] = ring;
            out.u32Len[1] = p.len - head;
        }
        out.u64PTS = s.pts;
        out.bFieldEnd = HI_FALSE;
        out.bFrameEnd = i + 1 == s.count ? HI_TRUE : HI_FALSE;
    }
    pstStream->u32PackCount = s.count;
    pstStream->u32Seq = s.seq;
    ++c->held;
    --c->queued;
    if (c->queued == 0) raise_fd(*c, false);
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VENC_ReleaseStream(VENC_CHN VeChn, VENC_STREAM_S* pstStream) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstStream || !pstStream->pstPack) return err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_venc.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VeChn, c)) return r;
    // Streams go back in the order they were got.
    if (c->held == 0) return err(EN_ERR_ILLEGAL_PARAM);
    const StreamRec& s = c->streams[c->first];
    if (pstStream->u32Seq != s.seq || pstStream->u32PackCount != s.count ||
        pstStream->pstPack[0].u32PhyAddr[0] != c->ring.phys + s.packs[0].offset)
        return err(EN_ERR_ILLEGAL_PARAM);
    c->read = static_cast<std::uint32_t>((std::uint64_t{c->read} + s.bytes) % c->ring_size);
    c->used -= s.bytes;
    c->first = (c->first + 1) % c->streams.size();
    --c->held;
    return HI_SUCCESS;
}
