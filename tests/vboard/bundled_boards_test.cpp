// The bundled demo board (boards/demo.json) against docs/boards.md: the raw
// register values its tables start from, reached the way the monitor reaches
// them. The other bundled boards are pinned end to end (report-legacy,
// report-bmc-imb, report-bmc-openipmi); report-demo runs a copy of this one.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <nlohmann/json.hpp>

#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

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

// The changing values step every 5 seconds through the documented sequences
// (the clock made virtual here so the test need not wait).
TEST(BundledBoards, DemoHoldsTheDocumentedRegistersAndMovesEveryFiveSeconds) {
    nlohmann::json board = nlohmann::json::parse(
        read_whole_file(std::string(SV_SOURCE_BOARDS_DIR) + "/demo.json"));
    board["clock"] = {{"virtual", true}};
    Sandbox sb(board.dump());
    sys().iopl(3);
    EXPECT_EQ(0xCF, isa(5, 0x50));  // +3.3V Standby
    EXPECT_EQ(0x55, isa(1, 0x55));  // Chipset Temperature limit; in bank 0 0x55 is another
    EXPECT_EQ(0x00, isa(0, 0x55));
    EXPECT_EQ(0x10, isa(0, 0x42));  // intrusion latched
    EXPECT_EQ(0x98, i2c(0x2F, 0x24));  // Front Fan 1 count, low
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
