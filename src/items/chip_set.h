// A set of chip codes as one constexpr value, so that a conversion table row
// can name the chips it serves the way the datasheet tables group them:
// `chips(22, 28)`. Chip codes used by the tables are 0 to 63.
#pragma once

#include <cstdint>
#include <initializer_list>

struct ChipSet {
    uint64_t bits = 0;

    constexpr bool contains(int64_t chipCode) const {
        return chipCode >= 0 && chipCode < 64 && ((bits >> chipCode) & 1u) != 0;
    }
};

constexpr ChipSet chips(std::initializer_list<int> codes) {
    ChipSet set;
    for (int code : codes) {
        if (code < 0 || code >= 64) throw "chip code out of the table's range";
        set.bits |= uint64_t{1} << code;
    }
    return set;
}

template <typename... Codes>
constexpr ChipSet chips(Codes... codes) {
    return chips({static_cast<int>(codes)...});
}
