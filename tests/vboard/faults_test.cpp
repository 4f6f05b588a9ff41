// The board's file faults: a disk that fills up, paths that are not there.
// Unreadable files and bad fault entries are pinned end to end
// (fault-unreadable-master-file-on-first-run, vb-board-refused-*).
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/sandbox.h"
#include "sys/handles.h"

namespace {

// 10 bytes free under /etc (and 0 under /etc/full, mounted inside it): the
// stream's buffer hides the failure until it goes out, as on Linux.
TEST(BoardFaults, FullDiskFailsWhenTheBufferGoesOut) {
    Sandbox sb(R"({"faults": {"full_disk": {"/etc": 10, "/etc/full": 0}}})");
    sb.write_file("/etc/old", "previous\n");
    sb.write_file("/etc/full/keep", "");
    File inner(sys().fopen("/etc/full/x", "a"));  // the innermost file system is the full one
    std::fputs("x", inner.get());
    EXPECT_EQ(EOF, inner.close());

    File first(sys().fopen("/etc/a", "w"));
    EXPECT_EQ(6u, std::fwrite("abcdef", 1, 6, first.get()));
    EXPECT_EQ(0, std::fflush(first.get()));  // 6 of 10 bytes
    std::fputs("ghijkl", first.get());
    errno = 0;
    EXPECT_EQ(EOF, first.close());  // 4 fit, 2 do not
    EXPECT_EQ(ENOSPC, errno);
    EXPECT_EQ("abcdefghij", sb.read_file("/etc/a"));

    // Now nothing fits: the file is still truncated, but its data is refused;
    // an empty file closes fine; other paths are on another disk.
    File second(sys().fopen("/etc/old", "w"));
    std::fputs("new\n", second.get());
    EXPECT_EQ(EOF, second.close());
    EXPECT_EQ("", sb.read_file("/etc/old"));
    EXPECT_EQ(0, File(sys().fopen("/etc/empty", "w")).close());
    File elsewhere(sys().fopen("/tmp/x", "w"));
    std::fputs("fits anywhere else\n", elsewhere.get());
    EXPECT_EQ(0, elsewhere.close());
}

// Every call finds a missing path absent (ENOENT), however it is written,
// and nothing can be made inside it.
TEST(BoardFaults, MissingPathsAreNotThereForAnyCall) {
    Sandbox sb(R"({"faults": {"missing": ["/dev/mem", "/proc/bus"]},
                   "smbus": [{"bus": 0, "name": "SMBus I801 adapter at 1100"}]})");
    EXPECT_TRUE(sb.exists("/dev/i2c-0"));
    sb.write_file("/proc/bus/i2c", "planted after seeding\n");  // still not seen
    struct stat st {};
    for (const char* path : {"/proc/bus/i2c", "/dev/../dev/mem"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(nullptr, sys().fopen(path, "r"));
        EXPECT_EQ(-1, sys().stat(path, &st));
        EXPECT_EQ(-1, sys().unlink(path));
        errno = 0;
        EXPECT_EQ(-1, sys().rename("/proc/modules", path));
        EXPECT_EQ(ENOENT, errno);
    }
    EXPECT_EQ(nullptr, sys().opendir("/proc/bus"));
    EXPECT_EQ(nullptr, sys().fopen("/proc/bus/new", "w"));
    EXPECT_TRUE(sb.exists("/proc/modules"));  // the rename did not happen
}

}  // namespace
