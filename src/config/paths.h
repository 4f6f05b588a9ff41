// Where the per-board configuration and its backup live (reached through sys(),
// which may map them, e.g. into a virtual board's sandbox).
#pragma once

inline constexpr const char* kSenvisIniPath = "/etc/Senvis.ini";
inline constexpr const char* kSenvisIniOldPath = "/etc/Senvis.ini.old";
