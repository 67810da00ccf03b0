// Infrared receiver test routines. Each opens the device itself and closes it
// on every way out; a failed read ends a reading loop instead of spinning.
#include "common/hiir_test.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/sample_comm.h"
#include "platform/clock.h"

const IrKeyAdapt g_irkey_adapt_array[8] = {
    {"REMOTE_MENU    ", 0xEF106B86}, {"REMOTE_BACK    ", 0xED126B86}, {"REMOTE_OK      ", 0xFA056B86},
    {"REMOTE_UP      ", 0xE41B6B86}, {"REMOTE_DOWN    ", 0xE51A6B86}, {"REMOTE_LEFT    ", 0xFB046B86},
    {"REMOTE_RIGHT   ", 0xF9066B86}, {"MYTEST         ", 0x31CEFF00},
};

// The test remote is an NEC remote at address 0xFF00, like the MYTEST key.
const IrKeyAdapt g_irkey_test_keys[6] = {
    {"REMOTE_POWER   ", 0xBA45FF00}, {"REMOTE_MUTE    ", 0xB847FF00}, {"REMOTE_F1      ", 0xF30CFF00},
    {"REMOTE_F2      ", 0xE718FF00}, {"REMOTE_F3      ", 0xA15EFF00}, {"REMOTE_F4      ", 0xF708FF00},
};

// frequence, codetype, code_len, then min and max of the lead start, lead
// end, bit-0 count, bit-1 count and second lead end.
const ir_dev_param static_dev_param[kIrParamSets] = {
    {24, 0, 32, 828, 972, 414, 486, 45, 67, 135, 202, 180, 247},   // NEC, simple repeat
    {24, 0, 32, 810, 990, 405, 495, 101, 124, 202, 247, 202, 247}, // NEC, wider window
    {24, 0, 16, 828, 972, 414, 486, 45, 67, 135, 202, 180, 247},   // NEC, 16-bit code
    {24, 0, 48, 828, 972, 414, 486, 45, 67, 135, 202, 180, 247},   // NEC, 48-bit code
    {24, 1, 32, 414, 486, 414, 486, 45, 67, 135, 202, 180, 247},   // TC9012
    {24, 1, 32, 405, 495, 405, 495, 101, 124, 202, 247, 202, 247}, // TC9012, wider window
    {24, 1, 16, 414, 486, 414, 486, 45, 67, 135, 202, 180, 247},   // TC9012, 16-bit code
    {24, 1, 48, 414, 486, 414, 486, 45, 67, 135, 202, 180, 247},   // TC9012, 48-bit code
    {24, 2, 32, 828, 972, 414, 486, 45, 67, 135, 202, 414, 486},   // NEC, full repeat
    {24, 2, 32, 810, 990, 405, 495, 101, 124, 202, 247, 405, 495}, // NEC full repeat, wider window
    {24, 2, 16, 828, 972, 414, 486, 45, 67, 135, 202, 414, 486},   // NEC full repeat, 16-bit code
    {24, 2, 48, 828, 972, 414, 486, 45, 67, 135, 202, 414, 486},   // NEC full repeat, 48-bit code
    {24, 3, 12, 216, 264, 54, 66, 108, 132, 162, 198, 54, 66},     // SONY, 12-bit
    {24, 3, 15, 216, 264, 54, 66, 108, 132, 162, 198, 54, 66},     // SONY, 15-bit
    {24, 3, 20, 216, 264, 54, 66, 108, 132, 162, 198, 54, 66},     // SONY, 20-bit
    {24, 3, 12, 200, 280, 50, 70, 100, 140, 150, 210, 50, 70},     // SONY, wider window
};

std::atomic<int> powerkey_down{0}, mutekey_down{0}, f1key_down{0}, f2key_down{0}, f3key_down{0}, f4key_down{0};
std::atomic<std::uint32_t> nIrKey{0};

