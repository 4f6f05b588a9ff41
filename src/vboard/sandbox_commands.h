// The commands a sandbox's /usr/bin holds in place of the system's own:
// `dmidecode` (prints the board's dmidecode text; on a board without one it
// answers as a missing command, so that the host's is never reached),
// `modprobe` (lists a module in /proc/modules as loaded) and `mail` (appends
// each message to /var/mail/sent instead of sending it). They are POSIX sh
// scripts written when a new root is seeded; shell commands of the monitor
// find them first on PATH. Each finds the root from its own path
// (<root>/usr/bin/NAME), or else takes the working directory, which the board
// makes the root for every command it runs.
//
// attach_commands (devices.h) adds them to the board's seed files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vboard/board.h"

// What the board's dmidecode prints; none when the board has no dmidecode.
std::optional<std::string> dmidecode_output(const Board& board);

// A single shell word that `printf '%b'` turns back into `text` byte for byte
// (NUL, backslash and quote included).
std::string printf_b_word(std::string_view text);
