// The audio stand-ins: input devices deliver frames of silence paced on the
// board clock, output devices count what they are sent, encoder channels
// queue the frames they take as streams, decoder channels count the streams.
// Stages joined with a bind are only recorded; data moves by explicit calls.
#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "host/clock.h"
#include "host/media_more.h"
#include "host/board.h"
#include "platform/mpi_audio.h"

namespace host::media {
namespace {

struct InChn {
    bool enabled = false;
    HI_S32 resample = 0;  // output rate, 0: the device's
    bool anr = false;
    ReadyFd fd;
    double epoch = 0;
    std::uint64_t next = 0;
    bool held = false;
    std::vector<std::uint8_t> data;
};
struct OutChn {
    bool enabled = false;
    HI_S32 resample = 0;  // input rate, 0: the device's
    std::uint64_t frames = 0, bytes = 0;
};
template <class Chn>
struct Dev {
    bool attr_set = false;
    AIO_ATTR_S attr{};
    bool enabled = false;
    std::array<Chn, AIO_MAX_CHN_NUM> chn{};
};
struct Aenc {
    bool exists = false;
    AENC_CHN_ATTR_S attr{};
    std::deque<std::vector<std::uint8_t>> queue;
    bool held = false;
    std::uint32_t seq = 0;
    ReadyFd fd;
};
struct Adec {
    bool exists = false;
    ADEC_CHN_ATTR_S attr{};
    std::uint64_t streams = 0, bytes = 0;
};

struct Audio {
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t generation = 0;  // moves on at every disable, destroy and reset
    std::array<Dev<InChn>, AI_DEV_MAX_NUM> ai{};
    std::array<Dev<OutChn>, AO_DEV_MAX_NUM> ao{};
    std::array<Aenc, AENC_MAX_CHN_NUM> aenc{};
    std::array<Adec, ADEC_MAX_CHN_NUM> adec{};
};
Audio g_audio;

void log_audio(const std::string& what) { board_log("media", what); }

bool valid_rate(HI_S32 r) {
    switch (r) {
    case 8000: case 11025: case 12000: case 16000: case 22050: case 24000: case 32000: case 44100: case 48000:
        return true;
    default: return false;
    }
}

bool valid_payload(PAYLOAD_TYPE_E t) {
    return t == PT_G711A || t == PT_G711U || t == PT_G726 || t == PT_LPCM || t == PT_ADPCMA;
}

HI_S32 check_attr(MOD_ID_E mod, const AIO_ATTR_S* a) {
    if (!a) return hi_err(mod, EN_ERR_NULL_PTR);
    if (!valid_rate(a->enSamplerate) || a->enBitwidth < AUDIO_BIT_WIDTH_8 || a->enBitwidth > AUDIO_BIT_WIDTH_32 ||
        a->enWorkmode < AIO_MODE_I2S_MASTER || a->enWorkmode > AIO_MODE_PCM_MASTER_NSTD ||
        (a->enSoundmode != AUDIO_SOUND_MODE_MONO && a->enSoundmode != AUDIO_SOUND_MODE_STEREO) ||
        a->u32FrmNum < 2 || a->u32FrmNum > 50 || a->u32PtNumPerFrm < 80 || a->u32PtNumPerFrm > 2048 ||
        a->u32ChnCnt == 0 || a->u32ChnCnt > AIO_MAX_CHN_NUM)
        return hi_err(mod, EN_ERR_ILLEGAL_PARAM);
    return HI_SUCCESS;
}

std::uint32_t frame_bytes(const AIO_ATTR_S& a) {
    const std::uint32_t sample = a.enBitwidth == AUDIO_BIT_WIDTH_8 ? 1 : a.enBitwidth == AUDIO_BIT_WIDTH_16 ? 2 : 4;
    return a.u32PtNumPerFrm * sample * (a.enSoundmode == AUDIO_SOUND_MODE_STEREO ? 2 : 1);
}

// The device and channel, checked: 0 or the error.
template <class Chn>
HI_S32 find(MOD_ID_E mod, std::array<Dev<Chn>, 4>& devs, AUDIO_DEV dev, HI_S32 chn, Dev<Chn>*& d, Chn** c) {
    if (dev < 0 || dev >= 4) return hi_err(mod, EN_ERR_INVALID_DEVID);
    d = &devs[static_cast<std::size_t>(dev)];
    if (c) {
        if (chn < 0 || chn >= AIO_MAX_CHN_NUM || static_cast<HI_U32>(chn) >= std::max(d->attr.u32ChnCnt, 1u))
            return hi_err(mod, EN_ERR_INVALID_CHNID);
        *c = &d->chn[static_cast<std::size_t>(chn)];
    }
    return HI_SUCCESS;
}

void changed(Audio& a) {
    ++a.generation;
    a.changed.notify_all();
    clock::poke(a.changed);
}

template <class Chn>
HI_S32 set_pub_attr(MOD_ID_E mod, std::array<Dev<Chn>, 4>& devs, AUDIO_DEV dev, const AIO_ATTR_S* attr) {
    if (HI_S32 r = check_attr(mod, attr)) return r;
    std::lock_guard lock(g_audio.mutex);
    Dev<Chn>* d = nullptr;
    if (HI_S32 r = find<Chn>(mod, devs, dev, 0, d, nullptr)) return r;
    if (d->enabled) return hi_err(mod, EN_ERR_NOT_PERM);
    d->attr = *attr;
    d->attr_set = true;
    return HI_SUCCESS;
}

template <class Chn>
HI_S32 enable_dev(MOD_ID_E mod, std::array<Dev<Chn>, 4>& devs, AUDIO_DEV dev, bool on, const char* name) {
    {
        std::lock_guard lock(g_audio.mutex);
        Dev<Chn>* d = nullptr;
        if (HI_S32 r = find<Chn>(mod, devs, dev, 0, d, nullptr)) return r;
        if (on && !d->attr_set) return hi_err(mod, EN_ERR_NOT_CONFIG);
        if (!on)
            for (const Chn& c : d->chn)
                if (c.enabled) return hi_err(mod, EN_ERR_NOT_PERM);  // channels go first
        if (d->enabled == on) return HI_SUCCESS;
        d->enabled = on;
        changed(g_audio);
    }
    log_audio(std::string(name) + " device " + std::to_string(dev) + (on ? " enabled" : " disabled"));
    return HI_SUCCESS;
}

}  // namespace

void audio_reset() {
    std::lock_guard lock(g_audio.mutex);
    g_audio.ai = {};
    g_audio.ao = {};
    g_audio.aenc = {};
    g_audio.adec = {};
    changed(g_audio);
}

}  // namespace host::media

