#include "record/privacy.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <set>

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

// dmidecode's lines whose value goes.
constexpr const char* kPrivateKeyEnds[] = {"Serial Number", "Asset Tag"};
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

void replace_everywhere(std::string& text, const std::string& from) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + from.size()))
        text.replace(at, from.size(), std::string(from.size(), kStringPlaceholder));
}

}  // namespace

std::vector<std::string> SmbiosPrivacy::scrub_memory(std::map<uint64_t, uint8_t>& bytes) {
    Memory memory(bytes);
    std::set<std::string> replaced, kept;
    for (const Table& table : find_tables(memory)) {
        walk(
            memory, table,
            [&](uint64_t at, uint8_t type, uint8_t length, const std::vector<StringSpan>& strings) {
                auto slot_at = [&](uint8_t offset) -> int {
                    auto number = offset < length ? memory.at(at + offset) : std::nullopt;
                    return number && *number >= 1 && size_t(*number) <= strings.size() ? *number - 1
                                                                                       : -1;
                };
                std::set<int> read_by_monitor;
                if (type == kBaseBoard) {
                    for (uint8_t offset : kMonitorReads) {
                        int slot = slot_at(offset);
                        if (slot < 0) continue;
                        read_by_monitor.insert(slot);
                        kept.insert(text_of(memory, strings[slot]));
                    }
                }
                for (const PrivateFields& fields : kPrivateFields) {
                    if (fields.type != type) continue;
                    for (uint8_t offset : fields.strings) {
                        int slot = offset ? slot_at(offset) : -1;
                        if (slot < 0 || read_by_monitor.count(slot)) continue;
                        replaced.insert(text_of(memory, strings[slot]));
                        for (size_t i = 0; i < strings[slot].length; ++i)
                            memory.set(strings[slot].address + i, kStringPlaceholder);
                    }
                    if (fields.uuid_at && fields.uuid_at + kUuidLength <= length) {
                        for (uint8_t i = 0; i < kUuidLength; ++i)
                            memory.set(at + fields.uuid_at + i, 0);
                    }
                }
            });
    }

    // Copies elsewhere (a second record for the maker search, a table of
    // another entry point): contiguous runs of the recorded memory.
    std::vector<std::string> copies;
    for (const std::string& text : replaced)
        if (text.size() >= kShortestCopy && !kept.count(text)) copies.push_back(text);
    for (auto run = bytes.begin(); run != bytes.end();) {
        uint64_t first = run->first, next = first;
        std::string content;
        auto start = run;
        for (; run != bytes.end() && run->first == next; ++run, ++next)
            content += char(run->second);
        std::string scrubbed = content;
        for (const std::string& text : copies) replace_everywhere(scrubbed, text);
        if (scrubbed == content) continue;
        for (auto it = start; it != run; ++it) it->second = uint8_t(scrubbed[it->first - first]);
    }
    return copies;
}

std::string SmbiosPrivacy::scrub_dmidecode(const std::string& text,
                                           const std::vector<std::string>& also) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        size_t colon = line.find(": ");
        if (colon != std::string::npos) {
            std::string key = line.substr(0, colon);
            key.erase(0, key.find_first_not_of(" \t"));
            size_t value = colon + 2;
            bool serial = false;
            for (const char* end_of_key : kPrivateKeyEnds)
                serial = serial || key.ends_with(end_of_key);
            if (serial) {
                std::fill(line.begin() + long(value), line.end(), kStringPlaceholder);
            } else if (key == kUuidKey) {
                for (size_t i = value; i < line.size(); ++i)
                    if (std::isxdigit(static_cast<unsigned char>(line[i]))) line[i] = '0';
            }
        }
        out += line;
        if (end < text.size()) out += '\n';
        start = end + 1;
    }
    for (const std::string& copy : also)
        if (copy.size() >= kShortestCopy) replace_everywhere(out, copy);
    return out;
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
