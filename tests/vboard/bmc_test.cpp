// The BMC behind its two system interfaces: the IMB driver's ioctl 0x1082
// with its control block laid out byte for byte, and the OpenIPMI device with
// the kernel's own structures. Every command kind goes through both; the
// trace shows what the BMC saw and answered.
#include <errno.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/ipmi.h>
#include <sys/ioctl.h>

#include <array>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Bytes = std::vector<uint8_t>;

Bytes hex(const std::string& text) {
    Bytes bytes;
    std::istringstream in(text);
    unsigned value;
    while (in >> std::hex >> value) bytes.push_back(uint8_t(value));
    return bytes;
}

// A board with a BMC on `interface` and everything the BMC reaches: chips on
// private buses 0x05 and 0x07, a banked monitor chip for the Super I/O proxy
// (behind an unbanked one at a lower port), and a responses table.
std::string bmc_board(const std::string& interface, const std::string& extra = "") {
    return R"({"clock": {"virtual": true}, )" + extra + R"(
      "ports": {
        "0x200": {"index_data": {"data": "0x201", "registers": {"0x50": "0xEE"}}},
        "0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E", "bank_mask": "0x07",
                  "registers": {"0x4E": "0x80"},
                  "banks": {"1": {"0x50": "0x2D", "0x51": "0x7A", "0x52": {"fail": true}},
                            "4": {"0x5F": "0x05"}}}}},
      "bmc": {"interface": ")" +
           interface + R"(",
        "guid": "35 30 30 31 51 4B 00 00 00 00 00 00 00 00 00 01",
        "buses": {"0x05": [{"address": "0x2D", "registers": {"0x2B": "0x37", "0x2C": "0x12",
                                                             "0x30": {"fail": true}}}],
                  "0x07": [{"address": "0x5A", "registers": {"0x10": "0x44"}}]},
        "isa_proxy": true,
        "responses": {"30/93 00": "00 3C", "30/93": "00 99",
                      "30/21": "00 34 06 00 01 00 00 00 00 00 00"},
        "completion_codes": {"30/95": "0xC3", "30/92": "0x00"}}})";
}

// ---- the IMB driver's control block ----

void put64(uint8_t* at, uint64_t value) {
    for (int i = 0; i < 8; ++i) at[i] = uint8_t(value >> (8 * i));
}

uint64_t get64(const uint8_t* at) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= uint64_t(at[i]) << (8 * i);
    return value;
}

uint64_t address_of(const void* pointer) {
    return reinterpret_cast<uintptr_t>(pointer);
}

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
    std::array<uint8_t, 16> status;
    std::array<uint8_t, 64> raw;  // the whole response buffer
};

ImbResult imb(int fd, const ImbCall& call) {
    std::array<uint8_t, 64> request{};
    put64(&request[0], 0);  // flags
    put64(&request[8], call.timeout_us);
    request[16] = call.responder;
    request[17] = call.command;
    request[18] = call.netfn;
    request[19] = 0;  // LUN
    request[20] = uint8_t(call.data.size());
    std::copy(call.data.begin(), call.data.end(), request.begin() + 21);

    ImbResult out{};
    out.raw.fill(0xEE);
    out.status.fill(0xEE);
    out.count = call.capacity;
    std::array<uint8_t, 80> block{};
    put64(&block[24], address_of(out.status.data()));
    put64(&block[32], address_of(request.data()));
    put64(&block[40], call.request_length);
    put64(&block[48], address_of(out.raw.data()));
    put64(&block[56], call.capacity);
    put64(&block[64], address_of(&out.count));
    put64(&block[72], call.overlapped);
    errno = 0;
    out.result = sys().ioctl(fd, 0x1082, block.data());
    out.error = errno;
    if (out.result == 0) out.response.assign(out.raw.begin(), out.raw.begin() + out.count);
    return out;
}

// ---- the OpenIPMI device ----

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
    request.msg.data_len =
        call.data_len_override ? call.data_len_override : (unsigned short)(call.data.size());
    request.msg.data = data.data();
    return sys().ioctl(fd, IPMICTL_SEND_COMMAND, &request);
}

