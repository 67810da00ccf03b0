// The video decoder's channels. An H.264 channel keeps what it is sent in
// its stream buffer; a thread of its own decodes it (taking no board time)
// and hands each picture to the output channel bound to it, directly or
// through a processing group. When that channel is full the decoder waits
// and the stream stays in the buffer, so a sender meets a full buffer and
// playback follows the output's frame rate. JPEG and MJPEG channels only
// count what they are sent.
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/clock.h"
#include "host/media_parts.h"
#include "host/vdec_engine.h"

namespace host::media {
namespace {

constexpr int kChannels = 64;
constexpr HI_U32 kMaxWidth = 1920;
constexpr HI_U32 kMaxHeight = 1088;
constexpr int kGroupChannels = 4;
// A blocking send waits this long for room, about a picture's time.
constexpr double kSendWait = 0.04;
// A picture still incomplete when the stream has been silent this long is
// the stream's last: it is decoded as it is.
constexpr double kEndAfter = 0.2;
// With no output bound, a decoded picture waits and is offered again this often.
constexpr double kRouteLook = 0.04;
// The decoder takes the stream in pieces of at most this.
constexpr std::size_t kChunk = 64 * 1024;

struct State {
    bool exists = false;
    bool stop = false;  // being destroyed
    std::uint64_t spell = 0;  // new for every creation
    VDEC_CHN_ATTR_S attr{};
    VDEC_PRTCL_PARAM_S prtcl{};
    bool receiving = false;
    std::vector<std::uint8_t> stream;  // bytes from `head` on are held
    std::size_t head = 0;
    std::deque<std::uint32_t> sends;   // bytes still held of each send
    double last_send = 0;
    std::uint32_t frames_received = 0;
    std::uint32_t decoded = 0;
    std::uint32_t waiting = 0;  // decoded, not handed on yet
    std::uint64_t errors = 0;
    bool output_changed = false;

