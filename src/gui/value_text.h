// The number forms the pages share. Display records keep 32-bit values in
// the low half of their 64-bit fields (a temperature of -1 is 0xFFFFFFFF),
// and the pages print them as such.
#pragma once

#include <cstdint>

inline int32_t low32(int64_t value) { return static_cast<int32_t>(value); }

// Millivolts as volts: converted to single precision, then divided by
// 1000.0, so the printed digits are those of the float.
inline double volts(int64_t millivolts) {
    return static_cast<double>(static_cast<float>(low32(millivolts)) / 1000.0f);
}

// Degrees Fahrenheit, the division truncating toward zero (-1 C is 31 F).
inline int32_t fahrenheit(int64_t celsius) { return low32(celsius) * 9 / 5 + 32; }
