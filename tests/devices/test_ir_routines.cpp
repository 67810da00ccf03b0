// The infrared receiver's test routines against the simulated receiver: the
// key table, what the reporting switches do to a held key, and the driver
// requests they make.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>

#include "ir_console.h"
#include "common/hiir_test.h"

namespace {

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class IrRoutines : public IrConsoleTest {
protected:
    static ir_dev_param receiver_params() {
        ir_dev_param p{};
        const int fd = dev_open("/dev/Hi_IR", O_RDONLY);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(dev_ioctl(fd, IR_GET_PARAM, &p), 0);
        dev_close(fd);
        return p;
    }
};

TEST_F(IrRoutines, KeyTableHoldsTheProductRemoteCodesAndReportsKeysFromTheReceiver) {
    const int codes[7] = {16, 18, 5, 27, 26, 4, 6};  // menu, back, OK, up, down, left, right
    for (int i = 0; i < 7; ++i) {
        const std::uint32_t v = g_irkey_adapt_array[i].datal;
        EXPECT_EQ(v & 0xFFFF, 0x6B86u);
        EXPECT_EQ(static_cast<int>(v >> 16 & 0xFF), codes[i]);
        EXPECT_EQ(v >> 24, ~v >> 16 & 0xFF);
        EXPECT_EQ(std::strlen(g_irkey_adapt_array[i].name), 15u);
    }
    EXPECT_EQ(std::string(g_irkey_adapt_array[7].name).substr(0, 6), "MYTEST");

    const int fd = dev_open("/dev/Hi_IR", O_RDONLY);
    ASSERT_GE(fd, 0);
    host::ir_press(5);   // OK: down, then released
    host::ir_press(99);  // not on the remote
    std::string out = output([&] {
        for (int i = 0; i < 3; ++i) {
            irkey_info_s rec{};
            ASSERT_EQ(dev_read(fd, &rec, sizeof rec), 12);
            vorand_report_irkey(rec);
        }
    });
    dev_close(fd);
    EXPECT_EQ(out,
              "keyvalue=H/L 0x0/0xfa056b86\nnIrKey= 0xfa056b86 \nRECEIVE ---> REMOTE_OK      \t\n"
              "keyvalue=H/L 0x0/0xfa056b86\nnIrKey= 0xfa056b86 \nRECEIVE ---> REMOTE_OK      \tKEYUP...\n"
              "Error. get a invalid code. irkey_datah=0x00000000,irkey_datal=0x9c636b86.\n");
    EXPECT_EQ(nIrKey.load(), 0xFA056B86u);
    out = output([] { vorand_report_irkey(irkey_info_s{1, 0xFA056B86, 0}); });
    EXPECT_EQ(out, "Error. get a invalid code. irkey_datah=0x00000001,irkey_datal=0xfa056b86.\n");
}

TEST_F(IrRoutines, OnlyAKeyDownRecordSetsATestKeyFlag) {
    // A repeat (2) or a release (1) of a held function key must not act again.
    const struct { std::uint32_t state; int flag; } cases[] = {{0, 1}, {1, 0}, {2, 0}, {3, 0}};
    for (const auto& c : cases) {
        for (std::uint32_t key : {kPower, kF4}) {
            powerkey_down = 0;
            f4key_down = 0;
            output([&] { vorand_report_irkey(irkey_info_s{0, key, c.state}); });
            EXPECT_EQ((key == kPower ? powerkey_down : f4key_down).load(), c.flag) << "state " << c.state;
        }
    }
    powerkey_down = 0;
    f4key_down = 0;
}

TEST_F(IrRoutines, RemoteThreadSetsTheRepeatDelayOnMuteAndEndsOnPower) {
    console("250\n");
    host::ir_press(27);
    host::ir_push(kMute, 0);
    host::ir_push(kPower, 0);
    const std::string out = output([] { Kv_IrRemote().join(); });
    EXPECT_EQ(out.rfind("Hi_IR_FUNC_TEST_001 start...\nREMOTE_POWER key to finish the test...\n", 0), 0u) << out;
    EXPECT_EQ(count(out, "RECEIVE ---> REMOTE_UP"), 2);
    EXPECT_NE(out.find("RECEIVE ---> REMOTE_MUTE"), std::string::npos);
    EXPECT_NE(out.find("Hi_IR_FUNC_TEST_001 pass.\n"), std::string::npos);
    std::string log;
    for (const auto& l : host::board_log_lines("ir")) log += l + "\n";
    EXPECT_EQ(count(log, "repeat delay 250"), 1) << log;
}

TEST_F(IrRoutines, FunctionKeysSwitchReleaseAndRepeatReportingOfAHeldKey) {
    host::ir_press(4, 2);  // left held: down, two repeats, release
    host::ir_push(kF2, 0); // repeats off
    host::ir_press(4, 2);
    host::ir_push(kF1, 0); // releases off
    host::ir_press(4, 2);
    host::ir_push(kPower, 0);
    const std::string out = output([] { EXPECT_EQ(Hi_IR_FUNC_TEST_005(), 0); });
    // 4 records, then down and release, then the down alone.
    EXPECT_EQ(count(out, "RECEIVE ---> REMOTE_LEFT"), 4 + 2 + 1) << out;
    EXPECT_EQ(count(out, "REMOTE_LEFT    \tKEYUP"), 2);
    EXPECT_NE(out.find("repkey reporting 0\n"), std::string::npos);
    EXPECT_NE(out.find("keyup reporting 0\n"), std::string::npos);
    EXPECT_NE(out.find("Hi_IR_FUNC_TEST_005 pass.\n"), std::string::npos);
}

TEST_F(IrRoutines, OpenRulesAndParameterRoundTripsOfTheDriver) {
    std::string out = output([] {
        EXPECT_EQ(Hi_IR_FUNC_TEST_002(), 0);
        EXPECT_EQ(Hi_IR_FUNC_TEST_003(), 0);
        EXPECT_EQ(Hi_IR_FUNC_TEST_004(), 0);
        EXPECT_EQ(Hi_IR_STRONG_TEST_002(), 0);
    });
    for (const char* t : {"Hi_IR_FUNC_TEST_002", "Hi_IR_FUNC_TEST_003", "Hi_IR_FUNC_TEST_004", "Hi_IR_STRONG_TEST_002"})
        EXPECT_NE(out.find(std::string(t) + " start...\n"), std::string::npos) << t;
    EXPECT_EQ(count(out, " pass.\n"), 4) << out;
    // Each set goes with requests 16 to 18 (the pairs are read back): 16 sets, none left out.
    host::board_log_clear();
    output([] { EXPECT_EQ(Hi_IR_FUNC_TEST_004(), 0); });
    std::vector<std::string> singles;
    for (int i = 0; i < 16; ++i)
        singles.insert(singles.end(), {"ir: release keys 1", "ir: repeat keys 1", "ir: repeat delay 110"});
    EXPECT_EQ(host::board_log_lines("ir"), singles);
    // The last set stays in the receiver.
    const ir_dev_param p = receiver_params();
    EXPECT_EQ(p.leads_min, static_dev_param[15].leads_min);
    EXPECT_EQ(p.sleade_max, static_dev_param[15].sleade_max);

    // A receiver held open elsewhere, a failing open, a failing read-back.
    const int held = dev_open("/dev/Hi_IR", O_RDONLY);
    out = output([] { EXPECT_EQ(Hi_IR_FUNC_TEST_002(), -1); });
    EXPECT_NE(out.find("Hi_IR_FUNC_TEST_002 ERROR:can not open Hi_IR device. read return -1\n"), std::string::npos);
    dev_close(held);
    host::inject_failure("open /dev/Hi_IR", 4);
    out = output([] { EXPECT_EQ(Hi_IR_FUNC_TEST_003(), -1); });
    EXPECT_NE(out.find("Hi_IR_FUNC_TEST_003 ERROR:can not open Hi_IR device."), std::string::npos);
    host::clear_failures();
    host::inject_failure(host::ioctl_op("/dev/Hi_IR", IR_GET_PARAM));
    out = output([] { EXPECT_EQ(Hi_IR_FUNC_TEST_004(), -1); });
    EXPECT_NE(out.find("Hi_IR_FUNC_TEST_004 ERROR. need check ioctl fun.\n"), std::string::npos);
    // A routine left no descriptor open.
    const int fd = dev_open("/dev/Hi_IR", O_RDONLY);
    EXPECT_GE(fd, 0);
    dev_close(fd);
}

TEST_F(IrRoutines, RemoteTypeSetsPrintTenRecordsAndTheConsoleSetsAllPairs) {
    const struct {
        int (*test)();
        int set;
    } types[] = {{Hi_IR_FUNC_TEST_006, kIrSetTc9012}, {Hi_IR_FUNC_TEST_007, kIrSetNecFull},
                 {Hi_IR_FUNC_TEST_008, kIrSetSony}};
    for (const auto& t : types) {
        for (int i = 0; i < 5; ++i) host::ir_press(static_cast<std::uint8_t>(26 + i % 2));
        const std::string out = output([&] { EXPECT_EQ(t.test(), 0); });
        EXPECT_EQ(count(out, "RECEIVE ---> irkey_datah=0x00000000, irkey_datal=0x"), 10);
        EXPECT_EQ(count(out, "KEYUP..."), 5);
        EXPECT_NE(out.find("irkey_datal=0xe51a6b86\t\n"), std::string::npos);
        EXPECT_NE(out.find("random press 10 keys...\n"), std::string::npos);
        const ir_dev_param p = receiver_params();
        EXPECT_EQ(p.leads_min, static_dev_param[t.set].leads_min);
        EXPECT_EQ(p.cnt1_b_max, static_dev_param[t.set].cnt1_b_max);
    }

    console("38 1 32 100 200 101 201 102 202 103 203 104 204\n");
    std::string out = output([] { EXPECT_EQ(Hi_IR_STRONG_TEST_001(), 0); });
    EXPECT_NE(out.find("input frequence = "), std::string::npos);
    EXPECT_NE(out.find("output leads_min = 100\noutput leads_max = 200\n"), std::string::npos) << out;
    EXPECT_NE(out.find("output sleade_min = 104\noutput sleade_max = 204\n"), std::string::npos);
    // A pair the driver refuses (minimum above maximum) is reported.
    console("38 1 32 300 200 101 201 102 202 103 203 104 204\n");
    out = output([] { EXPECT_EQ(Hi_IR_STRONG_TEST_001(), -1); });
    EXPECT_EQ(out.find(" pass."), std::string::npos);
}

TEST_F(IrRoutines, PollingTestCountsWhatArrivedEachSecond) {
    host::ir_press(5);
    host::ir_push(kPower, 0);
    const std::string out = output([] { EXPECT_EQ(Hi_IR_STRONG_TEST_003(), 0); });
    EXPECT_NE(out.find("read 3 unit key...\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Hi_IR_STRONG_TEST_003 pass.\n"), std::string::npos);
    host::inject_failure("read /dev/Hi_IR");
    EXPECT_NE(output([] { EXPECT_EQ(Hi_IR_STRONG_TEST_003(), -1); }).find("ERROR: read fail."), std::string::npos);
}

}  // namespace