using namespace host::media;

// ---------------------------------------------------------------- input

HI_S32 HI_MPI_AI_SetPubAttr(AUDIO_DEV AiDevId, const AIO_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUSY))) return *fail_;
    return set_pub_attr(HI_ID_AI, g_audio.ai, AiDevId, pstAttr);
}

HI_S32 HI_MPI_AI_Enable(AUDIO_DEV AiDevId) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUSY))) return *fail_;
    return enable_dev(HI_ID_AI, g_audio.ai, AiDevId, true, "AI");
}

HI_S32 HI_MPI_AI_Disable(AUDIO_DEV AiDevId) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUSY))) return *fail_;
    return enable_dev(HI_ID_AI, g_audio.ai, AiDevId, false, "AI");
}

namespace {

// An input channel, checked: 0 or the error. The lock is held.
HI_S32 in_chn(AUDIO_DEV dev, AI_CHN chn, Dev<InChn>*& d, InChn*& c) {
    return find(HI_ID_AI, g_audio.ai, dev, chn, d, &c);
}
HI_S32 out_chn(AUDIO_DEV dev, AO_CHN chn, Dev<OutChn>*& d, OutChn*& c) {
    return find(HI_ID_AO, g_audio.ao, dev, chn, d, &c);
}

}  // namespace

HI_S32 HI_MPI_AI_EnableChn(AUDIO_DEV AiDevId, AI_CHN AiChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_audio.mutex);
        Dev<InChn>* d = nullptr;
        InChn* c = nullptr;
        if (HI_S32 r = in_chn(AiDevId, AiChn, d, c)) return r;
        if (!d->enabled) return hi_err(HI_ID_AI, EN_ERR_NOT_PERM);
        if (c->enabled) return HI_SUCCESS;
        c->enabled = true;
        c->epoch = host::board_uptime();
        c->next = 0;
        // Frames keep coming while the channel is on.
        c->fd.raise(true);
    }
    log_audio("AI channel " + std::to_string(AiDevId) + "/" + std::to_string(AiChn) + " enabled");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AI_DisableChn(AUDIO_DEV AiDevId, AI_CHN AiChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_audio.mutex);
        Dev<InChn>* d = nullptr;
        InChn* c = nullptr;
        if (HI_S32 r = in_chn(AiDevId, AiChn, d, c)) return r;
        if (!c->enabled) return HI_SUCCESS;
        *c = InChn{};
        changed(g_audio);
    }
    log_audio("AI channel " + std::to_string(AiDevId) + "/" + std::to_string(AiChn) + " disabled");
    return HI_SUCCESS;
}

