// The bundled boards (boards/*.json) against docs/boards.md: each one loads,
// carries a complete /etc/Senvis.ini, and holds the raw register values the
// tables start from where the tables say, reached the way the monitor reaches
// them: banked index/data reads, i2c-dev, BMC commands through both system
// interfaces, an I/O-mapped block and GPIO registers.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <linux/ipmi.h>
#include <strings.h>
#include <sys/ioctl.h>

#include <array>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "config/config_state.h"
#include "config/loader.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

std::string board_text(const std::string& name) {
    return read_whole_file(std::string(SV_SOURCE_BOARDS_DIR) + "/" + name + ".json");
}

Bytes hex(const std::string& text) {
    Bytes bytes;
    std::istringstream in(text);
    unsigned value;
    while (in >> std::hex >> value) bytes.push_back(uint8_t(value));
    return bytes;
}

// ---- accesses, as the monitor makes them ----

// Banked read at 0x295/0x296: save 0x4E, select the bank in its low bits,
// read the register, put 0x4E back.
int isa(uint8_t bank, uint8_t reg) {
    sys().outb(0x4E, 0x295);
    uint8_t saved = sys().inb(0x296);
    sys().outb(uint8_t((saved & 0xF0) | bank), 0x296);
    sys().outb(reg, 0x295);
    uint8_t value = sys().inb(0x296);
    sys().outb(0x4E, 0x295);
    sys().outb(saved, 0x296);
    return value;
}

int i2c(uint8_t address, uint8_t reg) {
    int fd = sys().open("/dev/i2c-0", O_RDWR);
    if (sys().ioctl(fd, I2C_SLAVE, reinterpret_cast<void*>(uintptr_t(address))) != 0) return -1;
    i2c_smbus_data data{};
    i2c_smbus_ioctl_data args{I2C_SMBUS_READ, reg, I2C_SMBUS_BYTE_DATA, &data};
    int result = sys().ioctl(fd, I2C_SMBUS, &args);
    sys().close(fd);
    return result == 0 ? data.byte : -1;
}

// Super I/O configuration register of a logical device (Winbond key 87 87).
int superio(uint8_t device, uint8_t reg) {
    sys().outb(0x87, 0x2E);
    sys().outb(0x87, 0x2E);
    sys().outb(0x07, 0x2E);
    sys().outb(device, 0x2F);
    sys().outb(reg, 0x2E);
    uint8_t value = sys().inb(0x2F);
    sys().outb(0xAA, 0x2E);
    return value;
}

int pm(uint8_t reg) {
    sys().outb(reg, 0xCD6);
    return sys().inb(0xCD7);
}

int port(uint16_t number) { return sys().inb(number); }

// One OpenIPMI request to the BMC itself; the completion code, then data.
Bytes openipmi(uint8_t netfn, uint8_t command, const std::string& data_text) {
    int fd = sys().open("/dev/ipmi0", O_RDWR);
    Bytes data = hex(data_text);
    ipmi_addr address{};  // the 40-byte block, system interface, the BMC itself
    address.addr_type = IPMI_SYSTEM_INTERFACE_ADDR_TYPE;
    address.channel = IPMI_BMC_CHANNEL;
    ipmi_req request{};
    request.addr = reinterpret_cast<unsigned char*>(&address);
    request.addr_len = sizeof address;
    request.msgid = 2;
    request.msg = {netfn, command, uint16_t(data.size()), data.data()};
    std::array<uint8_t, 80> answer{};
    ipmi_recv response{};
    ipmi_addr from{};
    response.addr = reinterpret_cast<unsigned char*>(&from);
    response.addr_len = sizeof from;
    response.msg.data = answer.data();
    response.msg.data_len = answer.size();
    Bytes out;
    if (sys().ioctl(fd, IPMICTL_SEND_COMMAND, &request) == 0 &&
        sys().ioctl(fd, IPMICTL_RECEIVE_MSG, &response) == 0)
        out.assign(answer.begin(), answer.begin() + response.msg.data_len);
    sys().close(fd);
    return out;
}

void put64(uint8_t* at, uint64_t value) {
    for (int i = 0; i < 8; ++i) at[i] = uint8_t(value >> (8 * i));
}

