// The board's SMBus adapters as the kernel's /dev/i2c-N: ioctl results and
// errno as i2c-dev gives them, SMBus transactions on the chips' registers,
// the i2c trace lines and bus time. The adapter listings a new root holds:
// vb-kernel-listings-of-a-new-root.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

// Adapter 0: a banked monitor chip at 0x2D, a chip a kernel driver holds at
// 0x48, a chip with changing values at 0x2F. Adapter 2 is in no listing.
constexpr const char* kBoard = R"({
  "clock": {"virtual": true},
  "smbus": [
    {"bus": 0, "name": "SMBus I801 adapter at 1100", "listing": "proc",
     "devices": [
       {"address": "0x2D", "bank_register": "0x4E", "bank_mask": "0x07",
        "registers": {"0x4E": "0x80", "0x5E": "0x03", "0x5F": {"fail": true},
                      "0x20": "0x34", "0x21": "0x12", "0x50": "0x11"},
        "banks": {"1": {"0x50": "0x2D"}}},
       {"address": "0x48", "kernel_driver": true, "registers": {"0x00": "0x19"}},
       {"address": "0x2F",
        "registers": {"0x40": {"values": ["0x01", "0x02", "0x03"], "advance": "read"},
                      "0x41": "0x10"}}
     ]},
    {"bus": 2, "name": "SMBus nForce2 adapter at 4c00", "listing": "none",
     "devices": [{"address": "0x2D", "registers": {"0x5E": "0x77"}},
                 {"address": "0x00", "registers": {"0x01": "0x5A"}}]}
  ]
})";

int open_bus(unsigned bus) {
    return sys().open(("/dev/i2c-" + std::to_string(bus)).c_str(), O_RDWR);
}

void* ioctl_value(unsigned long value) {
    return reinterpret_cast<void*>(uintptr_t(value));
}

int select_slave(int fd, unsigned long address, bool force = false) {
    return sys().ioctl(fd, force ? I2C_SLAVE_FORCE : I2C_SLAVE, ioctl_value(address));
}

int transfer(int fd, uint8_t read_write, uint8_t command, uint32_t size, i2c_smbus_data* data) {
    i2c_smbus_ioctl_data args{read_write, command, size, data};
    return sys().ioctl(fd, I2C_SMBUS, &args);
}

// A byte-data read as the monitor makes it; -1 on failure.
int read_byte(int fd, uint8_t reg) {
    i2c_smbus_data data{};
    return transfer(fd, I2C_SMBUS_READ, reg, I2C_SMBUS_BYTE_DATA, &data) == 0 ? data.byte : -1;
}

int write_byte(int fd, uint8_t reg, uint8_t value) {
    i2c_smbus_data data{};
    data.byte = value;
    return transfer(fd, I2C_SMBUS_WRITE, reg, I2C_SMBUS_BYTE_DATA, &data);
}

std::string last_line(const Sandbox& sb) {
    return sb.trace().empty() ? "" : sb.trace().back();
}

// Rows run in order on one descriptor: the ten-bit flag and the selected
// address carry over.
TEST(I2cDev, IoctlResultsFollowTheKernel) {
    struct Row {
        unsigned long request;
        unsigned long arg;
        int result;
        int error;
        const char* trace;
    };
    // clang-format off
    const Row rows[] = {
        {I2C_SLAVE, 0x2D, 0, 0, "i2c 0 slave 0x2d -> 0"},
        {I2C_SLAVE, 0x80, -1, EINVAL, "i2c 0 slave 0x80 -> -1"},
        {I2C_SLAVE, 0x48, -1, EBUSY, "i2c 0 slave 0x48 -> -1"},
        {I2C_SLAVE_FORCE, 0x48, 0, 0, "i2c 0 slave-force 0x48 -> 0"},
        {I2C_RETRIES, 0x80000000, -1, EINVAL, "i2c 0 retries 2147483648 -> -1"},
        {I2C_TIMEOUT, 214748364, 0, 0, "i2c 0 timeout 214748364 -> 0"},
        {I2C_TIMEOUT, 214748365, -1, EINVAL, "i2c 0 timeout 214748365 -> -1"},
        {I2C_RDWR, 0, -1, EOPNOTSUPP, "i2c 0 rdwr -> -1"},
        {0x0799, 0, -1, ENOTTY, "i2c 0 ioctl 0x0799 -> -1"},
        {I2C_TENBIT, 1, 0, 0, "i2c 0 tenbit 1 -> 0"},
        {I2C_SLAVE, 0x150, 0, 0, "i2c 0 slave 0x150 -> 0"},
        {I2C_SLAVE, 0x400, -1, EINVAL, "i2c 0 slave 0x400 -> -1"},
    };
    // clang-format on
    Sandbox sb(kBoard);
    int fd = open_bus(0);
    ASSERT_GE(fd, 0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.trace);
        errno = 0;
        EXPECT_EQ(row.result, sys().ioctl(fd, row.request, ioctl_value(row.arg)));
        if (row.result < 0) {
            EXPECT_EQ(row.error, errno);
        }
        EXPECT_EQ(row.trace, last_line(sb));
    }
    // A refused selection keeps the address selected before it.
    EXPECT_EQ(-1, read_byte(fd, 0x00));
    EXPECT_EQ(ENXIO, errno);
    EXPECT_EQ("i2c 0 0x150 read 0x00 -> nak", last_line(sb));
}

