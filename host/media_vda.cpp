// Motion and occlusion detection on a capture channel bound to a detection
// channel. Each result looks at the channel's picture of that moment, scaled
// to the detection size: motion against the previous result's picture,
// occlusion against the picture taken when reception started. A macroblock
// counts when its mean luma difference reaches the threshold.
#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "host/clock.h"
#include "host/media_more.h"
#include "platform/mpi_ext.h"

namespace host::media {
namespace {

constexpr double kCaptureFps = 12;

struct Chn {
    bool exists = false;
    VDA_CHN_ATTR_S attr{};
    bool receiving = false;
    ReadyFd fd;
    double epoch = 0;
    std::uint64_t next = 0;
    bool held = false;
    std::vector<std::uint8_t> prev, start;  // luma at the detection size
    std::vector<std::uint8_t> sad;          // one per macroblock
    std::vector<VDA_OBJ_S> obj;
    std::array<std::uint32_t, VDA_OD_RGN_NUM_MAX> occ{}, unocc{};
    std::array<bool, VDA_OD_RGN_NUM_MAX> alarm{};
};

struct Vda {
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t generation = 0;
    std::array<Chn, VDA_MAX_CHN_NUM> chn{};
};
Vda g_vda;

constexpr HI_S32 err(HI_ERR_CODE c) { return hi_err(HI_ID_VDA, c); }

HI_S32 find(VDA_CHN chn, Chn*& out) {
    if (chn < 0 || chn >= VDA_MAX_CHN_NUM) return err(EN_ERR_INVALID_CHNID);
    out = &g_vda.chn[static_cast<std::size_t>(chn)];
    return out->exists ? HI_SUCCESS : err(EN_ERR_UNEXIST);
}

void changed() {
    ++g_vda.generation;
    g_vda.changed.notify_all();
    clock::poke(g_vda.changed);
}

bool check_attr(const VDA_CHN_ATTR_S& a) {
    if (a.u32Width < 16 || a.u32Height < 16 || a.u32Width > VDA_MAX_WIDTH || a.u32Height > VDA_MAX_HEIGHT) return false;
    if (a.enWorkMode == VDA_WORK_MODE_MD) {
        const VDA_MD_ATTR_S& m = a.stMdAttr;
        return m.u32VdaIntvl >= 1 && m.u32VdaIntvl <= 256 && m.u32MdBufNum >= 1 && m.u32MdBufNum <= 16 &&
               m.u32ObjNumMax <= 128 && m.u32BgUpSrcWgt <= 256 && m.u32SadTh <= 255;
    }
    if (a.enWorkMode != VDA_WORK_MODE_OD) return false;
    const VDA_OD_ATTR_S& o = a.stOdAttr;
    if (o.u32VdaIntvl < 1 || o.u32VdaIntvl > 256 || o.u32RgnNum < 1 || o.u32RgnNum > VDA_OD_RGN_NUM_MAX) return false;
    for (HI_U32 i = 0; i < o.u32RgnNum; ++i) {
        const VDA_OD_RGN_ATTR_S& r = o.astOdRgnAttr[i];
        if (r.stRect.s32X < 0 || r.stRect.s32Y < 0 || r.stRect.u32Width == 0 || r.stRect.u32Height == 0 ||
            r.stRect.s32X + r.stRect.u32Width > a.u32Width || r.stRect.s32Y + r.stRect.u32Height > a.u32Height ||
            r.u32AreaTh > 100 || r.u32SadTh > 255 || r.u32OccCntTh == 0)
            return false;
    }
    return true;
}

int mb_size(const VDA_CHN_ATTR_S& a) {
    const VDA_MB_SIZE_E s = a.enWorkMode == VDA_WORK_MODE_MD ? a.stMdAttr.enMbSize : a.stOdAttr.enMbSize;
    return s == VDA_MB_8PIXEL ? 8 : 16;
}

// Mean absolute difference per macroblock.
void block_sad(const Chn& c, const std::vector<std::uint8_t>& cur, const std::vector<std::uint8_t>& ref,
               std::vector<std::uint8_t>& out) {
    const int w = static_cast<int>(c.attr.u32Width), h = static_cast<int>(c.attr.u32Height), mb = mb_size(c.attr);
    const int mw = w / mb, mh = h / mb;
    out.assign(static_cast<std::size_t>(mw * mh), 0);
    for (int by = 0; by < mh; ++by)
        for (int bx = 0; bx < mw; ++bx) {
            int sum = 0;
            for (int y = by * mb; y < (by + 1) * mb; ++y)
                for (int x = bx * mb; x < (bx + 1) * mb; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y * w + x);
                    sum += std::abs(cur[i] - ref[i]);
                }
            out[static_cast<std::size_t>(by * mw + bx)] = static_cast<std::uint8_t>(sum / (mb * mb));
        }
}

// Objects: bounding boxes of 4-connected groups of moving macroblocks.
void find_objects(Chn& c, int mw, int mh, std::uint32_t th, int mb) {
    c.obj.clear();
    std::vector<int> todo;
    std::vector<bool> seen(c.sad.size(), false);
    for (int start = 0; start < mw * mh; ++start) {
        if (seen[static_cast<std::size_t>(start)] || c.sad[static_cast<std::size_t>(start)] < th) continue;
        int l = mw, t = mh, r = -1, b = -1;
        todo.assign(1, start);
        seen[static_cast<std::size_t>(start)] = true;
        while (!todo.empty()) {
            const int i = todo.back();
            todo.pop_back();
            const int x = i % mw, y = i / mw;
            l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
            const int nb[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (const auto& n : nb) {
                if (n[0] < 0 || n[1] < 0 || n[0] >= mw || n[1] >= mh) continue;
                const auto j = static_cast<std::size_t>(n[1] * mw + n[0]);
                if (!seen[j] && c.sad[j] >= th) {
                    seen[j] = true;
                    todo.push_back(static_cast<int>(j));
                }
            }
        }
        if (c.obj.size() < c.attr.stMdAttr.u32ObjNumMax)
            c.obj.push_back(VDA_OBJ_S{static_cast<HI_U16>(l * mb), static_cast<HI_U16>(t * mb),
                                      static_cast<HI_U16>((r + 1) * mb - 1), static_cast<HI_U16>((b + 1) * mb - 1)});
    }
}

}  // namespace

void vda_reset() {
    std::lock_guard lock(g_vda.mutex);
    g_vda.chn = {};
    changed();
}

}  // namespace host::media

