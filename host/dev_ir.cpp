// "/dev/Hi_IR": the infrared receiver. Key records are queued with the board
// time at which they arrive and read whole.
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>

#include "host/clock.h"
#include "host/devices_parts.h"
#include "host/internal.h"
#include "platform/devices.h"

namespace host {
namespace {

constexpr double kRepeatGap = 0.110;  // a held NEC key repeats every 110 ms
constexpr std::size_t kQueueLimit = 1024;

// Receiver timings of an NEC remote in 10 us steps, about 10 % either way.
constexpr ir_dev_param kDefaultParam{24, 0, 32, 810, 990, 405, 495, 101, 124, 202, 247, 202, 247};

class Infrared : public Device {
public:
    int open(int flags) override {
        std::lock_guard lock(mutex_);
        if (stopped_) return -EIO;
        if (open_) return -EBUSY;
        open_ = true;
        nonblock_ = (flags & O_NONBLOCK) != 0;
        return 0;
    }

    void close() override {
        std::lock_guard lock(mutex_);
        open_ = false;
    }

    ssize_t read(void* buf, std::size_t len) override {
        if (len < sizeof(irkey_info_s)) return -EINVAL;
        if (!buf) return -EFAULT;
        const std::size_t room = len / sizeof(irkey_info_s);
        std::unique_lock lock(mutex_);
        for (;;) {
            if (stopped_) return -EIO;
            const double now = board_uptime();
            drop_overflow(now);
            std::size_t n = 0;
            while (n < room && !queue_.empty() && queue_.front().due <= now) {
                const Pending p = queue_.front();
                queue_.pop_front();
                if (p.record.irkey_state_code != 0 && keyup_ == 0) continue;
                if (p.repeat && repkey_ == 0) continue;
                std::memcpy(static_cast<char*>(buf) + n * sizeof(irkey_info_s), &p.record, sizeof p.record);
                ++n;
            }
            if (n > 0) return static_cast<ssize_t>(n * sizeof(irkey_info_s));
            if (nonblock_) return -EAGAIN;
            const double due = queue_.empty() ? clock::kNever : queue_.front().due;
            const std::size_t queued = queue_.size();
            clock::wait_until(lock, wake_, due, [&] { return stopped_ || queue_.size() != queued; });
        }
    }

    int ioctl(unsigned long request, void* arg) override {
        if (request >= IR_ENABLE_KEYUP && request <= IR_REPKEY_TIMEOUTVAL) {
            if (!arg) return -EFAULT;
            const unsigned value = *static_cast<const unsigned*>(arg);
            static constexpr const char* kName[] = {"release keys", "repeat keys", "repeat delay"};
            {
                std::lock_guard lock(mutex_);
                (request == IR_ENABLE_KEYUP ? keyup_ : request == IR_ENABLE_REPKEY ? repkey_ : delay_) = value;
            }
            board_log("ir", std::string(kName[request - IR_ENABLE_KEYUP]) + " " + std::to_string(value));
            return 0;
        }
        if (request == IR_SET_BUF_LEN) {
            if (!arg) return -EFAULT;
            const unsigned value = *static_cast<const unsigned*>(arg);
            if (value < 1 || value > kQueueLimit) return -EINVAL;
            {
                std::lock_guard lock(mutex_);
                buf_len_ = value;
            }
            board_log("ir", "buffer length " + std::to_string(value));
            return 0;
        }
        if (request >= IR_SET_LEADS && request <= IR_SET_SLEADE) {
            if (!arg) return -EFAULT;
            const ir_pair pair = *static_cast<const ir_pair*>(arg);
            if (pair.min > pair.max) return -EINVAL;
            std::lock_guard lock(mutex_);
            using Field = std::uint16_t ir_dev_param::*;
            static constexpr Field kMin[] = {&ir_dev_param::leads_min, &ir_dev_param::leade_min,
                                             &ir_dev_param::cnt0_b_min, &ir_dev_param::cnt1_b_min,
                                             &ir_dev_param::sleade_min};
            static constexpr Field kMax[] = {&ir_dev_param::leads_max, &ir_dev_param::leade_max,
                                             &ir_dev_param::cnt0_b_max, &ir_dev_param::cnt1_b_max,
                                             &ir_dev_param::sleade_max};
            param_.*kMin[request - IR_SET_LEADS] = pair.min;
            param_.*kMax[request - IR_SET_LEADS] = pair.max;
            return 0;
        }
        if (request == IR_GET_PARAM) {
            if (!arg) return -EFAULT;
            std::lock_guard lock(mutex_);
            *static_cast<ir_dev_param*>(arg) = param_;
            return 0;
        }
        return -ENOTTY;
    }

