// The display record of one item: its last reading, limits and scale, ready
// for the text report, the window's pages and the alerts. One per item, same
// order and index as the item array.
#pragma once

#include <cstdint>

struct ItemDisplay {
    char name[40];
    int32_t category;
    int32_t chipCode;
    int64_t reading;     // RPM, millivolts, degrees Celsius, or a 0/1/2 switch state
    int64_t highLimit;   // VOLTAGE and TEMP, in the reading's unit
    int64_t lowLimit;    // FAN and VOLTAGE
    int64_t maxReading;  // scale of the charts
    int64_t minReading;
    int64_t divisor;     // FAN only
    int32_t monitor;     // 1 = monitored; kept equal to the item's `monitor`
    int32_t hasThermalText;
    char thermalText[10];  // "Low", "Medium", "High", "Overheat"...
};
