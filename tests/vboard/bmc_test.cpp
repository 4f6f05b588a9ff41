// The BMC behind its two system interfaces. Every command kind goes through
// both; the trace shows what the BMC saw and answered.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "vboard/ipmi_calls.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A BMC on `interface` and everything it reaches: a chip on private bus 0x05,
// a banked monitor chip for the Super I/O proxy (behind an unbanked
// one at a lower port), and a responses table.
std::string bmc_board(const std::string& interface, const std::string& extra = "") {
    return R"({"clock": {"virtual": true}, )" + extra + R"(
      "ports": {
        "0x200": {"index_data": {"data": "0x201", "registers": {"0x50": "0xEE"}}},
        "0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E", "bank_mask": "0x07",
                  "registers": {"0x4E": "0x80"},
                  "banks": {"1": {"0x50": "0x2D", "0x51": "0x7A", "0x52": {"fail": true}}}}}},
      "bmc": {"interface": ")" + interface + R"(",
        "guid": "35 30 30 31 51 4B 00 00 00 00 00 00 00 00 00 01",
        "buses": {"0x05": [{"address": "0x2D", "registers": {"0x2B": "0x37", "0x2C": "0x12",
                                                             "0x30": {"fail": true}}}]},
        "isa_proxy": true,
        "responses": {"30/93 00": "00 3C", "30/93": "00 99"},
        "completion_codes": {"30/95": "0xC3", "30/92": "0x00"}}})";
}

const char* const kGuidAnswer = "00 35 30 30 31 51 4b 00 00 00 00 00 00 00 00 00 01";

// The board on `interface`, its node opened.
struct Bmc {
    explicit Bmc(const std::string& json, const char* node) : sb(json), fd(sys().open(node, O_RDWR)) {
        EXPECT_GE(fd, 0);
    }
    Sandbox sb;
    int fd;
};

class BmcCommands : public testing::TestWithParam<std::string> {};

INSTANTIATE_TEST_SUITE_P(Interfaces, BmcCommands, testing::Values("imb", "openipmi"));

TEST_P(BmcCommands, EachCommandKindIsAnsweredAndTraced) {
    const std::string interface = GetParam();
    struct Case {
        uint8_t netfn, command;
        const char* data;
        const char* response;  // completion code, then data
    };
    const Case cases[] = {
        // Get Device ID, Get System GUID.
        {0x06, 0x01, "", "00 20 81 01 00 02 bf 00 00 00 01 00"},
        {0x06, 0x37, "", kGuidAnswer},
        // Master Write-Read on private bus 2 (0x05): 8-bit addresses.
        {0x06, 0x52, "05 5a 02 2b", "00 37 12"},
        {0x06, 0x52, "05 2d 01 2b", "83"},  // a 7-bit address sent as is reaches 0x16
        {0x06, 0x52, "05 5a 01 30", "83"},  // a register whose read fails
        {0x06, 0x52, "09 5a 01 2b", "cc"},  // no bus 0x09
        {0x06, 0x52, "05 5a", "c7"},
        {0x06, 0x52, "05 5a 21 2b", "ca"},  // 33 bytes is more than the BMC returns
        // The OEM word proxy (30/23), high byte first; byte reads are pinned with the monitor.
        {0x30, 0x23, "05 5a 01 2b", "00 37 12"},
        {0x30, 0x23, "05 5a 02 2b", "cc"},
        // The OEM Super I/O proxy on the banked chip at 0x295.
        {0x30, 0x2C, "02 01 50", "00 2d 7a"},
        {0x30, 0x2C, "01 00 50", "00 00"},  // bank 0 does not have it
        {0x30, 0x2C, "01 01 52", "ff"},
        {0x30, 0x2C, "03 01 50", "cc"},
        // The responses table: with the data first, then the command alone.
        {0x30, 0x93, "00", "00 3c"},
        {0x30, 0x93, "05", "00 99"},
        {0x30, 0x90, "5a 00 2b 01", "c1"},
        // completion_codes: an error alone; 0x00 makes even an unknown command succeed.
        {0x30, 0x95, "", "c3"},
        {0x30, 0x92, "03 0a", "00"},
    };
    Bmc bmc(bmc_board(interface), device_of(interface));
    for (const Case& c : cases) {
        bmc.sb.clear_trace();
        char head[8];
        std::snprintf(head, sizeof head, "%02x/%02x", c.netfn, c.command);
        SCOPED_TRACE(std::string(head) + " " + c.data);
        EXPECT_EQ(hex(c.response), transact(interface, bmc.fd, c.netfn, c.command, hex(c.data)));
        EXPECT_THAT(bmc.sb.trace(), ElementsAre("ipmi " + interface + " " + head +
                                                (*c.data ? " " : "") + c.data + " -> " +
                                                c.response));
    }
}

