// The fatal /dev/mem error of the BIOS-area readers.
#pragma once

// Prints "Error at line LINE, file FILE (errno) [text]" on standard error and
// ends the process with status 1.
[[noreturn]] void fatal_mem_error(int line, const char* file);