// One request through the IMB driver's ioctl 0x1082, as the proxy sends it.
Bytes imb(uint8_t netfn, uint8_t command, const std::string& data_text) {
    int fd = sys().open("/dev/kvbmc", O_RDWR);
    Bytes data = hex(data_text);
    std::array<uint8_t, 34> request{};
    put64(&request[8], 1000000);
    request[16] = 0x20;
    request[17] = command;
    request[18] = netfn;
    request[20] = uint8_t(data.size());
    std::copy(data.begin(), data.end(), request.begin() + 21);
    std::array<uint8_t, 34> answer{};
    std::array<uint8_t, 16> status{};
    uint64_t count = answer.size();
    std::array<uint8_t, 80> block{};
    put64(&block[24], reinterpret_cast<uintptr_t>(status.data()));
    put64(&block[32], reinterpret_cast<uintptr_t>(request.data()));
    put64(&block[40], request.size());
    put64(&block[48], reinterpret_cast<uintptr_t>(answer.data()));
    put64(&block[56], answer.size());
    put64(&block[64], reinterpret_cast<uintptr_t>(&count));
    Bytes out;
    if (sys().ioctl(fd, 0x1082, block.data()) == 0) out.assign(answer.begin(), answer.begin() + count);
    sys().close(fd);
    return out;
}

// ---- the configurations ----

struct BoardConfig {
    const char* board;
    int items;
    friend void PrintTo(const BoardConfig& config, std::ostream* out) { *out << config.board; }
};

class BundledBoardConfig : public testing::TestWithParam<BoardConfig> {
protected:
    void TearDown() override { reset_config_state(); }
};

