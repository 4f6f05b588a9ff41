// The `smbios` part of a board file and the physical memory it builds: a
// legacy "_DMI_" entry point, the structure table, raw records and single
// bytes.
//
// A structure lies in the table as its formatted area (byte 0 type, byte 1
// length of the formatted area, bytes 2-3 handle, then the fields) followed by
// its string set: NUL-terminated strings and one more NUL, so that the set
// always ends with two NULs (a structure without strings has just those two).
#include <algorithm>
#include <iterator>
#include <map>

#include "vboard/board_parts.h"

namespace {

constexpr uint8_t kEntryPointLength = 15;
constexpr uint8_t kEntryPointRevision = 0x26;  // BCD: SMBIOS 2.6
constexpr size_t kHeaderLength = 4;            // type, length, handle

// The strings and string-number bytes of a structure, shorthand resolved.
struct ResolvedStrings {
    std::vector<std::string> strings;
    std::vector<uint8_t> numbers;
};

ResolvedStrings resolve_strings(const SmbiosStructure& s) {
    ResolvedStrings r;
    bool shorthand = s.manufacturer || s.product || s.version;
    if (!shorthand) {
        r.strings = s.strings;
        if (s.string_numbers) r.numbers = *s.string_numbers;
        return r;
    }
    // Each non-empty text becomes the next string; an absent or empty one has
    // string number 0 ("no string").
    for (const auto* text : {&s.manufacturer, &s.product, &s.version}) {
        if (*text && !(*text)->empty()) {
            r.strings.push_back(**text);
            r.numbers.push_back(static_cast<uint8_t>(r.strings.size()));
        } else {
            r.numbers.push_back(0);
        }
    }
    if (s.string_numbers) r.numbers = *s.string_numbers;
    return r;
}

size_t formatted_length(const SmbiosStructure& s) {
    return kHeaderLength + resolve_strings(s).numbers.size() + s.data.size();
}

std::string check_text(const std::string& text) {
    if (text.find('\0') != std::string::npos) return "a string of a structure cannot hold a NUL";
    return {};
}

SmbiosStructure read_structure(const Json& value, const std::string& path) {
    ObjectReader r(value, path,
                   {"type", "handle", "strings", "string_numbers", "manufacturer", "product",
                    "version", "data"});
    SmbiosStructure s;
    s.type = static_cast<uint8_t>(read_number(r.require("type"), r.path("type"), kByte));
    if (const Json* handle = r.find("handle")) {
        constexpr NumberKind kHandle{"a handle (0..0xFFFF)", 0, 0xFFFF};
        s.handle = static_cast<uint16_t>(read_number(*handle, r.path("handle"), kHandle));
    }
    if (const Json* strings = r.find("strings")) {
        for_each_element(*strings, r.path("strings"), [&](const Json& v, const std::string& p) {
            std::string text = read_string(v, p);
            if (text.empty())
                bad(p, "a string of a structure cannot be empty (it would end the set)");
            if (auto why = check_text(text); !why.empty()) bad(p, why);
            s.strings.push_back(std::move(text));
        });
    }
    if (const Json* numbers = r.find("string_numbers")) {
        s.string_numbers.emplace();
        for_each_element(
            *numbers, r.path("string_numbers"), [&](const Json& v, const std::string& p) {
                s.string_numbers->push_back(static_cast<uint8_t>(read_number(v, p, kByte)));
            });
    }
    std::optional<std::string>* shorthands[] = {&s.manufacturer, &s.product, &s.version};
    const char* shorthand_keys[] = {"manufacturer", "product", "version"};
    for (size_t i = 0; i < 3; ++i) {
        const Json* text = r.find(shorthand_keys[i]);
        if (!text) continue;
        std::string at = r.path(shorthand_keys[i]);
        if (s.type != 2) bad(at, "only a type-2 structure takes this key");
        if (r.find("strings")) bad(at, "give either \"strings\" or manufacturer/product/version");
        *shorthands[i] = read_string(*text, at);
        if (auto why = check_text(**shorthands[i]); !why.empty()) bad(at, why);
    }
    if (const Json* data = r.find("data")) s.data = read_byte_list(*data, r.path("data"), 0);
    if (formatted_length(s) > 0xFF) {
        bad(path, "the formatted area is " + std::to_string(formatted_length(s)) +
                      " bytes, more than its length byte holds (255)");
    }
    return s;
}

RawRecord read_raw_record(const Json& value, const std::string& path) {
    ObjectReader r(value, path, {"address", "bytes"});
    RawRecord record;
    record.address =
        static_cast<uint32_t>(read_number(r.require("address"), r.path("address"), kAddress));
    record.bytes = read_byte_list(r.require("bytes"), r.path("bytes"), 1);
    return record;
}

// Memory ranges already placed, so that no byte is defined twice.
class MemoryClaims {
public:
    void claim(uint64_t start, uint64_t length, const std::string& path, const std::string& label) {
        uint64_t end = start + length;  // exclusive
        if (end > 0x100000000ULL) bad(path, "runs past the 4 GiB physical address space");
        // The first range that ends after `start`, if it begins before `end`.
        auto next = ranges_.upper_bound(start);
        if (next != ranges_.begin()) {
            auto previous = std::prev(next);
            if (previous->second.end > start) conflict(path, previous->first, previous->second);
        }
        if (next != ranges_.end() && next->first < end) conflict(path, next->first, next->second);
        ranges_[start] = Range{end, label};
    }

private:
    struct Range {
        uint64_t end;
        std::string label;
    };
    [[noreturn]] static void conflict(const std::string& path, uint64_t start, const Range& other) {
        bad(path, "overlaps " + other.label + " (" + hex_text(start, 5) + ".." +
                      hex_text(other.end - 1, 5) + ")");
    }
    std::map<uint64_t, Range> ranges_;
};

void put_le(std::vector<uint8_t>& out, uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> smbios_structure_bytes(const SmbiosStructure& s, size_t index) {
    ResolvedStrings resolved = resolve_strings(s);
    std::vector<uint8_t> out;
    out.push_back(s.type);
    out.push_back(static_cast<uint8_t>(formatted_length(s)));
    put_le(out, s.handle ? *s.handle : index, 2);
    out.insert(out.end(), resolved.numbers.begin(), resolved.numbers.end());
    out.insert(out.end(), s.data.begin(), s.data.end());
    for (const auto& text : resolved.strings) {
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
    }
    if (resolved.strings.empty()) out.push_back(0);
    out.push_back(0);
    return out;
}

std::vector<uint8_t> smbios_table_bytes(const SmbiosSpec& smbios) {
    std::vector<uint8_t> table;
    for (size_t i = 0; i < smbios.structures.size(); ++i) {
        auto bytes = smbios_structure_bytes(smbios.structures[i], i);
        table.insert(table.end(), bytes.begin(), bytes.end());
    }
    return table;
}

std::array<uint8_t, 15> smbios_entry_point_bytes(const SmbiosSpec& smbios) {
    std::vector<uint8_t> out = {'_', 'D', 'M', 'I', '_', 0};
    put_le(out, smbios_table_bytes(smbios).size(), 2);
    put_le(out, smbios.table_address.value_or(0), 4);
    put_le(out, smbios.structures.size(), 2);
    out.push_back(kEntryPointRevision);
    uint8_t sum = 0;
    for (uint8_t byte : out) sum = static_cast<uint8_t>(sum + byte);
    out[5] = static_cast<uint8_t>(0x100 - sum);  // all 15 bytes add up to 0
    std::array<uint8_t, kEntryPointLength> entry{};
    std::copy(out.begin(), out.end(), entry.begin());
    return entry;
}

std::vector<MemoryChunk> smbios_memory(const SmbiosSpec& smbios) {
    std::vector<MemoryChunk> chunks;
    if (smbios.entry_point) {
        auto entry = smbios_entry_point_bytes(smbios);
        chunks.push_back({*smbios.entry_point, {entry.begin(), entry.end()}});
    }
    if (smbios.table_address && !smbios.structures.empty()) {
        chunks.push_back({*smbios.table_address, smbios_table_bytes(smbios)});
    }
    for (const auto& record : smbios.raw_records) chunks.push_back({record.address, record.bytes});
    for (const auto& [address, byte] : smbios.memory) chunks.push_back({address, {byte}});
    return chunks;
}

SmbiosSpec read_smbios(const Json& value, const std::string& path) {
    ObjectReader r(value, path,
                   {"entry_point", "table_address", "structures", "raw_records", "memory"});
    SmbiosSpec smbios;
    if (const Json* entry = r.find("entry_point")) {
        smbios.entry_point =
            static_cast<uint32_t>(read_number(*entry, r.path("entry_point"), kAddress));
    }
    if (const Json* table = r.find("table_address")) {
        smbios.table_address =
            static_cast<uint32_t>(read_number(*table, r.path("table_address"), kAddress));
    }
    if (const Json* structures = r.find("structures")) {
        for_each_element(*structures, r.path("structures"),
                         [&](const Json& v, const std::string& p) {
                             smbios.structures.push_back(read_structure(v, p));
                         });
    }
    if ((smbios.entry_point || !smbios.structures.empty()) && !smbios.table_address) {
        r.require("table_address");
    }
    if (const Json* records = r.find("raw_records")) {
        for_each_element(*records, r.path("raw_records"), [&](const Json& v, const std::string& p) {
            smbios.raw_records.push_back(read_raw_record(v, p));
        });
    }

    // Everything the board places in memory, checked for overlaps in file order.
    MemoryClaims claims;
    if (smbios.entry_point) {
        claims.claim(*smbios.entry_point, kEntryPointLength, r.path("entry_point"),
                     "the entry point");
    }
    size_t table_length = smbios_table_bytes(smbios).size();
    if (table_length > 0xFFFF) {
        bad(r.path("structures"), "the table is " + std::to_string(table_length) +
                                      " bytes, more than the entry point can announce (65535)");
    }
    if (smbios.table_address && table_length > 0) {
        claims.claim(*smbios.table_address, table_length, r.path("table_address"),
                     "the structure table");
    }
    for (size_t i = 0; i < smbios.raw_records.size(); ++i) {
        std::string at = index_path(r.path("raw_records"), i);
        claims.claim(smbios.raw_records[i].address, smbios.raw_records[i].bytes.size(), at, at);
    }
    if (const Json* memory = r.find("memory")) {
        for_each_numbered(*memory, r.path("memory"), kAddress,
                          [&](uint64_t address, const Json& v, const std::string& p) {
                              smbios.memory[static_cast<uint32_t>(address)] =
                                  static_cast<uint8_t>(read_number(v, p, kByte));
                              claims.claim(address, 1, p, p);
                          });
    }
    return smbios;
}
