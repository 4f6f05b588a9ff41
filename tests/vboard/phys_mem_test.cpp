// /dev/mem of the virtual board: the kernel's rules for seeking, reading and
// mapping it, and the trace lines. What the board places there (entry point,
// table, raw records, single bytes) is read by the identification in the
// first-run-* cases; the table's layout: BoardFile.EncodesSmbiosStructures.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mman.h>

#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

// Rows run in order on one descriptor.
TEST(PhysMem, SeekReadAndMapFollowTheKernel) {
    enum Op { seek_set, seek_end, read, map };
    struct Row {
        Op op;
        long long offset;  // seek offset, map offset
        size_t count;      // read count, map length
        long long result;
        int error;
        const char* trace;  // "" for none
    };
    const Row rows[] = {
        {seek_set, 0xF0000, 0, 0xF0000, 0, ""},
        {seek_end, 0, 0, -1, EINVAL, ""},
        {seek_set, -4095, 0, -1, EOVERFLOW, ""},  // would read as an errno
        {seek_set, -4096, 0, -4096, 0, ""},       // accepted: a huge address
        {read, 0, 1, -1, EFAULT, "mem 0xfffffffffffff000 1 -> -1"},
        {seek_set, 0xFFFFFFF8, 0, 0xFFFFFFF8, 0, ""},
        {read, 0, 16, -1, EFAULT, "mem 0xfffffff8 16 -> -1"},  // crosses 4 GiB: nothing read
        {read, 0, 8, 8, 0, "mem 0xfffffff8 8"},
        {read, 0, 0, 0, 0, "mem 0x100000000 0"},
        {read, 0, 1, -1, EFAULT, "mem 0x100000000 1 -> -1"},
        {map, 0xF0A00, 16, -1, EINVAL, "mmap 0xf0a00 0x10"},  // not page aligned
        {map, 0xFFFFF000, 0x2000, -1, EINVAL, "mmap 0xfffff000 0x2000"},
        {map, 0xFFFFF000, 0x1000, 0, 0, "mmap 0xfffff000 0x1000"},
    };
    Sandbox sb(R"({"smbios": {"memory": {"0xFFA40": "0x06"}}})");
    int fd = sys().open("/dev/mem", O_RDONLY);
    ASSERT_GE(fd, 0);
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "offset " << row.offset << " count " << row.count);
        sb.clear_trace();
        errno = 0;
        long long result = 0;
        uint8_t buffer[16] = {};
        if (row.op == read) {
            result = sys().read(fd, buffer, row.count);
        } else if (row.op == map) {
            void* at = sys().mmap(nullptr, row.count, PROT_READ, MAP_SHARED, fd, off_t(row.offset));
            result = at == MAP_FAILED ? -1 : 0;
            if (at != MAP_FAILED) sys().munmap(at, row.count);
        } else {
            result = sys().lseek(fd, off_t(row.offset), row.op == seek_set ? SEEK_SET : SEEK_END);
        }
        EXPECT_EQ(row.result, result);
        if (row.result == -1) {
            EXPECT_EQ(row.error, errno);
        }
        if (*row.trace) {
            EXPECT_THAT(sb.trace(), ElementsAre(row.trace));
        } else {
            EXPECT_THAT(sb.trace(), testing::IsEmpty());
        }
    }
}

}  // namespace