INSTANTIATE_TEST_SUITE_P(Boards, BundledBoardConfig,
                         testing::Values(BoardConfig{"demo", 20}, BoardConfig{"bmc-openipmi", 21},
                                         BoardConfig{"bmc-imb", 20}, BoardConfig{"legacy", 19}),
                         [](const auto& info) {
                             std::string name = info.param.board;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

// Every item is monitored, fits the display record, names a known category
// and voltage function, and finds both its parameters; the parameter array
// (twice the items) is filled exactly, two per item, with nothing left over.
TEST_P(BundledBoardConfig, SenvisIniIsComplete) {
    Sandbox sb(board_text(GetParam().board));
    SystemRecord* system = nullptr;
    ItemRecord* items = nullptr;
    ParameterRecord* parameters = nullptr;
    OutputCapture output;
    int count = loadSenvisINI_and_getItemCount(&system, &items, &parameters);
    EXPECT_EQ("", output.err());
    ASSERT_EQ(GetParam().items, count);

    auto find = [&](const char* name) {
        for (int p = 0; p < 2 * count; ++p)
            if (strcasecmp(parameters[p].name, name) == 0) return true;
        return false;
    };
    for (int i = 0; i < count; ++i) {
        const ItemRecord& item = items[i];
        SCOPED_TRACE(item.name);
        EXPECT_EQ(1, item.monitor);
        EXPECT_LE(std::string(item.name).size(), 39u);
        EXPECT_GE(item.category, 0);
        EXPECT_LE(item.category, 3);
        if (item.category == 1) {
            EXPECT_GE(item.volFunc, 0);
            EXPECT_LE(item.volFunc, 8);
        }
        EXPECT_TRUE(find(item.paraIndex1)) << item.paraIndex1;
        EXPECT_TRUE(find(item.paraIndex2)) << item.paraIndex2;
    }
    for (int p = 0; p < 2 * count; ++p) EXPECT_STRNE("", parameters[p].name) << p;
}

// ---- raw values ----

struct RawCase {
    const char* what;
    std::function<int()> access;
    int expected;
};

void expect_raw(const std::string& board, const std::vector<RawCase>& cases) {
    Sandbox sb(board_text(board));
    sys().iopl(3);
    for (const RawCase& c : cases) EXPECT_EQ(c.expected, c.access()) << board << ": " << c.what;
}

TEST(BundledBoards, DemoHoldsTheDocumentedRegisters) {
    expect_raw("demo", {
        {"CPU1 Fan count, first value", [] { return isa(0, 0x29); }, 0x64},
        {"fan divisors", [] { return isa(0, 0x47); }, 0xA0},
        {"+3.3V Standby, bank 5", [] { return isa(5, 0x50); }, 0xCF},
        {"Chipset Temperature limit, bank 1", [] { return isa(1, 0x55); }, 0x55},
        {"0x55 outside bank 1 is a limit register", [] { return isa(0, 0x55); }, 0x00},
        {"intrusion latched", [] { return isa(0, 0x42); }, 0x10},
        {"Front Fan 1 count, high", [] { return i2c(0x2F, 0x23); }, 0x01},
        {"Front Fan 1 count, low", [] { return i2c(0x2F, 0x24); }, 0x98},
        {"Front Fan 1 limit, low", [] { return i2c(0x2F, 0x91); }, 0x84},
        {"CPU1 Temperature", [] { return i2c(0x2F, 0x1C); }, 0x2D},
        {"diode mode", [] { return i2c(0x2F, 0x5E); }, 0x05},
    });
}

TEST(BundledBoards, LegacyHoldsTheDocumentedRegisters) {
    expect_raw("legacy", {
        {"-12V", [] { return isa(0, 0x25); }, 0x29},
        {"CPU2 Temperature, bank 2", [] { return isa(2, 0x50); }, 0x2E},
        {"+5V Standby, bank 5", [] { return isa(5, 0x50); }, 0xCE},
        {"NS87427 count, low", [] { return port(0xA12); }, 0x8C},
        {"NS87427 count, high", [] { return port(0xA13); }, 0x0A},
        {"NS87427 intrusion status", [] { return port(0xA0C); }, 0x00},
        {"power-supply GPIO", [] { return superio(0x07, 0xF1); }, 0x0F},
        {"thermal-trip line", [] { return pm(0x47); }, 0x0B},
    });
}

TEST(BundledBoards, BmcImbProxiesTheW83795adg) {
    Sandbox sb(board_text("bmc-imb"));
    EXPECT_EQ(hex("00 19"), imb(0x06, 0x52, "05 58 01 2e"));  // CPU1 Fan
    EXPECT_EQ(hex("00 e3"), imb(0x06, 0x52, "05 58 01 15"));  // +12V
    EXPECT_EQ(hex("00 52"), imb(0x06, 0x52, "05 58 01 1e"));  // VBAT
    EXPECT_EQ(hex("00 00"), imb(0x06, 0x52, "05 58 01 46"));  // intrusion status
}

// Readings by the OEM commands, thresholds of the NCT7904D refused by 30/90
// and read over private bus 2 in bank 1 instead.
TEST(BundledBoards, BmcOpenipmiAnswersTheDocumentedCommands) {
    Sandbox sb(board_text("bmc-openipmi"));
    EXPECT_EQ(hex("00 35 30 30 31 51 4b 00 00 25 90 00 4a 33 a1 7c 01"), openipmi(0x06, 0x37, ""));
    EXPECT_EQ(hex("00 0d 04"), openipmi(0x30, 0x2C, "02 06 58"));  // CPU1 Fan
    EXPECT_EQ(hex("00 c9"), openipmi(0x30, 0x2C, "01 05 51"));     // VBAT
    EXPECT_EQ(hex("00 34 06 00 01 00 00 00 00 00 00"), openipmi(0x30, 0x21, ""));
    EXPECT_EQ(hex("00 2e"), openipmi(0x30, 0x93, "00"));
    EXPECT_EQ(hex("00 2b"), openipmi(0x30, 0x93, "01"));
    EXPECT_EQ(hex("00 10"), openipmi(0x30, 0x90, "5a 00 80 01"));
    EXPECT_EQ(hex("00 14"), openipmi(0x30, 0x90, "5a 00 87 01"));
    EXPECT_EQ(hex("c1"), openipmi(0x30, 0x90, "5a 01 ba 01"));
    EXPECT_EQ(hex("00"), openipmi(0x06, 0x52, "05 5a 00 ff 01"));
    EXPECT_EQ(hex("00 2a 06"), openipmi(0x06, 0x52, "05 5a 02 ba"));
    EXPECT_EQ(hex("00 46"), openipmi(0x06, 0x52, "05 5a 01 84"));
}

// The demo's changing values step every 5 seconds through the documented
// sequences (the board's clock made virtual here so the test need not wait),
// and a banked read leaves the documented trace.
TEST(BundledBoards, DemoValuesMoveEveryFiveSeconds) {
    nlohmann::json board = nlohmann::json::parse(board_text("demo"));
    board["clock"] = {{"virtual", true}};
    Sandbox sb(board.dump());
    sys().iopl(3);
    std::vector<int> fan, temperature;
    for (int step = 0; step < 4; ++step) {
        fan.push_back(isa(0, 0x29));
        temperature.push_back(i2c(0x2F, 0x1C));
        sys().sleep(5);
    }
    EXPECT_THAT(fan, ElementsAre(0x64, 0x66, 0x62, 0x64));
    EXPECT_THAT(temperature, ElementsAre(0x2D, 0x2E, 0x2F, 0x2E));

    sb.clear_trace();
    isa(5, 0x51);
    EXPECT_THAT(sb.trace(), ElementsAre("outb 0x295 0x4e", "inb 0x296 -> 0x80", "outb 0x296 0x85",
                                        "outb 0x295 0x51", "inb 0x296 -> 0xc8", "outb 0x295 0x4e",
                                        "outb 0x296 0x80"));
}

}  // namespace
