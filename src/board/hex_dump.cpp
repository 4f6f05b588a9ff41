#include <cstdint>
#include <cstdio>

#include "board/system.h"

namespace {
constexpr uintptr_t kRow = 16;
}

void dump_hex_char(const uint8_t* first, const uint8_t* last) {
    uintptr_t from = reinterpret_cast<uintptr_t>(first);
    uintptr_t to = reinterpret_cast<uintptr_t>(last);
    if (to < from) return;
    auto inside = [&](uintptr_t a) { return a >= from && a <= to; };
    auto byte_at = [](uintptr_t a) { return *reinterpret_cast<const uint8_t*>(a); };
    for (uintptr_t row = from & ~(kRow - 1); row <= (to & ~(kRow - 1)); row += kRow) {
        std::printf("\n%08lX: ", static_cast<unsigned long>(row));
        for (uintptr_t a = row; a < row + kRow; ++a) {
            if (inside(a))
                std::printf("%02X ", byte_at(a));
            else
                std::printf("%2s ", "__");
        }
        std::printf("   ");
        for (uintptr_t a = row; a < row + kRow; ++a) {
            uint8_t c = inside(a) ? byte_at(a) : ' ';
            std::putchar(c >= 0x20 && c <= 0x7A ? c : '.');
        }
        if (row + kRow < row) break;  // the last row of the address space
    }
    std::fflush(stdout);
}
