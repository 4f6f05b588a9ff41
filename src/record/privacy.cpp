#include "record/privacy.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <sstream>

#include "hw/bmc_tables.h"

namespace {

// Where the entry points lie: 16-byte boundaries of the BIOS area.
constexpr uint64_t kBiosAreaFirst = 0xF0000;
constexpr uint64_t kBiosAreaLast = 0xFFFFF;
constexpr uint64_t kParagraph = 16;

constexpr uint8_t kEndOfTable = 127;
constexpr uint8_t kHeaderLength = 4;
// Replaced strings shorter than this are not looked for elsewhere: they
// would match bytes that are not theirs.
constexpr size_t kShortestCopy = 4;
constexpr char kStringPlaceholder = 'X';

// The private fields of a structure type (SMBIOS reference, DSP0134): the
// offsets of string numbers to replace, and of a 16-byte UUID (0: none).
struct PrivateFields {
    uint8_t type;
    uint8_t strings[2];  // 0: unused slot
    uint8_t uuid_at;
};
constexpr PrivateFields kPrivateFields[] = {
    {1, {0x07, 0}, 0x08},   // System: serial number, UUID
    {2, {0x07, 0x08}, 0},   // Base board: serial number, asset tag
    {3, {0x07, 0x08}, 0},   // Chassis: serial number, asset tag
    {4, {0x20, 0x21}, 0},   // Processor: serial number, asset tag
    {17, {0x18, 0x19}, 0},  // Memory device: serial number, asset tag
    {22, {0x07, 0}, 0},     // Portable battery: serial number
    {39, {0x08, 0x09}, 0},  // System power supply: serial number, asset tag
};
constexpr uint8_t kUuidLength = 16;

// The base board's manufacturer, product and version: what the monitor reads.
constexpr uint8_t kBaseBoard = 2;
constexpr uint8_t kMonitorReads[] = {0x04, 0x05, 0x06};

// dmidecode's lines whose value goes, and those whose value the monitor's
// pipelines take (never replaced, even where a serial number shares it).
constexpr const char* kPrivateKeyEnds[] = {"Serial Number", "Asset Tag"};
constexpr const char* kMonitorReadKeys[] = {"Manufacturer", "Product Name", "Version"};
constexpr const char* kUuidKey = "UUID";

class Memory {
public:
    explicit Memory(std::map<uint64_t, uint8_t>& bytes) : bytes_(bytes) {}
    std::optional<uint8_t> at(uint64_t address) const {
        auto found = bytes_.find(address);
        return found == bytes_.end() ? std::nullopt : std::optional<uint8_t>(found->second);
    }
    std::optional<uint64_t> le(uint64_t address, int count) const {
        uint64_t value = 0;
        for (int i = 0; i < count; ++i) {
            auto byte = at(address + i);
            if (!byte) return std::nullopt;
            value |= uint64_t(*byte) << (8 * i);
        }
        return value;
    }
    bool has_text(uint64_t address, const char* text) const {
        for (size_t i = 0; text[i]; ++i)
            if (at(address + i) != uint8_t(text[i])) return false;
        return true;
    }
    void set(uint64_t address, uint8_t value) { bytes_[address] = value; }
    std::map<uint64_t, uint8_t>& bytes() { return bytes_; }

private:
    std::map<uint64_t, uint8_t>& bytes_;
};

struct Table {
    uint64_t address;
    uint64_t length;
    std::optional<uint64_t> count;
};

// The tables the entry points in the recorded BIOS area announce: the legacy
// "_DMI_" one (also inside a 32-bit "_SM_" entry point) and the 64-bit "_SM3_".
std::vector<Table> find_tables(const Memory& memory) {
    std::vector<Table> tables;
    for (uint64_t at = kBiosAreaFirst; at < kBiosAreaLast; at += kParagraph) {
        if (memory.has_text(at, "_DMI_")) {
            auto length = memory.le(at + 6, 2), address = memory.le(at + 8, 4),
                 count = memory.le(at + 12, 2);
            if (length && address && count) tables.push_back({*address, *length, count});
        } else if (memory.has_text(at, "_SM3_")) {
            auto length = memory.le(at + 0x0C, 4), address = memory.le(at + 0x10, 8);
            if (length && address) tables.push_back({*address, *length, std::nullopt});
        }
    }
    return tables;
}

struct StringSpan {
    uint64_t address;
    size_t length;
};

// Walks the table as far as its bytes were recorded, calling `each` with
// each structure's address, formatted length and strings.
template <class Each>
void walk(const Memory& memory, const Table& table, Each&& each) {
    uint64_t at = table.address, end = table.address + table.length;
    for (uint64_t n = 0; at + kHeaderLength <= end && (!table.count || n < *table.count); ++n) {
        auto type = memory.at(at), length = memory.at(at + 1);
        if (!type || !length || *length < kHeaderLength) return;
        std::vector<StringSpan> strings;
        uint64_t text = at + *length;
        for (;;) {
            uint64_t start = text;
            std::optional<uint8_t> byte;
            while (text < end && (byte = memory.at(text)) && *byte != 0) ++text;
            if (text >= end || !byte) return;
            if (text == start) break;  // the empty string that ends the set
            strings.push_back({start, size_t(text - start)});
            ++text;
        }
        if (strings.empty()) ++text;  // a set without strings is two NULs
        each(at, *type, *length, strings);
        if (*type == kEndOfTable) return;
        at = text + 1;
    }
}

std::string text_of(const Memory& memory, const StringSpan& span) {
    std::string text;
    for (size_t i = 0; i < span.length; ++i) text += char(*memory.at(span.address + i));
    return text;
}

void replace_everywhere(std::string& text, const std::string& from, char placeholder) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + from.size()))
        text.replace(at, from.size(), std::string(from.size(), placeholder));
}