// Resampling and noise reduction apply to an enabled channel.
static HI_S32 ai_option(AUDIO_DEV dev, AI_CHN chn, HI_S32 rate, bool anr, bool on) {
    std::lock_guard lock(g_audio.mutex);
    Dev<InChn>* d = nullptr;
    InChn* c = nullptr;
    if (HI_S32 r = in_chn(dev, chn, d, c)) return r;
    if (!c->enabled) return hi_err(HI_ID_AI, EN_ERR_NOT_PERM);
    if (anr) {
        c->anr = on;
    } else if (on) {
        if (!valid_rate(rate) || rate == d->attr.enSamplerate) return hi_err(HI_ID_AI, EN_ERR_ILLEGAL_PARAM);
        c->resample = rate;
    } else {
        c->resample = 0;
    }
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AI_EnableReSmp(AUDIO_DEV AiDevId, AI_CHN AiChn, AUDIO_SAMPLE_RATE_E enOutSampleRate) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUSY))) return *fail_;
    return ai_option(AiDevId, AiChn, enOutSampleRate, false, true);
}

HI_S32 HI_MPI_AI_DisableReSmp(AUDIO_DEV AiDevId, AI_CHN AiChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUSY))) return *fail_;
    return ai_option(AiDevId, AiChn, 0, false, false);
}

HI_S32 HI_MPI_AI_EnableAnr(AUDIO_DEV AiDevId, AI_CHN AiChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUSY))) return *fail_;
    return ai_option(AiDevId, AiChn, 0, true, true);
}

HI_S32 HI_MPI_AI_DisableAnr(AUDIO_DEV AiDevId, AI_CHN AiChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUSY))) return *fail_;
    return ai_option(AiDevId, AiChn, 0, true, false);
}

HI_S32 HI_MPI_AI_GetFd(AUDIO_DEV AiDevId, AI_CHN AiChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_audio.mutex);
    Dev<InChn>* d = nullptr;
    InChn* c = nullptr;
    if (HI_S32 r = in_chn(AiDevId, AiChn, d, c)) return r;
    if (!c->enabled) return hi_err(HI_ID_AI, EN_ERR_NOT_PERM);
    return c->fd.get();
}

