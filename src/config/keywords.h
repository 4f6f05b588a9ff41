// The keyword table MAPVar: every symbolic value a configuration file may give
// (item categories, voltage functions, item identifiers, parameter names, truth
// values) and the number it stands for. One flat table, searched in order,
// first match wins, ended by an entry with an empty name and code -1.
//
// Most names come in numbered families whose codes follow one rule, so the
// table is built at compile time from the family rules below rather than
// written out 254 times.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

struct KeywordEntry {
    char name[16];  // at most 15 characters and the terminator
    int32_t code;
};

inline constexpr size_t kKeywordNameCapacity = 15;
inline constexpr size_t kNamedKeywordCount = 254;

namespace keyword_rules {

// A name written out with its code.
struct Single {
    const char* name;
    int32_t code;
};

// A numbered family: for n = 1..count, and for each letter of `suffixes` in
// turn (or once, with no suffix, when `suffixes` is empty), the name is
// prefix + n + suffix and the code is base + width * n + k, where width is the
// number of suffixes (at least 1) and k the suffix's position.
//   VOL, "HL", base 14:  VOL1H = 16, VOL1L = 17, ..., VOL16L = 47
struct Family {
    const char* prefix;
    int32_t count;
    const char* suffixes;
    int32_t base;
};

inline constexpr Single kCategories[] = {
    {"FAN", 0},   {"TEMP", 2},   {"VOLTAGE", 1}, {"SWITCH", 3},
    {"DRIVE", 4}, {"MEMORY", 5}, {"DIVISOR", 6},
};

inline constexpr Single kVoltageFunctions[] = {
    {"P12V", 0}, {"P5V", 1},  {"P33V", 2}, {"P25V", 3},  {"VCCP", 4},
    {"N5V", 5},  {"N12V", 6}, {"VBAT", 7}, {"P5VSB", 8},
};

// In table order. Voltage limit parameters stop at 16 although their codes
// leave room up to VOL60L = 135 (one pair per voltage item identifier).
inline constexpr Family kFamilies[] = {
    {"Item_FAN", 16, "", -1},     // Item_FAN1 = 0 .. Item_FAN16 = 15
    {"Item_VOL", 60, "", 15},     // Item_VOL1 = 16 .. Item_VOL60 = 75
    {"Item_TEMP", 16, "", 75},    // Item_TEMP1 = 76 .. Item_TEMP16 = 91
    {"Item_SWITCH", 16, "", 91},  // Item_SWITCH1 = 92 .. Item_SWITCH16 = 107
    {"Divisor", 16, "", -1},      // Divisor1 = 0 .. Divisor16 = 15
    {"VOL", 16, "HL", 14},        // VOL1H = 16 .. VOL16L = 47
    {"TEMP", 16, "HL", 134},      // TEMP1H = 136 .. TEMP16L = 167
    {"FAN", 16, "H", 167},        // FAN1H = 168 .. FAN16H = 183
    {"SWITCH", 16, "AC", 182},    // SWITCH1A = 184 .. SWITCH16C = 215
};

inline constexpr Single kTruthValues[] = {{"FALSE", 0}, {"TRUE", 1}};

using Table = std::array<KeywordEntry, kNamedKeywordCount + 1>;

class Builder {
public:
    constexpr void add(std::string_view a, std::string_view b, std::string_view c, int32_t code) {
        if (used_ >= kNamedKeywordCount) throw std::logic_error("keyword table overflow");
        KeywordEntry& entry = table_[used_++];
        size_t length = 0;
        for (std::string_view part : {a, b, c}) {
            for (char ch : part) {
                if (length >= kKeywordNameCapacity) throw std::logic_error("keyword name too long");
                entry.name[length++] = ch;
            }
        }
        entry.name[length] = '\0';
        entry.code = code;
    }

    template <size_t N>
    constexpr void add(const Single (&singles)[N]) {
        for (const Single& single : singles) add(single.name, "", "", single.code);
    }

    constexpr void add(const Family& family) {
        std::string_view suffixes = family.suffixes;
        int32_t width = suffixes.empty() ? 1 : static_cast<int32_t>(suffixes.size());
        for (int32_t n = 1; n <= family.count; ++n) {
            char digits[3] = {};
            size_t digitCount = 0;
            if (n >= 10) digits[digitCount++] = static_cast<char>('0' + n / 10);
            digits[digitCount++] = static_cast<char>('0' + n % 10);
            std::string_view number(digits, digitCount);
            if (suffixes.empty()) {
                add(family.prefix, number, "", family.base + width * n);
            } else {
                for (size_t k = 0; k < suffixes.size(); ++k) {
                    add(family.prefix, number, suffixes.substr(k, 1),
                        family.base + width * n + static_cast<int32_t>(k));
                }
            }
        }
    }

    // Appends the end marker; the table must then be exactly full.
    constexpr Table finish() {
        if (used_ != kNamedKeywordCount) throw std::logic_error("keyword table not full");
        table_[used_] = KeywordEntry{{}, -1};
        return table_;
    }

private:
    Table table_{};
    size_t used_ = 0;
};

constexpr Table build() {
    Builder builder;
    builder.add(kCategories);
    builder.add(kVoltageFunctions);
    for (const Family& family : kFamilies) builder.add(family);
    builder.add(kTruthValues);
    return builder.finish();
}

}  // namespace keyword_rules

inline constexpr keyword_rules::Table MAPVar = keyword_rules::build();

// The code of the entry whose name equals `value` without regard to case; if
// there is none, "str2code: Failure! <value>" on stderr and -1.
int32_t str2code(const char* value);
