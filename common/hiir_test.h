// Test routines for the infrared receiver "/dev/Hi_IR", run by hand on a
// board with a console: they print instructions, read key records and print
// what came. Nothing in the system calls them.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/devices.h"

// A remote key: its name (padded with blanks) and its full irkey_datal value.
struct IrKeyAdapt {
    char name[16];
    std::uint32_t datal;
};
// The product remote (address 0x6B86) and the test key of the test remote.
extern const IrKeyAdapt g_irkey_adapt_array[8];
// The test remote's function keys that drive the routines.
extern const IrKeyAdapt g_irkey_test_keys[6];

// Receiver settings for the remotes the routines know, in 10 us steps.
constexpr int kIrParamSets = 16;
extern const ir_dev_param static_dev_param[kIrParamSets];
// Which of them suit the TC9012, NEC full-repeat and SONY remotes.
constexpr int kIrSetTc9012 = 4, kIrSetNecFull = 8, kIrSetSony = 12;

// Set by vorand_report_irkey on a key-down record of that key.
extern std::atomic<int> powerkey_down, mutekey_down, f1key_down, f2key_down, f3key_down, f4key_down;
extern std::atomic<std::uint32_t> nIrKey;  // the last key value reported

const char* Get_IrKey();
void vorand_report_irkey(irkey_info_s rcv_irkey_info);

// Each returns 0 after printing "<name> pass.", -1 on a failure.
int Hi_IR_FUNC_TEST_001();
int Hi_IR_FUNC_TEST_002();
int Hi_IR_FUNC_TEST_003();
int Hi_IR_FUNC_TEST_004();
int Hi_IR_FUNC_TEST_005();
int Hi_IR_FUNC_TEST_006();
int Hi_IR_FUNC_TEST_007();
int Hi_IR_FUNC_TEST_008();
int Hi_IR_STRONG_TEST_001();
int Hi_IR_STRONG_TEST_002();
int Hi_IR_STRONG_TEST_003();

// Runs Hi_IR_FUNC_TEST_001 on a thread of its own; the caller joins it.
std::thread Kv_IrRemote();