HI_S32 HI_MPI_AI_GetFrame(AUDIO_DEV AiDevId, AI_CHN AiChn, AUDIO_FRAME_S* pstFrm, AEC_FRAME_S* pstAecFrm,
                          HI_BOOL bBlock) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUF_EMPTY))) return *fail_;
    if (!pstFrm) return hi_err(HI_ID_AI, EN_ERR_NULL_PTR);
    std::unique_lock lock(g_audio.mutex);
    Dev<InChn>* d = nullptr;
    InChn* c = nullptr;
    if (HI_S32 r = in_chn(AiDevId, AiChn, d, c)) return r;
    if (!c->enabled) return hi_err(HI_ID_AI, EN_ERR_NOT_PERM);
    if (c->held) return hi_err(HI_ID_AI, EN_ERR_BUSY);  // one frame out at a time
    const double rate = c->resample ? c->resample : d->attr.enSamplerate;
    const double due = c->epoch + static_cast<double>(c->next + 1) * d->attr.u32PtNumPerFrm / rate;
    if (host::board_uptime() < due) {
        if (!bBlock) return hi_err(HI_ID_AI, EN_ERR_BUF_EMPTY);
        const std::uint64_t gen = g_audio.generation;
        host::clock::wait_until(lock, g_audio.changed, due, [&] { return g_audio.generation != gen; });
        if (g_audio.generation != gen) return hi_err(HI_ID_AI, EN_ERR_NOT_PERM);  // disabled meanwhile
    }
    // The microphone hears silence; the frame has the size the attributes give.
    c->data.assign(frame_bytes(d->attr), 0);
    c->held = true;
    AUDIO_FRAME_S f{};
    f.enBitwidth = d->attr.enBitwidth;
    f.enSoundmode = d->attr.enSoundmode;
    f.pVirAddr[0] = c->data.data();
    f.u64TimeStamp = static_cast<HI_U64>(due * 1e6);
    f.u32Seq = static_cast<HI_U32>(c->next++);
    f.u32Len = static_cast<HI_U32>(c->data.size());
    *pstFrm = f;
    if (pstAecFrm) pstAecFrm->bValid = HI_FALSE;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AI_ReleaseFrame(AUDIO_DEV AiDevId, AI_CHN AiChn, const AUDIO_FRAME_S* pstFrm, const AEC_FRAME_S*) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AI, EN_ERR_BUSY))) return *fail_;
    if (!pstFrm) return hi_err(HI_ID_AI, EN_ERR_NULL_PTR);
    std::lock_guard lock(g_audio.mutex);
    Dev<InChn>* d = nullptr;
    InChn* c = nullptr;
    if (HI_S32 r = in_chn(AiDevId, AiChn, d, c)) return r;
    if (!c->held || pstFrm->pVirAddr[0] != c->data.data()) return hi_err(HI_ID_AI, EN_ERR_ILLEGAL_PARAM);
    c->held = false;
    return HI_SUCCESS;
}

// ---------------------------------------------------------------- output

HI_S32 HI_MPI_AO_SetPubAttr(AUDIO_DEV AoDevId, const AIO_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AO, EN_ERR_BUSY))) return *fail_;
    return set_pub_attr(HI_ID_AO, g_audio.ao, AoDevId, pstAttr);
}

HI_S32 HI_MPI_AO_Enable(AUDIO_DEV AoDevId) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AO, EN_ERR_BUSY))) return *fail_;
    return enable_dev(HI_ID_AO, g_audio.ao, AoDevId, true, "AO");
}

HI_S32 HI_MPI_AO_Disable(AUDIO_DEV AoDevId) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AO, EN_ERR_BUSY))) return *fail_;
    return enable_dev(HI_ID_AO, g_audio.ao, AoDevId, false, "AO");
}

static HI_S32 ao_chn_switch(AUDIO_DEV dev, AO_CHN chn, bool on) {
    {
        std::lock_guard lock(g_audio.mutex);
        Dev<OutChn>* d = nullptr;
        OutChn* c = nullptr;
        if (HI_S32 r = out_chn(dev, chn, d, c)) return r;
        if (on && !d->enabled) return hi_err(HI_ID_AO, EN_ERR_NOT_PERM);
        if (c->enabled == on) return HI_SUCCESS;
        *c = OutChn{};
        c->enabled = on;
    }
    log_audio("AO channel " + std::to_string(dev) + "/" + std::to_string(chn) + (on ? " enabled" : " disabled"));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AO_EnableChn(AUDIO_DEV AoDevId, AO_CHN AoChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AO, EN_ERR_BUSY))) return *fail_;
    return ao_chn_switch(AoDevId, AoChn, true);
}

