// The number forms the pages share. Display records keep 32-bit values in
// the low half of their 64-bit fields (a temperature of -1 is 0xFFFFFFFF),
// and the pages print them as such.
#pragma once

#include <cstdint>

inline int32_t low32(int64_t value) {
    return static_cast<int32_t>(value);
}

// Millivolts as volts, two ways that print differently in the last place
// (3315 mV: 3.31 and 3.32). The Summary and chart pages convert the reading
// to single precision and divide by 1000.0 in double precision; the Items
// page, like the text report, divides in double precision and rounds the
// quotient to single precision.
inline double volts(int64_t millivolts) {
    return static_cast<double>(static_cast<float>(low32(millivolts))) / 1000.0;
}
inline double volts_rounded_to_float(int64_t millivolts) {
    return static_cast<float>(static_cast<double>(low32(millivolts)) / 1000.0);
}

// Degrees Fahrenheit, the division truncating toward zero (-1 C is 31 F).
inline int32_t fahrenheit(int64_t celsius) {
    return low32(celsius) * 9 / 5 + 32;
}
