// The board's account of bus time: what each access charges, that the
// program's own sleeps are not bus time, and that a real-time wait lasts at
// least what was charged and records how much longer it took.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <ctime>

#include "support/sandbox.h"

namespace {

int64_t monotonic_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int read_byte_data(int fd, uint8_t command) {
    i2c_smbus_data data{};
    i2c_smbus_ioctl_data args{I2C_SMBUS_READ, command, I2C_SMBUS_BYTE_DATA, &data};
    return sys().ioctl(fd, I2C_SMBUS, &args);
}

TEST(BusTime, PortsAndSmbusBytesAreChargedAndSleepsAreNot) {
    Sandbox sb(R"({"clock": {"virtual": true},
        "latency": {"port_ns": 1000, "i2c_us": 400},
        "smbus": [{"bus": 0, "name": "SMBus I801 adapter at 1100",
                   "devices": [{"address": "0x2F", "registers": {"0x10": "0x8A"}}]}]})");
    VirtualBoard& board = sb.board();
    ASSERT_EQ(0, sys().iopl(3));
    EXPECT_EQ(0, board.charged_bus_ns());  // iopl is a system call, not a bus cycle

    sys().outb(0x4E, 0x295);
    sys().inl(0xCFC);
    sys().sleep(5);
    sys().usleep(1000);
    EXPECT_EQ(2 * 1000, board.charged_bus_ns());

    int fd = sys().open("/dev/i2c-0", O_RDWR);
    ASSERT_EQ(0, sys().ioctl(fd, I2C_SLAVE, reinterpret_cast<void*>(0x2F)));
    ASSERT_EQ(0, read_byte_data(fd, 0x10));
    // Address, command, address again, data: four bytes on the wire.
    EXPECT_EQ(2 * 1000 + 4 * 400000, board.charged_bus_ns());
    // On a virtual clock nothing is ever late.
    EXPECT_EQ(0, board.clock().late_ns());
}

TEST(BusTime, RealTimeWaitsLastAtLeastTheChargeAndCountTheirLateness) {
    // 50 us: shorter than the kernel's usual wake-up delay (spun); 2 ms:
    // slept for most of it.
    for (int64_t latency : {int64_t(50000), int64_t(2000000)}) {
        SCOPED_TRACE(latency);
        Sandbox sb(R"({"clock": {"virtual": false}, "latency": {"port_ns": )" +
                   std::to_string(latency) + "}}");
        ASSERT_EQ(0, sys().iopl(3));
        int64_t late_before = sb.board().clock().late_ns();
        int64_t start = monotonic_ns();
        sys().inb(0x80);
        int64_t wall = monotonic_ns() - start;
        int64_t late = sb.board().clock().late_ns() - late_before;
        EXPECT_EQ(latency, sb.board().charged_bus_ns());
        EXPECT_GE(wall, latency);
        EXPECT_GE(late, 0);
        EXPECT_LE(late, wall - latency);
    }
}

}  // namespace
