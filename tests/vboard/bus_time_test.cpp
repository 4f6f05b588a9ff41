// The board's account of bus time: what each access charges, that the
// program's own sleeps are not bus time, and that a real-time wait lasts at
// least what was charged and records how much longer it took.
#include <gtest/gtest.h>

#include <ctime>

#include "support/sandbox.h"

namespace {

int64_t monotonic_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// SMBus bytes on the wire: I2cDev.TransactionsTheirErrorsAndBusTime.
TEST(BusTime, PortsAreChargedAndSleepsAreNot) {
    Sandbox sb(R"({"clock": {"virtual": true}, "latency": {"port_ns": 1000}})");
    VirtualBoard& board = sb.board();
    ASSERT_EQ(0, sys().iopl(3));
    EXPECT_EQ(0, board.charged_bus_ns());  // iopl is a system call, not a bus cycle
    sys().outb(0x4E, 0x295);
    sys().inl(0xCFC);
    sys().sleep(5);
    sys().usleep(1000);
    EXPECT_EQ(2 * 1000, board.charged_bus_ns());
    EXPECT_EQ(0, board.clock().late_ns());  // on a virtual clock nothing is ever late
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
