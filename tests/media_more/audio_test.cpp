// Audio set-up against the board's audio stand-ins: what each start leaves
// enabled, that every failure part-way takes it all back, the threads that
// move frames and streams, and the codec chips' settings.
#include <cstdio>
#include <string>

#include "common/sample_comm_audio.h"
#include "platform/devices.h"
#include "tests/media/media_board.h"

namespace {

using Audio = MediaBoard;

AIO_ATTR_S attr(AUDIO_SAMPLE_RATE_E rate = AUDIO_SAMPLE_RATE_8000, AIO_MODE_E mode = AIO_MODE_I2S_MASTER) {
    return AIO_ATTR_S{rate, AUDIO_BIT_WIDTH_16, mode, AUDIO_SOUND_MODE_MONO, 0, 30, 320, 2, 0};
}

bool nothing_left() {
    const host::AudioCounts c = host::audio_counts();
    return c.ai_devices + c.ai_enabled + c.ao_devices + c.ao_enabled + c.aenc_channels + c.adec_channels == 0;
}

std::string log_text(std::string_view area) {
    std::string s;
    for (const auto& l : host::board_log_lines(area)) s += l + "\n";
    return s;
}

TEST_F(Audio, StartsEnableWhatTheyAskAndEveryFailureTakesItBack) {
    const AIO_ATTR_S a = attr();
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAi(0, 2, &a, HI_TRUE, AUDIO_SAMPLE_RATE_16000, HI_TRUE), 0);
    host::AudioCounts c = host::audio_counts();
    EXPECT_EQ(c.ai_devices, 1);
    EXPECT_EQ(c.ai_enabled, 2);
    EXPECT_EQ(c.ai_resampling, 2);
    EXPECT_EQ(c.ai_anr, 2);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StopAi(0, 2, HI_TRUE, HI_TRUE), 0);
    EXPECT_TRUE(nothing_left());

    // A failure at each step of the input: the error comes back, nothing stays on.
    for (const char* op : {"HI_MPI_AI_SetPubAttr", "HI_MPI_AI_Enable", "HI_MPI_AI_EnableChn", "HI_MPI_AI_EnableReSmp",
                           "HI_MPI_AI_EnableAnr"}) {
        host::inject_failure(op, 1);
        EXPECT_EQ(SAMPLE_COMM_AUDIO_StartAi(0, 2, &a, HI_TRUE, AUDIO_SAMPLE_RATE_16000, HI_TRUE), -1) << op;
        EXPECT_TRUE(nothing_left()) << op;
    }
    // The second channel's failure takes back the first.
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAi(1, 1, &a, HI_FALSE, AUDIO_SAMPLE_RATE_8000, HI_FALSE), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StopAi(1, 1, HI_FALSE, HI_FALSE), 0);
    EXPECT_EQ(SAMPLE_COMM_AUDIO_StartAi(0, 2, &a, HI_TRUE, AUDIO_SAMPLE_RATE_8000, HI_FALSE), -1);  // same rate
    EXPECT_TRUE(nothing_left());

    // Encoder channels: the third creation fails (the channel is taken), the first two go again.
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAenc(4, 320, PT_G711A), 0);
    EXPECT_EQ(host::audio_counts().aenc_channels, 4);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StopAenc(4), 0);
    const AENC_CHN_ATTR_S taken{PT_LPCM, 30, 320, 0};
    ASSERT_EQ(HI_MPI_AENC_CreateChn(2, &taken), 0);
    EXPECT_EQ(SAMPLE_COMM_AUDIO_StartAenc(4, 320, PT_G726), -1);
    EXPECT_EQ(host::audio_counts().aenc_channels, 1);
    ASSERT_EQ(HI_MPI_AENC_DestroyChn(2), 0);
    host::inject_failure("HI_MPI_AENC_CreateChn");
    EXPECT_EQ(SAMPLE_COMM_AUDIO_StartAenc(2, 320, PT_LPCM), -1);
    EXPECT_TRUE(nothing_left());

    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMPLE_COMM_AUDIO_StartAenc(1, 320, static_cast<PAYLOAD_TYPE_E>(22)), -1);
    EXPECT_EQ(SAMPLE_COMM_AUDIO_StartAdec(0, PT_H264), -1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("SAMPLE_COMM_AUDIO_StartAenc: invalid aenc payload type:22\n"), std::string::npos);
    EXPECT_NE(out.find("SAMPLE_COMM_AUDIO_StartAdec: invalid aenc payload type:96\n"), std::string::npos);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAdec(0, PT_LPCM), 0);
    EXPECT_NE(log_text("media").find("ADEC channel 0 created, payload 23, pack mode"), std::string::npos);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StopAdec(0), 0);
    EXPECT_TRUE(nothing_left());
}