struct Received {
    int result;
    int error;
    ipmi_recv recv;
    ipmi_system_interface_addr address;
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
    out.recv.addr = nullptr;  // points into this function's frame
    out.recv.msg.data = nullptr;
    return out;
}

// One request and its answer, as the program makes them on each interface.
Bytes transact(const std::string& interface, int fd, uint8_t netfn, uint8_t command,
               const Bytes& data) {
    if (interface == "imb") {
        ImbResult r = imb(fd, {netfn, command, data});
        EXPECT_EQ(0, r.result) << std::strerror(r.error);
        return r.response;
    }
    EXPECT_EQ(0, send(fd, {7, netfn, command, data}));
    EXPECT_EQ(1, sys().wait_readable(fd, -1));
    Received r = receive(fd);
    EXPECT_EQ(0, r.result) << std::strerror(r.error);
    return r.data;
}

const char* device_of(const std::string& interface) {
    return interface == "imb" ? "/dev/kvbmc" : "/dev/ipmi0";
}

class BmcCommands : public testing::TestWithParam<std::string> {};

INSTANTIATE_TEST_SUITE_P(Interfaces, BmcCommands, testing::Values("imb", "openipmi"));

struct CommandCase {
    uint8_t netfn;
    uint8_t command;
    const char* data;
    const char* response;  // completion code, then data
};

TEST_P(BmcCommands, EachCommandKindIsAnsweredAndTraced) {
    const std::string interface = GetParam();
    const CommandCase cases[] = {
        // Get Device ID, Get System GUID.
        {0x06, 0x01, "", "00 20 81 01 00 02 bf 00 00 00 01 00"},
        {0x06, 0x01, "00", "c7"},
        {0x06, 0x37, "", "00 35 30 30 31 51 4b 00 00 00 00 00 00 00 00 00 01"},
        // Master Write-Read on private bus 2 (0x05) and 3 (0x07): 8-bit addresses.
        {0x06, 0x52, "05 5a 01 2b", "00 37"},
        {0x06, 0x52, "05 5a 02 2b", "00 37 12"},
        {0x06, 0x52, "07 b4 01 10", "00 44"},
        {0x06, 0x52, "05 5c 01 2b", "83"},  // nobody at 0x2E
        {0x06, 0x52, "05 2d 01 2b", "83"},  // a 7-bit address sent as is reaches 0x16
        {0x06, 0x52, "07 5a 01 2b", "83"},  // 0x2D is on the other bus
        {0x06, 0x52, "05 5a 01 30", "83"},  // a register whose read fails
        {0x06, 0x52, "09 5a 01 2b", "cc"},  // no bus 0x09
        {0x06, 0x52, "05 5a", "c7"},
        {0x06, 0x52, "05 5a 21 2b", "ca"},  // 33 bytes is more than the BMC returns
        // The OEM SMBus proxies: byte (30/22) and word, high byte first (30/23).
        {0x30, 0x22, "05 5a 01 2c", "00 12"},
        {0x30, 0x23, "05 5a 01 2b", "00 37 12"},
        {0x30, 0x23, "05 5a 02 2b", "cc"},
        {0x30, 0x23, "05 5c 01 2b", "83"},
        // The OEM Super I/O proxy on the banked chip at 0x295.
        {0x30, 0x2C, "01 01 50", "00 2d"},
        {0x30, 0x2C, "02 01 50", "00 2d 7a"},
        {0x30, 0x2C, "01 00 50", "00 00"},  // bank 0 does not have it
        {0x30, 0x2C, "01 01 52", "ff"},
        {0x30, 0x2C, "03 01 50", "cc"},
        {0x30, 0x2C, "01 01", "c7"},
        // The responses table: with the data first, then the command alone.
        {0x30, 0x93, "00", "00 3c"},
        {0x30, 0x93, "05", "00 99"},
        {0x30, 0x21, "", "00 34 06 00 01 00 00 00 00 00 00"},
        {0x30, 0x90, "5a 00 2b 01", "c1"},
        // completion_codes: an error alone; 0x00 makes even an unknown command succeed.
        {0x30, 0x95, "", "c3"},
        {0x30, 0x92, "03 0a", "00"},
    };
    Sandbox sb(bmc_board(interface));
    int fd = sys().open(device_of(interface), O_RDWR);
    ASSERT_GE(fd, 0);
    for (const CommandCase& c : cases) {
        sb.clear_trace();
        std::string request = c.data;
        char head[8];
        std::snprintf(head, sizeof head, "%02x/%02x", c.netfn, c.command);
        SCOPED_TRACE(std::string(head) + " " + request);
        EXPECT_EQ(hex(c.response), transact(interface, fd, c.netfn, c.command, hex(c.data)));
        std::string line = "ipmi " + interface + " " + head + (request.empty() ? "" : " ") +
                           request + " -> " + c.response;
        EXPECT_THAT(sb.trace(), ElementsAre(line));
    }
}

