// The IMB driver: opening it with Get Device ID, the Master Write-Read proxy
// (request bytes, completion codes), the sequence counter, and the fall
// through to the OpenIPMI device when the driver is missing or silent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bmc_test_support.h"
#include "support/sandbox.h"

namespace {

using ::testing::ElementsAre;

constexpr const char* kDeviceIdAnswer = "00 20 81 01 00 02 bf 00 00 00 01 00";

const std::string kProxyBoard = bmc_board("imb", R"(,
    "buses": {"0x05": [{"address": "0x2D", "registers": {"0x2B": "0x37", "0x30": {"fail": true}}}]})");

std::string open_line(const char* path, int fd) {
    return std::string("open ") + path + " -> " + std::to_string(fd);
}

using ImbTest = BmcTest;

TEST_F(ImbTest, InitOpensTheDriverAfterGetDeviceId) {
    Sandbox sb(kProxyBoard);
    EXPECT_EQ(0, IpmiInit());
    EXPECT_GT(hDevice, 0);
    EXPECT_EQ(1, ipmi_driver_option);
    EXPECT_EQ(2, seqNo);
    EXPECT_THAT(sb.trace(), ElementsAre(open_line("/dev/kvbmc", hDevice),
                                        std::string("ipmi imb 06/01 -> ") + kDeviceIdAnswer));
}

struct ProxyCase {
    const char* what;
    bool write;
    uint32_t slave, reg, value;
    const char* trace;
    int32_t result;
    uint32_t read_back;  // what a read delivers (0xAAAA: left untouched)
};

TEST_F(ImbTest, ProxiedReadsAndWritesSendMasterWriteReadOnPrivateBus2) {
    const ProxyCase cases[] = {
        {"read", false, 0x2D, 0x2B, 0, "ipmi imb 06/52 05 5a 01 2b -> 00 37", 0, 0x37},
        {"read NAK", false, 0x2D, 0x30, 0, "ipmi imb 06/52 05 5a 01 30 -> 83", -1, 0xAAAA},
        {"absent chip", false, 0x2E, 0x00, 0, "ipmi imb 06/52 05 5c 01 00 -> 83", -1, 0xAAAA},
        {"write", true, 0x2D, 0x40, 0x80, "ipmi imb 06/52 05 5a 00 40 80 -> 00", 0, 0},
        {"read back", false, 0x2D, 0x40, 0, "ipmi imb 06/52 05 5a 01 40 -> 00 80", 0, 0x80},
        {"write absent", true, 0x2E, 0x40, 0x80, "ipmi imb 06/52 05 5c 00 40 80 -> 83", -1, 0},
    };
    Sandbox sb(kProxyBoard);
    ASSERT_EQ(0, IpmiInit());
    for (const ProxyCase& c : cases) {
        SCOPED_TRACE(c.what);
        sb.clear_trace();
        uint32_t value = 0xAAAA;
        int32_t result =
            c.write ? IpmiWrite(c.slave, c.reg, c.value) : IpmiRead(c.slave, c.reg, &value);
        EXPECT_EQ(c.result, result);
        if (!c.write) {
            EXPECT_EQ(c.read_back, value);
        }
        EXPECT_THAT(sb.trace(), ElementsAre(c.trace));
    }
}

TEST_F(ImbTest, TimeOutCompletionCodeFailsBothDirections) {
    Sandbox sb(bmc_board("imb", R"(, "completion_codes": {"06/52": "0xC3"})"));
    ASSERT_EQ(0, IpmiInit());
    sb.clear_trace();
    uint32_t value = 0xAAAA;
    EXPECT_EQ(-1, IpmiRead(0x2D, 0x2B, &value));
    EXPECT_EQ(0xAAAAu, value);
    EXPECT_EQ(-1, IpmiWrite(0x2D, 0x40, 0x80));
    EXPECT_THAT(sb.trace(), ElementsAre("ipmi imb 06/52 05 5a 01 2b -> c3",
                                        "ipmi imb 06/52 05 5a 00 40 80 -> c3"));
}

TEST_F(ImbTest, CounterLowByteWrapsFrom255To2) {
    Sandbox sb(kProxyBoard);
    ASSERT_EQ(0, IpmiInit());
    uint32_t value = 0;
    for (int i = 0; i < 253; ++i) IpmiRead(0x2D, 0x2B, &value);
    EXPECT_EQ(255, seqNo);
    IpmiWrite(0x2D, 0x40, 0x80);  // failed or not, every request steps it
    EXPECT_EQ(2, seqNo);
    IpmiRead(0x2E, 0x00, &value);
    EXPECT_EQ(3, seqNo);
}

TEST_F(ImbTest, CounterSteps) {
    struct Step {
        uint16_t from, imb, message_id;
    };
    const Step steps[] = {{2, 3, 3},
                          {0x00FE, 0x00FF, 0x00FF},
                          {0x00FF, 0x0002, 0x0100},
                          {0x01FF, 0x0102, 0x0200},
                          {0xFFFF, 0xFF02, 0x0002}};
    for (const Step& s : steps) {
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
    const Case cases[] = {{R"(, "device_id_cc": "0xC1")", "c1", 0},
                          {R"(, "respond": false)", "timeout", 400'000'000}};
    for (const Case& c : cases) {
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
