// The IMB driver: the sequence counter, and the fall through to the OpenIPMI
// device when the driver refuses or is silent. Opening it and its Master
// Write-Read requests are pinned by report-bmc-imb, the SMBus route accesses
// and fault-bmc-error-code-over-imb-shows-not-available.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/hw_state.h"
#include "support/sandbox.h"

namespace {

using ::testing::ElementsAre;

using ImbTest = HwTest;

// A time-out completion code fails both directions, and still steps the counter.
TEST_F(ImbTest, EveryRequestStepsTheCounter) {
    Sandbox sb(bmc_board("imb", R"(, "completion_codes": {"06/52": "0xC3"})"));
    ASSERT_EQ(0, IpmiInit());
    EXPECT_EQ(2, seqNo);
    uint32_t value = 0xAAAA;
    EXPECT_EQ(-1, IpmiRead(0x2D, 0x2B, &value));
    EXPECT_EQ(-1, IpmiWrite(0x2D, 0x40, 0x80));
    EXPECT_EQ(0xAAAAu, value);
    EXPECT_EQ(4, seqNo);
}

// The IMB counter skips 0 and 1 in its low byte; the OpenIPMI message ID
// simply counts.
TEST_F(ImbTest, CounterSteps) {
    struct Step {
        uint16_t from, imb, message_id;
    };
    for (const Step& s : {Step{2, 3, 3}, Step{0x00FE, 0x00FF, 0x00FF}, Step{0x00FF, 0x0002, 0x0100},
                          Step{0x01FF, 0x0102, 0x0200}, Step{0xFFFF, 0xFF02, 0x0002}}) {
        seqNo = s.from;
        advance_imb_sequence();
        EXPECT_EQ(s.imb, seqNo) << std::hex << s.from;
        seqNo = s.from;
        advance_message_id();
        EXPECT_EQ(s.message_id, seqNo) << std::hex << s.from;
    }
}

// A driver that refuses Get Device ID, or never answers it within the 400 ms
// the request allows, counts as absent: the OpenIPMI names are tried next.
TEST_F(ImbTest, UnusableDriverFallsThroughToOpenIpmi) {
    struct Case {
        const char* bmc;
        const char* answer;
        int64_t board_time_ns;
    };
    for (const Case& c : {Case{R"(, "device_id_cc": "0xC1")", "c1", 0},
                          Case{R"(, "respond": false)", "timeout", 400'000'000}}) {
        SCOPED_TRACE(c.answer);
        Sandbox sb(bmc_board("imb", c.bmc));
        EXPECT_EQ(-1, IpmiInit());
        EXPECT_EQ(0, hDevice);
        EXPECT_EQ(0, ipmi_driver_option);
        EXPECT_EQ(0, seqNo);
        ASSERT_EQ(5u, sb.trace().size());
        EXPECT_EQ("open /dev/kvbmc -> ", sb.trace()[0].substr(0, 19));
        EXPECT_THAT(
            std::vector<std::string>(sb.trace().begin() + 1, sb.trace().end()),
            ElementsAre(std::string("ipmi imb 06/01 -> ") + c.answer, "open /dev/ipmidev/0 -> -1",
                        "open /dev/ipmi/0 -> -1", "open /dev/ipmi0 -> -1"));
        EXPECT_EQ(c.board_time_ns, sb.board().clock().elapsed_ns());
    }
}

}  // namespace