TEST_P(BmcCommands, WritesReachTheChipsAndTheBankIsPutBack) {
    const std::string interface = GetParam();
    Sandbox sb(bmc_board(interface));
    int fd = sys().open(device_of(interface), O_RDWR);
    ASSERT_GE(fd, 0);
    // SMBus: register, value; the pointer then stands after the register.
    EXPECT_EQ(hex("00"), transact(interface, fd, 0x06, 0x52, hex("05 5a 00 40 80")));
    EXPECT_EQ(hex("00 80"), transact(interface, fd, 0x06, 0x52, hex("05 5a 01 40")));
    EXPECT_EQ(hex("00 00"), transact(interface, fd, 0x30, 0x22, hex("05 5a 01")));  // at 0x41
    EXPECT_EQ(hex("00"), transact(interface, fd, 0x30, 0x22, hex("05 5a 00 41 81 82")));
    EXPECT_EQ(hex("00 80 81 82"), transact(interface, fd, 0x06, 0x52, hex("05 5a 03 40")));
    // Super I/O: bank 4, register 0x5F.
    EXPECT_EQ(hex("00"), transact(interface, fd, 0x30, 0x2C, hex("00 04 5f 07")));
    EXPECT_EQ(hex("00 07"), transact(interface, fd, 0x30, 0x2C, hex("01 04 5f")));

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

TEST_P(BmcCommands, ForcedErrorLeavesTheChipsAlone) {
    const std::string interface = GetParam();
    Sandbox sb(R"({"bmc": {"interface": ")" + interface + R"(",
        "buses": {"0x05": [{"address": "0x2D", "registers": {"0x2B": "0x37"}}]},
        "completion_codes": {"06/52": "0xC3"}}})");
    int fd = sys().open(device_of(interface), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(hex("c3"), transact(interface, fd, 0x06, 0x52, hex("05 5a 00 2b 99")));
    EXPECT_EQ(hex("00 37"), transact(interface, fd, 0x30, 0x22, hex("05 5a 01 2b")));
}

TEST_P(BmcCommands, EachRequestSpendsTheBoardsIpmiLatency) {
    const std::string interface = GetParam();
    Sandbox sb(bmc_board(interface, R"("latency": {"ipmi_ms": 20},)"));
    int fd = sys().open(device_of(interface), O_RDWR);
    ASSERT_GE(fd, 0);
    VirtualClock& clock = sb.board().clock();
    transact(interface, fd, 0x06, 0x01, {});
    transact(interface, fd, 0x06, 0x52, hex("05 5a 01 2b"));
    EXPECT_EQ(40'000'000, clock.elapsed_ns());
}

// ---- IMB driver specifics ----

TEST(ImbDriver, ControlBlockCarriesTheCountAndStatus) {
    Sandbox sb(bmc_board("imb"));
    int fd = sys().open("/dev/kvbmc", O_RDWR);
    ASSERT_GE(fd, 0);
    ImbResult r = imb(fd, {0x06, 0x52, hex("05 5a 01 2b"), 1000000, 0x20, 34, 34});
    ASSERT_EQ(0, r.result);
    EXPECT_EQ(2u, r.count);
    EXPECT_EQ(hex("00 37"), r.response);
    EXPECT_EQ(0xEE, r.raw[2]);  // nothing written past the answer
    EXPECT_EQ(0u, get64(&r.status[0]));
    EXPECT_EQ(2u, get64(&r.status[8]));
}

