// Readings and limits of one configured item: which chip, which transport,
// which registers, and the conversion into RPM, millivolts, degrees or a
// switch state. Every operation returns 0 on success and -1 when the value
// could not be fetched (the value is then left as it was); any other
// non-zero status (a BMC completion code) comes back with a converted value.
//
// Arguments come in the order the rest of the monitor keeps them: system,
// items, item count, parameters, parameter count.
#pragma once

#include <cstdint>

#include "config/records.h"
#include "items/item_display.h"

// The reading the monitor shows: up to three acquisitions while the value
// lies outside its limits, the limits re-read before each.
int32_t get_item_reading(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                         ParameterRecord* parameters, int32_t parameterCount, ItemRecord* item,
                         int64_t* value);
// One acquisition and conversion, without the limit check.
int32_t get_item_readingImpl(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                             ParameterRecord* parameters, int32_t parameterCount,
                             ItemRecord* item, int64_t* value);

// Limit kinds of get_item_limit: 1 the high limit (`paraIndex1`), 2 the low
// limit (`paraIndex2`).
inline constexpr int32_t kLimitHigh = 1;
inline constexpr int32_t kLimitLow = 2;

// The limit held in the parameter register named `paraName`, converted like
// the item's readings.
int32_t get_item_limit(int32_t kind, SystemRecord* system, const char* paraName,
                       ItemRecord* item, ParameterRecord* parameters, int32_t parameterCount,
                       int64_t* value);
// The fan divisor of a FAN item: 1 for chips that count without a divisor,
// otherwise the field of the register `paraIndex1` names.
int32_t get_item_divisor(SystemRecord* system, ItemRecord* item, ParameterRecord* parameters,
                         int32_t parameterCount, uint32_t* divisor);
// `bitMask` of the last parameter called `paraName`; 0 when there is none.
uint32_t get_item_bitmask(const char* paraName, ParameterRecord* parameters,
                          int32_t parameterCount);
// The largest and smallest value the item can show (chart scales).
int32_t get_item_max_reading(SystemRecord* system, ItemRecord* item, ParameterRecord* parameters,
                             int32_t parameterCount, int64_t* value);
int32_t get_item_min_reading(SystemRecord* system, ItemRecord* item, ParameterRecord* parameters,
                             int32_t parameterCount, int64_t* value);

// 1 when the reading lies within its limits (compared as signed 32-bit
// values), 0 otherwise.
int32_t isNormalReading(const ItemDisplay* display);

// How deep switch items may follow their reference items (a reference's
// reference...). A reference beyond it, or back to an item already being
// read, is refused and reads as 0, as an unknown reference does.
inline constexpr int32_t kMaxReferenceDepth = 4;

// Forgets the reference chain of an interrupted reading (tests).
void reset_acquisition_state();
