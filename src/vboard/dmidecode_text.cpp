#include "vboard/dmidecode_text.h"

#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

// Structure type names, types 0 to 44 (SMBIOS reference, chapter 7).
constexpr std::array<std::string_view, 45> kTypeNames = {
    "BIOS Information",
    "System Information",
    "Base Board Information",
    "Chassis Information",
    "Processor Information",
    "Memory Controller Information",
    "Memory Module Information",
    "Cache Information",
    "Port Connector Information",
    "System Slot Information",
    "On Board Device Information",
    "OEM Strings",
    "System Configuration Options",
    "BIOS Language Information",
    "Group Associations",
    "System Event Log",
    "Physical Memory Array",
    "Memory Device",
    "32-bit Memory Error Information",
    "Memory Array Mapped Address",
    "Memory Device Mapped Address",
    "Built-in Pointing Device",
    "Portable Battery",
    "System Reset",
    "Hardware Security",
    "System Power Controls",
    "Voltage Probe",
    "Cooling Device",
    "Temperature Probe",
    "Electrical Current Probe",
    "Out-of-band Remote Access",
    "Boot Integrity Services Entry Point",
    "System Boot Information",
    "64-bit Memory Error Information",
    "Management Device",
    "Management Device Component",
    "Management Device Threshold Data",
    "Memory Channel",
    "IPMI Device Information",
    "System Power Supply",
    "Additional Information",
    "Onboard Device",
    "Management Controller Host Interface",
    "TPM Device",
    "Processor Additional Information",
};
constexpr uint8_t kInactive = 126;
constexpr uint8_t kEndOfTable = 127;
constexpr uint8_t kFirstOemType = 128;

// BIOS characteristics (type 0, offset 0x0A): bit 3 says none are given;
// bits 4 to 31 are these.
constexpr std::string_view kNoCharacteristics = "BIOS characteristics not supported";
constexpr std::array<std::string_view, 28> kCharacteristics = {
    "ISA is supported",
    "MCA is supported",
    "EISA is supported",
    "PCI is supported",
    "PC Card (PCMCIA) is supported",
    "PNP is supported",
    "APM is supported",
    "BIOS is upgradeable",
    "BIOS shadowing is allowed",
    "VLB is supported",
    "ESCD support is available",
    "Boot from CD is supported",
    "Selectable boot is supported",
    "BIOS ROM is socketed",
    "Boot from PC Card (PCMCIA) is supported",
    "EDD is supported",
    "Japanese floppy for NEC 9800 1.2 MB is supported (int 13h)",
    "Japanese floppy for Toshiba 1.2 MB is supported (int 13h)",
    "5.25\"/360 kB floppy services are supported (int 13h)",
    "5.25\"/1.2 MB floppy services are supported (int 13h)",
    "3.5\"/720 kB floppy services are supported (int 13h)",
    "3.5\"/2.88 MB floppy services are supported (int 13h)",
    "Print screen service is supported (int 5h)",
    "8042 keyboard services are supported (int 9h)",
    "Serial services are supported (int 14h)",
    "Printer services are supported (int 17h)",
    "CGA/mono video services are supported (int 10h)",
    "NEC PC-98",
};
// Extension bytes 1 (offset 0x12) and 2 (0x13), from bit 0.
constexpr std::array<std::string_view, 8> kCharacteristicsX1 = {
    "ACPI is supported",
    "USB legacy is supported",
    "AGP is supported",
    "I2O boot is supported",
    "LS-120 boot is supported",
    "ATAPI Zip drive boot is supported",
    "IEEE 1394 boot is supported",
    "Smart battery is supported",
};
constexpr std::array<std::string_view, 5> kCharacteristicsX2 = {
    "BIOS boot specification is supported",
    "Function key-initiated network boot is supported",
    "Targeted content distribution is supported",
    "UEFI is supported",
    "System is a virtual machine",
};