using namespace host::media;

HI_S32 HI_MPI_VDA_CreateChn(VDA_CHN VdaChn, const VDA_CHN_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_NOMEM))) return *fail_;
    if (VdaChn < 0 || VdaChn >= VDA_MAX_CHN_NUM) return err(EN_ERR_INVALID_CHNID);
    if (!pstAttr) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    if (!check_attr(*pstAttr)) return err(EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_vda.mutex);
        Chn& c = g_vda.chn[static_cast<std::size_t>(VdaChn)];
        if (c.exists) return err(EN_ERR_EXIST);
        c = Chn{};
        c.exists = true;
        c.attr = *pstAttr;
    }
    host::board_log("media", "VDA " + std::to_string(VdaChn) + " created, " +
                                 (pstAttr->enWorkMode == VDA_WORK_MODE_MD ? "motion " : "occlusion ") +
                                 std::to_string(pstAttr->u32Width) + "x" + std::to_string(pstAttr->u32Height));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDA_DestroyChn(VDA_CHN VdaChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vda.mutex);
        Chn* c = nullptr;
        if (HI_S32 r = find(VdaChn, c)) return r;
        if (c->receiving) return err(EN_ERR_NOT_PERM);
        *c = Chn{};
        changed();
    }
    host::board_log("media", "VDA " + std::to_string(VdaChn) + " destroyed");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDA_StartRecvPic(VDA_CHN VdaChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_vda.mutex);
    Chn* c = nullptr;
    if (HI_S32 r = find(VdaChn, c)) return r;
    if (c->receiving) return HI_SUCCESS;
    c->receiving = true;
    c->epoch = host::board_uptime();
    c->next = 0;
    c->prev.clear();
    c->start.clear();
    c->fd.raise(true);  // results keep coming while it receives
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDA_StopRecvPic(VDA_CHN VdaChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_vda.mutex);
    Chn* c = nullptr;
    if (HI_S32 r = find(VdaChn, c)) return r;
    c->receiving = false;
    c->held = false;
    c->fd.raise(false);
    changed();
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDA_GetFd(VDA_CHN VdaChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_vda.mutex);
    Chn* c = nullptr;
    if (HI_S32 r = find(VdaChn, c)) return r;
    return c->fd.get();
}

