// Raw register values to display units: fan counts to RPM, ADC steps to
// millivolts, temperature bytes to whole degrees Celsius, status bits to a
// switch state, and a fan divisor field to its divisor. Pure functions: no
// I/O, no state. Each returns 0 when it converted and -1 when it could not.
#pragma once

#include <cstdint>

// Fan tachometer count to revolutions per minute. `divisor` matters only for
// chips whose count is divided in the chip (the classic 8-bit fan inputs);
// the others pass 1. A count of 0 is a stopped fan: 0 RPM, status 0.
int32_t FANConvert(uint32_t count, int32_t chipCode, int32_t divisor, int64_t* rpm);

// Fan divisor field to divisor: the 2-bit field that `bitMask` (low 8 bits:
// 0x03, 0x0C, 0x30 or 0xC0) selects in `raw`. Any other mask: divisor 1,
// status -1.
int32_t DIVISORConvert(int32_t raw, int32_t chipCode, int32_t bitMask, uint32_t* divisor);

// ADC reading of one rail (`volFunc`, a VoltageFunction) to millivolts.
// Always returns 0.
int32_t VOLTAGEConvert(uint32_t chipCode, uint32_t volFunc, uint32_t raw, int64_t* millivolts);

// Temperature byte to degrees Celsius, two's complement. The result is the
// 32-bit value in the low half of `*degrees` with the upper half zero: read
// it back as int32_t. Always returns 0.
int32_t TEMPConvert(int32_t raw, int64_t* degrees);

// Status bits to a switch state: 0 normal, 1 asserted, 2 not asserted while
// the reference item reads 0. `refReading` is 1 when the switch has no
// reference item. Always returns 0.
int32_t SWITCHConvert(int32_t raw, int32_t bitMask, int64_t* state, int32_t activeLevel,
                      int32_t chipCode, int64_t refReading);