// System wake-up type (type 1, offset 0x18), from 0.
constexpr std::array<std::string_view, 9> kWakeUpTypes = {
    "Reserved",   "Other",        "Unknown",  "APM Timer",         "Modem Ring",
    "LAN Remote", "Power Switch", "PCI PME#", "AC Power Restored",
};

// Base board feature flags (type 2, offset 0x09), from bit 0, and board
// types (offset 0x0D), from 1.
constexpr std::array<std::string_view, 5> kBoardFeatures = {
    "Board is a hosting board", "Board requires at least one daughter board",
    "Board is removable",       "Board is replaceable",
    "Board is hot swappable",
};
constexpr std::array<std::string_view, 13> kBoardTypes = {
    "Unknown",
    "Other",
    "Server Blade",
    "Connectivity Switch",
    "System Management Module",
    "Processor Module",
    "I/O Module",
    "Memory Module",
    "Daughter Board",
    "Motherboard",
    "Processor+Memory Module",
    "Processor+I/O Module",
    "Interconnect Board",
};
constexpr std::string_view kOutOfSpec = "<OUT OF SPEC>";

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    va_end(again);
    return text;
}

template <size_t N>
std::string_view lookup(const std::array<std::string_view, N>& table, unsigned index) {
    return index < N ? table[index] : kOutOfSpec;
}

// Control characters show as dots, so that no string breaks the layout.
std::string printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '.';
    return text;
}

// One structure as it lies in the table: the formatted area (header
// included) and the string set.
struct Structure {
    std::vector<uint8_t> formatted;
    std::vector<std::string> strings;
    uint8_t type() const { return formatted[0]; }
    uint16_t handle() const { return uint16_t(formatted[2] | formatted[3] << 8); }
};

Structure split(const std::vector<uint8_t>& bytes) {
    Structure s;
    size_t length = bytes[1];
    s.formatted.assign(bytes.begin(), bytes.begin() + long(length));
    size_t at = length;
    while (at < bytes.size() && bytes[at] != 0) {
        size_t end = at;
        while (end < bytes.size() && bytes[end] != 0) ++end;
        s.strings.emplace_back(bytes.begin() + long(at), bytes.begin() + long(end));
        at = end + 1;
    }
    return s;
}

// Prints the fields of one structure into `out`.
class Fields {
public:
    Fields(const Structure& s, std::string& out) : s_(s), out_(out) {}

    bool has(size_t offset, size_t size = 1) const { return offset + size <= s_.formatted.size(); }
    uint8_t byte(size_t offset) const { return s_.formatted[offset]; }
    uint16_t word(size_t offset) const { return uint16_t(byte(offset) | byte(offset + 1) << 8); }
    uint64_t qword(size_t offset) const {
        uint64_t value = 0;
        for (size_t i = 0; i < 8; ++i) value |= uint64_t(byte(offset + i)) << (8 * i);
        return value;
    }

    // String number n of the set: 0 is "no string".
    std::string string_number(uint8_t n) const {
        if (n == 0) return "Not Specified";
        if (n > s_.strings.size()) return "<BAD INDEX>";
        return printable(s_.strings[n - 1]);
    }

    void field(std::string_view name, std::string_view value) {
        out_ += '\t';
        out_ += name;
        out_ += ": ";
        out_ += value;
        out_ += '\n';
    }
    void string_field(std::string_view name, size_t offset) {
        if (has(offset)) field(name, string_number(byte(offset)));
    }
    void list(std::string_view name) {
        out_ += '\t';
        out_ += name;
        out_ += ":\n";
    }
    void item(std::string_view text) {
        out_ += "\t\t";
        out_ += text;
        out_ += '\n';
    }
    template <size_t N>
    void flag_items(const std::array<std::string_view, N>& names, uint64_t bits, unsigned first) {
        for (unsigned i = 0; i < N; ++i)
            if (bits >> (first + i) & 1) item(names[i]);
    }

    const Structure& structure() const { return s_; }

private:
    const Structure& s_;
    std::string& out_;
};