TEST(ImbDriver, RefusesWhatTheDriverCannotTake) {
    Sandbox sb(bmc_board("imb"));
    int fd = sys().open("/dev/kvbmc", O_RDWR);
    ASSERT_GE(fd, 0);
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
    for (const Refused& c : cases) {
        ImbResult r = imb(fd, c.call);
        EXPECT_EQ(-1, r.result) << c.what;
        EXPECT_EQ(c.error, r.error) << c.what;
        EXPECT_EQ(c.call.capacity, r.count) << c.what;  // the count word is left alone
    }
    errno = 0;
    EXPECT_EQ(-1, sys().ioctl(fd, 0x1083, nullptr));
    EXPECT_EQ(ENOTTY, errno);
    EXPECT_EQ(-1, sys().ioctl(fd, 0x1082, nullptr));
    EXPECT_EQ(EFAULT, errno);
    // Only the request that reached the BMC is in the trace.
    EXPECT_THAT(sb.trace(), ElementsAre("open /dev/kvbmc -> " + std::to_string(fd),
                                        "ipmi imb 06/37 -> 00 35 30 30 31 51 4b 00 00 00 00 00 "
                                        "00 00 00 00 01"));
}

TEST(ImbDriver, UnansweredRequestsTimeOutAfterTheirTimeout) {
    {
        Sandbox sb(bmc_board("imb", R"("latency": {"ipmi_ms": 20},)"));
        int fd = sys().open("/dev/kvbmc", O_RDWR);
        sb.clear_trace();
        ImbResult r = imb(fd, {0x06, 0x01, {}, 400000, 0x22});  // nobody at 0x22
        EXPECT_EQ(-1, r.result);
        EXPECT_EQ(ETIMEDOUT, r.error);
        EXPECT_EQ(400'000'000, sb.board().clock().elapsed_ns());
        EXPECT_THAT(sb.trace(), ElementsAre("ipmi imb rs 0x22 06/01 -> timeout"));
    }
    // A BMC that never answers: every request waits out its time-out.
    Sandbox sb(R"({"clock": {"virtual": true},
                   "bmc": {"interface": "imb", "respond": false}})");
    int fd = sys().open("/dev/kvbmc", O_RDWR);
    sb.clear_trace();
    ImbResult r = imb(fd, {0x06, 0x52, hex("05 5a 01 2b"), 1000000});
    EXPECT_EQ(-1, r.result);
    EXPECT_EQ(ETIMEDOUT, r.error);
    EXPECT_EQ(1'000'000'000, sb.board().clock().elapsed_ns());
    EXPECT_THAT(sb.trace(), ElementsAre("ipmi imb 06/52 05 5a 01 2b -> timeout"));
}

// ---- OpenIPMI specifics ----

TEST(OpenIpmi, ReceivedMessageCarriesTheRequestsIdentity) {
    Sandbox sb(bmc_board("openipmi"));
    int fd = sys().open("/dev/ipmi0", O_RDWR);
    ASSERT_GE(fd, 0);
    Received none = receive(fd);
    EXPECT_EQ(-1, none.result);
    EXPECT_EQ(EAGAIN, none.error);

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
    EXPECT_EQ(0, first.address.lun);
    Received second = receive(fd);
    ASSERT_EQ(0, second.result);
    EXPECT_EQ(65535, second.recv.msgid);
    EXPECT_EQ(0x31, second.recv.msg.netfn);
    EXPECT_EQ(0x93, second.recv.msg.cmd);
    EXPECT_EQ(hex("00 3c"), second.data);
    EXPECT_EQ(EAGAIN, receive(fd).error);
}