    // Queues records after whatever is still waiting, keeping arrival order.
    void press(std::uint32_t datal, int repeats, bool release, std::uint32_t state) {
        {
            std::lock_guard lock(mutex_);
            const double now = board_uptime();
            double t = now;
            if (!queue_.empty() && queue_.back().due >= now) t = queue_.back().due + (release ? kRepeatGap : 0);
            if (!release) {
                add(t, datal, state, false);
            } else {
                add(t, datal, 0, false);
                for (int i = 0; i < repeats; ++i) add(t += kRepeatGap, datal, 0, true);
                add(t + kRepeatGap, datal, 1, false);
            }
            clock::poke(wake_);
        }
        wake_.notify_all();
    }

    void shutdown() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
            clock::poke(wake_);
        }
        wake_.notify_all();
    }

private:
    struct Pending {
        double due;
        irkey_info_s record;
        bool repeat;
    };

    // Records that arrived while the buffer was full are lost: of those arrived and not
    // read, the driver keeps the first buf_len_ it reports.
    void drop_overflow(double now) {
        std::size_t kept = 0;
        for (auto it = queue_.begin(); it != queue_.end() && it->due <= now;) {
            const bool reported = (it->record.irkey_state_code == 0 || keyup_ != 0) && (!it->repeat || repkey_ != 0);
            if (reported && kept < buf_len_) {
                ++kept;
                ++it;
            } else {
                it = queue_.erase(it);
            }
        }
    }

    void add(double due, std::uint32_t datal, std::uint32_t state, bool repeat) {
        if (queue_.size() >= kQueueLimit) return;  // a full receiver buffer loses keys
        queue_.push_back(Pending{due, irkey_info_s{0, datal, state}, repeat});
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Pending> queue_;
    bool open_ = false;
    bool nonblock_ = false;
    bool stopped_ = false;
    unsigned keyup_ = 1, repkey_ = 1, delay_ = 110;
    std::size_t buf_len_ = kQueueLimit;
    ir_dev_param param_ = kDefaultParam;
};

std::mutex g_mutex;
std::shared_ptr<Infrared> g_ir;

std::shared_ptr<Infrared> current() {
    std::lock_guard lock(g_mutex);
    return g_ir;
}

}  // namespace

void parts::ir_power_on() {
    auto ir = std::make_shared<Infrared>();
    {
        std::lock_guard lock(g_mutex);
        g_ir = ir;
    }
    register_device("/dev/Hi_IR", ir);
}

void parts::ir_power_off() {
    std::shared_ptr<Infrared> ir;
    {
        std::lock_guard lock(g_mutex);
        ir.swap(g_ir);
    }
    if (ir) ir->shutdown();
}

void ir_press(std::uint8_t key, int repeats, std::uint16_t address) {
    const std::uint32_t datal = static_cast<std::uint32_t>(~key & 0xFF) << 24 | std::uint32_t{key} << 16 | address;
    if (auto ir = current()) ir->press(datal, repeats < 0 ? 0 : repeats, true, 0);
    char text[64];
    std::snprintf(text, sizeof text, "press 0x%08x repeats %d", static_cast<unsigned>(datal), repeats);
    board_log("ir", text);
}

void ir_push(std::uint32_t datal, std::uint32_t state_code) {
    if (auto ir = current()) ir->press(datal, 0, false, state_code);
    char text[64];
    std::snprintf(text, sizeof text, "record 0x%08x state %u", static_cast<unsigned>(datal),
                  static_cast<unsigned>(state_code));
    board_log("ir", text);
}

}  // namespace host