namespace {

constexpr const char* kDev = "/dev/Hi_IR";

// An open receiver, closed when it goes out of scope.
class Receiver {
public:
    Receiver(const char* test, int flags = O_RDWR) : fd_(dev_open(kDev, flags)) {
        if (fd_ < 0) std::printf("%s ERROR:can not open %s device. read return %d\n", test, "Hi_IR", fd_);
    }
    ~Receiver() {
        if (fd_ >= 0) dev_close(fd_);
    }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool set(unsigned long request, unsigned value) const { return dev_ioctl(fd_, request, &value) == 0; }
    bool set(unsigned long request, ir_pair pair) const { return dev_ioctl(fd_, request, &pair) == 0; }
    // One record; false when the read fails.
    bool read(irkey_info_s& rec) const { return dev_read(fd_, &rec, sizeof rec) == static_cast<ssize_t>(sizeof rec); }

private:
    int fd_;
};

int start(const char* test) {
    std::printf("%s start...\n", test);
    return 0;
}

int pass(const char* test) {
    std::printf("%s pass.\n", test);
    return 0;
}

void clear_flags() {
    for (auto* f : {&powerkey_down, &mutekey_down, &f1key_down, &f2key_down, &f3key_down, &f4key_down}) *f = 0;
}

bool take(std::atomic<int>& flag) { return flag.exchange(0) != 0; }

// Asks on the console for a number; false when none comes.
bool ask(const char* what, unsigned& value) {
    std::printf("input %s = ", what);
    std::fflush(stdout);
    return std::scanf("%u", &value) == 1;
}

// The pair requests in order, with the fields they set.
struct PairField {
    unsigned long request;
    std::uint16_t ir_dev_param::*min;
    std::uint16_t ir_dev_param::*max;
};
constexpr PairField kPairs[5] = {
    {IR_SET_LEADS, &ir_dev_param::leads_min, &ir_dev_param::leads_max},
    {IR_SET_LEADE, &ir_dev_param::leade_min, &ir_dev_param::leade_max},
    {IR_SET_CNT0_B, &ir_dev_param::cnt0_b_min, &ir_dev_param::cnt0_b_max},
    {IR_SET_CNT1_B, &ir_dev_param::cnt1_b_min, &ir_dev_param::cnt1_b_max},
    {IR_SET_SLEADE, &ir_dev_param::sleade_min, &ir_dev_param::sleade_max},
};

// The repeat delay a parameter set goes with: a held NEC key repeats every 110 ms.
constexpr unsigned kRepeatDelayMs = 110;

// Reports releases and repeats with the repeat delay, then sets every pair of
// a parameter set.
bool set_params(const Receiver& ir, const ir_dev_param& p) {
    if (!ir.set(IR_ENABLE_KEYUP, 1) || !ir.set(IR_ENABLE_REPKEY, 1) || !ir.set(IR_REPKEY_TIMEOUTVAL, kRepeatDelayMs))
        return false;
    for (const PairField& f : kPairs)
        if (!ir.set(f.request, ir_pair{p.*f.min, p.*f.max})) return false;
    return true;
}

constexpr const char* kParamNames[13] = {"frequence",  "codetype",   "code_len",   "leads_min", "leads_max",
                                         "leade_min",  "leade_max",  "cnt0_b_min", "cnt0_b_max", "cnt1_b_min",
                                         "cnt1_b_max", "sleade_min", "sleade_max"};
constexpr std::uint16_t ir_dev_param::*kParamFields[13] = {
    &ir_dev_param::frequence,  &ir_dev_param::codetype,   &ir_dev_param::code_len,   &ir_dev_param::leads_min,
    &ir_dev_param::leads_max,  &ir_dev_param::leade_min,  &ir_dev_param::leade_max,  &ir_dev_param::cnt0_b_min,
    &ir_dev_param::cnt0_b_max, &ir_dev_param::cnt1_b_min, &ir_dev_param::cnt1_b_max, &ir_dev_param::sleade_min,
    &ir_dev_param::sleade_max};

// Sets a remote's parameter set and prints the next ten records.
int ten_keys(const char* test, const ir_dev_param& p) {
    start(test);
    Receiver ir(test);
    if (!ir.ok()) return -1;
    if (!set_params(ir, p)) {
        std::printf("%s ERROR: set param fail.\n", test);
        return -1;
    }
    std::printf("random press 10 keys...\n");
    for (int i = 0; i < 10; ++i) {
        irkey_info_s rec{};
        if (!ir.read(rec)) {
            std::printf("%s ERROR: read fail.\n", test);
            return -1;
        }
        std::printf("RECEIVE ---> irkey_datah=0x%.8x, irkey_datal=0x%.8x\t", rec.irkey_datah, rec.irkey_datal);
        if (rec.irkey_state_code == 1) std::printf("KEYUP...");
        std::printf("\n");
    }
    return pass(test);
}

// Reads and reports keys until the power key; `on_key` acts on the other
// function keys. A failed read ends the test with an error.
template <class OnKey>
int keys_until_power(const char* test, const Receiver& ir, OnKey on_key) {
    for (;;) {
        irkey_info_s rec{};
        if (!ir.read(rec)) {
            std::printf("%s ERROR: read fail.\n", test);
            return -1;
        }
        vorand_report_irkey(rec);
        if (take(powerkey_down)) return pass(test);
        if (!on_key()) return -1;
    }
}

bool ask_repeat_delay(const Receiver& ir) {
    unsigned delay = 0;
    if (!ask("repkey delay time(ms)", delay)) return true;  // nothing typed: keep the delay
    return ir.set(IR_REPKEY_TIMEOUTVAL, delay);
}

// A refused length (0, or more than the driver holds) ends the test with an error.
bool ask_buffer_length(const char* test, const Receiver& ir) {
    unsigned length = 0;
    if (!ask("buffer length", length)) return true;  // nothing typed: keep the length
    if (ir.set(IR_SET_BUF_LEN, length)) return true;
    std::printf("%s ERROR: set buffer length fail.\n", test);
    return false;
}

}  // namespace

