// One byte of physical memory, read through /dev/mem (the BIOS-area bytes
// that tell board revisions apart).
#pragma once

#include <cstdint>

// Returns the byte at physical `address`. If /dev/mem cannot be opened or the
// page cannot be mapped, prints "Error at line ..." and ends the process with
// status 1.
uint8_t getMemByte(uint32_t address);
