// Reading the strings of one SMBIOS structure held in a buffer.
//
// A structure is its formatted area (byte 0 type, byte 1 length of the area,
// then the fields) followed by its string set: NUL-terminated strings and one
// more NUL. A field that names a string holds its number, counted from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr uint8_t kBaseBoardType = 2;

// String number `number` of the structure at `record`, of which `size` bytes
// are readable. Numbers 0 and 1 both give the first string; a number beyond
// the set gives an empty text. Nothing past `size` is read: a string that
// does not end there is cut at that point.
std::string_view dmi_string(const uint8_t* record, size_t size, uint8_t number);

// Stores the manufacturer, product and version strings of a base board
// record (string numbers in bytes 4, 5 and 6), each trimmed and cut to the
// kBoardTextSize buffers, replacing what they held.
void store_base_board_strings(const uint8_t* record, size_t size, char* manufacturer, char* product,
                              char* version);
