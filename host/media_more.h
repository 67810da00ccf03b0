// What the audio, detection and further media stand-ins share; not for the
// rest of the board.
#pragma once

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

#include "host/internal.h"
#include "host/media_parts.h"

namespace host::media {

// A descriptor that select sees readable while something can be got.
class ReadyFd {
public:
    ReadyFd() = default;
    ReadyFd(const ReadyFd&) = delete;
    ReadyFd& operator=(const ReadyFd&) = delete;
    ReadyFd(ReadyFd&& o) noexcept : fd_(std::exchange(o.fd_, -1)), up_(o.up_) {}
    ReadyFd& operator=(ReadyFd&& o) noexcept {
        std::swap(fd_, o.fd_);
        std::swap(up_, o.up_);
        return *this;
    }
    ~ReadyFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    // The descriptor, made on first use; -1 when none could be made.
    int get() {
        if (fd_ < 0) fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        return fd_;
    }
    void raise(bool on) {
        if (get() < 0 || up_ == on) return;
        std::uint64_t v = 1;
        const ssize_t n = on ? ::write(fd_, &v, sizeof v) : ::read(fd_, &v, sizeof v);
        (void)n;
        up_ = on;
        if (on) fd_ready(fd_);
    }

private:
    int fd_ = -1;
    bool up_ = false;
};

// Resets on HI_MPI_SYS_Exit and at power-off.
void audio_reset();
void vda_reset();
void misc_reset();

}  // namespace host::media
