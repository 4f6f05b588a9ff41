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

// The virtual clock: Launcher.AReportLoopOnABundledVirtualBoardKeepsItsPace.

}  // namespace
