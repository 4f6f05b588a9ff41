// Building blocks for the identification tests: SMBIOS bytes for a board
// file's raw records, and the trace without the scan's 4096 paragraph reads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <regex>
#include <string>
#include <vector>

#include "board/system.h"
#include "common/fixed_text.h"

using Lines = std::vector<std::string>;

inline Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Bytes as a board file's byte list: "5f 44 ...".
inline std::string hex_list(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : bytes) text += {' ', digits[b >> 4], digits[b & 15]};
    return text.substr(1);
}

// A legacy entry point: "_DMI_", checksum, table length, address, count,
// revision 2.6, as a byte list.
inline std::string entry_point_bytes(uint16_t length, uint32_t address, uint16_t count) {
    std::vector<uint8_t> b = {'_', 'D', 'M', 'I', '_', 0, uint8_t(length), uint8_t(length >> 8)};
    for (int shift = 0; shift < 32; shift += 8) b.push_back(uint8_t(address >> shift));
    b.insert(b.end(), {uint8_t(count), uint8_t(count >> 8), 0x26});
    uint8_t sum = 0;
    for (uint8_t x : b) sum += x;
    b[5] = uint8_t(-sum);
    return hex_list(b);
}

// A board file with the given "smbios" members (and more top-level members
// in `rest`, each after a comma), and one raw record of it.
inline std::string with_smbios(const std::string& smbios, const std::string& rest = "") {
    return R"({"smbios": {)" + smbios + "}" + rest + "}";
}
inline std::string raw(const char* address, const std::string& bytes) {
    return std::string(R"({"address": ")") + address + R"(", "bytes": ")" + bytes + "\"}";
}

// A string set as a byte list: each string and its NUL, then the closing NUL.
inline std::string strings_hex(std::initializer_list<std::string> strings) {
    std::vector<uint8_t> bytes;
    for (const std::string& s : strings)
        bytes.insert(bytes.end(), s.c_str(), s.c_str() + s.size() + 1);
    bytes.push_back(0);
    return hex_list(bytes);
}

// The trace without the entry-point scan's "mem" reads, descriptors shown
// as "fd" (their numbers depend on what the test process has open).
inline Lines events(const Lines& trace) {
    static const std::regex descriptor(" -> [0-9]+$");
    Lines kept;
    for (const std::string& line : trace)
        if (line.rfind("mem ", 0) != 0)
            kept.push_back(std::regex_replace(line, descriptor, " -> fd"));
    return kept;
}

// The forced search: /dev/mem opened again, then 8 KiB windows from `first`
// through `last` (window addresses).
inline Lines search_windows(uint32_t first, uint32_t last) {
    Lines lines = {"open /dev/mem -> fd"};
    for (uint32_t at = first; at <= last; at += 0x2000) {
        char line[40];
        std::snprintf(line, sizeof line, "mmap 0x%x 0x2000", at);
        lines.push_back(line);
    }
    return lines;
}
inline const Lines kWholeSearch = search_windows(0xF0000, 0xFE000);

inline const Lines kDmidecodeRuns = {
    "popen dmidecode|grep -i 'DMI type 2,' -A 6 | grep Manufacturer | sed 's/Manufacturer: //g' "
    "| sed 's/\\t//g'",
    "popen dmidecode|grep -i 'DMI type 2,' -A 6 | grep Product | sed 's/Product Name: //g' | "
    "sed 's/\\t//g'",
    "popen dmidecode|grep -i 'DMI type 2,' -A 6 | grep Version | sed 's/Version: //g' | "
    "sed 's/\\t//g'"};

// The three identification buffers, with guard bytes after each so that an
// overrun shows.
struct Identity {
    struct Guarded {
        char text[kBoardTextSize] = {};
        char guard[8] = {'g', 'g', 'g', 'g', 'g', 'g', 'g', 'g'};
        bool intact() const { return std::string(guard, 8) == "gggggggg"; }
    };
    Guarded manufacturer, product, version;
    Lines texts() const { return {manufacturer.text, product.text, version.text}; }
    bool guards_intact() const {
        return manufacturer.intact() && product.intact() && version.intact();
    }
};