// Nothing reports a key name on its own: an empty text.
const char* Get_IrKey() { return ""; }

void vorand_report_irkey(irkey_info_s rcv_irkey_info) {
    const IrKeyAdapt* key = nullptr;
    int test_key = -1;  // index among the test remote's function keys
    for (const IrKeyAdapt& k : g_irkey_adapt_array)
        if (!key && k.datal == rcv_irkey_info.irkey_datal) key = &k;
    for (int i = 0; i < 6 && !key; ++i)
        if (g_irkey_test_keys[i].datal == rcv_irkey_info.irkey_datal) key = &g_irkey_test_keys[test_key = i];
    if (rcv_irkey_info.irkey_datah != 0 || !key) {
        std::printf("Error. get a invalid code. irkey_datah=0x%.8x,irkey_datal=0x%.8x.\n", rcv_irkey_info.irkey_datah,
                    rcv_irkey_info.irkey_datal);
        return;
    }
    std::printf("keyvalue=H/L 0x%x/0x%x\n", rcv_irkey_info.irkey_datah, rcv_irkey_info.irkey_datal);
    nIrKey = rcv_irkey_info.irkey_datal;
    std::printf("nIrKey= 0x%0x \n", nIrKey.load());
    std::printf("RECEIVE ---> %s\t", key->name);
    if (rcv_irkey_info.irkey_state_code == 1) {
        std::printf("KEYUP...");
    } else if (rcv_irkey_info.irkey_state_code == 0 && test_key >= 0) {  // a repeat does not act again
        std::atomic<int>* flags[6] = {&powerkey_down, &mutekey_down, &f1key_down,
                                      &f2key_down,    &f3key_down,   &f4key_down};
        *flags[test_key] = 1;
    }
    std::printf("\n");
}

int Hi_IR_FUNC_TEST_001() {
    constexpr const char* test = "Hi_IR_FUNC_TEST_001";
    start(test);
    Receiver ir(test);
    if (!ir.ok()) return -1;
    clear_flags();
    std::printf("REMOTE_POWER key to finish the test...\n");
    std::printf("REMOTE_MUTE  key to set repkey delay time...\n");
    return keys_until_power(test, ir, [&] { return !take(mutekey_down) || ask_repeat_delay(ir); });
}

int Hi_IR_FUNC_TEST_002() {
    constexpr const char* test = "Hi_IR_FUNC_TEST_002";
    start(test);
    {
        Receiver first(test);
        if (!first.ok()) return -1;
        const int second = dev_open(kDev, O_RDWR);
        if (second >= 0) {
            dev_close(second);
            std::printf("%s ERROR: the device opened twice.\n", test);
            return -1;
        }
    }
    Receiver again(test);
    return again.ok() ? pass(test) : -1;
}

int Hi_IR_FUNC_TEST_003() {
    constexpr const char* test = "Hi_IR_FUNC_TEST_003";
    start(test);
    // Three rounds of open and close, then the device must open again.
    for (int i = 0; i < 3; ++i) {
        Receiver ir(test);
        if (!ir.ok()) return -1;
    }
    Receiver again(test);
    return again.ok() ? pass(test) : -1;
}

int Hi_IR_FUNC_TEST_004() {
    constexpr const char* test = "Hi_IR_FUNC_TEST_004";
    start(test);
    Receiver ir(test);
    if (!ir.ok()) return -1;
    for (const ir_dev_param& want : static_dev_param) {
        ir_dev_param got{};
        bool same = set_params(ir, want) && dev_ioctl(ir.fd(), IR_GET_PARAM, &got) == 0;
        // Only the pairs have set requests; the rest is the receiver's own.
        for (const PairField& f : kPairs) same = same && got.*f.min == want.*f.min && got.*f.max == want.*f.max;
        if (!same) {
            std::printf("Hi_IR_FUNC_TEST_004 ERROR. need check ioctl fun.\n");
            return -1;
        }
    }
    return pass(test);
}

