// The rules the kernel enforces, kept by the virtual board, and the trace
// lines each boundary call leaves.
#include <errno.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

TEST(VirtualBoard, PortAccessWithoutPermissionStopsTheRun) {
    EXPECT_DEATH(
        {
            Sandbox sb;
            sys().inb(0x2e);
        },
        "inb 0x2e without I/O permission");
    EXPECT_DEATH(
        {
            Sandbox sb;
            sys().ioperm(0x2e, 1, 1);
            sys().outb(0x87, 0x2e);  // permitted
            sys().outb(0x01, 0x2f);  // not: ioperm covered 0x2e only
        },
        "outb 0x2f without I/O permission");
    EXPECT_DEATH(
        {
            Sandbox sb;
            sys().ioperm(0xcf8, 3, 1);
            sys().inl(0xcf8);  // a dword needs all four ports
        },
        "inl 0xcf8 without I/O permission");
}

TEST(VirtualBoard, PortPermissionNeedsRoot) {
    Sandbox sb(R"({"uid": 1000})");
    EXPECT_EQ(1000u, sys().getuid());
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

TEST(VirtualBoard, FilesAndCommandsStayInsideTheRoot) {
    Sandbox sb;
    FILE* file = sys().fopen("/etc/../../../etc/new.ini", "w");
    ASSERT_NE(nullptr, file);
    fputs("x\n", file);
    fclose(file);
    EXPECT_EQ("x\n", sb.read_file("/etc/new.ini"));

    EXPECT_EQ(0, sys().rename("/etc/new.ini", "/etc/new.ini.old"));

    EXPECT_EQ(0, sys().system("echo hello > /tmp/said; rm -f /etc/new.ini.old"));
    EXPECT_EQ("hello\n", sb.read_file("/tmp/said"));
    EXPECT_FALSE(sb.exists("/etc/new.ini.old"));

    FILE* pipe = sys().popen("cat /tmp/said", "r");
    ASSERT_NE(nullptr, pipe);
    char line[16] = {};
    ASSERT_NE(nullptr, fgets(line, sizeof line, pipe));
    EXPECT_EQ(0, sys().pclose(pipe));
    EXPECT_STREQ("hello\n", line);
    EXPECT_THAT(sb.trace(), ElementsAre("system echo hello > /tmp/said; rm -f /etc/new.ini.old -> 0",
                                        "popen cat /tmp/said"));
}

}  // namespace
