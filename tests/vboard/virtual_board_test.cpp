// The rules the kernel enforces, kept by the virtual board, and the trace
// lines each boundary call leaves.
#include <errno.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

// The board is made here, not in the dying child, which would leave its root.
TEST(VirtualBoard, PortAccessWithoutPermissionStopsTheRun) {
    Sandbox sb;
    EXPECT_DEATH(
        {
            sys().ioperm(0x2e, 1, 1);
            sys().outb(0x87, 0x2e);  // permitted
            sys().outb(0x01, 0x2f);  // not: ioperm covered 0x2e only
        },
        "outb 0x2f without I/O permission");
    EXPECT_DEATH(
        {
            sys().ioperm(0xcf8, 3, 1);
            sys().inl(0xcf8);  // a dword needs all four ports
        },
        "inl 0xcf8 without I/O permission");
}

TEST(VirtualBoard, PortPermissionNeedsRoot) {
    Sandbox sb(R"({"uid": 1000})");
    errno = 0;
    EXPECT_EQ(-1, sys().iopl(3));
    EXPECT_EQ(EPERM, errno);
    EXPECT_EQ(-1, sys().ioperm(0x2e, 2, 1));
    EXPECT_EQ(EPERM, errno);
    EXPECT_EQ(-1, sys().iopl(4));
    EXPECT_EQ(EINVAL, errno);
    EXPECT_THAT(sb.trace(),
                ElementsAre("iopl 3 -> -1", "ioperm 0x2e 2 1 -> -1", "iopl 4 -> -1"));
}

TEST(VirtualBoard, VirtualClockAdvancesOnlyBySleeping) {
    Sandbox sb(R"({"clock": {"start": "2026-12-04 23:13:59", "virtual": true}})");
    tm start{};
    strptime("2026-12-04 23:13:59", "%Y-%m-%d %H:%M:%S", &start);
    start.tm_isdst = -1;
    time_t expected = mktime(&start);
    EXPECT_EQ(expected, sys().time(nullptr));
    sys().sleep(5);
    sys().usleep(550000);
    sys().usleep(450000);
    time_t now = 0;
    EXPECT_EQ(expected + 6, sys().time(&now));
    EXPECT_EQ(expected + 6, now);
    EXPECT_THAT(sb.trace(), ElementsAre("sleep 5", "usleep 550000", "usleep 450000"));
}

// Paths and commands kept inside the root: sandbox_paths_test, sandbox_commands_test.

}  // namespace
