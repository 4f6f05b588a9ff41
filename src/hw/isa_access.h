// Register access to banked hardware-monitor chips behind an index/data port
// pair on the LPC bus, or through the BMC when the BMC owns the chip.
#pragma once

#include <cstdint>

// True when a BMC interface is open and the BMC is of a kind that proxies the
// chip's registers (OEM command 30/2C) instead of letting us at the ports.
bool isa_access_goes_through_bmc();

// Reads `reg` in `bank`; the byte is stored zero-extended. 0, or the BMC's
// result on the BMC route.
int32_t isa_byte_data_read(uint32_t indexReg, uint32_t dataReg, uint32_t bank, uint32_t reg,
                           uint32_t* value);
// Writes the low byte of `value` to `reg` in `bank`. 0, or the BMC's result.
int32_t isa_byte_data_write(uint32_t indexReg, uint32_t dataReg, uint32_t bank, uint32_t reg,
                            uint32_t value);
// The NCT6776F's 13-bit fan count: bits 12-5 in `reg`, bits 4-0 in the low
// five bits of `reg` + 1. 0, or the BMC's result (value set only on 0).
int32_t isa_word_data_read_NCT6776F_fan(uint32_t indexReg, uint32_t dataReg, uint32_t bank,
                                        uint32_t reg, uint32_t* value);
