// The media platform's core: power-on and power-off, the system and buffer
// pool set-up, media memory, bindings and the image engine's DMA copy.
#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "host/media_more.h"

namespace host::media {
namespace {

std::atomic<bool> g_paced{true};
std::atomic<bool> g_sys_ready{false};

std::string hex32(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08" PRIx32, v);
    return buf;
}

// ---------------------------------------------------------------- system and pools

struct Pool {
    std::uint32_t block_size = 0;
    std::uint32_t count = 0;
    std::uint32_t phys = 0;  // one media-memory block holds the whole pool
    std::uint8_t* virt = nullptr;
    std::vector<bool> free;
    std::vector<std::uint64_t> tags;
};

struct Sys {
    std::mutex mutex;
    bool conf_set = false;
    std::uint32_t align = 0;
    bool vb_conf_set = false;
    VB_CONF_S vb_conf{};
    bool vb_ready = false;
    std::vector<Pool> pools;
};
Sys g_sys;

void free_pools(Sys& s) {
    for (const Pool& p : s.pools) mmz_free(p.phys);
    s.pools.clear();
    s.vb_ready = false;
}

void reset_modules() {
    vi_reset();
    vpss_reset();
    vo_reset();
    venc_reset();
    vdec_reset();
    rgn_reset();
    audio_reset();
    vda_reset();
    misc_reset();
}

// ---------------------------------------------------------------- media memory

struct MmzEntry {
    void* virt = nullptr;
    std::uint32_t len = 0;
};

struct Mmz {
    std::mutex mutex;
    std::map<std::uint32_t, MmzEntry> blocks;  // those handed out by MmzAlloc
};
Mmz g_mmz;

HI_S32 mmz_alloc_common(HI_U32* phys, HI_VOID** virt, const HI_CHAR* name, HI_U32 len, bool cached) {
    if (!phys || !virt) return hi_err(HI_ID_SYS, EN_ERR_NULL_PTR);
    if (len == 0) return hi_err(HI_ID_SYS, EN_ERR_NOMEM);
    const MmzBlock b = mmz_alloc(len);
    if (!b.virt) {
        board_log("media", "mmz alloc of " + std::to_string(len) + " bytes failed: out of media memory");
        return hi_err(HI_ID_SYS, EN_ERR_NOMEM);
    }
    {
        std::lock_guard lock(g_mmz.mutex);
        g_mmz.blocks[b.phys] = MmzEntry{b.virt, len};
    }
    *phys = b.phys;
    *virt = b.virt;
    board_log("media", std::string("mmz alloc ") + (cached ? "cached " : "") + std::to_string(len) + " bytes at " +
                           hex32(b.phys) + (name && *name ? std::string(" (") + name + ")" : std::string()));
    return HI_SUCCESS;
}

// ---------------------------------------------------------------- bindings

struct Endpoint {
    int mod, dev, chn;
    auto operator<=>(const Endpoint&) const = default;
};

struct Binds {
    std::mutex mutex;
    std::map<Endpoint, Endpoint> source_of;  // by destination
};
Binds g_binds;

bool within(int v, int lo, int hi) { return v >= lo && v <= hi; }

bool valid_source(const MPP_CHN_S& c) {
    switch (c.enModId) {
    case HI_ID_VIU: return within(c.s32DevId, 0, 1) && within(c.s32ChnId, 0, 7);
    case HI_ID_VPSS: return within(c.s32DevId, 0, 31) && within(c.s32ChnId, 0, 3);
    case HI_ID_VDEC: return c.s32DevId == 0 && within(c.s32ChnId, 0, 63);
    case HI_ID_VOU: return within(c.s32DevId, 0, 2) && within(c.s32ChnId, 0, 15);  // its write-back
    case HI_ID_AI: return within(c.s32DevId, 0, 3) && within(c.s32ChnId, 0, 15);
    case HI_ID_ADEC: return c.s32DevId == 0 && within(c.s32ChnId, 0, 31);
    default: return false;
    }
}

bool valid_dest(const MPP_CHN_S& c) {
    switch (c.enModId) {
    case HI_ID_VPSS: return within(c.s32DevId, 0, 31) && within(c.s32ChnId, 0, 3);
    case HI_ID_GROUP: return within(c.s32DevId, 0, 63) && c.s32ChnId == 0;
    case HI_ID_VOU: return within(c.s32DevId, 0, 2) && within(c.s32ChnId, 0, 15);
    case HI_ID_AO: return within(c.s32DevId, 0, 3) && within(c.s32ChnId, 0, 15);
    case HI_ID_AENC: return c.s32DevId == 0 && within(c.s32ChnId, 0, 31);
    case HI_ID_VDA: return c.s32DevId == 0 && within(c.s32ChnId, 0, 31);
    default: return false;
    }
}

Endpoint endpoint(const MPP_CHN_S& c) { return Endpoint{c.enModId, c.s32DevId, c.s32ChnId}; }

std::string describe(const MPP_CHN_S& c) {
    const char* name = "?";
    switch (c.enModId) {
    case HI_ID_VIU: name = "VI"; break;
    case HI_ID_VPSS: name = "VPSS"; break;
    case HI_ID_VDEC: name = "VDEC"; break;
    case HI_ID_VOU: name = "VO"; break;
    case HI_ID_GROUP: name = "VENC group"; break;
    case HI_ID_AI: name = "AI"; break;
    case HI_ID_AO: name = "AO"; break;
    case HI_ID_AENC: name = "AENC"; break;
    case HI_ID_ADEC: name = "ADEC"; break;
    case HI_ID_VDA: name = "VDA"; break;
    default: break;
    }
    return std::string(name) + " " + std::to_string(c.s32DevId) + "/" + std::to_string(c.s32ChnId);
}

// ---------------------------------------------------------------- image engine

std::atomic<IVE_HANDLE> g_ive_next{0};

bool plane_ok(const IVE_DATA_S& d) { return d.u16Width > 0 && d.u16Height > 0 && d.u32Stride >= d.u16Width; }

}  // namespace

bool board_paced() { return g_paced.load(); }

bool sys_ready() { return g_sys_ready.load(); }

bool vb_take(std::uint32_t min_size, std::uint64_t wanted_tag, PoolBlock& out) {
    std::lock_guard lock(g_sys.mutex);
    // The smallest blocks that fit; among their free ones, the one already
    // holding what is wanted.
    Pool* best = nullptr;
    std::size_t best_index = 0;
    std::uint32_t best_pool = 0;
    for (std::uint32_t p = 0; p < g_sys.pools.size(); ++p) {
        Pool& pool = g_sys.pools[p];
        if (pool.block_size < min_size) continue;
        if (best && pool.block_size > best->block_size) continue;
        std::size_t found = pool.count;
        for (std::size_t i = 0; i < pool.count; ++i) {
            if (!pool.free[i]) continue;
            if (found == pool.count) found = i;
            if (wanted_tag != 0 && pool.tags[i] == wanted_tag) {
                found = i;
                break;
            }
        }
        if (found == pool.count) continue;
        const bool better = !best || pool.block_size < best->block_size ||
                            (wanted_tag != 0 && pool.tags[found] == wanted_tag && best->tags[best_index] != wanted_tag);
        if (better) {
            best = &pool;
            best_index = found;
            best_pool = p;
        }
    }
    if (!best) return false;
    best->free[best_index] = false;
    out.pool = best_pool;
    out.phys = best->phys + static_cast<std::uint32_t>(best_index) * best->block_size;
    out.virt = best->virt + best_index * best->block_size;
    out.tag = best->tags[best_index];
    return true;
}

void vb_give(std::uint32_t phys, std::uint64_t tag) {
    std::lock_guard lock(g_sys.mutex);
    for (Pool& pool : g_sys.pools) {
        if (phys < pool.phys) continue;
        const std::uint64_t offset = phys - pool.phys;
        const std::uint64_t index = offset / pool.block_size;
        if (index >= pool.count || offset % pool.block_size != 0) continue;
        pool.free[index] = true;
        pool.tags[index] = tag;
        return;
    }
}

bool bind_source(const MPP_CHN_S& dest, MPP_CHN_S& src) {
    std::lock_guard lock(g_binds.mutex);
    auto it = g_binds.source_of.find(endpoint(dest));
    if (it == g_binds.source_of.end()) return false;
    src = MPP_CHN_S{static_cast<MOD_ID_E>(it->second.mod), it->second.dev, it->second.chn};
    return true;
}

bool bind_destination(const MPP_CHN_S& src, MOD_ID_E mod, MPP_CHN_S& dest) {
    const Endpoint from = endpoint(src);
    std::lock_guard lock(g_binds.mutex);
    for (const auto& [to, source] : g_binds.source_of) {
        if (source != from || to.mod != mod) continue;
        dest = MPP_CHN_S{static_cast<MOD_ID_E>(to.mod), to.dev, to.chn};
        return true;
    }
    return false;
}

}  // namespace host::media