// A size in kB in the largest unit that shows it as a whole number of at
// most two adjacent units ("64 kB", "1 MB", "1536 kB").
std::string kilobytes(uint64_t kb) {
    constexpr std::array<const char*, 6> kUnits = {"kB", "MB", "GB", "TB", "PB", "EB"};
    size_t unit = 0;
    while (unit + 1 < kUnits.size() && kb >> (10 * (unit + 1)) != 0) ++unit;
    uint64_t top = kb >> (10 * unit);
    uint64_t below = unit > 0 ? (kb >> (10 * (unit - 1))) & 0x3FF : 0;
    if (below != 0)
        return format("%llu %s", (unsigned long long)((top << 10) | below), kUnits[unit - 1]);
    return format("%llu %s", (unsigned long long)top, kUnits[unit]);
}

void bios_information(Fields& f) {
    f.string_field("Vendor", 0x04);
    f.string_field("Version", 0x05);
    f.string_field("Release Date", 0x08);
    // The BIOS starts at this segment and runs to the end of the first MB.
    if (f.has(0x06, 2) && f.word(0x06) != 0) {
        unsigned segment = f.word(0x06);
        f.field("Address", format("0x%04X0", segment));
        unsigned runtime = (0x10000 - segment) << 4;
        f.field("Runtime Size",
                runtime & 0x3FF ? format("%u bytes", runtime) : format("%u kB", runtime >> 10));
    }
    // 64 kB units, less one; 0xFF defers to an extended size field.
    if (f.has(0x09) && f.byte(0x09) != 0xFF)
        f.field("ROM Size", kilobytes((f.byte(0x09) + 1ull) * 64));
    if (f.has(0x0A, 8)) {
        f.list("Characteristics");
        uint64_t bits = f.qword(0x0A);
        if (bits >> 3 & 1)
            f.item(kNoCharacteristics);
        else
            f.flag_items(kCharacteristics, bits, 4);
        if (f.has(0x12)) f.flag_items(kCharacteristicsX1, f.byte(0x12), 0);
        if (f.has(0x13)) f.flag_items(kCharacteristicsX2, f.byte(0x13), 0);
    }
    if (f.has(0x14, 2) && f.byte(0x14) != 0xFF && f.byte(0x15) != 0xFF)
        f.field("BIOS Revision", format("%u.%u", f.byte(0x14), f.byte(0x15)));
    if (f.has(0x16, 2) && f.byte(0x16) != 0xFF && f.byte(0x17) != 0xFF)
        f.field("Firmware Revision", format("%u.%u", f.byte(0x16), f.byte(0x17)));
}

// Since SMBIOS 2.6 the first three UUID fields are little-endian.
std::string uuid(const Fields& f, size_t at) {
    bool all_ff = true, all_00 = true;
    for (size_t i = 0; i < 16; ++i) {
        all_ff = all_ff && f.byte(at + i) == 0xFF;
        all_00 = all_00 && f.byte(at + i) == 0x00;
    }
    if (all_ff) return "Not Present";
    if (all_00) return "Not Settable";
    auto b = [&](size_t i) { return unsigned(f.byte(at + i)); };
    return format("%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b(3),
                  b(2), b(1), b(0), b(5), b(4), b(7), b(6), b(8), b(9), b(10), b(11), b(12), b(13),
                  b(14), b(15));
}

void system_information(Fields& f) {
    f.string_field("Manufacturer", 0x04);
    f.string_field("Product Name", 0x05);
    f.string_field("Version", 0x06);
    f.string_field("Serial Number", 0x07);
    if (f.has(0x08, 16)) f.field("UUID", uuid(f, 0x08));
    if (f.has(0x18)) f.field("Wake-up Type", lookup(kWakeUpTypes, f.byte(0x18)));
    f.string_field("SKU Number", 0x19);
    f.string_field("Family", 0x1A);
}