int Hi_IR_FUNC_TEST_005() {
    constexpr const char* test = "Hi_IR_FUNC_TEST_005";
    start(test);
    Receiver ir(test);
    if (!ir.ok()) return -1;
    clear_flags();
    unsigned keyup = 1, repkey = 1;
    if (!ir.set(IR_ENABLE_KEYUP, keyup) || !ir.set(IR_ENABLE_REPKEY, repkey)) return -1;
    std::printf("REMOTE_POWER key to finish the test...\n");
    std::printf("REMOTE_F1 key to switch keyup reporting...\n");
    std::printf("REMOTE_F2 key to switch repkey reporting...\n");
    std::printf("REMOTE_F3 key to set repkey delay time...\n");
    std::printf("REMOTE_F4 key to set buffer length...\n");
    return keys_until_power(test, ir, [&] {
        if (take(f1key_down)) {
            keyup ^= 1;
            std::printf("keyup reporting %u\n", keyup);
            return ir.set(IR_ENABLE_KEYUP, keyup);
        }
        if (take(f2key_down)) {
            repkey ^= 1;
            std::printf("repkey reporting %u\n", repkey);
            return ir.set(IR_ENABLE_REPKEY, repkey);
        }
        if (take(f3key_down)) return ask_repeat_delay(ir);
        if (take(f4key_down)) return ask_buffer_length(test, ir);
        return true;
    });
}

int Hi_IR_FUNC_TEST_006() { return ten_keys("Hi_IR_FUNC_TEST_006", static_dev_param[kIrSetTc9012]); }
int Hi_IR_FUNC_TEST_007() { return ten_keys("Hi_IR_FUNC_TEST_007", static_dev_param[kIrSetNecFull]); }
int Hi_IR_FUNC_TEST_008() { return ten_keys("Hi_IR_FUNC_TEST_008", static_dev_param[kIrSetSony]); }

int Hi_IR_STRONG_TEST_001() {
    constexpr const char* test = "Hi_IR_STRONG_TEST_001";
    start(test);
    Receiver ir(test);
    if (!ir.ok()) return -1;
    ir_dev_param p{};
    for (int i = 0; i < 13; ++i) {
        unsigned v = 0;
        if (!ask(kParamNames[i], v) || v > 0xFFFF) {
            std::printf("%s ERROR: bad input.\n", test);
            return -1;
        }
        p.*kParamFields[i] = static_cast<std::uint16_t>(v);
    }
    ir_dev_param got{};
    if (!set_params(ir, p) || dev_ioctl(ir.fd(), IR_GET_PARAM, &got) != 0) {
        std::printf("%s ERROR: set param fail.\n", test);
        return -1;
    }
    for (int i = 0; i < 13; ++i) std::printf("output %s = %d\n", kParamNames[i], got.*kParamFields[i]);
    return pass(test);
}

int Hi_IR_STRONG_TEST_002() {
    constexpr const char* test = "Hi_IR_STRONG_TEST_002";
    start(test);
    Receiver ir(test);
    if (!ir.ok()) return -1;
    bool accepted = false;
    for (unsigned long request = IR_ENABLE_KEYUP; request <= IR_SET_SLEADE; ++request)
        accepted |= dev_ioctl(ir.fd(), request, nullptr) == 0;
    accepted |= dev_ioctl(ir.fd(), IR_GET_PARAM, nullptr) == 0;
    accepted |= dev_ioctl(ir.fd(), IR_SET_BUF_LEN, nullptr) == 0;
    accepted |= ir.set(IR_SET_BUF_LEN, 0u);  // a buffer of no records
    for (const PairField& f : kPairs) accepted |= ir.set(f.request, ir_pair{200, 100});  // minimum above maximum
    accepted |= dev_ioctl(ir.fd(), 0x7F, nullptr) == 0;                                 // no such request
    irkey_info_s half{};
    accepted |= dev_read(ir.fd(), &half, sizeof half - 1) >= 0;                         // less than a record
    if (accepted) {
        std::printf("Hi_IR_STRONG_TEST_002 ERROR: critical input check fail.\n");
        return -1;
    }
    return pass(test);
}

int Hi_IR_STRONG_TEST_003() {
    constexpr const char* test = "Hi_IR_STRONG_TEST_003";
    start(test);
    Receiver ir(test, O_RDWR | O_NONBLOCK);
    if (!ir.ok()) return -1;
    clear_flags();
    std::printf("REMOTE_POWER key to finish the test...\n");
    std::printf("REMOTE_F4 key to set buffer length...\n");
    for (;;) {
        clk_sleep(1);
        irkey_info_s recs[32];
        const ssize_t got = dev_read(ir.fd(), recs, sizeof recs);
        if (got < 0 && errno != EAGAIN) {
            std::printf("%s ERROR: read fail.\n", test);
            return -1;
        }
        const int n = got < 0 ? 0 : static_cast<int>(static_cast<std::size_t>(got) / sizeof(irkey_info_s));
        std::printf("read %d unit key...\n", n);
        for (int i = 0; i < n; ++i) vorand_report_irkey(recs[i]);
        if (take(f4key_down) && !ask_buffer_length(test, ir)) return -1;
        if (take(powerkey_down)) return pass(test);
    }
}

std::thread Kv_IrRemote() {
    return start_worker([](void*) -> void* {
        Hi_IR_FUNC_TEST_001();
        return nullptr;
    }, nullptr);
}