HI_S32 HI_MPI_VDA_GetData(VDA_CHN VdaChn, VDA_DATA_S* pstVdaData, HI_BOOL bBlock) {
    if (auto fail_ = fail_point(err(EN_ERR_BUF_EMPTY))) return *fail_;
    if (!pstVdaData) return err(EN_ERR_NULL_PTR);
    MPP_CHN_S src{};
    if (!bind_source(MPP_CHN_S{HI_ID_VDA, 0, VdaChn}, src) || src.enModId != HI_ID_VIU) return err(EN_ERR_NOT_PERM);
    CaptureTiming timing;
    std::unique_lock lock(g_vda.mutex);
    Chn* c = nullptr;
    if (HI_S32 r = find(VdaChn, c)) return r;
    if (!c->receiving || c->held) return err(EN_ERR_NOT_PERM);
    const HI_U32 intvl = c->attr.enWorkMode == VDA_WORK_MODE_MD ? c->attr.stMdAttr.u32VdaIntvl : c->attr.stOdAttr.u32VdaIntvl;
    const double due = c->epoch + static_cast<double>(c->next + 1) * intvl / kCaptureFps;
    if (host::board_uptime() < due) {
        if (!bBlock) return err(EN_ERR_BUF_EMPTY);
        const std::uint64_t gen = g_vda.generation;
        host::clock::wait_until(lock, g_vda.changed, due, [&] { return g_vda.generation != gen; });
        if (g_vda.generation != gen) return err(EN_ERR_NOT_PERM);  // stopped or destroyed meanwhile
    }
    if (!capture_timing(src.s32ChnId, timing)) return err(EN_ERR_NOT_PERM);  // the camera is off
    // The capture's picture at this moment, scaled to the detection size.
    std::vector<std::uint8_t> frame(kCaptureFrameBytes);
    const auto index = static_cast<std::uint64_t>(std::max(0.0, (due - timing.epoch) * timing.dst));
    if (!capture_render(src.s32ChnId, index, frame.data())) return err(EN_ERR_NOT_PERM);
    const int w = static_cast<int>(c->attr.u32Width), h = static_cast<int>(c->attr.u32Height);
    std::vector<std::uint8_t> cur(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            cur[static_cast<std::size_t>(y * w + x)] =
                frame[static_cast<std::size_t>(y * kCaptureHeight / h * kCaptureWidth + x * kCaptureWidth / w)];
    if (c->start.empty()) c->start = cur;
    const std::vector<std::uint8_t>& ref = c->attr.enWorkMode == VDA_WORK_MODE_MD ? (c->prev.empty() ? cur : c->prev)
                                                                                   : c->start;
    block_sad(*c, cur, ref, c->sad);
    c->prev = std::move(cur);
    const int mb = mb_size(c->attr), mw = w / mb, mh = h / mb;

    VDA_DATA_S d{};
    d.u64Pts = static_cast<HI_U64>(due * 1e6);
    d.u32MbWidth = static_cast<HI_U32>(mw);
    d.u32MbHeight = static_cast<HI_U32>(mh);
    if (c->attr.enWorkMode == VDA_WORK_MODE_MD) {
        const std::uint32_t th = c->attr.stMdAttr.u32SadTh;
        VDA_MD_DATA_S& m = d.stMdData;
        m.bMbSadValid = HI_TRUE;
        m.u32MbSadStride = static_cast<HI_U32>(mw);
        m.pAddr = c->sad.data();
        std::uint32_t moving = 0;
        for (std::uint8_t s : c->sad) moving += s >= th;
        m.bPelsNumValid = HI_TRUE;
        m.u32AlarmPixCnt = moving * static_cast<std::uint32_t>(mb * mb);
        find_objects(*c, mw, mh, th, mb);
        m.bObjValid = HI_TRUE;
        m.u32ObjNum = static_cast<HI_U32>(c->obj.size());
        m.pstObj = c->obj.data();
        if (!c->obj.empty()) {
            m.stObjBox = c->obj[0];
            for (const VDA_OBJ_S& o : c->obj) {
                m.stObjBox.u16Left = std::min(m.stObjBox.u16Left, o.u16Left);
                m.stObjBox.u16Top = std::min(m.stObjBox.u16Top, o.u16Top);
                m.stObjBox.u16Right = std::max(m.stObjBox.u16Right, o.u16Right);
                m.stObjBox.u16Bottom = std::max(m.stObjBox.u16Bottom, o.u16Bottom);
            }
        }
    } else {
        const VDA_OD_ATTR_S& o = c->attr.stOdAttr;
        d.stOdData.u32RgnNum = o.u32RgnNum;
        for (HI_U32 i = 0; i < o.u32RgnNum; ++i) {
            const VDA_OD_RGN_ATTR_S& r = o.astOdRgnAttr[i];
            int all = 0, hit = 0;
            for (int by = r.stRect.s32Y / mb; by < std::min<int>(mh, (r.stRect.s32Y + r.stRect.u32Height) / mb); ++by)
                for (int bx = r.stRect.s32X / mb; bx < std::min<int>(mw, (r.stRect.s32X + r.stRect.u32Width) / mb);
                     ++bx) {
                    ++all;
                    hit += c->sad[static_cast<std::size_t>(by * mw + bx)] >= r.u32SadTh;
                }
            const bool covered = all > 0 && hit * 100 >= all * static_cast<int>(r.u32AreaTh);
            c->occ[i] = covered ? c->occ[i] + 1 : 0;
            c->unocc[i] = covered ? 0 : c->unocc[i] + 1;
            if (c->occ[i] >= r.u32OccCntTh) c->alarm[i] = true;
            if (c->unocc[i] >= r.u32UnOccCntTh) c->alarm[i] = false;
            d.stOdData.abRgnAlarm[i] = c->alarm[i] ? HI_TRUE : HI_FALSE;
        }
    }
    ++c->next;
    c->held = true;
    *pstVdaData = d;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDA_ReleaseData(VDA_CHN VdaChn, const VDA_DATA_S* pstVdaData) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstVdaData) return err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_vda.mutex);
    Chn* c = nullptr;
    if (HI_S32 r = find(VdaChn, c)) return r;
    if (!c->held) return err(EN_ERR_ILLEGAL_PARAM);
    c->held = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDA_ResetOdRegion(VDA_CHN VdaChn, HI_S32 s32RgnIndex) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_vda.mutex);
    Chn* c = nullptr;
    if (HI_S32 r = find(VdaChn, c)) return r;
    if (c->attr.enWorkMode != VDA_WORK_MODE_OD) return err(EN_ERR_NOT_PERM);
    if (s32RgnIndex < 0 || static_cast<HI_U32>(s32RgnIndex) >= c->attr.stOdAttr.u32RgnNum)
        return err(EN_ERR_ILLEGAL_PARAM);
    const auto i = static_cast<std::size_t>(s32RgnIndex);
    c->occ[i] = c->unocc[i] = 0;
    c->alarm[i] = false;
    return HI_SUCCESS;
}
