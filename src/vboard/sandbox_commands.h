// The commands a sandbox's /usr/bin holds in place of the system's own:
// `dmidecode` (prints the board's dmidecode text; on a board without one it
// answers as a missing command, so that the host's is never reached),
// `modprobe` (lists a module in /proc/modules as loaded) and `mail` (appends
// each message to /var/mail/sent instead of sending it). They are POSIX sh
// scripts written when a new root is seeded; shell commands of the monitor
// find them first on PATH. The board tells them where /proc/modules and
// /var/mail/sent are, resolved inside the root (so that a link in a reused
// root cannot lead their writes out of it), in two environment variables;
// run by hand, they find the root from their own path (<root>/usr/bin/NAME)
// or else take the working directory.
//
// attach_commands (devices.h) adds them to the board's seed files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vboard/board.h"

inline constexpr const char* kModulesVariable = "SANDBOX_PROC_MODULES";
inline constexpr const char* kMailVariable = "SANDBOX_MAIL_SENT";

// What the board's dmidecode prints; none when the board has no dmidecode.
std::optional<std::string> dmidecode_output(const Board& board);

// A single shell word that stands for `text` byte for byte (NUL excepted,
// which no shell word holds): the text in single quotes.
std::string shell_quoted(std::string_view text);

// A single shell word that `printf '%b'` turns back into `text` byte for byte
// (NUL, backslash and quote included).
std::string printf_b_word(std::string_view text);