// ---------------------------------------------------------------- power

namespace host {

void media_power_on() {
    const BoardOptions& o = board_options();
    media::g_paced = o.paced;
    media::venc_power_on();
    board_log("media", std::string("power on, capture ") + (o.paced ? "paced" : "unpaced"));
}

void media_power_off() {
    using namespace media;
    g_sys_ready = false;
    reset_modules();
    capture_power_off();
    {
        std::lock_guard lock(g_sys.mutex);
        free_pools(g_sys);
        g_sys.conf_set = false;
        g_sys.vb_conf_set = false;
        g_sys.vb_conf = VB_CONF_S{};
    }
    {
        std::lock_guard lock(g_mmz.mutex);
        for (const auto& [phys, entry] : g_mmz.blocks) mmz_free(phys);
        g_mmz.blocks.clear();
    }
    {
        std::lock_guard lock(g_binds.mutex);
        g_binds.source_of.clear();
    }
    g_ive_next = 0;
}

}  // namespace host

// ---------------------------------------------------------------- the seam

using host::board_log;
using namespace host::media;

HI_S32 HI_MPI_SYS_Exit() {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_BUSY))) return *fail_;
    bool was_ready;
    {
        std::lock_guard lock(g_sys.mutex);
        was_ready = g_sys_ready.exchange(false);
        g_sys.conf_set = false;
    }
    // The modules hand their pool blocks back, so the pool lock is not held.
    if (was_ready) {
        // Take down everything built on the system, as a restart expects.
        reset_modules();
        {
            std::lock_guard block(g_binds.mutex);
            g_binds.source_of.clear();
        }
        board_log("media", "system exit");
    }
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_SetConf(const MPP_SYS_CONF_S* pstSysConf) {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_BUSY))) return *fail_;
    if (!pstSysConf) return hi_err(HI_ID_SYS, EN_ERR_NULL_PTR);
    const HI_U32 a = pstSysConf->u32AlignWidth;
    if (a != 16 && a != 32 && a != 64) return hi_err(HI_ID_SYS, EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_sys.mutex);
    if (g_sys_ready) return hi_err(HI_ID_SYS, EN_ERR_NOT_PERM);
    g_sys.conf_set = true;
    g_sys.align = a;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_Init() {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_sys.mutex);
    if (g_sys_ready) return hi_err(HI_ID_SYS, EN_ERR_NOT_PERM);
    if (!g_sys.conf_set) return hi_err(HI_ID_SYS, EN_ERR_NOT_CONFIG);
    if (!g_sys.vb_ready) return hi_err(HI_ID_SYS, EN_ERR_SYS_NOTREADY);
    g_sys_ready = true;
    board_log("media", "system init, align width " + std::to_string(g_sys.align));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VB_SetConf(const VB_CONF_S* pstVbConf) {
    if (auto fail_ = fail_point(hi_err(HI_ID_VB, EN_ERR_BUSY))) return *fail_;
    if (!pstVbConf) return hi_err(HI_ID_VB, EN_ERR_NULL_PTR);
    if (pstVbConf->u32MaxPoolCnt == 0 || pstVbConf->u32MaxPoolCnt > 256) return hi_err(HI_ID_VB, EN_ERR_ILLEGAL_PARAM);
    bool any = false;
    for (const auto& p : pstVbConf->astCommPool) {
        if (p.u32BlkSize == 0 || p.u32BlkCnt == 0) continue;
        if (p.u32BlkCnt > 1024 || p.u32BlkSize > (256u << 20)) return hi_err(HI_ID_VB, EN_ERR_ILLEGAL_PARAM);
        any = true;
    }
    if (!any) return hi_err(HI_ID_VB, EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_sys.mutex);
    if (g_sys.vb_ready) return hi_err(HI_ID_VB, EN_ERR_NOT_PERM);
    g_sys.vb_conf = *pstVbConf;
    g_sys.vb_conf_set = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VB_Init() {
    if (auto fail_ = fail_point(hi_err(HI_ID_VB, EN_ERR_NOMEM))) return *fail_;
    std::lock_guard lock(g_sys.mutex);
    if (g_sys.vb_ready) return hi_err(HI_ID_VB, EN_ERR_NOT_PERM);
    if (!g_sys.vb_conf_set) return hi_err(HI_ID_VB, EN_ERR_NOT_CONFIG);
    std::string summary;
    for (const auto& c : g_sys.vb_conf.astCommPool) {
        if (c.u32BlkSize == 0 || c.u32BlkCnt == 0) continue;
        Pool pool;
        pool.block_size = c.u32BlkSize;
        pool.count = c.u32BlkCnt;
        const host::MmzBlock b = host::mmz_alloc(std::size_t{c.u32BlkSize} * c.u32BlkCnt);
        if (!b.virt) {
            free_pools(g_sys);
            board_log("media", "buffer pools: out of media memory");
            return hi_err(HI_ID_VB, EN_ERR_NOMEM);
        }
        pool.phys = b.phys;
        pool.virt = static_cast<std::uint8_t*>(b.virt);
        pool.free.assign(pool.count, true);
        pool.tags.assign(pool.count, 0);
        summary += (summary.empty() ? "" : ", ") + std::to_string(pool.count) + " x " + std::to_string(pool.block_size);
        g_sys.pools.push_back(std::move(pool));
    }
    g_sys.vb_ready = true;
    board_log("media", "buffer pools ready: " + summary);
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VB_Exit() {
    if (auto fail_ = fail_point(hi_err(HI_ID_VB, EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_sys.mutex);
    if (g_sys_ready) return hi_err(HI_ID_VB, EN_ERR_NOT_PERM);
    for (const Pool& p : g_sys.pools)
        if (std::find(p.free.begin(), p.free.end(), false) != p.free.end()) return hi_err(HI_ID_VB, EN_ERR_BUSY);
    const bool had = g_sys.vb_ready;
    free_pools(g_sys);
    g_sys.vb_conf_set = false;
    if (had) board_log("media", "buffer pools released");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_MmzAlloc(HI_U32* pu32PhyAddr, HI_VOID** ppVirtAddr, const HI_CHAR* strMmb, const HI_CHAR* strZone,
                           HI_U32 u32Len) {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_NOMEM))) return *fail_;
    (void)strZone;
    return mmz_alloc_common(pu32PhyAddr, ppVirtAddr, strMmb, u32Len, false);
}

HI_S32 HI_MPI_SYS_MmzAlloc_Cached(HI_U32* pu32PhyAddr, HI_VOID** ppVirtAddr, const HI_CHAR* strMmb,
                                  const HI_CHAR* strZone, HI_U32 u32Len) {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_NOMEM))) return *fail_;
    (void)strZone;
    return mmz_alloc_common(pu32PhyAddr, ppVirtAddr, strMmb, u32Len, true);
}