// Rows run in order; each selects its slave with I2C_SLAVE_FORCE first. The
// data block starts as 0xAA bytes, so the row shows which bytes the kernel
// copied back. Bus time is i2c_us (10) for every byte on the wire.
TEST(I2cDev, TransactionsTheirErrorsAndBusTime) {
    constexpr uint8_t R = I2C_SMBUS_READ, W = I2C_SMBUS_WRITE;
    struct Row {
        uint8_t slave, read_write;
        uint32_t size;
        uint8_t command;
        uint16_t word_in;  // written into the block before the call (writes)
        bool null_data;
        int error;  // 0: succeeds
        uint8_t block_after[3];
        int64_t microseconds;
        const char* trace;
    };
    // clang-format off
    const Row rows[] = {
        // address, command, address, data
        {0x2D, R, I2C_SMBUS_BYTE_DATA, 0x5E, 0, false, 0, {0x03, 0xAA, 0xAA}, 40, "i2c 0 0x2d read 0x5e -> 0x03"},
        // refused after the command byte
        {0x2D, R, I2C_SMBUS_BYTE_DATA, 0x5F, 0, false, ENXIO, {0xAA, 0xAA, 0xAA}, 20, "i2c 0 0x2d read 0x5f -> nak"},
        // the address only
        {0x50, R, I2C_SMBUS_BYTE_DATA, 0x00, 0, false, ENXIO, {0xAA, 0xAA, 0xAA}, 10, "i2c 0 0x50 read 0x00 -> nak"},
        // address, command, address, low, high
        {0x2D, R, I2C_SMBUS_WORD_DATA, 0x20, 0, false, 0, {0x34, 0x12, 0xAA}, 50, "i2c 0 0x2d read-word 0x20 -> 0x1234"},
        // 0x5F, the high byte, fails: refused after the command byte too
        {0x2D, R, I2C_SMBUS_WORD_DATA, 0x5E, 0, false, ENXIO, {0xAA, 0xAA, 0xAA}, 20, "i2c 0 0x2d read-word 0x5e -> nak"},
        // address, command, data
        {0x2D, W, I2C_SMBUS_BYTE_DATA, 0x60, 0x5A, false, 0, {0x5A, 0x00, 0xAA}, 30, "i2c 0 0x2d write 0x60 0x5a -> 0"},
        // address, command, low, high
        {0x2D, W, I2C_SMBUS_WORD_DATA, 0x62, 0xBEEF, false, 0, {0xEF, 0xBE, 0xAA}, 40, "i2c 0 0x2d write-word 0x62 0xbeef -> 0"},
        // the high byte went to reg + 1
        {0x2D, R, I2C_SMBUS_BYTE_DATA, 0x63, 0, false, 0, {0xBE, 0xAA, 0xAA}, 40, "i2c 0 0x2d read 0x63 -> 0xbe"},
        {0x2D, W, I2C_SMBUS_QUICK, 0x00, 0, true, 0, {}, 10, "i2c 0 0x2d quick write -> 0"},
        {0x2D, W, I2C_SMBUS_BYTE, 0x5E, 0, true, 0, {}, 20, "i2c 0 0x2d send 0x5e -> 0"},
        // at the register the send byte chose; address, data
        {0x2D, R, I2C_SMBUS_BYTE, 0x00, 0, false, 0, {0x03, 0xAA, 0xAA}, 20, "i2c 0 0x2d receive -> 0x03"},
        // refused before the bus
        {0x2D, R, I2C_SMBUS_BLOCK_DATA, 0x5E, 0, false, EOPNOTSUPP, {0xAA, 0xAA, 0xAA}, 0, "i2c 0 0x2d refused rw 1 size 5 command 0x5e -> -1"},
        {0x2D, 2, I2C_SMBUS_BYTE_DATA, 0x5E, 0, false, EINVAL, {0xAA, 0xAA, 0xAA}, 0, "i2c 0 0x2d refused rw 2 size 2 command 0x5e -> -1"},
        // no data is checked before no support
        {0x2D, R, I2C_SMBUS_BLOCK_DATA, 0x5E, 0, true, EINVAL, {}, 0, "i2c 0 0x2d refused rw 1 size 5 command 0x5e -> -1"},
    };
    // clang-format on
    std::string board = kBoard;
    board.replace(board.find('{'), 1, R"({"latency": {"i2c_us": 10}, )");
    Sandbox sb(board);
    int fd = open_bus(0);
    ASSERT_GE(fd, 0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.trace);
        ASSERT_EQ(0, select_slave(fd, row.slave, true));
        i2c_smbus_data data;
        std::fill(std::begin(data.block), std::end(data.block), 0xAA);
        if (row.read_write == W) data.word = row.word_in;
        errno = 0;
        int64_t before = sb.board().clock().elapsed_ns();
        EXPECT_EQ(row.error ? -1 : 0, transfer(fd, row.read_write, row.command, row.size,
                                               row.null_data ? nullptr : &data));
        EXPECT_EQ(row.error, errno);
        EXPECT_EQ(row.microseconds * 1000, sb.board().clock().elapsed_ns() - before);
        if (!row.null_data) {
            EXPECT_THAT(std::vector<uint8_t>(data.block, data.block + 3),
                        ElementsAre(row.block_after[0], row.block_after[1], row.block_after[2]));
        }
        EXPECT_EQ(row.trace, last_line(sb));
    }
}

