#include "board/dmi_record.h"

#include <cstring>

#include "board/system.h"
#include "common/fixed_text.h"

namespace {

// Base board fields that hold string numbers.
constexpr size_t kManufacturerField = 4;
constexpr size_t kProductField = 5;
constexpr size_t kVersionField = 6;

void store_field(const uint8_t* record, size_t size, size_t field, char* dest) {
    std::string_view text = field < size ? dmi_string(record, size, record[field]) : "";
    copy_text(dest, kBoardTextSize, trim(text));
}

}  // namespace

std::string_view dmi_string(const uint8_t* record, size_t size, uint8_t number) {
    if (size < 2) return {};
    if (number == 0) number = 1;
    size_t at = record[1];
    for (unsigned n = 1; at < size; ++n) {
        const char* start = reinterpret_cast<const char*>(record + at);
        size_t length = strnlen(start, size - at);
        if (n == number) return {start, length};
        if (length == 0) return {};  // the NUL that ends the set: no such string
        at += length + 1;
    }
    return {};
}

void store_base_board_strings(const uint8_t* record, size_t size, char* manufacturer, char* product,
                              char* version) {
    store_field(record, size, kManufacturerField, manufacturer);
    store_field(record, size, kProductField, product);
    store_field(record, size, kVersionField, version);
}
