// Audio set-up. A start that fails part-way takes back what it had started,
// so a failed call leaves the platform as it found it.
#include "common/sample_comm_audio.h"

#include <fcntl.h>

#include <array>

#include "common/prt.h"
#include "common/sample_comm.h"
#include "common/sample_comm_more.h"
#include "platform/clock.h"
#include "platform/devices.h"

namespace {

bool payload_ok(const char* func, PAYLOAD_TYPE_E t) {
    if (t == PT_G711A || t == PT_G711U || t == PT_G726 || t == PT_LPCM || t == PT_ADPCMA) return true;
    std::printf("%s: invalid aenc payload type:%d\n", func, t);
    return false;
}

HI_S32 failed(const char* func, int line, const char* call, HI_S32 r) {
    prt(func, line, "%s failed with %#x!\n", call, static_cast<unsigned>(r));
    return HI_FAILURE;
}

struct SampleAi : SampleWorker {
    AUDIO_DEV AiDev = 0;
    AI_CHN AiChn = 0;
    AENC_CHN AencChn = -1;  // -1: frames go to the output instead
    AUDIO_DEV AoDev = 0;
    AO_CHN AoChn = 0;
};
struct SampleAenc : SampleWorker {
    AENC_CHN AeChn = 0;
    ADEC_CHN AdChn = 0;
    std::FILE* pfd = nullptr;
};
struct SampleAdec : SampleWorker {
    ADEC_CHN AdChn = 0;
    std::FILE* pfd = nullptr;
};

std::array<SampleAi, AI_DEV_MAX_NUM * AIO_MAX_CHN_NUM> gs_stSampleAi;
std::array<SampleAenc, AENC_MAX_CHN_NUM> gs_stSampleAenc;
std::array<SampleAdec, ADEC_MAX_CHN_NUM> gs_stSampleAdec;

SampleAi* ai_slot(AUDIO_DEV dev, AI_CHN chn) {
    if (dev < 0 || dev >= AI_DEV_MAX_NUM || chn < 0 || chn >= AIO_MAX_CHN_NUM) return nullptr;
    return &gs_stSampleAi[static_cast<std::size_t>(dev * AIO_MAX_CHN_NUM + chn)];
}
template <class T, std::size_t N>
T* slot(std::array<T, N>& a, HI_S32 chn) {
    return chn >= 0 && static_cast<std::size_t>(chn) < N ? &a[static_cast<std::size_t>(chn)] : nullptr;
}

HI_S32 bind(MOD_ID_E sm, HI_S32 sd, HI_S32 sc, MOD_ID_E dm, HI_S32 dd, HI_S32 dc, bool on) {
    const MPP_CHN_S src{sm, sd, sc}, dst{dm, dd, dc};
    return on ? HI_MPI_SYS_Bind(&src, &dst) : HI_MPI_SYS_UnBind(&src, &dst);
}

// Opens a codec device, or prints why not.
int open_codec(const char* path, const char* what) {
    const int fd = dev_open(path, O_RDWR);
    if (fd < 0) std::printf("can't open %s,%s\n", what, path);
    return fd;
}

HI_S32 codec_set(const char* path, const char* what, unsigned long request, unsigned value) {
    const int fd = open_codec(path, what);
    if (fd < 0) return HI_FAILURE;
    const int r = dev_ioctl(fd, request, &value);
    dev_close(fd);
    if (r != 0) {
        prt(__func__, __LINE__, "%s ioctl %#lx failed\n", what, request);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

}  // namespace

HI_S32 SAMPLE_COMM_AUDIO_StartAdec(ADEC_CHN AdChn, PAYLOAD_TYPE_E enType) {
    if (!payload_ok(__FUNCTION__, enType)) return HI_FAILURE;
    ADEC_CHN_ATTR_S attr{enType, 20, enType == PT_LPCM ? ADEC_MODE_PACK : ADEC_MODE_STREAM,
                         enType == PT_G726 ? MEDIA_G726_40K : 0};
    if (HI_S32 r = HI_MPI_ADEC_CreateChn(AdChn, &attr)) return failed(__func__, __LINE__, "HI_MPI_ADEC_CreateChn", r);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_StopAdec(ADEC_CHN AdChn) {
    if (HI_S32 r = HI_MPI_ADEC_DestroyChn(AdChn)) return failed(__func__, __LINE__, "HI_MPI_ADEC_DestroyChn", r);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_StartAenc(HI_S32 s32AencChnCnt, HI_U32 u32AencPtNumPerFrm, PAYLOAD_TYPE_E enType) {
    if (!payload_ok(__FUNCTION__, enType)) return HI_FAILURE;
    const AENC_CHN_ATTR_S attr{enType, 30, u32AencPtNumPerFrm, enType == PT_G726 ? MEDIA_G726_40K : 0};
    for (AENC_CHN i = 0; i < s32AencChnCnt; ++i) {
        if (HI_S32 r = HI_MPI_AENC_CreateChn(i, &attr)) {
            while (--i >= 0) HI_MPI_AENC_DestroyChn(i);
            return failed(__func__, __LINE__, "HI_MPI_AENC_CreateChn", r);
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_StopAenc(HI_S32 s32AencChnCnt) {
    HI_S32 result = HI_SUCCESS;
    for (AENC_CHN i = 0; i < s32AencChnCnt; ++i)
        if (HI_S32 r = HI_MPI_AENC_DestroyChn(i)) result = failed(__func__, __LINE__, "HI_MPI_AENC_DestroyChn", r);
    return result;
}

HI_S32 SAMPLE_COMM_AUDIO_StartAi(AUDIO_DEV AiDevId, HI_S32 s32AiChnCnt, const AIO_ATTR_S* pstAioAttr,
                                 HI_BOOL bAiReSample, AUDIO_SAMPLE_RATE_E enOutSampleRate, HI_BOOL bAnrEn) {
    if (HI_S32 r = HI_MPI_AI_SetPubAttr(AiDevId, pstAioAttr)) return failed(__func__, __LINE__, "HI_MPI_AI_SetPubAttr", r);
    if (HI_S32 r = HI_MPI_AI_Enable(AiDevId)) return failed(__func__, __LINE__, "HI_MPI_AI_Enable", r);
    for (AI_CHN i = 0; i < s32AiChnCnt; ++i) {
        HI_S32 r = HI_MPI_AI_EnableChn(AiDevId, i);
        const char* call = "HI_MPI_AI_EnableChn";
        if (!r && bAiReSample) r = HI_MPI_AI_EnableReSmp(AiDevId, i, enOutSampleRate), call = "HI_MPI_AI_EnableReSmp";
        if (!r && bAnrEn) r = HI_MPI_AI_EnableAnr(AiDevId, i), call = "HI_MPI_AI_EnableAnr";
        if (r) {
            for (AI_CHN j = i; j >= 0; --j) HI_MPI_AI_DisableChn(AiDevId, j);
            HI_MPI_AI_Disable(AiDevId);
            return failed(__func__, __LINE__, call, r);
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_StopAi(AUDIO_DEV AiDevId, HI_S32 s32AiChnCnt, HI_BOOL bAiReSample, HI_BOOL bAnrEn) {
    for (AI_CHN i = 0; i < s32AiChnCnt; ++i) {
        if (bAnrEn) HI_MPI_AI_DisableAnr(AiDevId, i);
        if (bAiReSample) HI_MPI_AI_DisableReSmp(AiDevId, i);
        if (HI_S32 r = HI_MPI_AI_DisableChn(AiDevId, i)) return failed(__func__, __LINE__, "HI_MPI_AI_DisableChn", r);
    }
    if (HI_S32 r = HI_MPI_AI_Disable(AiDevId)) return failed(__func__, __LINE__, "HI_MPI_AI_Disable", r);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_StartAo(AUDIO_DEV AoDevId, AO_CHN AoChn, const AIO_ATTR_S* pstAioAttr,
                                 HI_BOOL bAoReSample, AUDIO_SAMPLE_RATE_E enInSampleRate) {
    // Device 3 is the HDMI output.
    if (AoDevId == 3 && SAMPLE_COMM_AUDIO_StartHdmi(pstAioAttr) != HI_SUCCESS) return HI_FAILURE;
    auto undo = [&](int stage, const char* call, HI_S32 r) {
        if (stage >= 2) HI_MPI_AO_DisableChn(AoDevId, AoChn);
        if (stage >= 1) HI_MPI_AO_Disable(AoDevId);
        if (AoDevId == 3) SAMPLE_COMM_AUDIO_StopHdmi();
        return failed("SAMPLE_COMM_AUDIO_StartAo", __LINE__, call, r);
    };
    if (HI_S32 r = HI_MPI_AO_SetPubAttr(AoDevId, pstAioAttr)) return undo(0, "HI_MPI_AO_SetPubAttr", r);
    if (HI_S32 r = HI_MPI_AO_Enable(AoDevId)) return undo(0, "HI_MPI_AO_Enable", r);
    if (HI_S32 r = HI_MPI_AO_EnableChn(AoDevId, AoChn)) return undo(1, "HI_MPI_AO_EnableChn", r);
    if (bAoReSample)
        if (HI_S32 r = HI_MPI_AO_EnableReSmp(AoDevId, AoChn, enInSampleRate)) return undo(2, "HI_MPI_AO_EnableReSmp", r);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_StopAo(AUDIO_DEV AoDevId, AO_CHN AoChn, HI_BOOL bAoReSample) {
    if (bAoReSample) HI_MPI_AO_DisableReSmp(AoDevId, AoChn);
    if (HI_S32 r = HI_MPI_AO_DisableChn(AoDevId, AoChn)) return failed(__func__, __LINE__, "HI_MPI_AO_DisableChn", r);
    if (HI_S32 r = HI_MPI_AO_Disable(AoDevId)) return failed(__func__, __LINE__, "HI_MPI_AO_Disable", r);
    if (AoDevId == 3) return SAMPLE_COMM_AUDIO_StopHdmi();
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_StartHdmi(const AIO_ATTR_S* pstAioAttr) {
    if (!pstAioAttr) return HI_FAILURE;
    VO_PUB_ATTR_S pub{};
    pub.enIntfType = VO_INTF_HDMI;
    pub.enIntfSync = VO_OUTPUT_1080P25;
    if (SAMPLE_COMM_VO_StartDevLayer(0, &pub, 25) != HI_SUCCESS) return HI_FAILURE;
    if (SAMPLE_COMM_VO_HdmiStart(pub.enIntfSync) != HI_SUCCESS) {
        SAMPLE_COMM_VO_StopDevLayer(0);
        return HI_FAILURE;
    }
    HI_HDMI_ATTR_S attr{};
    HI_S32 r = HI_MPI_HDMI_SetAVMute(HI_HDMI_ID_0, HI_TRUE);
    const char* call = "HI_MPI_HDMI_SetAVMute";
    if (!r) r = HI_MPI_HDMI_GetAttr(HI_HDMI_ID_0, &attr), call = "HI_MPI_HDMI_GetAttr";
    if (!r) {
        attr.bEnableAudio = HI_TRUE;
        attr.enSampleRate = pstAioAttr->enSamplerate;
        attr.enBitDepth = pstAioAttr->enBitwidth;
        r = HI_MPI_HDMI_SetAttr(HI_HDMI_ID_0, &attr), call = "HI_MPI_HDMI_SetAttr";
    }
    if (!r) r = HI_MPI_HDMI_SetAVMute(HI_HDMI_ID_0, HI_FALSE), call = "HI_MPI_HDMI_SetAVMute";
    if (r) {
        SAMPLE_COMM_AUDIO_StopHdmi();
        return failed(__func__, __LINE__, call, r);
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_StopHdmi() {
    const HI_S32 a = SAMPLE_COMM_VO_HdmiStop();
    const HI_S32 b = SAMPLE_COMM_VO_StopDevLayer(0);
    return a == HI_SUCCESS && b == HI_SUCCESS ? HI_SUCCESS : HI_FAILURE;
}

HI_S32 SAMPLE_COMM_AUDIO_AencBindAi(AUDIO_DEV AiDev, AI_CHN AiChn, AENC_CHN AeChn) {
    return bind(HI_ID_AI, AiDev, AiChn, HI_ID_AENC, 0, AeChn, true);
}
HI_S32 SAMPLE_COMM_AUDIO_AencUnbindAi(AUDIO_DEV AiDev, AI_CHN AiChn, AENC_CHN AeChn) {
    return bind(HI_ID_AI, AiDev, AiChn, HI_ID_AENC, 0, AeChn, false);
}
HI_S32 SAMPLE_COMM_AUDIO_AoBindAi(AUDIO_DEV AiDev, AI_CHN AiChn, AUDIO_DEV AoDev, AO_CHN AoChn) {
    return bind(HI_ID_AI, AiDev, AiChn, HI_ID_AO, AoDev, AoChn, true);
}
HI_S32 SAMPLE_COMM_AUDIO_AoUnbindAi(AUDIO_DEV AiDev, AI_CHN AiChn, AUDIO_DEV AoDev, AO_CHN AoChn) {
    return bind(HI_ID_AI, AiDev, AiChn, HI_ID_AO, AoDev, AoChn, false);
}
HI_S32 SAMPLE_COMM_AUDIO_AoBindAdec(AUDIO_DEV AoDev, AO_CHN AoChn, ADEC_CHN AdChn) {
    return bind(HI_ID_ADEC, 0, AdChn, HI_ID_AO, AoDev, AoChn, true);
}
HI_S32 SAMPLE_COMM_AUDIO_AoUnbindAdec(AUDIO_DEV AoDev, AO_CHN AoChn, ADEC_CHN AdChn) {
    return bind(HI_ID_ADEC, 0, AdChn, HI_ID_AO, AoDev, AoChn, false);
}

void* SAMPLE_COMM_AUDIO_AiProc(void* parg) {
    auto* p = static_cast<SampleAi*>(parg);
    const int fd = HI_MPI_AI_GetFd(p->AiDev, p->AiChn);
    while (p->bStart && fd >= 0) {
        const int ready = wait_readable(fd);
        if (ready < 0) break;
        if (ready == 0) {
            std::printf("%s: get ai frame select time out\n", __FUNCTION__);
            break;
        }
        AUDIO_FRAME_S frame{};
        AEC_FRAME_S aec{};
        // The get waits for the frame's time, so the loop keeps the input's pace.
        if (HI_MPI_AI_GetFrame(p->AiDev, p->AiChn, &frame, &aec, HI_TRUE) != HI_SUCCESS) continue;
        const HI_S32 r = p->AencChn >= 0 ? HI_MPI_AENC_SendFrame(p->AencChn, &frame, &aec)
                                         : HI_MPI_AO_SendFrame(p->AoDev, p->AoChn, &frame, HI_TRUE);
        if (r != HI_SUCCESS) prt(__func__, __LINE__, "send ai frame failed with %#x!\n", static_cast<unsigned>(r));
        HI_MPI_AI_ReleaseFrame(p->AiDev, p->AiChn, &frame, &aec);
    }
    return nullptr;
}

void* SAMPLE_COMM_AUDIO_AencProc(void* parg) {
    auto* p = static_cast<SampleAenc*>(parg);
    const int fd = HI_MPI_AENC_GetFd(p->AeChn);
    while (p->bStart && fd >= 0) {
        const int ready = wait_readable(fd);
        if (ready < 0) break;
        if (ready == 0) {
            std::printf("%s: get aenc stream select time out\n", __FUNCTION__);
            continue;
        }
        AUDIO_STREAM_S stream{};
        if (HI_MPI_AENC_GetStream(p->AeChn, &stream, HI_FALSE) != HI_SUCCESS) continue;
        if (HI_S32 r = HI_MPI_ADEC_SendStream(p->AdChn, &stream, HI_TRUE))
            prt(__func__, __LINE__, "HI_MPI_ADEC_SendStream failed with %#x!\n", static_cast<unsigned>(r));
        if (p->pfd) std::fwrite(stream.pStream, 1, stream.u32Len, p->pfd);
        HI_MPI_AENC_ReleaseStream(p->AeChn, &stream);
    }
    return nullptr;
}

// Sends the file once; the thread ends at its end.
void* SAMPLE_COMM_AUDIO_AdecProc(void* parg) {
    auto* p = static_cast<SampleAdec*>(parg);
    HI_U8 block[640];
    while (p->bStart && p->pfd) {
        const std::size_t n = std::fread(block, 1, sizeof block, p->pfd);
        if (n == 0) break;
        AUDIO_STREAM_S stream{block, 0, static_cast<HI_U32>(n), 0, 0};
        if (HI_S32 r = HI_MPI_ADEC_SendStream(p->AdChn, &stream, HI_TRUE)) {
            prt(__func__, __LINE__, "HI_MPI_ADEC_SendStream failed with %#x!\n", static_cast<unsigned>(r));
            break;
        }
    }
    return nullptr;
}

HI_S32 SAMPLE_COMM_AUDIO_CreatTrdAiAenc(AUDIO_DEV AiDev, AI_CHN AiChn, AENC_CHN AeChn) {
    SampleAi* s = ai_slot(AiDev, AiChn);
    if (!s || s->thread.joinable()) return HI_FAILURE;
    s->AiDev = AiDev, s->AiChn = AiChn, s->AencChn = AeChn;
    return s->start(SAMPLE_COMM_AUDIO_AiProc, s);
}

HI_S32 SAMPLE_COMM_AUDIO_CreatTrdAiAo(AUDIO_DEV AiDev, AI_CHN AiChn, AUDIO_DEV AoDev, AO_CHN AoChn) {
    SampleAi* s = ai_slot(AiDev, AiChn);
    if (!s || s->thread.joinable()) return HI_FAILURE;
    s->AiDev = AiDev, s->AiChn = AiChn, s->AencChn = -1, s->AoDev = AoDev, s->AoChn = AoChn;
    return s->start(SAMPLE_COMM_AUDIO_AiProc, s);
}

HI_S32 SAMPLE_COMM_AUDIO_CreatTrdAencAdec(AENC_CHN AeChn, ADEC_CHN AdChn, std::FILE* pAecFd) {
    SampleAenc* s = slot(gs_stSampleAenc, AeChn);
    if (!s || s->thread.joinable()) return HI_FAILURE;
    s->AeChn = AeChn, s->AdChn = AdChn, s->pfd = pAecFd;
    return s->start(SAMPLE_COMM_AUDIO_AencProc, s);
}

HI_S32 SAMPLE_COMM_AUDIO_CreatTrdFileAdec(ADEC_CHN AdChn, std::FILE* pAdcFd) {
    SampleAdec* s = slot(gs_stSampleAdec, AdChn);
    if (!s || s->thread.joinable() || !pAdcFd) return HI_FAILURE;
    s->AdChn = AdChn, s->pfd = pAdcFd;
    return s->start(SAMPLE_COMM_AUDIO_AdecProc, s);
}

HI_S32 SAMPLE_COMM_AUDIO_DestoryTrdAi(AUDIO_DEV AiDev, AI_CHN AiChn) {
    SampleAi* s = ai_slot(AiDev, AiChn);
    if (!s) return HI_FAILURE;
    s->stop();
    return HI_SUCCESS;
}

template <class S>
static HI_S32 stop_with_file(S* s) {
    if (!s) return HI_FAILURE;
    s->stop();
    if (s->pfd) std::fclose(s->pfd);
    s->pfd = nullptr;
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_DestoryTrdAencAdec(AENC_CHN AeChn) { return stop_with_file(slot(gs_stSampleAenc, AeChn)); }
HI_S32 SAMPLE_COMM_AUDIO_DestoryTrdFileAdec(ADEC_CHN AdChn) { return stop_with_file(slot(gs_stSampleAdec, AdChn)); }

// ---------------------------------------------------------------- codec chips

HI_S32 SAMPLE_TW2865_CfgAudio(AUDIO_SAMPLE_RATE_E enSample) {
    return codec_set("/dev/tw2865dev", "tw2865", TW2865_SET_SAMPLE_RATE, static_cast<unsigned>(enSample));
}

HI_S32 SAMPLE_TW2865_SetFormat(HI_U32 u32Format) {
    return codec_set("/dev/tw2865dev", "tw2865", TW2865_SET_AUDIO_FORMAT, u32Format);
}

HI_S32 SAMPLE_TW2865_SetBitwidth(AUDIO_BIT_WIDTH_E enBitwidth) {
    return codec_set("/dev/tw2865dev", "tw2865", TW2865_SET_BITWIDTH, enBitwidth == AUDIO_BIT_WIDTH_8 ? 8u : 16u);
}

HI_S32 SAMPLE_Tlv320_CfgAudio(AIO_MODE_E enWorkmode, AUDIO_SAMPLE_RATE_E enSample) {
    int divider = -1;
    switch (enSample) {
    case AUDIO_SAMPLE_RATE_8000: divider = 10; break;
    case AUDIO_SAMPLE_RATE_11025: case AUDIO_SAMPLE_RATE_12000: divider = 6; break;
    case AUDIO_SAMPLE_RATE_16000: divider = 4; break;
    case AUDIO_SAMPLE_RATE_22050: case AUDIO_SAMPLE_RATE_24000: divider = 2; break;
    case AUDIO_SAMPLE_RATE_32000: divider = 1; break;
    case AUDIO_SAMPLE_RATE_44100: case AUDIO_SAMPLE_RATE_48000: divider = 0; break;
    }
    if (divider < 0) {
        prt(__func__, __LINE__, "not support enSample:%d\n", enSample);
        return HI_FAILURE;
    }
    const int fd = open_codec("/dev/tlv320aic31", "tlv320");
    if (fd < 0) return HI_FAILURE;
    // The codec is master when the SoC's port is a slave; PCM modes send DSP format.
    const unsigned bMaster = enWorkmode == AIO_MODE_I2S_SLAVE || enWorkmode == AIO_MODE_PCM_SLAVE_STD ||
                             enWorkmode == AIO_MODE_PCM_SLAVE_NSTD;
    const unsigned format = enWorkmode == AIO_MODE_I2S_MASTER || enWorkmode == AIO_MODE_I2S_SLAVE ? 0 : 1;
    const unsigned clock = enSample == AUDIO_SAMPLE_RATE_11025 || enSample == AUDIO_SAMPLE_RATE_22050 ||
                           enSample == AUDIO_SAMPLE_RATE_44100;
    unsigned v = 0;
    if (dev_ioctl(fd, TLV320_SOFT_RESET, &v) != 0) {
        std::printf("tlv320aic31 reset failed");
        dev_close(fd);
        return HI_FAILURE;
    }
    unsigned div = static_cast<unsigned>(divider);
    unsigned m = bMaster, f = format, c = clock;
    const bool ok = dev_ioctl(fd, TLV320_SET_MASTER, &m) == 0 && dev_ioctl(fd, TLV320_SET_DATA_FORMAT, &f) == 0 &&
                    dev_ioctl(fd, TLV320_SET_CLOCK, &c) == 0 && dev_ioctl(fd, TLV320_SET_DIVIDER, &div) == 0;
    dev_close(fd);
    if (!ok) {
        prt(__func__, __LINE__, "tlv320aic31 set failed\n");
        return HI_FAILURE;
    }
    std::printf("Set aic31 ok: bMaster = %d, enWorkmode = %d, enSamplerate = %d\n", bMaster, enWorkmode, enSample);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_Tlv320_Disable() { return codec_set("/dev/tlv320aic31", "tlv320", TLV320_SOFT_RESET, 0); }

HI_S32 SAMPLE_COMM_AUDIO_CfgAcodec(const AIO_ATTR_S* pstAioAttr) {
    if (!pstAioAttr) return HI_FAILURE;
    const HI_U32 format = pstAioAttr->enWorkmode == AIO_MODE_I2S_MASTER || pstAioAttr->enWorkmode == AIO_MODE_I2S_SLAVE ? 0 : 1;
    if (SAMPLE_TW2865_CfgAudio(pstAioAttr->enSamplerate) != HI_SUCCESS ||
        SAMPLE_TW2865_SetFormat(format) != HI_SUCCESS || SAMPLE_TW2865_SetBitwidth(pstAioAttr->enBitwidth) != HI_SUCCESS) {
        prt(__func__, __LINE__, "tw2865 audio set failed\n");
        return HI_FAILURE;
    }
    if (SAMPLE_Tlv320_CfgAudio(pstAioAttr->enWorkmode, pstAioAttr->enSamplerate) != HI_SUCCESS) {
        prt(__func__, __LINE__, "tlv320aic31 audio set failed\n");
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}
