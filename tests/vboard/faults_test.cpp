// The board's file faults: a disk that fills up, paths that are not there,
// files whose reads fail, and how the board file refuses bad fault entries.
#include <errno.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "support/sandbox.h"
#include "sys/handles.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;

// 10 bytes free under /etc (and 0 under /etc/full, mounted inside it): the
// stream's buffer hides the failure until it goes out, as on Linux.
TEST(BoardFaults, FullDiskFailsWhenTheBufferGoesOut) {
    Sandbox sb(R"({"faults": {"full_disk": {"/etc": 10, "/etc/full": 0}}})");
    sb.write_file("/etc/old", "previous\n");
    sb.write_file("/etc/full/keep", "");

    // The innermost file system is the full one.
    File inner(sys().fopen("/etc/full/x", "a"));
    ASSERT_TRUE(inner);
    std::fputs("x", inner.get());
    EXPECT_EQ(EOF, inner.close());

    File first(sys().fopen("/etc/a", "w"));
    ASSERT_TRUE(first);
    EXPECT_EQ(6u, std::fwrite("abcdef", 1, 6, first.get()));  // buffered
    EXPECT_EQ(0, std::fflush(first.get()));                   // 6 of 10 bytes
    EXPECT_EQ(6u, std::fwrite("ghijkl", 1, 6, first.get()));
    errno = 0;
    EXPECT_EQ(EOF, first.close());  // 4 fit, 2 do not
    EXPECT_EQ(ENOSPC, errno);
    EXPECT_EQ("abcdefghij", sb.read_file("/etc/a"));

    // Now nothing fits: the file is still created (and truncated), as a full
    // file system allows, but its data is refused.
    File second(sys().fopen("/etc/old", "w"));
    ASSERT_TRUE(second);
    std::fputs("new\n", second.get());
    errno = 0;
    EXPECT_EQ(EOF, second.close());
    EXPECT_EQ(ENOSPC, errno);
    EXPECT_EQ("", sb.read_file("/etc/old"));

    // Reading is not affected; an empty file closes fine; other paths are
    // on another disk.
    EXPECT_TRUE(File(sys().fopen("/etc/a", "r")));
    EXPECT_EQ(0, File(sys().fopen("/etc/empty", "w")).close());
    File elsewhere(sys().fopen("/tmp/x", "w"));
    std::fputs("fits anywhere else\n", elsewhere.get());
    EXPECT_EQ(0, elsewhere.close());
}

TEST(BoardFaults, MissingPathsAreNotThereForAnyCall) {
    Sandbox sb(R"({"faults": {"missing": ["/dev/mem", "/proc/bus"]},
                   "pci": [{"bus": 0, "device": 31, "function": 3, "id": "0x3A308086"}],
                   "smbus": [{"bus": 0, "name": "SMBus I801 adapter at 1100"}]})");
    // Not seeded, although the board would list them.
    EXPECT_FALSE(sb.exists("/proc/bus/pci/devices"));
    EXPECT_FALSE(sb.exists("/proc/bus/i2c"));
    EXPECT_FALSE(sb.exists("/dev/mem"));
    EXPECT_TRUE(sb.exists("/dev/i2c-0"));
    EXPECT_TRUE(sb.exists("/proc/modules"));

    struct stat st {};
    sb.write_file("/proc/bus/i2c", "planted after seeding\n");  // still not seen
    const char* gone[] = {"/proc/bus/i2c", "/proc/bus", "/dev/../dev/mem"};
    for (const char* path : gone) {
        SCOPED_TRACE(path);
        errno = 0;
        EXPECT_EQ(nullptr, sys().fopen(path, "r"));
        EXPECT_EQ(ENOENT, errno);
        EXPECT_EQ(-1, sys().stat(path, &st));
        EXPECT_EQ(-1, sys().unlink(path));
        EXPECT_EQ(-1, sys().chmod(path, 0644));
        EXPECT_EQ(-1, sys().rename("/proc/modules", path));
        EXPECT_EQ(ENOENT, errno);
    }
    EXPECT_EQ(nullptr, sys().opendir("/proc/bus"));
    EXPECT_EQ(nullptr, sys().fopen("/proc/bus/new", "w"));  // nothing can be made there
    EXPECT_TRUE(sb.exists("/proc/modules"));                // the rename did not happen

    sb.clear_trace();
    EXPECT_EQ(-1, sys().open("/dev/mem", O_RDONLY));
    EXPECT_EQ(ENOENT, errno);
    Fd i2c(sys().open("/dev/i2c-0", O_RDWR));
    EXPECT_TRUE(i2c.valid());
    EXPECT_THAT(sb.trace(), ElementsAre("open /dev/mem -> -1",
                                        "open /dev/i2c-0 -> " + std::to_string(i2c.get())));
}

TEST(BoardFaults, UnreadableFileOpensButItsReadsFail) {
    Sandbox sb(R"({"faults": {"unreadable": ["/etc/AllSenvis.ini"]},
                   "files": {"/etc/AllSenvis.ini": "[_VB-1_]\n[SYSTEM]\n"}})");
    File master(sys().fopen("/etc/AllSenvis.ini", "r"));
    ASSERT_TRUE(master);
    char line[80];
    errno = 0;
    EXPECT_EQ(nullptr, std::fgets(line, sizeof line, master.get()));
    EXPECT_TRUE(std::ferror(master.get()));
    EXPECT_EQ(EIO, errno);
    EXPECT_EQ("[_VB-1_]\n[SYSTEM]\n", sb.read_file("/etc/AllSenvis.ini"));
}

TEST(BoardFaults, BadEntriesAreRefusedWithTheirPath) {
    struct Case {
        const char* json;
        const char* message;
    };
    const Case cases[] = {
        {R"({"faults": {"full_disk": ["/etc"]}})", "b.json: faults.full_disk: expected an object"},
        {R"({"faults": {"full_disk": {"etc": 0}}})",
         "b.json: faults.full_disk.etc: expected an absolute path"},
        {R"({"faults": {"full_disk": {"/etc": -1}}})",
         "b.json: faults.full_disk[\"/etc\"]: expected a byte count (0..4294967295), got -1"},
        {R"({"faults": {"missing": ["/dev/mem", "/dev/mem"]}})",
         "b.json: faults.missing[1]: also listed as faults.missing[0]"},
        {R"({"faults": {"unreadable": ["/etc/../x"]}})",
         "b.json: faults.unreadable[0]: expected an absolute path"},
        {R"({"faults": {"full": {}}})", "b.json: faults.full: unknown key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        try {
            parse_board(c.json, "b.json");
            ADD_FAILURE() << "accepted";
        } catch (const BoardError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.message));
        }
    }
    // The whole disk may be full.
    EXPECT_EQ(
        0u,
        parse_board(R"({"faults": {"full_disk": {"/": 0}}})", "b.json").faults.full_disk.at("/"));
}

}  // namespace
