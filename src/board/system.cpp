// The entry-point scan: the legacy SMBIOS entry point ("_DMI_") sits on a
// 16-byte boundary in the BIOS area and gives the structure table's address,
// length and number of structures. The first base board record (type 2) of
// the table names the board.
#include "board/system.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "board/dmi_record.h"
#include "sys/handles.h"
#include "sys/sys.h"

namespace {

constexpr const char* kMaker = "KELVORANTE";
constexpr uint32_t kPageSize = 4096;
constexpr size_t kParagraph = 16;  // the anchor's alignment
constexpr char kAnchor[] = "_DMI_";

// Without an entry point the kernel may still know the table (an EFI board):
// dmidecode prints it, and these pick the base board's three fields.
constexpr const char* kDmidecodeCommands[] = {
    "dmidecode|grep -i 'DMI type 2,' -A 6 | grep Manufacturer | sed 's/Manufacturer: //g' | "
    "sed 's/\\t//g'",
    "dmidecode|grep -i 'DMI type 2,' -A 6 | grep Product | sed 's/Product Name: //g' | "
    "sed 's/\\t//g'",
    "dmidecode|grep -i 'DMI type 2,' -A 6 | grep Version | sed 's/Version: //g' | "
    "sed 's/\\t//g'",
};

// The fields of the legacy entry point, little-endian.
struct EntryPoint {
    uint16_t tableLength;     // bytes 6-7
    uint32_t tableAddress;    // bytes 8-11
    uint16_t structureCount;  // bytes 12-13
};

EntryPoint parse_entry_point(const uint8_t* p) {
    return {static_cast<uint16_t>(p[6] | p[7] << 8),
            static_cast<uint32_t>(p[8] | p[9] << 8 | p[10] << 16 | uint32_t(p[11]) << 24),
            static_cast<uint16_t>(p[12] | p[13] << 8)};
}

struct TableCopy {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size;
};

void error(const char* message) {
    std::fputs(message, stderr);
}

// Maps the pages that hold the table, copies the table out and unmaps them.
// Prints the failure and gives nothing back when a step fails.
std::optional<TableCopy> copy_table(int mem, const EntryPoint& entry) {
    uint32_t page = entry.tableAddress & ~(kPageSize - 1);
    size_t inPage = entry.tableAddress - page;
    size_t length = entry.tableLength + inPage;
    Mapping mapping(sys().mmap(nullptr, length, PROT_READ, MAP_SHARED, mem, page), length);
    if (!mapping.valid()) {
        error("Error: mmap\n");
        return std::nullopt;
    }
    TableCopy table{std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[entry.tableLength]),
                    entry.tableLength};
    if (!table.bytes) {
        error("Error: malloc\n");
        return std::nullopt;
    }
    std::memcpy(table.bytes.get(), static_cast<const uint8_t*>(mapping.get()) + inPage, table.size);
    if (mapping.unmap() != 0) {
        error("Error: munmap\n");
        return std::nullopt;
    }
    return table;
}

// Offset of the first base board structure among the first `count`
// structures, or npos. The walk never leaves the table.
size_t find_base_board(const uint8_t* table, size_t size, unsigned count) {
    size_t at = 0;
    for (unsigned i = 0; i < count && at < size; ++i) {
        if (table[at] == kBaseBoardType) return at;
        if (at + 1 >= size) break;
        at += table[at + 1];  // the formatted area
        // The string set, up to and including the two NULs that end it.
        while (at + 1 < size && !(table[at] == 0 && table[at + 1] == 0)) ++at;
        at += 2;
    }
    return std::string_view::npos;
}

bool all_empty(const char* a, const char* b, const char* c) {
    return a[0] == '\0' && b[0] == '\0' && c[0] == '\0';
}

}  // namespace

int get_mb_info(char* manufacturer, char* product, char* version) {
    Fd mem(sys().open("/dev/mem", O_RDONLY));
    if (!mem.valid()) {
        error("Error: open (\"/dev/mem\")\n");
        return -1;
    }
    if (sys().lseek(mem.get(), kBiosAreaFirst, SEEK_SET) == -1) {
        error("Error: seek\n");
        return -1;
    }
    for (uint32_t address = kBiosAreaFirst; address <= kBiosAreaLast; address += kParagraph) {
        uint8_t paragraph[kParagraph];
        if (sys().read(mem.get(), paragraph, kParagraph) != static_cast<ssize_t>(kParagraph)) {
            error("Error: read\n");
            // Go on with the next paragraph, wherever the failed read left us.
            sys().lseek(mem.get(), static_cast<off_t>(address + kParagraph), SEEK_SET);
            continue;
        }
        if (std::memcmp(paragraph, kAnchor, sizeof kAnchor - 1) != 0) continue;
        EntryPoint entry = parse_entry_point(paragraph);
        std::optional<TableCopy> table = copy_table(mem.get(), entry);
        if (!table) return -1;
        size_t at = find_base_board(table->bytes.get(), table->size, entry.structureCount);
        if (at == std::string_view::npos) continue;

        store_base_board_strings(table->bytes.get() + at, table->size - at, manufacturer, product,
                                 version);
        // Some boards carry a base board record of the chipset or BIOS
        // vendor; the maker's own record is then elsewhere in the area.
        if (strcasecmp(manufacturer, kMaker) != 0)
            get_mb_info_by_force(manufacturer, product, version);
        return 0;
    }
    // No base board record in the BIOS area. Buffers that already hold text
    // (a second identification in the same run) are kept as they are.
    if (all_empty(manufacturer, product, version)) {
        char* buffers[] = {manufacturer, product, version};
        for (size_t i = 0; i < 3; ++i)
            get_cmd_output(kDmidecodeCommands[i], buffers[i], kBoardTextSize);
    }
    return 0;
}