// The 16 bytes of a UUID as dmidecode prints it, in both byte orders it
// may lie in memory: as printed, and with its first three fields
// little-endian (SMBIOS 2.6 on).
std::vector<std::string> uuid_bytes(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) continue;
        bytes += char(std::stoi(text.substr(i, 2), nullptr, 16));
        ++i;
    }
    if (bytes.size() != kUuidLength) return {};
    std::string swapped = bytes;
    std::reverse(swapped.begin(), swapped.begin() + 4);
    std::reverse(swapped.begin() + 4, swapped.begin() + 6);
    std::reverse(swapped.begin() + 6, swapped.begin() + 8);
    return {bytes, swapped};
}

// The string numbers of a structure: those of its private fields, and those
// the monitor reads. `byte_at(offset)` gives a formatted byte, nullopt past
// the formatted area; numbers beyond the `count` strings are left out.
template <class ByteAt>
std::set<int> string_numbers(uint8_t type, ByteAt byte_at, size_t count, bool private_ones) {
    std::set<int> numbers;
    auto add = [&](uint8_t offset) {
        std::optional<uint8_t> number = offset ? byte_at(offset) : std::nullopt;
        if (number && *number >= 1 && size_t(*number) <= count) numbers.insert(*number);
    };
    if (!private_ones) {
        if (type == kBaseBoard)
            for (uint8_t offset : kMonitorReads) add(offset);
        return numbers;
    }
    for (const PrivateFields& fields : kPrivateFields)
        if (fields.type == type)
            for (uint8_t offset : fields.strings) add(offset);
    for (int kept : string_numbers(type, byte_at, count, false)) numbers.erase(kept);
    return numbers;
}

// dmidecode's dump of a structure it does not decode: "Header and Data:"
// then hex lines, "Strings:" then one string a line, each indented by two tabs.
void scrub_dump(std::vector<std::string>& lines, std::set<std::string>& replaced) {
    int type = -1;
    std::vector<uint8_t> formatted;
    for (size_t i = 0; i < lines.size(); ++i) {
        unsigned number;
        if (std::sscanf(lines[i].c_str(), "Handle 0x%*x, DMI type %u,", &number) == 1) {
            type = int(number);
            formatted.clear();
        } else if (lines[i] == "\tHeader and Data:") {
            for (; i + 1 < lines.size() && lines[i + 1].starts_with("\t\t"); ++i) {
                std::istringstream hex(lines[i + 1]);
                unsigned byte;
                while (hex >> std::hex >> byte) formatted.push_back(uint8_t(byte));
            }
        } else if (lines[i] == "\tStrings:" && type >= 0) {
            size_t first = i + 1, count = 0;
            while (first + count < lines.size() && lines[first + count].starts_with("\t\t"))
                ++count;
            auto byte_at = [&](uint8_t offset) {
                return offset < formatted.size() ? std::optional<uint8_t>(formatted[offset])
                                                 : std::nullopt;
            };
            for (int n : string_numbers(uint8_t(type), byte_at, count, true)) {
                std::string& line = lines[first + size_t(n) - 1];
                replaced.insert(line.substr(2));
                std::fill(line.begin() + 2, line.end(), kStringPlaceholder);
            }
            i += count;
        }
    }
}