HI_S32 HI_MPI_AO_DisableChn(AUDIO_DEV AoDevId, AO_CHN AoChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AO, EN_ERR_BUSY))) return *fail_;
    return ao_chn_switch(AoDevId, AoChn, false);
}

HI_S32 HI_MPI_AO_EnableReSmp(AUDIO_DEV AoDevId, AO_CHN AoChn, AUDIO_SAMPLE_RATE_E enInSampleRate) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AO, EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_audio.mutex);
    Dev<OutChn>* d = nullptr;
    OutChn* c = nullptr;
    if (HI_S32 r = out_chn(AoDevId, AoChn, d, c)) return r;
    if (!c->enabled) return hi_err(HI_ID_AO, EN_ERR_NOT_PERM);
    if (!valid_rate(enInSampleRate) || enInSampleRate == d->attr.enSamplerate)
        return hi_err(HI_ID_AO, EN_ERR_ILLEGAL_PARAM);
    c->resample = enInSampleRate;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AO_DisableReSmp(AUDIO_DEV AoDevId, AO_CHN AoChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AO, EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_audio.mutex);
    Dev<OutChn>* d = nullptr;
    OutChn* c = nullptr;
    if (HI_S32 r = out_chn(AoDevId, AoChn, d, c)) return r;
    if (!c->enabled) return hi_err(HI_ID_AO, EN_ERR_NOT_PERM);
    c->resample = 0;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AO_SendFrame(AUDIO_DEV AoDevId, AO_CHN AoChn, const AUDIO_FRAME_S* pstData, HI_BOOL) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AO, EN_ERR_BUF_FULL))) return *fail_;
    if (!pstData || !pstData->pVirAddr[0]) return hi_err(HI_ID_AO, EN_ERR_NULL_PTR);
    if (pstData->u32Len == 0 || pstData->u32Len > MAX_AUDIO_FRAME_LEN) return hi_err(HI_ID_AO, EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_audio.mutex);
    Dev<OutChn>* d = nullptr;
    OutChn* c = nullptr;
    if (HI_S32 r = out_chn(AoDevId, AoChn, d, c)) return r;
    if (!c->enabled) return hi_err(HI_ID_AO, EN_ERR_NOT_PERM);
    ++c->frames;
    c->bytes += pstData->u32Len;
    return HI_SUCCESS;
}

// ---------------------------------------------------------------- encoder

// An encoder or decoder channel that exists: 0 or the error.
template <class Chn, std::size_t N>
static HI_S32 codec_find(MOD_ID_E mod, std::array<Chn, N>& all, HI_S32 chn, Chn*& out) {
    if (chn < 0 || static_cast<std::size_t>(chn) >= N) return hi_err(mod, EN_ERR_INVALID_CHNID);
    out = &all[static_cast<std::size_t>(chn)];
    return out->exists ? HI_SUCCESS : hi_err(mod, EN_ERR_UNEXIST);
}
static HI_S32 aenc_find(AENC_CHN chn, Aenc*& out) { return codec_find(HI_ID_AENC, g_audio.aenc, chn, out); }

HI_S32 HI_MPI_AENC_CreateChn(AENC_CHN AeChn, const AENC_CHN_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AENC, EN_ERR_NOMEM))) return *fail_;
    if (AeChn < 0 || AeChn >= AENC_MAX_CHN_NUM) return hi_err(HI_ID_AENC, EN_ERR_INVALID_CHNID);
    if (!pstAttr) return hi_err(HI_ID_AENC, EN_ERR_NULL_PTR);
    if (!valid_payload(pstAttr->enType) || pstAttr->u32BufSize < 2 || pstAttr->u32BufSize > 50 ||
        pstAttr->u32PtNumPerFrm < 80 || pstAttr->u32PtNumPerFrm > 2048)
        return hi_err(HI_ID_AENC, EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_audio.mutex);
        Aenc& c = g_audio.aenc[static_cast<std::size_t>(AeChn)];
        if (c.exists) return hi_err(HI_ID_AENC, EN_ERR_EXIST);
        c = Aenc{};
        c.exists = true;
        c.attr = *pstAttr;
    }
    log_audio("AENC channel " + std::to_string(AeChn) + " created, payload " + std::to_string(pstAttr->enType));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AENC_DestroyChn(AENC_CHN AeChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AENC, EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_audio.mutex);
        Aenc* c = nullptr;
        if (HI_S32 r = aenc_find(AeChn, c)) return r;
        *c = Aenc{};
        changed(g_audio);
    }
    log_audio("AENC channel " + std::to_string(AeChn) + " destroyed");
    return HI_SUCCESS;
}

