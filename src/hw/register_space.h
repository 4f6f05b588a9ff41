// What a register number and a port can be. Monitor-chip registers are one byte wide: an
// SMBus command code, an LPC index, a byte of a BMC request. A number outside
// that space names a register no chip has; the accessors refuse it (-1)
// rather than cut it to a byte, which would read some other register and
// show a plausible but wrong value.
#pragma once

#include <cstdint>

inline constexpr int64_t kLastRegister = 0xFF;

// Whether `count` consecutive registers from `first` all exist.
constexpr bool registers_exist(int64_t first, int64_t count = 1) {
    return first >= 0 && count >= 1 && first + count - 1 <= kLastRegister;
}

// I/O ports are 16 bits wide. A chip reached through a block of ports of its
// own is addressed from a base; a block that would run past the last port
// would wrap to the low ports (the DMA and interrupt controllers) on a cast.
inline constexpr int64_t kLastPort = 0xFFFF;

constexpr bool ports_exist(int64_t first, int64_t count = 1) {
    return first >= 0 && count >= 1 && first + count - 1 <= kLastPort;
}