TEST_P(BmcCommands, WritesReachTheChipsAndTheBankIsPutBack) {
    const std::string interface = GetParam();
    Bmc bmc(bmc_board(interface, R"("latency": {"ipmi_ms": 20},)"), device_of(interface));
    auto ask = [&](uint8_t netfn, uint8_t command, const char* data) {
        return transact(interface, bmc.fd, netfn, command, hex(data));
    };
    // SMBus: register, value; the pointer then stands after the register.
    EXPECT_EQ(hex("00"), ask(0x06, 0x52, "05 5a 00 40 80"));
    EXPECT_EQ(hex("00 00"), ask(0x30, 0x22, "05 5a 01"));  // at 0x41
    EXPECT_EQ(hex("00"), ask(0x30, 0x22, "05 5a 00 41 81 82"));
    EXPECT_EQ(hex("00 80 81 82"), ask(0x06, 0x52, "05 5a 03 40"));
    // Super I/O: bank 4, register 0x5F.
    EXPECT_EQ(hex("00"), ask(0x30, 0x2C, "00 04 5f 07"));
    EXPECT_EQ(hex("00 07"), ask(0x30, 0x2C, "01 04 5f"));
    EXPECT_EQ(6 * 20'000'000, bmc.sb.board().clock().elapsed_ns());  // ipmi_ms per request

    // The host sees the chip as the BMC left it: bank register unchanged, the
    // value in bank 4, and the unbanked chip at 0x200 untouched.
    ASSERT_EQ(0, sys().iopl(3));
    sys().outb(0x4E, 0x295);
    EXPECT_EQ(0x80, sys().inb(0x296));
    sys().outb(0x84, 0x296);
    sys().outb(0x5F, 0x295);
    EXPECT_EQ(0x07, sys().inb(0x296));
    sys().outb(0x50, 0x200);
    EXPECT_EQ(0xEE, sys().inb(0x201));

    // A forced completion code leaves the chip alone.
    Bmc forced(R"({"bmc": {"interface": ")" + interface + R"(", "device_id_cc": "0xC1",
        "buses": {"0x05": [{"address": "0x2D", "registers": {"0x2B": "0x37"}}]},
        "completion_codes": {"06/52": "0xC3"}}})",
               device_of(interface));
    EXPECT_EQ(hex("c1"), transact(interface, forced.fd, 0x06, 0x01, {}));
    EXPECT_EQ(hex("c3"), transact(interface, forced.fd, 0x06, 0x52, hex("05 5a 00 2b 99")));
    EXPECT_EQ(hex("00 37"), transact(interface, forced.fd, 0x30, 0x22, hex("05 5a 01 2b")));
}

// ---- IMB driver specifics ----

TEST(ImbDriver, ControlBlockAndWhatTheDriverRefuses) {
    Bmc bmc(bmc_board("imb"), "/dev/kvbmc");
    ImbResult r = imb(bmc.fd, {0x06, 0x52, hex("05 5a 01 2b"), 1000000, 0x20, 34, 34});
    ASSERT_EQ(0, r.result);
    EXPECT_EQ(hex("00 37"), r.response);
    EXPECT_EQ(0xEE, r.raw[2]);  // nothing written past the answer
    EXPECT_THAT(r.status, ElementsAre(0u, 2u));

    struct Refused {
        const char* what;
        ImbCall call;
        int error;
    };
    const Refused cases[] = {
        {"request shorter than its data", {0x06, 0x52, hex("05 5a 01 2b"), 0, 0x20, 24}, EINVAL},
        {"request shorter than the header", {0x06, 0x01, {}, 0, 0x20, 20}, EINVAL},
        {"NetFn beyond six bits", {0x46, 0x01, {}}, EINVAL},
        {"overlapped completion", {0x06, 0x01, {}, 0, 0x20, 64, 64, 0x1234}, EINVAL},
        {"answer larger than the buffer", {0x06, 0x37, {}, 0, 0x20, 64, 16}, EMSGSIZE},
    };
    bmc.sb.clear_trace();
    for (const Refused& c : cases) {
        ImbResult refused = imb(bmc.fd, c.call);
        EXPECT_EQ(-1, refused.result) << c.what;
        EXPECT_EQ(c.error, refused.error) << c.what;
        EXPECT_EQ(c.call.capacity, refused.count) << c.what;  // the count word is left alone
    }
    EXPECT_EQ(-1, sys().ioctl(bmc.fd, 0x1083, nullptr));
    EXPECT_EQ(ENOTTY, errno);
    EXPECT_EQ(-1, sys().ioctl(bmc.fd, 0x1082, nullptr));
    EXPECT_EQ(EFAULT, errno);
    // Only the request that reached the BMC is in the trace.
    EXPECT_THAT(bmc.sb.trace(), ElementsAre(std::string("ipmi imb 06/37 -> ") + kGuidAnswer));
}