// The board's encoder keeps the samples as they are: a stream is the frame.
HI_S32 HI_MPI_AENC_SendFrame(AENC_CHN AeChn, const AUDIO_FRAME_S* pstFrm, const AEC_FRAME_S*) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AENC, EN_ERR_BUF_FULL))) return *fail_;
    if (!pstFrm || !pstFrm->pVirAddr[0]) return hi_err(HI_ID_AENC, EN_ERR_NULL_PTR);
    if (pstFrm->u32Len == 0 || pstFrm->u32Len > MAX_AUDIO_FRAME_LEN) return hi_err(HI_ID_AENC, EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_audio.mutex);
    Aenc* c = nullptr;
    if (HI_S32 r = aenc_find(AeChn, c)) return r;
    if (c->queue.size() >= c->attr.u32BufSize) return hi_err(HI_ID_AENC, EN_ERR_BUF_FULL);
    const auto* p = static_cast<const std::uint8_t*>(pstFrm->pVirAddr[0]);
    c->queue.emplace_back(p, p + pstFrm->u32Len);
    c->fd.raise(true);
    g_audio.changed.notify_all();
    host::clock::poke(g_audio.changed);
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AENC_GetFd(AENC_CHN AeChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AENC, EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_audio.mutex);
    Aenc* c = nullptr;
    if (HI_S32 r = aenc_find(AeChn, c)) return r;
    return c->fd.get();
}

HI_S32 HI_MPI_AENC_GetStream(AENC_CHN AeChn, AUDIO_STREAM_S* pstStream, HI_BOOL bBlock) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AENC, EN_ERR_BUF_EMPTY))) return *fail_;
    if (!pstStream) return hi_err(HI_ID_AENC, EN_ERR_NULL_PTR);
    std::unique_lock lock(g_audio.mutex);
    Aenc* c = nullptr;
    if (HI_S32 r = aenc_find(AeChn, c)) return r;
    if (c->held) return hi_err(HI_ID_AENC, EN_ERR_BUSY);
    if (c->queue.empty()) {
        if (!bBlock) return hi_err(HI_ID_AENC, EN_ERR_BUF_EMPTY);
        const std::uint64_t gen = g_audio.generation;
        host::clock::wait_until(lock, g_audio.changed, host::clock::kNever,
                                [&] { return !c->queue.empty() || g_audio.generation != gen; });
        if (g_audio.generation != gen) return hi_err(HI_ID_AENC, EN_ERR_UNEXIST);
    }
    c->held = true;
    std::vector<std::uint8_t>& s = c->queue.front();
    *pstStream = AUDIO_STREAM_S{s.data(), 0, static_cast<HI_U32>(s.size()), 0, c->seq++};
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AENC_ReleaseStream(AENC_CHN AeChn, const AUDIO_STREAM_S* pstStream) {
    if (auto fail_ = fail_point(hi_err(HI_ID_AENC, EN_ERR_BUSY))) return *fail_;
    if (!pstStream) return hi_err(HI_ID_AENC, EN_ERR_NULL_PTR);
    std::lock_guard lock(g_audio.mutex);
    Aenc* c = nullptr;
    if (HI_S32 r = aenc_find(AeChn, c)) return r;
    if (!c->held || pstStream->pStream != c->queue.front().data()) return hi_err(HI_ID_AENC, EN_ERR_ILLEGAL_PARAM);
    c->held = false;
    c->queue.pop_front();
    if (c->queue.empty()) c->fd.raise(false);
    return HI_SUCCESS;
}

