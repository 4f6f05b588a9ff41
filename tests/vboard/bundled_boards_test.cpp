// The bundled boards (boards/*.json) against docs/boards.md: each holds the
// raw register values the tables start from, reached the way the monitor
// reaches them. Their configurations and readings are pinned end to end.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "vboard/ipmi_calls.h"

namespace {

using testing::ElementsAre;

std::string board_text(const std::string& name) {
    return read_whole_file(std::string(SV_SOURCE_BOARDS_DIR) + "/" + name + ".json");
}

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
    for (uint8_t key : {0x87, 0x87, 0x07}) sys().outb(key, 0x2E);
    sys().outb(device, 0x2F);
    sys().outb(reg, 0x2E);
    uint8_t value = sys().inb(0x2F);
    sys().outb(0xAA, 0x2E);
    return value;
}

TEST(BundledBoards, HoldTheDocumentedRegisters) {
    struct RawCase {
        const char* what;
        std::function<int()> access;
        int expected;
    };
    // clang-format off
    const std::pair<const char*, std::vector<RawCase>> boards[] = {
        {"demo", {
            {"+3.3V Standby, bank 5", [] { return isa(5, 0x50); }, 0xCF},
            {"Chipset Temperature limit, bank 1", [] { return isa(1, 0x55); }, 0x55},
            {"0x55 outside bank 1 is a limit register", [] { return isa(0, 0x55); }, 0x00},
            {"intrusion latched", [] { return isa(0, 0x42); }, 0x10},
            {"Front Fan 1 count, low", [] { return i2c(0x2F, 0x24); }, 0x98}}},
        {"legacy", {
            {"CPU2 Temperature, bank 2", [] { return isa(2, 0x50); }, 0x2E},
            {"NS87427 count, high", [] { return sys().inb(0xA13); }, 0x0A},
            {"power-supply GPIO", [] { return superio(0x07, 0xF1); }, 0x0F},
            {"thermal-trip line", [] { sys().outb(0x47, 0xCD6); return int(sys().inb(0xCD7)); }, 0x0B}}},
    };
    // clang-format on
    for (const auto& [board, cases] : boards) {
        Sandbox sb(board_text(board));
        sys().iopl(3);
        for (const RawCase& c : cases) EXPECT_EQ(c.expected, c.access()) << board << ": " << c.what;
    }
}

// bmc-imb proxies the W83795ADG; bmc-openipmi gives readings by the OEM
// commands, refuses thresholds of the NCT7904D by 30/90 and has them read
// over private bus 2 in bank 1 instead.
TEST(BundledBoards, BmcsAnswerTheDocumentedCommands) {
    struct BmcCase {
        uint8_t netfn, command;
        const char* data;
        const char* answer;
    };
    // clang-format off
    const std::pair<const char*, std::vector<BmcCase>> boards[] = {
        {"imb", {
            {0x06, 0x52, "05 58 01 2e", "00 19"},  // CPU1 Fan
            {0x06, 0x52, "05 58 01 1e", "00 52"},  // VBAT
            {0x06, 0x52, "05 58 01 46", "00 00"}}},  // intrusion status
        {"openipmi", {
            {0x06, 0x37, "", "00 35 30 30 31 51 4b 00 00 25 90 00 4a 33 a1 7c 01"},
            {0x30, 0x2C, "02 06 58", "00 0d 04"},  // CPU1 Fan
            {0x30, 0x21, "", "00 34 06 00 01 00 00 00 00 00 00"},
            {0x30, 0x93, "01", "00 2b"},
            {0x30, 0x90, "5a 00 87 01", "00 14"},
            {0x30, 0x90, "5a 01 ba 01", "c1"},
            {0x06, 0x52, "05 5a 00 ff 01", "00"},
            {0x06, 0x52, "05 5a 02 ba", "00 2a 06"},
            {0x06, 0x52, "05 5a 01 84", "00 46"}}},
    };
    // clang-format on
    for (const auto& [interface, cases] : boards) {
        Sandbox sb(board_text(std::string("bmc-") + interface));
        int fd = sys().open(device_of(interface), O_RDWR);
        for (const BmcCase& c : cases) {
            EXPECT_EQ(hex(c.answer), transact(interface, fd, c.netfn, c.command, hex(c.data)))
                << interface << " " << c.data;
        }
    }
}

// The demo's changing values step every 5 seconds through the documented
// sequences (the board's clock made virtual here so the test need not wait).
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
}

}  // namespace