void base_board_information(Fields& f) {
    f.string_field("Manufacturer", 0x04);
    f.string_field("Product Name", 0x05);
    f.string_field("Version", 0x06);
    f.string_field("Serial Number", 0x07);
    f.string_field("Asset Tag", 0x08);
    if (f.has(0x09)) {
        if ((f.byte(0x09) & 0x1F) == 0) {
            f.field("Features", "None");
        } else {
            f.list("Features");
            f.flag_items(kBoardFeatures, f.byte(0x09), 0);
        }
    }
    f.string_field("Location In Chassis", 0x0A);
    if (f.has(0x0B, 2)) f.field("Chassis Handle", format("0x%04X", f.word(0x0B)));
    if (f.has(0x0D))
        f.field("Type", f.byte(0x0D) ? lookup(kBoardTypes, f.byte(0x0D) - 1u) : kOutOfSpec);
    if (f.has(0x0E)) {
        unsigned count = f.byte(0x0E);
        f.field("Contained Object Handles", format("%u", count));
        for (unsigned i = 0; i < count && f.has(0x0F + 2 * i, 2); ++i)
            f.item(format("0x%04X", f.word(0x0F + 2 * i)));
    }
}

// What dmidecode shows of a structure it does not decode: the formatted
// area, 16 bytes a line, then the strings.
void dump(Fields& f) {
    const Structure& s = f.structure();
    f.list("Header and Data");
    for (size_t row = 0; row < s.formatted.size(); row += 16) {
        std::string line;
        for (size_t i = row; i < s.formatted.size() && i < row + 16; ++i)
            line += format(i == row ? "%02X" : " %02X", s.formatted[i]);
        f.item(line);
    }
    if (s.strings.empty()) return;
    f.list("Strings");
    for (const std::string& text : s.strings) f.item(printable(text));
}

std::string type_name(uint8_t type) {
    if (type < kTypeNames.size()) return std::string(kTypeNames[type]);
    if (type == kInactive) return "Inactive";
    if (type == kEndOfTable) return "End Of Table";
    return type >= kFirstOemType ? "OEM-specific Type" : "Unknown Type";
}

void print_structure(const Structure& s, std::string& out) {
    out +=
        format("Handle 0x%04X, DMI type %u, %zu bytes\n", s.handle(), s.type(), s.formatted.size());
    out += type_name(s.type());
    out += '\n';
    Fields fields(s, out);
    switch (s.type()) {
        case 0:
            bios_information(fields);
            break;
        case 1:
            system_information(fields);
            break;
        case 2:
            base_board_information(fields);
            break;
        case kInactive:
        case kEndOfTable:
            break;
        default:
            dump(fields);
            break;
    }
    out += '\n';
}

}  // namespace

// With neither an entry point nor structures, dmidecode finds nothing in
// sysfs, scans /dev/mem and gives up. Otherwise the firmware has published
// the table (through the legacy entry point or, for a board without one in
// the BIOS area, through EFI), and the kernel shows it in sysfs.
std::string dmidecode_text(const SmbiosSpec& smbios) {
    std::string out = "# dmidecode 3.4\n";
    if (!smbios.entry_point && smbios.structures.empty()) {
        out += "Scanning /dev/mem for entry point.\n";
        out += "# No SMBIOS nor DMI entry point found, sorry.\n";
        return out;
    }
    uint8_t revision = smbios_entry_point_bytes(smbios)[14];  // BCD, 0x26 is 2.6
    out += "Getting SMBIOS data from sysfs.\n";
    out += format("SMBIOS %u.%u present.\n", revision >> 4, revision & 0x0Fu);
    out += format("%zu structures occupying %zu bytes.\n", smbios.structures.size(),
                  smbios_table_bytes(smbios).size());
    out += format("Table at 0x%08X.\n", unsigned(smbios.table_address.value_or(0)));
    out += '\n';
    for (size_t i = 0; i < smbios.structures.size(); ++i)
        print_structure(split(smbios_structure_bytes(smbios.structures[i], i)), out);
    return out;
}
