// What every fuzz target shares: one virtual board over a temporary root per
// process (made on first use, removed when the process ends), installed as the
// Sys backend, so that the code under test reads the fuzz input from the
// sandbox exactly where it reads the real file on a machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vboard/virtual_board.h"

// The process's board, built from `board_json` on the first call (later calls
// return the same board whatever they pass). Standard output, where the code
// under test prints its diagnostics, goes to /dev/null from then on.
VirtualBoard& fuzz_board(const std::string& board_json = "{}");

// The file at `absolute` (a path the monitor names, mapped into the root),
// replaced by `content`; parent directories are made as needed.
void put_file(std::string_view absolute, std::string_view content);
// Its content, or nothing when it cannot be read.
bool get_file(std::string_view absolute, std::string& content);
// Removes the file or the directory tree at `absolute`, if any.
void remove_path(std::string_view absolute);

// The input as text (it may hold any byte, NUL included).
inline std::string_view as_text(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Splits a text into at most `parts` pieces at the lines that read "----".
// Missing pieces are empty. Targets that fill several files take their
// contents this way, so that the seed files stay readable.
std::vector<std::string_view> split_parts(std::string_view text, size_t parts);

// Whether a fixed-size field holds its terminator within its capacity.
template <size_t N>
bool terminated(const char (&field)[N]) {
    for (size_t i = 0; i < N; ++i)
        if (field[i] == '\0') return true;
    return false;
}

// A broken invariant: the message on descriptor 2 (not through `stderr`,
// which the replay driver points elsewhere) and an abort, which both the
// fuzzer and the replay driver report as a failure of this input.
[[noreturn]] void fuzz_fail(const char* what);
#define FUZZ_CHECK(condition)                    \
    do {                                         \
        if (!(condition)) fuzz_fail(#condition); \
    } while (0)
