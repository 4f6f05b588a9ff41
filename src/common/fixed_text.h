// The one way text enters a fixed-size field: cut to the field's capacity,
// always terminated, never overrun. Records, display records and the board
// identification buffers all copy through here.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// Copies `source` into `dest`, which holds `capacity` bytes including the
// terminator. Returns the number of characters stored.
inline size_t copy_text(char* dest, size_t capacity, std::string_view source) {
    if (capacity == 0) return 0;
    size_t length = source.size() < capacity - 1 ? source.size() : capacity - 1;
    if (length > 0) std::memmove(dest, source.data(), length);
    dest[length] = '\0';
    return length;
}

template <size_t N>
size_t copy_text(char (&dest)[N], std::string_view source) {
    return copy_text(dest, N, source);
}

// The characters a field holds without its terminator.
template <size_t N>
constexpr size_t text_capacity(const char (&)[N]) {
    return N - 1;
}