TEST_F(Audio, HdmiOutputCarriesTheAudioAndFailuresStopIt) {
    bring_up();
    const AIO_ATTR_S a = attr(AUDIO_SAMPLE_RATE_48000);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAo(3, 0, &a, HI_FALSE, AUDIO_SAMPLE_RATE_8000), 0);
    host::HdmiState h = host::hdmi_state();
    EXPECT_TRUE(h.started);
    EXPECT_FALSE(h.muted);
    EXPECT_TRUE(h.audio);
    EXPECT_EQ(h.sample_rate, 48000);
    EXPECT_EQ(h.video_format, VO_OUTPUT_1080P25);
    EXPECT_EQ(host::audio_counts().ao_enabled, 1);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StopAo(3, 0, HI_FALSE), 0);
    EXPECT_FALSE(host::hdmi_state().open);
    EXPECT_TRUE(nothing_left());
    EXPECT_EQ(HI_MPI_VO_Disable(0), 0);  // device 0 stopped: disabling again changes nothing

    for (const char* op : {"HI_MPI_HDMI_SetAttr", "HI_MPI_HDMI_Open", "HI_MPI_AO_EnableChn", "HI_MPI_AO_EnableReSmp"}) {
        host::inject_failure(op);
        EXPECT_EQ(SAMPLE_COMM_AUDIO_StartAo(3, 0, &a, HI_TRUE, AUDIO_SAMPLE_RATE_8000), -1) << op;
        EXPECT_FALSE(host::hdmi_state().open) << op;
        EXPECT_TRUE(nothing_left()) << op;
        // The video layer of device 0 went down too: it can start afresh.
        ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAo(3, 0, &a, HI_FALSE, AUDIO_SAMPLE_RATE_8000), 0) << op;
        ASSERT_EQ(SAMPLE_COMM_AUDIO_StopAo(3, 0, HI_FALSE), 0);
    }
}

TEST_F(Audio, ThreadsMoveFramesFromInputToEncoderDecoderFileAndOutput) {
    bring_up();  // binds need the media system
    const AIO_ATTR_S a = attr();
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAi(0, 2, &a, HI_FALSE, AUDIO_SAMPLE_RATE_8000, HI_FALSE), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAo(0, 0, &a, HI_FALSE, AUDIO_SAMPLE_RATE_8000), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAenc(1, 320, PT_G711A), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAdec(0, PT_G711A), 0);
    const auto file = root_ / "aenc.g711a";
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_AencBindAi(0, 0, 0), 0);
    EXPECT_EQ(SAMPLE_COMM_AUDIO_AencBindAi(0, 0, 0), static_cast<HI_S32>(0xA0028004));  // bound already
    ASSERT_EQ(SAMPLE_COMM_AUDIO_AencUnbindAi(0, 0, 0), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_CreatTrdAiAenc(0, 0, 0), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_CreatTrdAiAo(0, 1, 0, 0), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_CreatTrdAencAdec(0, 0, f), 0);
    EXPECT_EQ(SAMPLE_COMM_AUDIO_CreatTrdAencAdec(0, 0, nullptr), -1);  // one thread per channel
    host::board_sleep(1.0);  // 320 samples at 8000/s: 25 frames a second
    ASSERT_EQ(SAMPLE_COMM_AUDIO_DestoryTrdAi(0, 0), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_DestoryTrdAi(0, 1), 0);
    host::board_sleep(0.1);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_DestoryTrdAencAdec(0), 0);  // closes the file
    const host::AudioCounts c = host::audio_counts();
    const auto written = std::filesystem::file_size(file);
    // 25 frames in the second, and a frame or two while the threads stop:
    // paced on the board clock, not as fast as the host can go.
    EXPECT_GE(c.ao_frames, 20u);
    EXPECT_LE(c.ao_frames, 30u);
    EXPECT_GE(written, 20u * 640);
    EXPECT_EQ(written % 640, 0u);                    // whole 16-bit frames
    EXPECT_EQ(c.adec_bytes, written);                // the decoder got what the file got

    // A file sent to a decoder in blocks, to its end.
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAdec(1, PT_G711A), 0);
    std::FILE* in = std::fopen(file.c_str(), "rb");
    ASSERT_EQ(SAMPLE_COMM_AUDIO_CreatTrdFileAdec(1, in), 0);
    host::board_sleep(0.1);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_DestoryTrdFileAdec(1), 0);
    EXPECT_EQ(host::audio_counts().adec_bytes, 2 * written);

    ASSERT_EQ(SAMPLE_COMM_AUDIO_StopAdec(1), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StopAdec(0), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StopAenc(1), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StopAo(0, 0, HI_FALSE), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StopAi(0, 2, HI_FALSE, HI_FALSE), 0);
    EXPECT_TRUE(nothing_left());
}