    std::size_t held() const { return stream.size() - head; }
};

struct Channel {
    State s;
    std::condition_variable room;  // senders wait for space
    std::condition_variable work;  // the decoder waits for stream, output room or the end
    std::thread decoder;
};

struct Vdec {
    std::mutex mutex;
    std::array<Channel, kChannels> chn{};
    std::uint64_t spells = 0;
};
Vdec g_vdec;

constexpr HI_S32 err(HI_ERR_CODE code) { return hi_err(HI_ID_VDEC, code); }

HI_S32 find_channel(VDEC_CHN chn, Channel*& out) {
    if (chn < 0 || chn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    Channel& c = g_vdec.chn[static_cast<std::size_t>(chn)];
    if (!c.s.exists || c.s.stop) return err(EN_ERR_UNEXIST);
    out = &c;
    return HI_SUCCESS;
}

bool supported(PAYLOAD_TYPE_E t) { return t == PT_H264 || t == PT_JPEG || t == PT_MJPEG; }

VDEC_PRTCL_PARAM_S default_prtcl(const VDEC_CHN_ATTR_S& a) {
    VDEC_PRTCL_PARAM_S p{};
    p.enType = a.enType;
    p.stH264PrtclParam.s32MaxSliceNum = 8;
    p.stH264PrtclParam.s32MaxSpsNum = 2;
    p.stH264PrtclParam.s32MaxPpsNum = 2;
    p.stH264PrtclParam.s32SCDBufSize = static_cast<HI_S32>(a.u32PicWidth * a.u32PicHeight * 3 / 4);
    p.stH264PrtclParam.s32DisplayFrameNum = 2;
    return p;
}

void log_channel(VDEC_CHN chn, const std::string& what) {
    board_log("media", "VDEC " + std::to_string(chn) + " " + what);
}

void wake(std::condition_variable& cv) {
    cv.notify_all();
    clock::poke(cv);
}

// The output channel a decoder channel's pictures reach, if any.
bool output_of(int chn, MPP_CHN_S& vo) {
    const MPP_CHN_S me{HI_ID_VDEC, 0, chn};
    if (bind_destination(me, HI_ID_VOU, vo)) return true;
    MPP_CHN_S group{};
    if (!bind_destination(me, HI_ID_VPSS, group)) return false;
    for (int k = 0; k < kGroupChannels; ++k)
        if (vpss_passes(group.s32DevId, k) && bind_destination(MPP_CHN_S{HI_ID_VPSS, group.s32DevId, k}, HI_ID_VOU, vo))
            return true;
    return false;
}

void consume(State& s, std::size_t n) {
    s.head += n;
    while (n > 0 && !s.sends.empty()) {
        const auto take = static_cast<std::uint32_t>(std::min<std::size_t>(n, s.sends.front()));
        s.sends.front() -= take;
        n -= take;
        if (s.sends.front() == 0) s.sends.pop_front();
    }
}

// Logs the decoder's stream errors since the last look.
void log_errors(int chn, const PictureDecoder& dec, std::uint64_t& logged) {
    if (dec.errors() == logged) return;
    const std::uint64_t n = dec.errors() - logged;
    logged = dec.errors();
    log_channel(chn, "stream error" + (n > 1 ? " (" + std::to_string(n) + ")" : std::string()) +
                         ", skipped: " + dec.last_error());
}

void decode_loop(Channel& c, int chn) {
    // Signals are for the system's own threads.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);

    PictureDecoder dec;
    std::string why;
    std::unique_lock lock(g_vdec.mutex);
    const VDEC_CHN_ATTR_S attr = c.s.attr;
    lock.unlock();
    const bool ready =
        dec.open(static_cast<int>(attr.u32PicWidth), static_cast<int>(attr.u32PicHeight), why);
    if (!ready) log_channel(chn, "cannot decode: " + why);
    std::vector<std::uint8_t> chunk;
    std::uint64_t errors_logged = 0;
    bool first = true;
    lock.lock();
    while (!c.s.stop) {
        if (dec.ready()) {
            c.s.output_changed = false;
            lock.unlock();
            if (first) {
                log_channel(chn, "first picture " + std::to_string(dec.next()->width) + "x" +
                                     std::to_string(dec.next()->height));
                first = false;
            }
            double retry = board_uptime() + kRouteLook;
            Offer o = Offer::closed;
            if (MPP_CHN_S vo{}; output_of(chn, vo)) o = vo_offer_picture(vo.s32DevId, vo.s32ChnId, dec.next(), retry);
            if (o == Offer::taken) dec.pop();
            lock.lock();
            c.s.waiting = static_cast<std::uint32_t>(dec.waiting());
            if (o != Offer::taken)
                clock::wait_until(lock, c.work, retry, [&] { return c.s.stop || c.s.output_changed; });
            continue;
        }
        if (c.s.held() > 0) {
            const std::size_t n = std::min(c.s.held(), kChunk);
            chunk.assign(c.s.stream.begin() + static_cast<std::ptrdiff_t>(c.s.head),
                         c.s.stream.begin() + static_cast<std::ptrdiff_t>(c.s.head + n));
            lock.unlock();
            const std::size_t taken = ready ? dec.feed(chunk) : n;
            log_errors(chn, dec, errors_logged);
            lock.lock();
            consume(c.s, taken);
            c.s.decoded += static_cast<std::uint32_t>(dec.waiting());
            c.s.waiting = static_cast<std::uint32_t>(dec.waiting());
            wake(c.room);
            continue;
        }
        if (dec.partial()) {
            const double end_at = c.s.receiving ? c.s.last_send + kEndAfter : 0;
            if (board_uptime() >= end_at) {
                lock.unlock();
                dec.end();
                log_errors(chn, dec, errors_logged);
                lock.lock();
                c.s.decoded += static_cast<std::uint32_t>(dec.waiting());
                c.s.waiting = static_cast<std::uint32_t>(dec.waiting());
                continue;
            }
            clock::wait_until(lock, c.work, end_at,
                              [&] { return c.s.stop || c.s.held() > 0 || !c.s.receiving; });
            continue;
        }
        clock::wait_until(lock, c.work, clock::kNever, [&] { return c.s.stop || c.s.held() > 0; });
    }
    c.s.errors = dec.errors();
}

// Stops the channel's decoder and forgets the channel; the lock is not held.
// Returns what the channel did, for the log.
std::string take_down(Channel& c) {
    std::thread decoder;
    {
        std::lock_guard lock(g_vdec.mutex);
        if (!c.s.exists) return {};
        c.s.stop = true;
        wake(c.work);
        decoder = std::move(c.decoder);
    }
    if (decoder.joinable()) decoder.join();
    std::lock_guard lock(g_vdec.mutex);
    std::string what = std::to_string(c.s.decoded) + " pictures";
    if (c.s.errors) what += ", " + std::to_string(c.s.errors) + " stream errors";
    c.s = State{};
    wake(c.room);
    return what;
}

}  // namespace

void vdec_reset() {
    for (Channel& c : g_vdec.chn) take_down(c);
}

void vdec_output_changed() {
    std::lock_guard lock(g_vdec.mutex);
    for (Channel& c : g_vdec.chn) {
        if (!c.s.exists) continue;
        c.s.output_changed = true;
        wake(c.work);
    }
}

}  // namespace host::media

using host::board_log;
using namespace host::media;

HI_S32 HI_MPI_VDEC_CreateChn(VDEC_CHN VdChn, const VDEC_CHN_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_NOMEM))) return *fail_;
    if (VdChn < 0 || VdChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!pstAttr) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    const VDEC_CHN_ATTR_S& a = *pstAttr;
    if (!supported(a.enType)) return err(EN_ERR_NOT_SUPPORT);
    if (a.u32PicWidth == 0 || a.u32PicHeight == 0 || a.u32PicWidth > kMaxWidth || a.u32PicHeight > kMaxHeight ||
        a.u32BufSize == 0)
        return err(EN_ERR_ILLEGAL_PARAM);
    if (a.enType == PT_H264 && (a.stVdecVideoAttr.u32RefFrameNum > 16 ||
                                (a.stVdecVideoAttr.enMode != VIDEO_MODE_STREAM &&
                                 a.stVdecVideoAttr.enMode != VIDEO_MODE_FRAME)))
        return err(EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_vdec.mutex);
        Channel& c = g_vdec.chn[static_cast<std::size_t>(VdChn)];
        if (c.s.exists) return err(EN_ERR_EXIST);
        c.s = State{};
        c.s.exists = true;
        c.s.spell = ++g_vdec.spells;
        c.s.attr = a;
        c.s.prtcl = default_prtcl(a);
        if (a.enType == PT_H264) c.decoder = std::thread(decode_loop, std::ref(c), VdChn);
    }
    log_channel(VdChn, "created, payload " + std::to_string(a.enType) + " " + std::to_string(a.u32PicWidth) + "x" +
                           std::to_string(a.u32PicHeight) + ", stream buffer " + std::to_string(a.u32BufSize));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_DestroyChn(VDEC_CHN VdChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    Channel* c = nullptr;
    {
        std::lock_guard lock(g_vdec.mutex);
        if (HI_S32 r = find_channel(VdChn, c)) return r;
        // Reception has to be stopped first, as on the real chip.
        if (c->s.receiving) return err(EN_ERR_NOT_PERM);
    }
    const std::string what = take_down(*c);
    log_channel(VdChn, "destroyed after " + what);
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_GetPrtclParam(VDEC_CHN VdChn, VDEC_PRTCL_PARAM_S* pstParam) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstParam) return err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_vdec.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VdChn, c)) return r;
    *pstParam = c->s.prtcl;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_SetPrtclParam(VDEC_CHN VdChn, const VDEC_PRTCL_PARAM_S* pstParam) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstParam) return err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_vdec.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VdChn, c)) return r;
    if (c->s.receiving) return err(EN_ERR_NOT_PERM);
    const VDEC_PRTCL_PARAM_H264_S& h = pstParam->stH264PrtclParam;
    if (pstParam->enType != c->s.attr.enType) return err(EN_ERR_ILLEGAL_PARAM);
    if (c->s.attr.enType == PT_H264 &&
        (h.s32MaxSliceNum < 1 || h.s32MaxSliceNum > 136 || h.s32MaxSpsNum < 1 || h.s32MaxSpsNum > 32 ||
         h.s32MaxPpsNum < 1 || h.s32MaxPpsNum > 256 || h.s32SCDBufSize < 0 || h.s32DisplayFrameNum < 0 ||
         h.s32DisplayFrameNum > 16))
        return err(EN_ERR_ILLEGAL_PARAM);
    c->s.prtcl = *pstParam;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_StartRecvStream(VDEC_CHN VdChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vdec.mutex);
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VdChn, c)) return r;
        if (c->s.receiving) return HI_SUCCESS;
        c->s.receiving = true;
        c->s.last_send = host::board_uptime();
        wake(c->work);
    }
    log_channel(VdChn, "receiving");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_StopRecvStream(VDEC_CHN VdChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vdec.mutex);
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VdChn, c)) return r;
        if (!c->s.receiving) return HI_SUCCESS;
        // What is held is still decoded; the stream ends with it.
        c->s.receiving = false;
        wake(c->work);
        wake(c->room);
    }
    log_channel(VdChn, "stopped receiving");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_SendStream(VDEC_CHN VdChn, const VDEC_STREAM_S* pstStream, HI_IO_BLOCK_E enBlock) {
    if (auto fail_ = fail_point(err(EN_ERR_BUF_FULL))) return *fail_;
    if (!pstStream) return err(EN_ERR_NULL_PTR);
    if (enBlock != HI_IO_BLOCK && enBlock != HI_IO_NOBLOCK) return err(EN_ERR_ILLEGAL_PARAM);
    std::unique_lock lock(g_vdec.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VdChn, c)) return r;
    if (!c->s.receiving) return err(EN_ERR_NOT_PERM);
    if (!pstStream->pu8Addr || pstStream->u32Len == 0) return err(EN_ERR_ILLEGAL_PARAM);
    const std::size_t len = pstStream->u32Len;
    State& s = c->s;
    if (s.attr.enType == PT_H264) {
        auto fits = [&] { return s.held() + len <= s.attr.u32BufSize; };
        if (!fits()) {
            if (enBlock == HI_IO_NOBLOCK || len > s.attr.u32BufSize) return err(EN_ERR_BUF_FULL);
            const std::uint64_t spell = s.spell;
            host::clock::wait_until(lock, c->room, host::board_uptime() + kSendWait,
                              [&] { return s.spell != spell || s.stop || !s.receiving || fits(); });
            if (s.spell != spell || s.stop) return err(EN_ERR_UNEXIST);
            if (!s.receiving) return err(EN_ERR_NOT_PERM);
            if (!fits()) return err(EN_ERR_BUF_FULL);
        }
        // Room at the front is reused once the decoder has passed half the bytes.
        if (s.head > 0 && s.head * 2 >= s.stream.size()) {
            s.stream.erase(s.stream.begin(), s.stream.begin() + static_cast<std::ptrdiff_t>(s.head));
            s.head = 0;
        }
        s.stream.insert(s.stream.end(), pstStream->pu8Addr, pstStream->pu8Addr + len);
        s.sends.push_back(static_cast<std::uint32_t>(len));
        s.last_send = host::board_uptime();
        wake(c->work);
    }
    ++s.frames_received;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_Query(VDEC_CHN VdChn, VDEC_CHN_STAT_S* pstStat) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstStat) return err(EN_ERR_NULL_PTR);
    VDEC_CHN_STAT_S st{};
    {
        std::lock_guard lock(g_vdec.mutex);
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VdChn, c)) return r;
        const State& s = c->s;
        st.enType = s.attr.enType;
        st.u32LeftStreamBytes = static_cast<HI_U32>(s.held());
        st.u32LeftStreamFrames = static_cast<HI_U32>(s.sends.size());
        st.u32LeftPics = s.waiting;
        st.bStartRecvStream = s.receiving ? HI_TRUE : HI_FALSE;
        st.u32RecvStreamFrames = s.frames_received;
        st.u32DecodeStreamFrames = s.decoded;
    }
    // Pictures decoded but not shown yet include those queued at the output.
    if (MPP_CHN_S vo{}; output_of(VdChn, vo))
        st.u32LeftPics += static_cast<HI_U32>(vo_queued(vo.s32DevId, vo.s32ChnId));
    *pstStat = st;
    return HI_SUCCESS;
}
