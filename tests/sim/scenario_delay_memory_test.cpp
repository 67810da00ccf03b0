// The microcontroller's reply delay and the memory event of a scenario.
#include <gtest/gtest.h>

#include "sim/scenario.h"

namespace {

TEST(ScenarioReplyDelayAndMemory, AreReadAndBadDelaysNameTheirLine) {
    std::string error;
    auto s = sim::parse_scenario("mcu_reply_delay 1.5\n60 memory\n", "/base", error);
    ASSERT_TRUE(s.has_value()) << error;
    EXPECT_DOUBLE_EQ(s->mcu_reply_delay, 1.5);
    ASSERT_EQ(s->events.size(), 1u);
    EXPECT_DOUBLE_EQ(s->events[0].time, 60);
    EXPECT_EQ(s->events[0].verb, "memory");
    EXPECT_DOUBLE_EQ(sim::parse_scenario("", "/base", error)->mcu_reply_delay, 0);
    for (const char* bad : {"mcu_reply_delay -0.1\n", "mcu_reply_delay 3601\n", "mcu_reply_delay soon\n",
                            "mcu_reply_delay\n", "\n5 memory now\n"}) {
        EXPECT_FALSE(sim::parse_scenario(bad, "/base", error).has_value()) << bad;
        EXPECT_NE(error.find(std::string("line ") + (bad[0] == '\n' ? "2" : "1")), std::string::npos) << error;
    }
}

TEST(ScenarioReplyDelayAndMemory, MisplacedWordsAreNamedAsSettingOrEvent) {
    std::string error;
    EXPECT_FALSE(sim::parse_scenario("1 mcu_reply_delay 0.15\n", "/base", error).has_value());
    EXPECT_NE(error.find("mcu_reply_delay is a setting"), std::string::npos) << error;
    EXPECT_FALSE(sim::parse_scenario("memory\n", "/base", error).has_value());
    EXPECT_NE(error.find("memory is an event"), std::string::npos) << error;
}

}  // namespace