// The structure tables in recorded memory, scrubbed in place.
void scrub_tables(std::map<uint64_t, uint8_t>& bytes, std::set<std::string>& replaced,
                  std::set<std::string>& kept) {
    Memory memory(bytes);
    for (const Table& table : find_tables(memory)) {
        walk(
            memory, table,
            [&](uint64_t at, uint8_t type, uint8_t length, const std::vector<StringSpan>& strings) {
                auto byte_at = [&](uint8_t offset) {
                    return offset < length ? memory.at(at + offset) : std::nullopt;
                };
                for (int n : string_numbers(type, byte_at, strings.size(), false))
                    kept.insert(text_of(memory, strings[size_t(n) - 1]));
                for (int n : string_numbers(type, byte_at, strings.size(), true)) {
                    const StringSpan& span = strings[size_t(n) - 1];
                    replaced.insert(text_of(memory, span));
                    for (size_t i = 0; i < span.length; ++i)
                        memory.set(span.address + i, kStringPlaceholder);
                }
                for (const PrivateFields& fields : kPrivateFields) {
                    if (fields.type == type && fields.uuid_at &&
                        fields.uuid_at + kUuidLength <= length) {
                        for (uint8_t i = 0; i < kUuidLength; ++i)
                            memory.set(at + fields.uuid_at + i, 0);
                    }
                }
            });
    }
}

// dmidecode's lines, scrubbed in place.
void scrub_lines(std::vector<std::string>& lines, std::set<std::string>& replaced,
                 std::set<std::string>& kept, std::set<std::string>& uuids) {
    for (std::string& line : lines) {
        size_t colon = line.find(": ");
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        key.erase(0, key.find_first_not_of(" \t"));
        size_t value = colon + 2;
        bool serial = false;
        for (const char* end_of_key : kPrivateKeyEnds) serial = serial || key.ends_with(end_of_key);
        for (const char* read : kMonitorReadKeys)
            if (key == read) kept.insert(line.substr(value));
        if (serial) {
            replaced.insert(line.substr(value));
            std::fill(line.begin() + long(value), line.end(), kStringPlaceholder);
        } else if (key == kUuidKey) {
            std::vector<std::string> orders = uuid_bytes(line.substr(value));
            if (orders.empty()) continue;  // "Not Present", "Not Settable"
            uuids.insert(orders.begin(), orders.end());
            for (size_t i = value; i < line.size(); ++i)
                if (std::isxdigit(static_cast<unsigned char>(line[i]))) line[i] = '0';
        }
    }
    scrub_dump(lines, replaced);
}

}  // namespace

void hide_smbios_identity(std::map<uint64_t, uint8_t>& memory,
                          std::optional<std::string>& dmidecode) {
    std::set<std::string> replaced, kept, uuids;
    scrub_tables(memory, replaced, kept);
    std::vector<std::string> lines;
    if (dmidecode) {
        for (size_t start = 0; start <= dmidecode->size();) {
            size_t end = std::min(dmidecode->find('\n', start), dmidecode->size());
            lines.push_back(dmidecode->substr(start, end - start));
            start = end + 1;
        }
        scrub_lines(lines, replaced, kept, uuids);
    }

    // Copies elsewhere: a second record for the maker search, the table the
    // scan of the BIOS area read without an entry point, dmidecode's text.
    std::vector<std::string> copies;
    for (const std::string& text : replaced)
        if (text.size() >= kShortestCopy && !kept.count(text)) copies.push_back(text);
    for (auto run = memory.begin(); run != memory.end();) {
        uint64_t first = run->first, next = first;
        std::string content;
        auto start = run;
        for (; run != memory.end() && run->first == next; ++run, ++next)
            content += char(run->second);
        std::string scrubbed = content;
        for (const std::string& text : copies)
            replace_everywhere(scrubbed, text, kStringPlaceholder);
        for (const std::string& uuid : uuids) replace_everywhere(scrubbed, uuid, '\0');
        if (scrubbed == content) continue;
        for (auto it = start; it != run; ++it) it->second = uint8_t(scrubbed[it->first - first]);
    }
    if (dmidecode) {
        std::string text;
        for (size_t i = 0; i < lines.size(); ++i)
            text += lines[i] + (i + 1 < lines.size() ? "\n" : "");
        for (const std::string& copy : copies) replace_everywhere(text, copy, kStringPlaceholder);
        *dmidecode = std::move(text);
    }
}

std::vector<uint8_t> scrub_bmc_guid(std::vector<uint8_t> guid) {
    size_t kept = 0;
    for (const bmc::GuidPattern& pattern : bmc::kGuidPatterns) {
        if (guid.size() >= pattern.length &&
            std::equal(pattern.bytes, pattern.bytes + pattern.length, guid.begin())) {
            kept = pattern.length;
            break;
        }
    }
    std::fill(guid.begin() + long(std::min(kept, guid.size())), guid.end(), 0);
    return guid;
}
