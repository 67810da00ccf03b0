// The media platform's audio: input and output devices, encoder and decoder
// channels. Results are 0 or 0xA0MM8CCC like the video operations; stages
// are joined with HI_MPI_SYS_Bind (modules AI, AO, AENC, ADEC).
#pragma once

#include "platform/hi_types.h"

using AUDIO_DEV = HI_S32;
using AI_CHN = HI_S32;
using AO_CHN = HI_S32;
using AENC_CHN = HI_S32;
using ADEC_CHN = HI_S32;

constexpr int AI_DEV_MAX_NUM = 4, AIO_MAX_CHN_NUM = 16, AO_DEV_MAX_NUM = 4;
constexpr int AENC_MAX_CHN_NUM = 32, ADEC_MAX_CHN_NUM = 32;
constexpr HI_U32 MAX_AUDIO_FRAME_LEN = 4096;  // bytes of one frame or stream

enum AUDIO_SAMPLE_RATE_E : HI_S32 {
    AUDIO_SAMPLE_RATE_8000 = 8000, AUDIO_SAMPLE_RATE_11025 = 11025, AUDIO_SAMPLE_RATE_12000 = 12000,
    AUDIO_SAMPLE_RATE_16000 = 16000, AUDIO_SAMPLE_RATE_22050 = 22050, AUDIO_SAMPLE_RATE_24000 = 24000,
    AUDIO_SAMPLE_RATE_32000 = 32000, AUDIO_SAMPLE_RATE_44100 = 44100, AUDIO_SAMPLE_RATE_48000 = 48000,
};
enum AUDIO_BIT_WIDTH_E : HI_S32 { AUDIO_BIT_WIDTH_8 = 0, AUDIO_BIT_WIDTH_16 = 1, AUDIO_BIT_WIDTH_32 = 2 };
enum AIO_MODE_E : HI_S32 {
    AIO_MODE_I2S_MASTER = 0, AIO_MODE_I2S_SLAVE = 1, AIO_MODE_PCM_SLAVE_STD = 2, AIO_MODE_PCM_SLAVE_NSTD = 3,
    AIO_MODE_PCM_MASTER_STD = 4, AIO_MODE_PCM_MASTER_NSTD = 5,
};
enum AUDIO_SOUND_MODE_E : HI_S32 { AUDIO_SOUND_MODE_MONO = 0, AUDIO_SOUND_MODE_STEREO = 1 };

struct AIO_ATTR_S {
    AUDIO_SAMPLE_RATE_E enSamplerate;
    AUDIO_BIT_WIDTH_E enBitwidth;
    AIO_MODE_E enWorkmode;
    AUDIO_SOUND_MODE_E enSoundmode;
    HI_U32 u32EXFlag;
    HI_U32 u32FrmNum;       // frames the device buffers
    HI_U32 u32PtNumPerFrm;  // samples per frame
    HI_U32 u32ChnCnt;
    HI_U32 u32ClkSel;
};

// One frame of samples; the data lives with the platform until released.
struct AUDIO_FRAME_S {
    AUDIO_BIT_WIDTH_E enBitwidth;
    AUDIO_SOUND_MODE_E enSoundmode;
    HI_VOID* pVirAddr[2];
    HI_U32 u32PhyAddr[2];
    HI_U64 u64TimeStamp;
    HI_U32 u32Seq;
    HI_U32 u32Len;  // bytes
};
struct AEC_FRAME_S {
    AUDIO_FRAME_S stRefFrame;
    HI_BOOL bValid;
};

struct AUDIO_STREAM_S {
    HI_U8* pStream;
    HI_U32 u32PhyAddr;
    HI_U32 u32Len;
    HI_U64 u64TimeStamp;
    HI_U32 u32Seq;
};

// Audio payloads.
constexpr PAYLOAD_TYPE_E PT_G711A = static_cast<PAYLOAD_TYPE_E>(19);
constexpr PAYLOAD_TYPE_E PT_G711U = static_cast<PAYLOAD_TYPE_E>(20);
constexpr PAYLOAD_TYPE_E PT_G726 = static_cast<PAYLOAD_TYPE_E>(21);
constexpr PAYLOAD_TYPE_E PT_LPCM = static_cast<PAYLOAD_TYPE_E>(23);
constexpr PAYLOAD_TYPE_E PT_ADPCMA = static_cast<PAYLOAD_TYPE_E>(49);
constexpr HI_U32 MEDIA_G726_40K = 7;  // the G.726 sub-type used

struct AENC_CHN_ATTR_S {
    PAYLOAD_TYPE_E enType;
    HI_U32 u32BufSize;     // frames
    HI_U32 u32PtNumPerFrm;
    HI_U32 u32SubType;     // G.726 only
};

enum ADEC_MODE_E : HI_S32 { ADEC_MODE_PACK = 0, ADEC_MODE_STREAM = 1 };
struct ADEC_CHN_ATTR_S {
    PAYLOAD_TYPE_E enType;
    HI_U32 u32BufSize;  // frames
    ADEC_MODE_E enMode;
    HI_U32 u32SubType;
};