// The kernel's client address is 0 until a slave is selected, and it belongs
// to the descriptor; the chips belong to the bus.
TEST(I2cDev, SlaveAddressIsPerDescriptorAndStartsAtZero) {
    Sandbox sb(kBoard);
    int first = open_bus(0);
    int second = open_bus(0);
    ASSERT_EQ(0, select_slave(first, 0x2D));
    EXPECT_EQ(0, write_byte(first, 0x60, 0x42));
    EXPECT_EQ(-1, read_byte(second, 0x60));
    EXPECT_EQ("i2c 0 0x00 read 0x60 -> nak", last_line(sb));
    ASSERT_EQ(0, select_slave(second, 0x2D));
    EXPECT_EQ(0x42, read_byte(second, 0x60));
    // Only a chip that really sits at 0x00 answers an unselected descriptor.
    EXPECT_EQ(0x5A, read_byte(open_bus(2), 0x01));
}

// Value kinds are the register store's, tested on ports (PortDevices) and in
// time (BundledBoards); here what is SMBus's own: the bank register written
// over the bus, and a word read taking one value of each register.
TEST(I2cDev, BanksAndWordReads) {
    Sandbox sb(kBoard);
    int fd = open_bus(0);
    ASSERT_EQ(0, select_slave(fd, 0x2D));
    EXPECT_EQ(0, write_byte(fd, 0x4E, 0x81));
    EXPECT_EQ(0x2D, read_byte(fd, 0x50));  // bank 1's own
    EXPECT_EQ(0x03, read_byte(fd, 0x5E));  // shared, seen in bank 1 too
    EXPECT_EQ(0, write_byte(fd, 0x50, 0x99));
    EXPECT_EQ(0, write_byte(fd, 0x4E, 0x80));
    EXPECT_EQ(0x11, read_byte(fd, 0x50));  // the write went to bank 1
    // A failing register stores writes; then it reads back what was written.
    EXPECT_EQ(0, write_byte(fd, 0x5F, 0x07));
    EXPECT_EQ(0x07, read_byte(fd, 0x5F));
    ASSERT_EQ(0, select_slave(fd, 0x2F));
    i2c_smbus_data data{};
    EXPECT_EQ(0, transfer(fd, I2C_SMBUS_READ, 0x40, I2C_SMBUS_WORD_DATA, &data));
    EXPECT_EQ(0x1001, data.word);
}

TEST(I2cDev, FunctionalityPlainMessagesAndNodes) {
    Sandbox sb(kBoard);
    int fd = open_bus(0);
    unsigned long funcs = 0;
    EXPECT_EQ(0, sys().ioctl(fd, I2C_FUNCS, &funcs));
    // Quick 0x00010000, byte 0x00060000, byte data 0x00180000, word data 0x00600000.
    EXPECT_EQ(0x007F0000ul, funcs);
    EXPECT_EQ(-1, sys().ioctl(fd, I2C_FUNCS, nullptr));
    EXPECT_EQ(EFAULT, errno);
    char buffer[4];
    EXPECT_EQ(-1, sys().read(fd, buffer, sizeof buffer));
    EXPECT_EQ(EOPNOTSUPP, errno);
    EXPECT_EQ("i2c 0 read 4 -> -1", last_line(sb));
    EXPECT_EQ(-1, open_bus(1));
    EXPECT_EQ(ENOENT, errno);
    Sandbox user(R"({"uid": 1000, "smbus": [{"bus": 0, "name": "x"}]})");
    EXPECT_EQ(-1, open_bus(0));
    EXPECT_EQ(EACCES, errno);
}

}  // namespace