TEST(OpenIpmi, TooSmallBufferKeepsOrTruncatesTheMessage) {
    Sandbox sb(bmc_board("openipmi"));
    int fd = sys().open("/dev/ipmi0", O_RDWR);
    ASSERT_EQ(0, send(fd, {3, 0x06, 0x37, {}}));  // 17 bytes come back
    Received small = receive(fd, 16);
    EXPECT_EQ(-1, small.result);
    EXPECT_EQ(EMSGSIZE, small.error);
    EXPECT_EQ(-1, small.recv.msgid);  // the caller's record is not touched
    Received whole = receive(fd, 17);
    ASSERT_EQ(0, whole.result);
    EXPECT_EQ(hex("00 35 30 30 31 51 4b 00 00 00 00 00 00 00 00 00 01"), whole.data);

    ASSERT_EQ(0, send(fd, {4, 0x06, 0x37, {}}));
    Received cut = receive(fd, 3, IPMICTL_RECEIVE_MSG_TRUNC);
    EXPECT_EQ(-1, cut.result);
    EXPECT_EQ(EMSGSIZE, cut.error);
    EXPECT_EQ(4, cut.recv.msgid);
    EXPECT_EQ(hex("00 35 30"), cut.data);
    EXPECT_EQ(EAGAIN, receive(fd).error);  // the rest is gone
}

TEST(OpenIpmi, SendIsCheckedAsTheKernelChecksIt) {
    Sandbox sb(bmc_board("openipmi"));
    int fd = sys().open("/dev/ipmi0", O_RDWR);
    ASSERT_GE(fd, 0);
    sb.clear_trace();
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
        {"LAN address", {.addr_type = IPMI_LAN_ADDR_TYPE, .channel = 1}, EINVAL},
        {"unknown address type", {.addr_type = 2}, EINVAL},
        {"IPMB on the BMC channel", {.addr_type = IPMI_IPMB_ADDR_TYPE, .slave = 0x20}, EINVAL},
        {"IPMB on a channel that is not one",
         {.addr_type = IPMI_IPMB_ADDR_TYPE, .channel = 3, .slave = 0x20},
         EINVAL},
        {"Send Message is the driver's own", {.command = 0x34}, EINVAL},
        {"more data than a message holds", {.data_len_override = 273}, EMSGSIZE},
    };
    for (const Refused& c : cases) {
        errno = 0;
        EXPECT_EQ(-1, send(fd, c.call)) << c.what;
        EXPECT_EQ(c.error, errno) << c.what;
    }
    EXPECT_EQ(-1, sys().ioctl(fd, IPMICTL_SEND_COMMAND, nullptr));
    EXPECT_EQ(EFAULT, errno);
    EXPECT_EQ(-1, sys().ioctl(fd, 0x1082, nullptr));
    EXPECT_EQ(ENOTTY, errno);
    EXPECT_THAT(sb.trace(), IsEmpty());  // nothing reached the BMC
    EXPECT_EQ(EAGAIN, receive(fd).error);
}

