// Double to int32 the way the conversions need it: toward zero, like a C
// cast. A value beyond the int32 range saturates at the nearer end instead of
// being undefined; no register of a real chip produces one, but a corrupt raw
// value must not turn into an arbitrary number.
#pragma once

#include <cstdint>
#include <limits>

inline int32_t truncate_to_int32(double value) {
    if (value != value) return 0;  // NaN: not reachable from finite formulas
    if (value >= 2147483648.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483649.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}
