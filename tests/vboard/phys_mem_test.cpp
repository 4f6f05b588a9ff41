// /dev/mem of the virtual board: the SMBIOS entry point, table, raw records
// and single bytes where the board puts them, read the ways the board
// identification reads them, with the kernel's errors and the trace lines.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "support/sandbox.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testing::ElementsAre;

constexpr const char* kBoard = R"({
  "smbios": {
    "entry_point": "0xF0A00",
    "table_address": "0xF1000",
    "structures": [
      {"type": 0, "strings": ["Vendor BIOS", "1.0b"], "string_numbers": [1, 2]},
      {"type": 2, "manufacturer": "KELVORANTE", "product": "VB-111", "version": "1.1"},
      {"type": 127}
    ],
    "memory": {"0xFFA40": "0x06", "0xFFA41": "0x03"}
  }
})";

// Anchor, checksum, length 0x3c (60), address 0xf1000, 3 structures, 2.6.
// The bytes before the checksum and after it add up to 0x21c, so the
// checksum is 0x100 - 0x1c = 0xe4.
const Bytes kEntryPoint = {0x5F, 0x44, 0x4D, 0x49, 0x5F, 0xE4, 0x3C, 0x00,
                           0x00, 0x10, 0x0F, 0x00, 0x03, 0x00, 0x26};

int open_mem(int flags = O_RDONLY) { return sys().open("/dev/mem", flags); }

Bytes read_at(int fd, off_t address, size_t count) {
    Bytes bytes(count);
    EXPECT_EQ(address, sys().lseek(fd, address, SEEK_SET));
    EXPECT_EQ(ssize_t(count), sys().read(fd, bytes.data(), count));
    return bytes;
}

std::vector<std::string> mem_lines(const Sandbox& sb) {
    std::vector<std::string> lines;
    for (const std::string& line : sb.trace())
        if (line.rfind("mem ", 0) == 0 || line.rfind("mmap ", 0) == 0) lines.push_back(line);
    return lines;
}

// The sixteen-byte scan for the anchor is the identification's, pinned end to
// end by the first-run-* cases; the table's layout by BoardFile.EncodesSmbiosStructures.
TEST(PhysMem, ReadsShowWhatTheBoardPlacedAndZeroElsewhere) {
    Sandbox sb(kBoard);
    int fd = open_mem(O_RDWR);  // the forced search and getMemByte open it read-write
    ASSERT_GE(fd, 0);
    // Straddling the entry point: 8 zero bytes, 15 entry bytes, 9 zero bytes.
    Bytes straddling(8, 0);
    straddling.insert(straddling.end(), kEntryPoint.begin(), kEntryPoint.end());
    straddling.resize(32);
    EXPECT_EQ(straddling, read_at(fd, 0xF09F8, 32));
    // The table at its address: BIOS, length 6, handle 0, string numbers 1 and 2.
    EXPECT_EQ(Bytes({0x00, 0x06, 0x00, 0x00, 0x01, 0x02, 'V'}), read_at(fd, 0xF1000, 7));
    EXPECT_EQ(Bytes({0x00, 0x06, 0x03, 0x00}), read_at(fd, 0xFFA3F, 4));
    EXPECT_EQ(Bytes(16, 0), read_at(fd, 0, 16));
    // Mapped windows over raw records and single bytes: first-run-maker-found-in-a-second-record,
    // first-run-oldrev-by-bios-byte-vb7-peci-names.
    // Each descriptor keeps its own position.
    int other = open_mem();
    EXPECT_EQ(0xF0A00, sys().lseek(other, 0xF0A00, SEEK_SET));
    EXPECT_EQ(16, sys().lseek(fd, 0, SEEK_CUR));  // after the read at 0
    EXPECT_THAT(mem_lines(sb),
                ElementsAre("mem 0xf09f8 32", "mem 0xf1000 7", "mem 0xffa3f 4", "mem 0x0 16"));
}

// Rows run in order on one descriptor; `position` is where lseek(0, SEEK_CUR)
// finds it afterwards.
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
    Sandbox sb(kBoard);
    int fd = open_mem();
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