HI_S32 HI_MPI_AI_SetPubAttr(AUDIO_DEV AiDevId, const AIO_ATTR_S* pstAttr);
HI_S32 HI_MPI_AI_Enable(AUDIO_DEV AiDevId);
HI_S32 HI_MPI_AI_Disable(AUDIO_DEV AiDevId);
HI_S32 HI_MPI_AI_EnableChn(AUDIO_DEV AiDevId, AI_CHN AiChn);
HI_S32 HI_MPI_AI_DisableChn(AUDIO_DEV AiDevId, AI_CHN AiChn);
HI_S32 HI_MPI_AI_EnableReSmp(AUDIO_DEV AiDevId, AI_CHN AiChn, AUDIO_SAMPLE_RATE_E enOutSampleRate);
HI_S32 HI_MPI_AI_DisableReSmp(AUDIO_DEV AiDevId, AI_CHN AiChn);
HI_S32 HI_MPI_AI_EnableAnr(AUDIO_DEV AiDevId, AI_CHN AiChn);  // noise reduction
HI_S32 HI_MPI_AI_DisableAnr(AUDIO_DEV AiDevId, AI_CHN AiChn);
// Readable while the channel is enabled; a blocking get waits for the next
// frame's time on the board clock.
HI_S32 HI_MPI_AI_GetFd(AUDIO_DEV AiDevId, AI_CHN AiChn);
HI_S32 HI_MPI_AI_GetFrame(AUDIO_DEV AiDevId, AI_CHN AiChn, AUDIO_FRAME_S* pstFrm, AEC_FRAME_S* pstAecFrm,
                          HI_BOOL bBlock);
HI_S32 HI_MPI_AI_ReleaseFrame(AUDIO_DEV AiDevId, AI_CHN AiChn, const AUDIO_FRAME_S* pstFrm,
                              const AEC_FRAME_S* pstAecFrm);

HI_S32 HI_MPI_AO_SetPubAttr(AUDIO_DEV AoDevId, const AIO_ATTR_S* pstAttr);
HI_S32 HI_MPI_AO_Enable(AUDIO_DEV AoDevId);
HI_S32 HI_MPI_AO_Disable(AUDIO_DEV AoDevId);
HI_S32 HI_MPI_AO_EnableChn(AUDIO_DEV AoDevId, AO_CHN AoChn);
HI_S32 HI_MPI_AO_DisableChn(AUDIO_DEV AoDevId, AO_CHN AoChn);
HI_S32 HI_MPI_AO_EnableReSmp(AUDIO_DEV AoDevId, AO_CHN AoChn, AUDIO_SAMPLE_RATE_E enInSampleRate);
HI_S32 HI_MPI_AO_DisableReSmp(AUDIO_DEV AoDevId, AO_CHN AoChn);
HI_S32 HI_MPI_AO_SendFrame(AUDIO_DEV AoDevId, AO_CHN AoChn, const AUDIO_FRAME_S* pstData, HI_BOOL bBlock);

HI_S32 HI_MPI_AENC_CreateChn(AENC_CHN AeChn, const AENC_CHN_ATTR_S* pstAttr);
HI_S32 HI_MPI_AENC_DestroyChn(AENC_CHN AeChn);
HI_S32 HI_MPI_AENC_SendFrame(AENC_CHN AeChn, const AUDIO_FRAME_S* pstFrm, const AEC_FRAME_S* pstAecFrm);
// Readable while an encoded stream waits.
HI_S32 HI_MPI_AENC_GetFd(AENC_CHN AeChn);
HI_S32 HI_MPI_AENC_GetStream(AENC_CHN AeChn, AUDIO_STREAM_S* pstStream, HI_BOOL bBlock);
HI_S32 HI_MPI_AENC_ReleaseStream(AENC_CHN AeChn, const AUDIO_STREAM_S* pstStream);

HI_S32 HI_MPI_ADEC_CreateChn(ADEC_CHN AdChn, const ADEC_CHN_ATTR_S* pstAttr);
HI_S32 HI_MPI_ADEC_DestroyChn(ADEC_CHN AdChn);
HI_S32 HI_MPI_ADEC_SendStream(ADEC_CHN AdChn, const AUDIO_STREAM_S* pstStream, HI_BOOL bBlock);

// HDMI output and its audio.
enum HI_HDMI_ID_E : HI_S32 { HI_HDMI_ID_0 = 0 };
struct HI_HDMI_ATTR_S {
    HI_BOOL bEnableHdmi;
    HI_BOOL bEnableVideo;
    HI_S32 enVideoFmt;  // VO_INTF_SYNC_E
    HI_BOOL bEnableAudio;
    HI_S32 enSoundIntf;
    HI_BOOL bIsMultiChannel;
    AUDIO_SAMPLE_RATE_E enSampleRate;
    AUDIO_BIT_WIDTH_E enBitDepth;
};
HI_S32 HI_MPI_HDMI_Init();
HI_S32 HI_MPI_HDMI_DeInit();
HI_S32 HI_MPI_HDMI_Open(HI_HDMI_ID_E enHdmi);
HI_S32 HI_MPI_HDMI_Close(HI_HDMI_ID_E enHdmi);
HI_S32 HI_MPI_HDMI_GetAttr(HI_HDMI_ID_E enHdmi, HI_HDMI_ATTR_S* pstAttr);
HI_S32 HI_MPI_HDMI_SetAttr(HI_HDMI_ID_E enHdmi, const HI_HDMI_ATTR_S* pstAttr);
HI_S32 HI_MPI_HDMI_Start(HI_HDMI_ID_E enHdmi);
HI_S32 HI_MPI_HDMI_Stop(HI_HDMI_ID_E enHdmi);
HI_S32 HI_MPI_HDMI_SetAVMute(HI_HDMI_ID_E enHdmi, HI_BOOL bAvMute);