TEST_F(Audio, CodecChipsGetRateFormatWidthMasterAndDivider) {
    testing::internal::CaptureStdout();
    AIO_ATTR_S a = attr(AUDIO_SAMPLE_RATE_44100, AIO_MODE_I2S_MASTER);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_CfgAcodec(&a), 0);
    EXPECT_EQ(log_text("tw2865"), "tw2865: sample rate 44100\ntw2865: format 0\ntw2865: bit width 16\n");
    EXPECT_EQ(log_text("tlv320"), "tlv320: reset 0\ntlv320: master 0\ntlv320: format 0\ntlv320: clock 1\ntlv320: divider 0\n");
    host::board_log_clear();
    ASSERT_EQ(SAMPLE_Tlv320_CfgAudio(AIO_MODE_PCM_SLAVE_STD, AUDIO_SAMPLE_RATE_8000), 0);
    EXPECT_EQ(log_text("tlv320"), "tlv320: reset 0\ntlv320: master 1\ntlv320: format 1\ntlv320: clock 0\ntlv320: divider 10\n");
    host::board_log_clear();
    const int dividers[][2] = {{12000, 6}, {16000, 4}, {22050, 2}, {24000, 2}, {32000, 1}, {48000, 0}};
    for (const auto& [rate, div] : dividers) {
        ASSERT_EQ(SAMPLE_Tlv320_CfgAudio(AIO_MODE_I2S_SLAVE, static_cast<AUDIO_SAMPLE_RATE_E>(rate)), 0);
        EXPECT_NE(log_text("tlv320").find("divider " + std::to_string(div) + "\n"), std::string::npos) << rate;
        host::board_log_clear();
    }
    host::inject_failure("open /dev/tlv320aic31");
    EXPECT_EQ(SAMPLE_Tlv320_CfgAudio(AIO_MODE_I2S_SLAVE, AUDIO_SAMPLE_RATE_8000), -1);
    host::inject_failure(host::ioctl_op("/dev/tlv320aic31", TLV320_SOFT_RESET));
    EXPECT_EQ(SAMPLE_Tlv320_CfgAudio(AIO_MODE_I2S_SLAVE, AUDIO_SAMPLE_RATE_8000), -1);
    EXPECT_EQ(SAMPLE_Tlv320_Disable(), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Set aic31 ok: bMaster = 0, enWorkmode = 0, enSamplerate = 44100\n"), std::string::npos);
    EXPECT_NE(out.find("can't open tlv320,/dev/tlv320aic31\n"), std::string::npos);
    EXPECT_NE(out.find("tlv320aic31 reset failed"), std::string::npos);
}

}  // namespace
