// The OpenIPMI device: the kernel's address checks and error numbers, and the
// bounded wait for a BMC that never answers. Which node opens and Get Device
// ID as the presence check: e2e hw-openipmi-nodes-tried-in-order-*; the whole
// run past a silent BMC: e2e silent-bmc-times-out-and-the-run-goes-on.
#include <errno.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "support/hw_state.h"
#include "support/sandbox.h"

namespace {

using ::testing::ElementsAre;

constexpr const char* kDeviceIdAnswer = "00 20 81 01 00 02 bf 00 00 00 01 00";
constexpr const char* kGuid = "35 30 30 31 51 4b 00 00 00 00 00 00 00 00 00 01";

std::string board_at(const std::string& device, const std::string& more = "") {
    return bmc_board("openipmi",
                     R"(, "device": ")" + device + R"(", "guid": ")" + kGuid + "\"" + more);
}

using OpenIpmiTest = HwTest;

// A silent BMC costs one bounded wait (5 s), then the monitor goes on
// without it; a receive on its own reports the time-out as errno.
TEST_F(OpenIpmiTest, SilentBmcTimesOut) {
    Sandbox sb(board_at("/dev/ipmi0", R"(, "respond": false)"));
    OutputCapture output;
    EXPECT_EQ(-1, IpmiInit());
    EXPECT_EQ(0, hDevice);
    EXPECT_EQ(-1, fd);
    EXPECT_EQ(5'000'000'000, sb.board().clock().elapsed_ns());
    EXPECT_EQ("ipmi openipmi 06/01 -> timeout", sb.trace().back());

    int dev = sys().open("/dev/ipmi0", O_RDWR);
    ASSERT_GE(dev, 0);
    EXPECT_EQ(0, ipmi_cmd_req2(dev, 12, 15, 0, 0, 7, 0x30, 0x93, 1, req_data));
    EXPECT_EQ(ETIMEDOUT, ipmi_cmd_recv2(dev, 12, 15, 0, 0, 7, 0x30, 0x93, 80, recv_data));
    EXPECT_EQ(10'000'000'000, sb.board().clock().elapsed_ns());
    EXPECT_EQ("Error: select(), errno=110\nError: select(), errno=110\n", output.err());
    sys().close(dev);
}

// Address types other than the system interface and IPMB are refused before
// the kernel sees them; the kernel's own refusals come back as errno.
TEST_F(OpenIpmiTest, RefusedRequestsReportTheirCause) {
    Sandbox sb(board_at("/dev/ipmi0"));
    int dev = sys().open("/dev/ipmi0", O_RDWR);
    ASSERT_GE(dev, 0);
    sb.clear_trace();
    struct Case {
        bool receive;
        int32_t addr_type;
        int16_t channel;
        uint16_t length;
        int32_t result;
        const char* message;
    };
    const Case cases[] = {
        {false, 4, 15, 0, -1, "Error: wrong address type.\n"},  // LAN
        {true, 4, 15, 80, -1, "Error: wrong address type.\n"},
        {false, 12, 0, 0, EINVAL, "Error: ioctl(), errno=22\n"},    // not on channel 15
        {false, 12, 15, 0, 0, ""},                                  // Get Device ID
        {true, 12, 15, 4, EMSGSIZE, "Error: ioctl(), errno=90\n"},  // longer than the buffer
        {true, 12, 15, 80, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        OutputCapture output;
        EXPECT_EQ(c.result, c.receive ? ipmi_cmd_recv2(dev, c.addr_type, c.channel, 0, 0, 1, 6, 1,
                                                       c.length, recv_data)
                                      : ipmi_cmd_req2(dev, c.addr_type, c.channel, 0, 0, 1, 6, 1,
                                                      c.length, req_data));
        EXPECT_EQ(c.message, output.err());
    }
    EXPECT_EQ(12, recv_data_len);
    EXPECT_THAT(sb.trace(), ElementsAre(std::string("ipmi openipmi 06/01 -> ") + kDeviceIdAnswer));
    sys().close(dev);
}

}  // namespace
