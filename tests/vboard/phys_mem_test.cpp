// /dev/mem of the virtual board: the SMBIOS entry point, table, raw records
// and single bytes where the board puts them, read the ways the board
// identification reads them, with the kernel's errors and the trace lines.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
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
    "raw_records": [{"address": "0xF8000",
                     "bytes": "02 07 05 00 01 02 00 41 43 4d 45 00 4b 65 6c 76 00 00"}],
    "memory": {"0xFFA40": "0x06", "0xFFA41": "0x03"}
  }
})";

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The table as laid out by hand: BIOS (length 6: header and two string
// numbers), Base Board (length 7), End Of Table (length 4, no strings).
const std::string kStrings[] = {std::string("Vendor BIOS\0" "1.0b\0\0", 18),
                                std::string("KELVORANTE\0VB-111\0" "1.1\0\0", 23)};
const Bytes kTable = concat({{0x00, 0x06, 0x00, 0x00, 0x01, 0x02},
                             Bytes(kStrings[0].begin(), kStrings[0].end()),
                             {0x02, 0x07, 0x01, 0x00, 0x01, 0x02, 0x03},
                             Bytes(kStrings[1].begin(), kStrings[1].end()),
                             {0x7F, 0x04, 0x02, 0x00, 0x00, 0x00}});

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

Bytes mapped(int fd, off_t offset, size_t length) {
    void* at = sys().mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, offset);
    if (at == MAP_FAILED) {
        ADD_FAILURE() << "mmap failed: " << std::strerror(errno);
        return {};
    }
    const uint8_t* p = static_cast<const uint8_t*>(at);
    Bytes bytes(p, p + length);
    EXPECT_EQ(0, sys().munmap(at, length));
    return bytes;
}

std::vector<std::string> mem_lines(const Sandbox& sb) {
    std::vector<std::string> lines;
    for (const std::string& line : sb.trace())
        if (line.rfind("mem ", 0) == 0 || line.rfind("mmap ", 0) == 0) lines.push_back(line);
    return lines;
}

TEST(PhysMem, EntryPointFoundBySixteenByteScanAndTableByMapping) {
    Sandbox sb(kBoard);
    int fd = open_mem();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0xF0000, sys().lseek(fd, 0xF0000, SEEK_SET));
    uint8_t row[16];
    long found = -1;
    for (long address = 0xF0000; address <= 0xFFFF0; address += 16) {
        ASSERT_EQ(16, sys().read(fd, row, 16));
        if (std::memcmp(row, "_DMI_", 5) == 0) {
            found = address;
            break;
        }
    }
    ASSERT_EQ(0xF0A00, found);
    EXPECT_EQ(kEntryPoint, Bytes(row, row + 15));

    // 0xa00 / 16 reads came back empty before the anchor.
    std::vector<std::string> lines = mem_lines(sb);
    ASSERT_EQ(0xA1u, lines.size());
    EXPECT_EQ("mem 0xf0010 16", lines[1]);
    EXPECT_EQ("mem 0xf0a00 16", lines.back());

    uint16_t length = uint16_t(row[6] | row[7] << 8);
    uint32_t table = uint32_t(row[8] | row[9] << 8 | row[10] << 16 | row[11] << 24);
    sb.clear_trace();
    Bytes page_and_table = mapped(fd, table & ~0xFFFu, length + (table & 0xFFFu));
    EXPECT_EQ(kTable, Bytes(page_and_table.begin() + (table & 0xFFF), page_and_table.end()));
    EXPECT_THAT(mem_lines(sb), ElementsAre("mmap 0xf1000 0x3c"));
    EXPECT_EQ(0, sys().close(fd));
}

TEST(PhysMem, ReadsShowWhatTheBoardPlacedAndZeroElsewhere) {
    Sandbox sb(kBoard);
    int fd = open_mem(O_RDWR);  // the forced search and getMemByte open it read-write
    ASSERT_GE(fd, 0);
    // Straddling the entry point: 8 zero bytes, 15 entry bytes, 9 zero bytes.
    EXPECT_EQ(concat({Bytes(8, 0), kEntryPoint, Bytes(9, 0)}), read_at(fd, 0xF09F8, 32));
    EXPECT_EQ(kTable, read_at(fd, 0xF1000, kTable.size()));
    EXPECT_EQ(Bytes({0x00, 0x06, 0x03, 0x00}), read_at(fd, 0xFFA3F, 4));
    EXPECT_EQ(Bytes(16, 0), read_at(fd, 0, 16));
    // The forced search maps 8 KiB windows; the raw record starts one.
    Bytes window = mapped(fd, 0xF8000, 8192);
    EXPECT_EQ(Bytes({0x02, 0x07, 0x05, 0x00, 0x01, 0x02, 0x00, 'A', 'C', 'M', 'E', 0x00}),
              Bytes(window.begin(), window.begin() + 12));
    EXPECT_TRUE(std::all_of(window.begin() + 18, window.end(), [](uint8_t b) { return b == 0; }));
    // getMemByte: the page that holds the byte.
    Bytes page = mapped(fd, 0xFF000, 4096);
    EXPECT_EQ(0x06, page[0xA40]);
    EXPECT_EQ(0x03, page[0xA41]);
    // Each descriptor keeps its own position.
    int other = open_mem();
    EXPECT_EQ(0xF0A00, sys().lseek(other, 0xF0A00, SEEK_SET));
    EXPECT_EQ(16, sys().lseek(fd, 0, SEEK_CUR));  // after the read at 0
    EXPECT_THAT(mem_lines(sb),
                ElementsAre("mem 0xf09f8 32", "mem 0xf1000 60", "mem 0xffa3f 4",
                                     "mem 0x0 16", "mmap 0xf8000 0x2000", "mmap 0xff000 0x1000"));
}

// Rows run in order on one descriptor; `position` is where lseek(0, SEEK_CUR)
// finds it afterwards.
TEST(PhysMem, SeekReadAndMapFollowTheKernel) {
    enum Op { seek_set, seek_cur, seek_end, read, map };
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
        {seek_cur, -16, 0, 0xEFFF0, 0, ""},
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
        {map, -4096, 4096, -1, EINVAL, "mmap 0xfffffffffffff000 0x1000"},
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
            int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
            result = sys().lseek(fd, off_t(row.offset), whence[row.op]);
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

TEST(PhysMem, OnlyRootOpensIt) {
    Sandbox sb(R"({"uid": 1000})");
    errno = 0;
    EXPECT_EQ(-1, open_mem());
    EXPECT_EQ(EACCES, errno);
    EXPECT_THAT(sb.trace(), ElementsAre("open /dev/mem -> -1"));
}

}  // namespace