// ---------------------------------------------------------------- decoder

static HI_S32 adec_find(ADEC_CHN chn, Adec*& out) { return codec_find(HI_ID_ADEC, g_audio.adec, chn, out); }

HI_S32 HI_MPI_ADEC_CreateChn(ADEC_CHN AdChn, const ADEC_CHN_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(hi_err(HI_ID_ADEC, EN_ERR_NOMEM))) return *fail_;
    if (AdChn < 0 || AdChn >= ADEC_MAX_CHN_NUM) return hi_err(HI_ID_ADEC, EN_ERR_INVALID_CHNID);
    if (!pstAttr) return hi_err(HI_ID_ADEC, EN_ERR_NULL_PTR);
    if (!valid_payload(pstAttr->enType) || pstAttr->u32BufSize < 2 || pstAttr->u32BufSize > 50 ||
        (pstAttr->enMode != ADEC_MODE_PACK && pstAttr->enMode != ADEC_MODE_STREAM))
        return hi_err(HI_ID_ADEC, EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_audio.mutex);
        Adec& c = g_audio.adec[static_cast<std::size_t>(AdChn)];
        if (c.exists) return hi_err(HI_ID_ADEC, EN_ERR_EXIST);
        c = Adec{true, *pstAttr, 0, 0};
    }
    log_audio("ADEC channel " + std::to_string(AdChn) + " created, payload " + std::to_string(pstAttr->enType) +
              (pstAttr->enMode == ADEC_MODE_PACK ? ", pack mode" : ", stream mode"));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_ADEC_DestroyChn(ADEC_CHN AdChn) {
    if (auto fail_ = fail_point(hi_err(HI_ID_ADEC, EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_audio.mutex);
        Adec* c = nullptr;
        if (HI_S32 r = adec_find(AdChn, c)) return r;
        *c = Adec{};
    }
    log_audio("ADEC channel " + std::to_string(AdChn) + " destroyed");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_ADEC_SendStream(ADEC_CHN AdChn, const AUDIO_STREAM_S* pstStream, HI_BOOL) {
    if (auto fail_ = fail_point(hi_err(HI_ID_ADEC, EN_ERR_BUF_FULL))) return *fail_;
    if (!pstStream || !pstStream->pStream) return hi_err(HI_ID_ADEC, EN_ERR_NULL_PTR);
    if (pstStream->u32Len == 0 || pstStream->u32Len > MAX_AUDIO_FRAME_LEN) return hi_err(HI_ID_ADEC, EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_audio.mutex);
    Adec* c = nullptr;
    if (HI_S32 r = adec_find(AdChn, c)) return r;
    ++c->streams;
    c->bytes += pstStream->u32Len;
    return HI_SUCCESS;
}

// ---------------------------------------------------------------- what tests look at

namespace host {

AudioCounts audio_counts() {
    std::lock_guard lock(media::g_audio.mutex);
    AudioCounts a;
    for (std::size_t d = 0; d < 4; ++d)
        for (std::size_t c = 0; c < AIO_MAX_CHN_NUM; ++c) {
            a.ai_enabled += media::g_audio.ai[d].chn[c].enabled;
            a.ao_enabled += media::g_audio.ao[d].chn[c].enabled;
            a.ao_frames += media::g_audio.ao[d].chn[c].frames;
            a.ai_resampling += media::g_audio.ai[d].chn[c].resample != 0;
            a.ai_anr += media::g_audio.ai[d].chn[c].anr;
        }
    for (std::size_t d = 0; d < 4; ++d) {
        a.ai_devices += media::g_audio.ai[d].enabled;
        a.ao_devices += media::g_audio.ao[d].enabled;
    }
    for (const auto& c : media::g_audio.aenc) a.aenc_channels += c.exists;
    for (const auto& c : media::g_audio.adec) {
        a.adec_channels += c.exists;
        a.adec_bytes += c.bytes;
    }
    return a;
}

}  // namespace host