TEST(ImbDriver, UnansweredRequestsTimeOutAfterTheirTimeout) {
    struct Case {
        const char* bmc;
        ImbCall call;
        int64_t elapsed_ns;
        const char* trace;
    };
    const Case cases[] = {
        {R"({"interface": "imb"})", {0x06, 0x01, {}, 400000, 0x22}, 400'000'000,
         "ipmi imb rs 0x22 06/01 -> timeout"},  // nobody at 0x22
        {R"({"interface": "imb", "respond": false})", {0x06, 0x52, hex("05 5a 01 2b")},
         1'000'000'000, "ipmi imb 06/52 05 5a 01 2b -> timeout"},
    };
    for (const Case& c : cases) {
        Bmc bmc(std::string(R"({"clock": {"virtual": true}, "bmc": )") + c.bmc + "}", "/dev/kvbmc");
        bmc.sb.clear_trace();
        ImbResult r = imb(bmc.fd, c.call);
        EXPECT_EQ(-1, r.result);
        EXPECT_EQ(ETIMEDOUT, r.error);
        EXPECT_EQ(c.elapsed_ns, bmc.sb.board().clock().elapsed_ns());
        EXPECT_THAT(bmc.sb.trace(), ElementsAre(c.trace));
    }
}

// ---- OpenIPMI specifics ----

TEST(OpenIpmi, ReceivedMessagesCarryTheRequestsIdentityAndFitTheBuffer) {
    Bmc bmc(bmc_board("openipmi"), "/dev/ipmi0");
    const int fd = bmc.fd;
    EXPECT_EQ(EAGAIN, receive(fd).error);
    ASSERT_EQ(0, send(fd, {0, 0x06, 0x01, {}}));
    ASSERT_EQ(0, send(fd, {65535, 0x30, 0x93, hex("00")}));
    EXPECT_EQ(1, sys().wait_readable(fd, 0));
    Received first = receive(fd);
    ASSERT_EQ(0, first.result);
    EXPECT_EQ(IPMI_RESPONSE_RECV_TYPE, first.recv.recv_type);
    EXPECT_EQ(0, first.recv.msgid);
    EXPECT_EQ(0x07, first.recv.msg.netfn);  // the response NetFn
    EXPECT_EQ(0x01, first.recv.msg.cmd);
    EXPECT_EQ(12, first.recv.msg.data_len);
    EXPECT_EQ(sizeof(ipmi_system_interface_addr), first.recv.addr_len);
    EXPECT_EQ(IPMI_SYSTEM_INTERFACE_ADDR_TYPE, first.address.addr_type);
    EXPECT_EQ(IPMI_BMC_CHANNEL, first.address.channel);
    Received second = receive(fd);
    EXPECT_EQ(65535, second.recv.msgid);
    EXPECT_EQ(0x31, second.recv.msg.netfn);
    EXPECT_EQ(hex("00 3c"), second.data);

    // Too small a buffer keeps the message; the truncating receive cuts it.
    ASSERT_EQ(0, send(fd, {3, 0x06, 0x37, {}}));  // 17 bytes come back
    Received small = receive(fd, 16);
    EXPECT_EQ(-1, small.result);
    EXPECT_EQ(EMSGSIZE, small.error);
    EXPECT_EQ(-1, small.recv.msgid);  // the caller's record is not touched
    EXPECT_EQ(hex(kGuidAnswer), receive(fd, 17).data);
    ASSERT_EQ(0, send(fd, {4, 0x06, 0x37, {}}));
    Received cut = receive(fd, 3, IPMICTL_RECEIVE_MSG_TRUNC);
    EXPECT_EQ(-1, cut.result);
    EXPECT_EQ(EMSGSIZE, cut.error);
    EXPECT_EQ(4, cut.recv.msgid);
    EXPECT_EQ(hex("00 35 30"), cut.data);
    EXPECT_EQ(EAGAIN, receive(fd).error);  // the rest is gone
}

TEST(OpenIpmi, SendIsCheckedAsTheKernelChecksIt) {
    Bmc bmc(bmc_board("openipmi"), "/dev/ipmi0");
    bmc.sb.clear_trace();
    struct Refused {
        const char* what;
        SendCall call;
        int error;
    };
    const Refused cases[] = {
        {"system interface off the BMC channel", {.channel = 0}, EINVAL},
        {"LUN beyond two bits", {.lun = 4}, EINVAL},
        {"address longer than struct ipmi_addr", {.addr_len = 41}, EINVAL},
        {"address shorter than the system interface's", {.addr_len = 6}, EINVAL},
        {"IPMB on the BMC channel", {.addr_type = IPMI_IPMB_ADDR_TYPE, .slave = 0x20}, EINVAL},
        {"Send Message is the driver's own", {.command = 0x34}, EINVAL},
        {"more data than a message holds", {.data_len_override = 273}, EMSGSIZE},
    };
    for (const Refused& c : cases) {
        errno = 0;
        EXPECT_EQ(-1, send(bmc.fd, c.call)) << c.what;
        EXPECT_EQ(c.error, errno) << c.what;
    }
    EXPECT_EQ(-1, sys().ioctl(bmc.fd, IPMICTL_SEND_COMMAND, nullptr));
    EXPECT_EQ(EFAULT, errno);
    EXPECT_EQ(-1, sys().ioctl(bmc.fd, 0x1082, nullptr));
    EXPECT_EQ(ENOTTY, errno);
    EXPECT_THAT(bmc.sb.trace(), IsEmpty());  // nothing reached the BMC
    EXPECT_EQ(EAGAIN, receive(bmc.fd).error);
}

TEST(OpenIpmi, AnswersWaitForTheLatencyAndNobodyAnswersOnTheIpmb) {
    Bmc bmc(bmc_board("openipmi", R"("latency": {"ipmi_ms": 20},)"), "/dev/ipmi0");
    ASSERT_EQ(0, send(bmc.fd, {5, 0x06, 0x01, {}}));
    EXPECT_EQ(EAGAIN, receive(bmc.fd).error);  // not yet there
    errno = 0;
    EXPECT_EQ(0, sys().wait_readable(bmc.fd, 5));
    EXPECT_EQ(ETIMEDOUT, errno);
    EXPECT_EQ(1, sys().wait_readable(bmc.fd, 100));
    EXPECT_EQ(20'000'000, bmc.sb.board().clock().elapsed_ns());
    EXPECT_EQ(0, receive(bmc.fd).result);

    // The IPMB answer is the driver's own 0xC3, after five seconds.
    bmc.sb.clear_trace();
    ASSERT_EQ(0, send(bmc.fd, {9, 0x06, 0x01, {}, IPMI_IPMB_ADDR_TYPE, 0, 0x52}));
    EXPECT_EQ(1, sys().wait_readable(bmc.fd, 6000));
    EXPECT_EQ(5'020'000'000, bmc.sb.board().clock().elapsed_ns());
    Received r = receive(bmc.fd);
    EXPECT_EQ(9, r.recv.msgid);
    EXPECT_EQ(hex("c3"), r.data);
    EXPECT_EQ(IPMI_IPMB_ADDR_TYPE, r.address.addr_type);
    EXPECT_EQ(0x52, r.address.slave_addr);
    EXPECT_THAT(bmc.sb.trace(), ElementsAre("ipmi openipmi ipmb 0 0x52 06/01 -> c3"));
}

TEST(OpenIpmi, ASilentBmcTimesOutOrStopsARunThatWaitsForever) {
    Bmc bmc(R"({"clock": {"virtual": true}, "bmc": {"interface": "openipmi", "respond": false}})",
            "/dev/ipmi0");
    bmc.sb.clear_trace();
    ASSERT_EQ(0, send(bmc.fd, {2, 0x30, 0x95, {}}));
    errno = 0;
    EXPECT_EQ(0, sys().wait_readable(bmc.fd, 1500));
    EXPECT_EQ(ETIMEDOUT, errno);
    EXPECT_EQ(1'500'000'000, bmc.sb.board().clock().elapsed_ns());
    EXPECT_EQ(EAGAIN, receive(bmc.fd).error);
    EXPECT_THAT(bmc.sb.trace(), ElementsAre("ipmi openipmi 30/95 -> timeout"));
    EXPECT_DEATH(sys().wait_readable(bmc.fd, -1),
                 "select\\(\\) on /dev/ipmi0 without a time limit.*hangs here forever");
}

}  // namespace