TEST(OpenIpmi, NobodyAnswersOnTheIpmb) {
    Sandbox sb(bmc_board("openipmi"));
    int fd = sys().open("/dev/ipmi0", O_RDWR);
    sb.clear_trace();
    ASSERT_EQ(0, send(fd, {9, 0x06, 0x01, {}, IPMI_IPMB_ADDR_TYPE, 0, 0x52}));
    EXPECT_EQ(EAGAIN, receive(fd).error);
    EXPECT_EQ(1, sys().wait_readable(fd, 6000));
    EXPECT_EQ(5'000'000'000, sb.board().clock().elapsed_ns());
    Received r = receive(fd);
    ASSERT_EQ(0, r.result);
    EXPECT_EQ(9, r.recv.msgid);
    EXPECT_EQ(hex("c3"), r.data);
    ipmi_ipmb_addr from;
    std::memcpy(&from, &r.address, sizeof from);
    EXPECT_EQ(IPMI_IPMB_ADDR_TYPE, from.addr_type);
    EXPECT_EQ(0x52, from.slave_addr);
    EXPECT_THAT(sb.trace(), ElementsAre("ipmi openipmi ipmb 0 0x52 06/01 -> c3"));
}

TEST(OpenIpmi, AnswerArrivesAfterTheLatency) {
    Sandbox sb(bmc_board("openipmi", R"("latency": {"ipmi_ms": 20},)"));
    int fd = sys().open("/dev/ipmi0", O_RDWR);
    ASSERT_EQ(0, send(fd, {5, 0x06, 0x01, {}}));
    EXPECT_EQ(EAGAIN, receive(fd).error);  // not yet there
    errno = 0;
    EXPECT_EQ(0, sys().wait_readable(fd, 5));
    EXPECT_EQ(ETIMEDOUT, errno);
    EXPECT_EQ(5'000'000, sb.board().clock().elapsed_ns());
    EXPECT_EQ(1, sys().wait_readable(fd, 100));
    EXPECT_EQ(20'000'000, sb.board().clock().elapsed_ns());
    EXPECT_EQ(0, receive(fd).result);
}

TEST(OpenIpmi, SilentBmcTimesOutOnTheBoardClock) {
    Sandbox sb(R"({"clock": {"virtual": true},
                   "bmc": {"interface": "openipmi", "respond": false}})");
    int fd = sys().open("/dev/ipmi0", O_RDWR);
    sb.clear_trace();
    ASSERT_EQ(0, send(fd, {2, 0x30, 0x95, {}}));
    errno = 0;
    EXPECT_EQ(0, sys().wait_readable(fd, 1500));
    EXPECT_EQ(ETIMEDOUT, errno);
    EXPECT_EQ(1'500'000'000, sb.board().clock().elapsed_ns());
    EXPECT_EQ(EAGAIN, receive(fd).error);
    EXPECT_THAT(sb.trace(), ElementsAre("ipmi openipmi 30/95 -> timeout"));
}

TEST(OpenIpmi, WaitingForeverForASilentBmcStopsTheRun) {
    EXPECT_DEATH(
        {
            Sandbox sb(R"({"bmc": {"interface": "openipmi", "respond": false}})");
            int fd = sys().open("/dev/ipmi0", O_RDWR);
            send(fd, {2, 0x06, 0x01, {}});
            sys().wait_readable(fd, -1);
        },
        "select\\(\\) on /dev/ipmi0 without a time limit.*hangs here forever");
}

// ---- the nodes ----

TEST(BmcNodes, OnlyTheConfiguredNodeIsServed) {
    struct NodeCase {
        const char* bmc;
        const char* served;
        std::vector<const char*> absent;
    };
    const NodeCase cases[] = {
        {R"({"interface": "openipmi"})",
         "/dev/ipmi0",
         {"/dev/ipmi/0", "/dev/ipmidev/0", "/dev/kvbmc"}},
        {R"({"interface": "openipmi", "device": "/dev/ipmidev/0"})",
         "/dev/ipmidev/0",
         {"/dev/ipmi0", "/dev/ipmi/0"}},
        {R"({"interface": "imb"})", "/dev/kvbmc", {"/dev/ipmi0"}},
        {R"({"interface": "none"})", nullptr, {"/dev/kvbmc", "/dev/ipmi0"}},
    };
    for (const NodeCase& c : cases) {
        SCOPED_TRACE(c.bmc);
        Sandbox sb(std::string(R"({"bmc": )") + c.bmc + "}");
        if (c.served) {
            int fd = sys().open(c.served, O_RDWR);
            EXPECT_GE(fd, 0);
            EXPECT_EQ(0, sys().close(fd));
        }
        for (const char* path : c.absent) {
            errno = 0;
            EXPECT_EQ(-1, sys().open(path, O_RDWR)) << path;
            EXPECT_EQ(ENOENT, errno) << path;
        }
    }
}

TEST(BmcNodes, GetDeviceIdAnswersTheBoardsCompletionCode) {
    for (const char* interface : {"imb", "openipmi"}) {
        Sandbox sb(std::string(R"({"bmc": {"interface": ")") + interface +
                   R"(", "device_id_cc": "0xC1"}})");
        int fd = sys().open(device_of(interface), O_RDWR);
        EXPECT_EQ(hex("c1"), transact(interface, fd, 0x06, 0x01, {})) << interface;
    }
}

}  // namespace