HI_S32 HI_MPI_SYS_MmzFlushCache(HI_U32 u32PhyAddr, HI_VOID* pVirtAddr, HI_U32 u32Size) {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_BUSY))) return *fail_;
    if (u32Size == 0) return hi_err(HI_ID_SYS, EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_mmz.mutex);
    auto it = g_mmz.blocks.upper_bound(u32PhyAddr);
    if (it == g_mmz.blocks.begin()) return hi_err(HI_ID_SYS, EN_ERR_ILLEGAL_PARAM);
    --it;
    const std::uint64_t offset = u32PhyAddr - it->first;
    if (offset + u32Size > it->second.len) return hi_err(HI_ID_SYS, EN_ERR_ILLEGAL_PARAM);
    // The mapped address, when given, must be the same place.
    if (pVirtAddr && pVirtAddr != static_cast<std::uint8_t*>(it->second.virt) + offset)
        return hi_err(HI_ID_SYS, EN_ERR_ILLEGAL_PARAM);
    return HI_SUCCESS;  // host memory is coherent: nothing to write back
}

HI_S32 HI_MPI_SYS_MmzFree(HI_U32 u32PhyAddr, HI_VOID* pVirtAddr) {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_mmz.mutex);
        auto it = g_mmz.blocks.find(u32PhyAddr);
        if (it == g_mmz.blocks.end()) return hi_err(HI_ID_SYS, EN_ERR_ILLEGAL_PARAM);
        if (pVirtAddr && pVirtAddr != it->second.virt) return hi_err(HI_ID_SYS, EN_ERR_ILLEGAL_PARAM);
        g_mmz.blocks.erase(it);
        host::mmz_free(u32PhyAddr);
    }
    board_log("media", "mmz free " + hex32(u32PhyAddr));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_Bind(const MPP_CHN_S* pstSrcChn, const MPP_CHN_S* pstDestChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_BUSY))) return *fail_;
    if (!pstSrcChn || !pstDestChn) return hi_err(HI_ID_SYS, EN_ERR_NULL_PTR);
    if (!sys_ready()) return hi_err(HI_ID_SYS, EN_ERR_SYS_NOTREADY);
    if (!valid_source(*pstSrcChn) || !valid_dest(*pstDestChn)) return hi_err(HI_ID_SYS, EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_binds.mutex);
        auto [it, added] = g_binds.source_of.try_emplace(endpoint(*pstDestChn), endpoint(*pstSrcChn));
        (void)it;
        if (!added) return hi_err(HI_ID_SYS, EN_ERR_EXIST);
    }
    board_log("media", "bind " + describe(*pstSrcChn) + " -> " + describe(*pstDestChn));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_GetCurPts(HI_U64* pu64CurPts) {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_BUSY))) return *fail_;
    if (!pu64CurPts) return hi_err(HI_ID_SYS, EN_ERR_NULL_PTR);
    // Board time, as the capture and the encoders stamp their pictures.
    *pu64CurPts = static_cast<HI_U64>(std::llround(host::board_uptime() * 1e6));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_UnBind(const MPP_CHN_S* pstSrcChn, const MPP_CHN_S* pstDestChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_BUSY))) return *fail_;
    if (!pstSrcChn || !pstDestChn) return hi_err(HI_ID_SYS, EN_ERR_NULL_PTR);
    if (!sys_ready()) return hi_err(HI_ID_SYS, EN_ERR_SYS_NOTREADY);
    if (!valid_source(*pstSrcChn) || !valid_dest(*pstDestChn)) return hi_err(HI_ID_SYS, EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_binds.mutex);
        auto it = g_binds.source_of.find(endpoint(*pstDestChn));
        if (it == g_binds.source_of.end() || it->second != endpoint(*pstSrcChn))
            return hi_err(HI_ID_SYS, EN_ERR_UNEXIST);
        g_binds.source_of.erase(it);
    }
    board_log("media", "unbind " + describe(*pstSrcChn) + " -> " + describe(*pstDestChn));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_IVE_DMA(IVE_HANDLE* pIveHandle, const IVE_SRC_DATA_S* pstSrc, const IVE_DST_DATA_S* pstDst,
                      HI_BOOL bInstant) {
    if (auto fail_ = fail_point(hi_err(HI_ID_IVE, EN_ERR_BUSY))) return *fail_;
    (void)bInstant;
    if (!pIveHandle || !pstSrc || !pstDst) return hi_err(HI_ID_IVE, EN_ERR_NULL_PTR);
    if (!plane_ok(*pstSrc) || !plane_ok(*pstDst)) return hi_err(HI_ID_IVE, EN_ERR_ILLEGAL_PARAM);
    if (pstSrc->u16Width != pstDst->u16Width || pstSrc->u16Height != pstDst->u16Height)
        return hi_err(HI_ID_IVE, EN_ERR_ILLEGAL_PARAM);
    const std::size_t width = pstSrc->u16Width, height = pstSrc->u16Height;
    const auto* src = static_cast<const std::uint8_t*>(host::mmz_resolve(pstSrc->u32PhyAddr, pstSrc->u32Stride * height));
    auto* dst = static_cast<std::uint8_t*>(host::mmz_resolve(pstDst->u32PhyAddr, pstDst->u32Stride * height));
    if (!src || !dst) return hi_err(HI_ID_IVE, EN_ERR_ILLEGAL_PARAM);
    // The engine is done by the time the call returns.
    if (pstSrc->u32Stride == width && pstDst->u32Stride == width) {
        std::memmove(dst, src, width * height);
    } else {
        for (std::size_t row = 0; row < height; ++row)
            std::memmove(dst + row * pstDst->u32Stride, src + row * pstSrc->u32Stride, width);
    }
    *pIveHandle = g_ive_next.fetch_add(1);
    return HI_SUCCESS;
}

HI_S32 HI_MPI_IVE_Query(IVE_HANDLE IveHandle, HI_BOOL* pbFinish, HI_BOOL bBlock) {
    if (auto fail_ = fail_point(hi_err(HI_ID_IVE, EN_ERR_BUSY))) return *fail_;
    (void)bBlock;
    if (!pbFinish) return hi_err(HI_ID_IVE, EN_ERR_NULL_PTR);
    if (IveHandle < 0 || IveHandle >= g_ive_next.load()) return hi_err(HI_ID_IVE, EN_ERR_ILLEGAL_PARAM);
    *pbFinish = HI_TRUE;
    return HI_SUCCESS;
}
