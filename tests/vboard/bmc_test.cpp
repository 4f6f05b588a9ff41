// The BMC behind its two system interfaces, reached the way the monitor
// reaches it: the IMB driver's ioctl 0x1082 with its control block laid out
// byte for byte, and the OpenIPMI device with the kernel's own structures.
// Every command kind goes through both; the trace shows what the BMC saw and answered.
#include <errno.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/ipmi.h>
#include <sys/ioctl.h>

#include <array>
#include <cstring>
#include <sstream>

#include "support/sandbox.h"

namespace {

using Bytes = std::vector<uint8_t>;

// "eb 36": bytes written as hex.
Bytes hex(const std::string& text) {
    Bytes bytes;
    std::istringstream in(text);
    unsigned value;
    while (in >> std::hex >> value) bytes.push_back(uint8_t(value));
    return bytes;
}

// A little-endian 64-bit word of the control block (x86 byte order).
void put64(uint8_t* at, uint64_t value) { std::memcpy(at, &value, 8); }

struct ImbCall {
    uint8_t netfn = 0x06;
    uint8_t command = 0x01;
    Bytes data{};
    uint64_t timeout_us = 1000000;
    uint8_t responder = 0x20;
    uint64_t request_length = 64;
    uint64_t capacity = 64;
    uint64_t overlapped = 0;
};

struct ImbResult {
    int result;
    int error;
    Bytes response;  // the `count` bytes the driver reported
    uint64_t count;
    std::array<uint64_t, 2> status;
    std::array<uint8_t, 64> raw;  // the whole response buffer, 0xEE before the call
};

// Request: flags, timeout, responder, command, NetFn, LUN, length, data.
// Control block: status at 24, request and its length at 32/40, response
// and its capacity at 48/56, the count word at 64, overlapped at 72.
ImbResult imb(int fd, const ImbCall& call) {
    std::array<uint8_t, 64> request{};
    put64(&request[8], call.timeout_us);
    request[16] = call.responder;
    request[17] = call.command;
    request[18] = call.netfn;
    request[20] = uint8_t(call.data.size());
    std::copy(call.data.begin(), call.data.end(), request.begin() + 21);
    ImbResult out{};
    out.raw.fill(0xEE);
    out.status.fill(~0ull);
    out.count = call.capacity;
    std::array<uint8_t, 80> block{};
    put64(&block[24], reinterpret_cast<uintptr_t>(out.status.data()));
    put64(&block[32], reinterpret_cast<uintptr_t>(request.data()));
    put64(&block[40], call.request_length);
    put64(&block[48], reinterpret_cast<uintptr_t>(out.raw.data()));
    put64(&block[56], call.capacity);
    put64(&block[64], reinterpret_cast<uintptr_t>(&out.count));
    put64(&block[72], call.overlapped);
    errno = 0;
    out.result = sys().ioctl(fd, 0x1082, block.data());
    out.error = errno;
    if (out.result == 0) out.response.assign(out.raw.begin(), out.raw.begin() + out.count);
    return out;
}

struct SendCall {
    long msgid = 2;
    uint8_t netfn = 0x06;
    uint8_t command = 0x01;
    Bytes data{};
    int addr_type = IPMI_SYSTEM_INTERFACE_ADDR_TYPE;
    short channel = IPMI_BMC_CHANNEL;
    unsigned char slave = 0;
    unsigned char lun = 0;
    unsigned addr_len = 40;
    unsigned short data_len_override = 0;  // claim more data than given
};

int send(int fd, const SendCall& call) {
    ipmi_addr address{};  // the 40-byte block the program fills
    address.addr_type = call.addr_type;
    address.channel = call.channel;
    if (call.addr_type == IPMI_SYSTEM_INTERFACE_ADDR_TYPE) {
        reinterpret_cast<ipmi_system_interface_addr&>(address).lun = call.lun;
    } else {
        reinterpret_cast<ipmi_ipmb_addr&>(address).slave_addr = call.slave;
        reinterpret_cast<ipmi_ipmb_addr&>(address).lun = call.lun;
    }
    std::array<uint8_t, 300> data{};
    std::copy(call.data.begin(), call.data.end(), data.begin());
    ipmi_req request{};
    request.addr = reinterpret_cast<unsigned char*>(&address);
    request.addr_len = call.addr_len;
    request.msgid = call.msgid;
    request.msg.netfn = call.netfn;
    request.msg.cmd = call.command;
    request.msg.data_len = call.data_len_override ? call.data_len_override : call.data.size();
    request.msg.data = data.data();
    return sys().ioctl(fd, IPMICTL_SEND_COMMAND, &request);
}

struct Received {
    int result;
    int error;
    ipmi_recv recv;  // its pointers are cleared: they pointed into receive()
    ipmi_ipmb_addr address;
    Bytes data{};
};

Received receive(int fd, unsigned short capacity = 80,
                        unsigned long request = IPMICTL_RECEIVE_MSG) {
    Received out{};
    std::array<uint8_t, 40> address{};
    std::array<uint8_t, 80> data{};
    out.recv.addr = address.data();
    out.recv.addr_len = 40;
    out.recv.msgid = -1;
    out.recv.msg.data_len = capacity;
    out.recv.msg.data = data.data();
    errno = 0;
    out.result = sys().ioctl(fd, request, &out.recv);
    out.error = errno;
    std::memcpy(&out.address, address.data(), sizeof out.address);
    out.data.assign(data.begin(), data.begin() + std::min<size_t>(out.recv.msg.data_len, 80));
    out.recv.addr = nullptr;
    out.recv.msg.data = nullptr;
    return out;
}

const char* device_of(const std::string& interface) {
    return interface == "imb" ? "/dev/kvbmc" : "/dev/ipmi0";
}

// One request and its answer (completion code, then data) on `interface`;
// empty if the driver refused it.
Bytes transact(const std::string& interface, int fd, uint8_t netfn, uint8_t command,
                      const Bytes& data) {
    if (interface == "imb") return imb(fd, {netfn, command, data}).response;
    if (send(fd, {7, netfn, command, data}) != 0 || sys().wait_readable(fd, -1) != 1) return {};
    return receive(fd).data;
}

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
        "responses": {"30/93 00": "00 3C", "30/93": "00 99", "30/93 01": ["00 40", "00 41"]},
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
        // Successful reads of each kind are pinned by report-bmc-imb and report-bmc-openipmi.
        {0x06, 0x01, "", "00 20 81 01 00 02 bf 00 00 00 01 00"},
        // Master Write-Read on private bus 2 (0x05) takes 8-bit addresses.
        {0x06, 0x52, "05 2d 01 2b", "83"},  // a 7-bit address sent as is reaches 0x16
        {0x06, 0x52, "05 5a 01 30", "83"},  // a register whose read fails
        {0x06, 0x52, "09 5a 01 2b", "cc"},  // no bus 0x09
        {0x06, 0x52, "05 5a", "c7"},
        {0x06, 0x52, "05 5a 21 2b", "ca"},  // 33 bytes is more than the BMC returns
        // The OEM word proxy (30/23), high byte first; byte reads are pinned with the monitor.
        {0x30, 0x23, "05 5a 01 2b", "00 37 12"},
        {0x30, 0x23, "05 5a 02 2b", "cc"},
        // The OEM Super I/O proxy on the banked chip at 0x295.
        {0x30, 0x2C, "01 00 50", "00 00"},  // bank 0 does not have it
        {0x30, 0x2C, "01 01 52", "ff"},
        {0x30, 0x2C, "03 01 50", "cc"},
        // The responses table: with the data first, then the command alone.
        {0x30, 0x93, "00", "00 3c"},
        {0x30, 0x93, "05", "00 99"},
        // Several answers: one per request, in turn, then from the first again.
        {0x30, 0x93, "01", "00 40"},
        {0x30, 0x93, "01", "00 41"},
        {0x30, 0x93, "01", "00 40"},
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

// Nobody answers at responder 0x22: the request lasts its own timeout. A
// silent BMC: hw ImbTest.UnusableDriverFallsThroughToOpenIpmi.
TEST(ImbDriver, AnUnansweredRequestTimesOutAfterItsTimeout) {
    Bmc bmc(R"({"clock": {"virtual": true}, "bmc": {"interface": "imb"}})", "/dev/kvbmc");
    bmc.sb.clear_trace();
    ImbResult r = imb(bmc.fd, {0x06, 0x01, {}, 400000, 0x22});
    EXPECT_EQ(-1, r.result);
    EXPECT_EQ(ETIMEDOUT, r.error);
    EXPECT_EQ(400'000'000, bmc.sb.board().clock().elapsed_ns());
    EXPECT_THAT(bmc.sb.trace(), ElementsAre("ipmi imb rs 0x22 06/01 -> timeout"));
}

// ---- OpenIPMI specifics ----

TEST(OpenIpmi, ReceivedMessagesCarryTheRequestsIdentityAndFitTheBuffer) {
    Bmc bmc(bmc_board("openipmi"), "/dev/ipmi0");
    const int fd = bmc.fd;
    EXPECT_EQ(EAGAIN, receive(fd).error);
    ASSERT_EQ(0, send(fd, {65535, 0x30, 0x93, hex("00")}));
    EXPECT_EQ(1, sys().wait_readable(fd, 0));
    Received r = receive(fd);
    ASSERT_EQ(0, r.result);
    // Type, msgid, the response NetFn, command, address length, type and channel.
    EXPECT_EQ(std::vector<long>({IPMI_RESPONSE_RECV_TYPE, 65535, 0x31, 0x93,
                                 sizeof(ipmi_system_interface_addr),
                                 IPMI_SYSTEM_INTERFACE_ADDR_TYPE, IPMI_BMC_CHANNEL}),
              std::vector<long>({r.recv.recv_type, r.recv.msgid, r.recv.msg.netfn, r.recv.msg.cmd,
                                 long(r.recv.addr_len), r.address.addr_type, r.address.channel}));
    EXPECT_EQ(hex("00 3c"), r.data);

    // The truncating receive cuts what does not fit (the plain receive keeps
    // it: hw OpenIpmiTest.RefusedRequestsReportTheirCause).
    ASSERT_EQ(0, send(fd, {4, 0x06, 0x37, {}}));  // 17 bytes come back
    Received cut = receive(fd, 3, IPMICTL_RECEIVE_MSG_TRUNC);
    EXPECT_EQ(-1, cut.result);
    EXPECT_EQ(EMSGSIZE, cut.error);
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
    EXPECT_EQ(0, sys().wait_readable(bmc.fd, 5));  // the run goes on: silent-bmc-times-out-and-the-run-goes-on
    EXPECT_EQ(1, sys().wait_readable(bmc.fd, 100));
    EXPECT_EQ(20'000'000, bmc.sb.board().clock().elapsed_ns());
    EXPECT_EQ(0, receive(bmc.fd).result);

    // The IPMB answer is the driver's own 0xC3, after five seconds.
    bmc.sb.clear_trace();
    ASSERT_EQ(0, send(bmc.fd, {9, 0x06, 0x01, {}, IPMI_IPMB_ADDR_TYPE, 0, 0x52}));
    EXPECT_EQ(1, sys().wait_readable(bmc.fd, 6000));
    EXPECT_EQ(5'020'000'000, bmc.sb.board().clock().elapsed_ns());
    Received r = receive(bmc.fd);
    EXPECT_EQ(hex("c3"), r.data);
    EXPECT_EQ(0x52, r.address.slave_addr);
    EXPECT_THAT(bmc.sb.trace(), ElementsAre("ipmi openipmi ipmb 0 0x52 06/01 -> c3"));
}

// Its time-out: silent-bmc-times-out-and-the-run-goes-on.
TEST(OpenIpmi, ASilentBmcStopsARunThatWaitsForever) {
    Bmc bmc(R"({"clock": {"virtual": true}, "bmc": {"interface": "openipmi", "respond": false}})",
            "/dev/ipmi0");
    ASSERT_EQ(0, send(bmc.fd, {2, 0x30, 0x95, {}}));
    EXPECT_DEATH(sys().wait_readable(bmc.fd, -1),
                 "select\\(\\) on /dev/ipmi0 without a time limit.*hangs here forever");
}

}  // namespace
