// The board's H.264 decoder for one channel: stream bytes in any cuts,
// reassembled into pictures by FFmpeg's parser and decoded by libavcodec.
// The decoder channels use it; the benchmark and the fuzz driver drive it alone.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/video_picture.h"

struct AVCodecContext;
struct AVCodecParserContext;
struct AVFrame;
struct AVPacket;

namespace host::media {

class PictureDecoder {
public:
    PictureDecoder();
    ~PictureDecoder();
    PictureDecoder(const PictureDecoder&) = delete;
    PictureDecoder& operator=(const PictureDecoder&) = delete;

    // Sets the decoder up for pictures of at most `max_width` x `max_height`;
    // false, with the reason, when it cannot.
    bool open(int max_width, int max_height, std::string& why);
    // Takes stream bytes until a picture is ready or `bytes` is used up;
    // returns how many it took. What it takes stays with it: a picture that
    // is not complete yet waits for the next bytes (or for end()).
    std::size_t feed(std::span<const std::uint8_t> bytes);
    // The stream stops here: the picture in progress is decoded as it is.
    void end();
    // Bytes taken since the last complete picture, waiting for the rest.
    bool partial() const { return partial_; }

    bool ready() const { return !out_.empty(); }
    const PicturePtr& next() const { return out_.front(); }
    void pop() { out_.pop_front(); }
    std::size_t waiting() const { return out_.size(); }

    // Stream errors so far (bad or truncated units, unshowable pictures),
    // each skipped; the last one's reason.
    std::uint64_t errors() const { return errors_; }
    const std::string& last_error() const { return last_error_; }

private:
    void decode(const std::uint8_t* data, int size);
    void receive();
    void fail(const std::string& why);
    bool new_parser();

    struct CodecFree {
        void operator()(AVCodecContext* c) const;
    };
    struct ParserFree {
        void operator()(AVCodecParserContext* p) const;
    };
    struct FrameFree {
        void operator()(AVFrame* f) const;
    };
    struct PacketFree {
        void operator()(AVPacket* p) const;
    };
    std::unique_ptr<AVCodecContext, CodecFree> codec_;
    std::unique_ptr<AVCodecParserContext, ParserFree> parser_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
    int max_width_ = 0, max_height_ = 0;
    bool partial_ = false;
    std::vector<std::uint8_t> in_;  // what feed() was given, padded
    std::deque<PicturePtr> out_;
    std::uint64_t errors_ = 0;
    std::string last_error_;
};

// Keeps FFmpeg's own messages off standard error; the board reports through its log.
void quiet_libav();

}  // namespace host::media
