// Building blocks for the identification tests: SMBIOS bytes for a board
// file's raw records, and the trace with the scan's 4096 paragraph reads left
// out.
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

inline std::string hex_byte(unsigned value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02x", value & 0xFF);
    return text;
}

// A legacy entry point: "_DMI_", checksum, table length, address, count,
// revision 2.6, as a byte list.
inline std::string entry_point_bytes(uint16_t length, uint32_t address, uint16_t count) {
    std::vector<uint8_t> b = {'_',
                              'D',
                              'M',
                              'I',
                              '_',
                              0,
                              uint8_t(length),
                              uint8_t(length >> 8),
                              uint8_t(address),
                              uint8_t(address >> 8),
                              uint8_t(address >> 16),
                              uint8_t(address >> 24),
                              uint8_t(count),
                              uint8_t(count >> 8),
                              0x26};
    uint8_t sum = 0;
    for (uint8_t x : b) sum += x;
    b[5] = uint8_t(-sum);
    std::string text;
    for (uint8_t x : b) text += (text.empty() ? "" : " ") + hex_byte(x);
    return text;
}

// A string set as a byte list: each string and its NUL, then the closing NUL.
inline std::string strings_hex(std::initializer_list<std::string> strings) {
    std::string text;
    for (const std::string& s : strings) {
        for (unsigned char c : s) text += hex_byte(c) + " ";
        text += "00 ";
    }
    return text + "00";
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

    Identity() = default;
    Identity(const char* m, const char* p, const char* v) {
        copy_text(manufacturer.text, m);
        copy_text(product.text, p);
        copy_text(version.text, v);
    }
    std::vector<std::string> texts() const {
        return {manufacturer.text, product.text, version.text};
    }
    bool guards_intact() const {
        return manufacturer.intact() && product.intact() && version.intact();
    }
};
