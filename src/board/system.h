// Board identification: maker, product name and version of the base board,
// from the SMBIOS base board record (type 2) in the BIOS area of physical
// memory, with the `dmidecode` command as the fallback.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Each identification buffer holds 29 characters and its terminator. Longer
// texts (long DMI strings, several lines of dmidecode output) are cut.
constexpr size_t kBoardTextSize = 30;

// The BIOS area that holds the legacy entry point and, on most boards, the
// structures themselves.
constexpr uint32_t kBiosAreaFirst = 0xF0000;
constexpr uint32_t kBiosAreaLast = 0xFFFFF;

// The bytes the forced search keeps of a record it found.
constexpr size_t kRecordCopySize = 128;
using DmiRecordCopy = std::array<uint8_t, kRecordCopySize>;

// Fills the three buffers (kBoardTextSize bytes each, zero-filled by the
// caller before the first call). The result carries no meaning for the
// caller: 0 once the scan has run, -1 when it stopped on an error.
int get_mb_info(char* manufacturer, char* product, char* version);

// Searches the BIOS area for a base board record that carries the maker's
// name and refills the three buffers from it: 1, or 0 (buffers untouched)
// when there is none.
int get_mb_info_by_force(char* manufacturer, char* product, char* version);

// The first base board record between `first` and `last` whose string set
// contains `text`, as the kRecordCopySize bytes that start it.
std::optional<DmiRecordCopy> search_string_in_dmi_type_2(const char* text, uint32_t first,
                                                         uint32_t last);

// Runs `command` through the shell and stores its output (at most 255 bytes,
// one trailing line feed removed, cut to `capacity` - 1 characters) in
// `dest`. Returns 0, or -1 if the command is empty or cannot be started.
int get_cmd_output(const char* command, char* dest, size_t capacity);

// A copy of `text` without leading and trailing blanks (space, \f, \n, \r,
// \t, \v).
std::string trim(std::string_view text);

// Diagnostic: prints the bytes from `first` to `last` (both included) as hex
// and text, 16 to a row, rows aligned on 16-byte addresses. Nothing for an
// empty range (last before first).
void dump_hex_char(const uint8_t* first, const uint8_t* last);
