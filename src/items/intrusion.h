// Chassis-intrusion reset.
#pragma once

#include <cstdint>

#include "config/records.h"

// 0 when the reset succeeded or was not needed, non-zero otherwise.
int32_t reset_Intrusion(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                        ParameterRecord* parameters, int32_t parameterCount, ItemRecord* item);
