// The board's picture decoder: FFmpeg's H.264 parser finds where pictures
// end in a stream that arrives in arbitrary pieces, libavcodec decodes them.
#include "host/vdec_engine.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>

namespace host::media {

void quiet_libav() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

void PictureDecoder::CodecFree::operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
void PictureDecoder::ParserFree::operator()(AVCodecParserContext* p) const { av_parser_close(p); }
void PictureDecoder::FrameFree::operator()(AVFrame* f) const { av_frame_free(&f); }
void PictureDecoder::PacketFree::operator()(AVPacket* p) const { av_packet_free(&p); }

PictureDecoder::PictureDecoder() = default;
PictureDecoder::~PictureDecoder() = default;

bool PictureDecoder::new_parser() {
    parser_.reset(av_parser_init(AV_CODEC_ID_H264));
    return parser_ != nullptr;
}

bool PictureDecoder::open(int max_width, int max_height, std::string& why) {
    quiet_libav();
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) {
        why = "no H.264 decoder";
        return false;
    }
    codec_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!codec_ || !frame_ || !packet_ || !new_parser()) {
        why = "out of memory";
        return false;
    }
    AVCodecContext* c = codec_.get();
    c->thread_count = 1;
    // Pictures leave in decoding order, at once: the channels take no B frames.
    c->flags |= AV_CODEC_FLAG_LOW_DELAY;
    // A stream claiming a huge picture fails before anything is allocated
    // (rows and columns rounded up to whole macroblocks and line alignment).
    c->max_pixels = static_cast<std::int64_t>(max_width + 64) * (max_height + 32);
    if (const int e = avcodec_open2(c, codec, nullptr); e < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(e, text, sizeof text);
        why = std::string("decoder: ") + text;
        codec_.reset();
        return false;
    }
    max_width_ = max_width;
    max_height_ = max_height;
    return true;
}

std::size_t PictureDecoder::feed(std::span<const std::uint8_t> input) {
    if (!codec_) return input.size();
    // The parser reads a little past what it is given: it gets a padded copy.
    in_.assign(input.begin(), input.end());
    in_.resize(input.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const std::span<const std::uint8_t> bytes(in_.data(), input.size());
    std::size_t taken = 0;
    while (taken < bytes.size() && out_.empty()) {
        std::uint8_t* unit = nullptr;
        int unit_size = 0;
        const auto left = static_cast<int>(std::min<std::size_t>(bytes.size() - taken, 1 << 30));
        const int used = av_parser_parse2(parser_.get(), codec_.get(), &unit, &unit_size, bytes.data() + taken, left,
                                          AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0) {
            fail("stream not parsable");
            return bytes.size();
        }
        taken += static_cast<std::size_t>(used);
        if (used > 0) partial_ = true;
        if (unit_size > 0) {
            // The parser hands a picture over once the next one begins, so
            // what it took in this call belongs to the picture.
            partial_ = false;
            decode(unit, unit_size);
        }
        if (used == 0 && unit_size == 0) break;
    }
    return taken;
}

void PictureDecoder::end() {
    if (!codec_) return;
    std::uint8_t* unit = nullptr;
    int unit_size = 0;
    av_parser_parse2(parser_.get(), codec_.get(), &unit, &unit_size, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (unit_size > 0) decode(unit, unit_size);
    // A parser that has ended starts afresh; the decoder keeps its parameter sets.
    partial_ = false;
    if (!new_parser()) fail("out of memory");
}

void PictureDecoder::fail(const std::string& why) {
    ++errors_;
    last_error_ = why;
}

void PictureDecoder::decode(const std::uint8_t* data, int size) {
    AVPacket* p = packet_.get();
    av_packet_unref(p);
    p->data = const_cast<std::uint8_t*>(data);
    p->size = size;
    const int e = avcodec_send_packet(codec_.get(), p);
    p->data = nullptr;
    p->size = 0;
    if (e < 0 && e != AVERROR(EAGAIN)) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(e, text, sizeof text);
        fail(std::string("bad picture: ") + text);
    }
    receive();
}

void PictureDecoder::receive() {
    AVFrame* f = frame_.get();
    while (avcodec_receive_frame(codec_.get(), f) == 0) {
        const auto fmt = static_cast<AVPixelFormat>(f->format);
        if (fmt != AV_PIX_FMT_YUV420P && fmt != AV_PIX_FMT_YUVJ420P) {
            const char* name = av_get_pix_fmt_name(fmt);
            fail(std::string("picture format ") + (name ? name : "unknown") + " not shown");
        } else if (f->width <= 0 || f->height <= 0 || f->width > max_width_ || f->height > max_height_) {
            fail("picture " + std::to_string(f->width) + "x" + std::to_string(f->height) + " larger than the channel");
        } else {
            // A damaged picture is shown as the decoder concealed it, and counted.
            if (f->decode_error_flags || (f->flags & AV_FRAME_FLAG_CORRUPT)) fail("damaged picture, concealed");
            auto pic = std::make_shared<VideoPicture>();
            pic->width = f->width;
            pic->height = f->height;
            const int cw = (f->width + 1) / 2, ch = (f->height + 1) / 2;
            auto copy = [](std::vector<std::uint8_t>& dst, const std::uint8_t* src, int stride, int w, int h) {
                dst.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
                for (int row = 0; row < h; ++row)
                    std::memcpy(dst.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(w),
                                src + static_cast<std::ptrdiff_t>(row) * stride, static_cast<std::size_t>(w));
            };
            copy(pic->y, f->data[0], f->linesize[0], f->width, f->height);
            copy(pic->u, f->data[1], f->linesize[1], cw, ch);
            copy(pic->v, f->data[2], f->linesize[2], cw, ch);
            out_.push_back(std::move(pic));
        }
        av_frame_unref(f);
    }
}

}  // namespace host::media
