// Chassis-intrusion reset: clears the latch of a SWITCH item in the way its
// chip needs, then reads the status register again so the chip shows the new
// state. The item's second parameter (`paraIndex2`) is the clear parameter:
// its `slave` and `offset` locate the register with the clear bits, its
// `bitMask` (low 8 bits) gives those bits; a `bitMask` of 0 forbids the reset.
#pragma once

#include <cstdint>

#include "config/records.h"

// 0 when the reset succeeded or was not needed, non-zero otherwise. Prints
// "Done." or "Failed." on standard output, refusals on standard error. For
// chip codes 17 and 23 the item's `busType` becomes 8 and stays so.
int32_t reset_Intrusion(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                        ParameterRecord* parameters, int32_t parameterCount, ItemRecord* item);

// Read, OR `mask`, write back, on the SMBus (busType AND 0x09) or else the
// banked ISA chip (busType bit 1, bank = `slave`). The write's status; 0 when
// the bus type has neither.
int32_t W83627HF_G_Intru_IO_Clear(int32_t busType, int32_t slave, int32_t reg, uint32_t indexReg,
                                  uint32_t dataReg, uint32_t mask);

// A pulse on the clear parameter's register: write v OR mask, then v with the
// mask bits cleared. The last write's status; -1 when the item has no usable
// bus (neither SMBus nor ISA on an ISA system).
int32_t ADM1026_Intru_IO_Clear(SystemRecord* system, ItemRecord* item, uint32_t mask,
                               ParameterRecord* clearParameter);

// Pulses the intrusion clear bit in register 0xE6 of the Super I/O's logical
// device 0x0A (bit 6 for chip codes 1 and 10, bit 5 for 12), with a one-second
// wait on either side of the set. Always 0.
int32_t W83627HF_A_Intru_IO_Clear(int32_t chipCode);

// Super I/O device ID: (register 0x20 << 8) | register 0x21. Always 0.
int32_t get_W83627HF_Device_ID(uint32_t* deviceId);

// ORs `mask` into the byte at port (clear parameter's `offset` + 12) of the
// I/O-mapped monitor block. Always 0.
int32_t NS87427_Intru_IO_Clear(uint32_t mask, ParameterRecord* clearParameter);

// NCT7904D: set bit 7 of register 0xD4 (bank 0), then read 0xCA twice,
// through the BMC when one is open and answers, else over the SMBus. 0 on the
// BMC route, else the status of the last read.
int32_t NCT7904D_Intru_Clear(ItemRecord* item);
