// Thermal status text: for CPU temperatures the monitor chips take from the
// processors, a word ("Low", "Medium", "High", "Overheat") instead of the
// degrees, worked out from the chip's own temperature-limit registers.
#pragma once

#include <cstdint>

#include "config/records.h"

// The words, longest 8 characters plus the terminator.
inline constexpr int32_t kThermalTextCapacity = 9;

// The CPU an item belongs to, from its name ("CPU2 Temp" 2, "PECI Agent1" 1,
// plain "CPU" 1); 0 when the name names none.
int32_t getCpuNumberOfItem(const ItemRecord* item);

// 1 when the item gets thermal text, else 0. May touch the chip (the W83793G
// and W83627DHG tests read its limit registers), restoring its bank.
int32_t supportThermalText(const SystemRecord* system, const ItemRecord* item);
int32_t supportThermalText_W83793G(const SystemRecord* system, const ItemRecord* item);
int32_t supportThermalText_W83627DHG(const SystemRecord* system, const ItemRecord* item);
int32_t supportThermalText_W83795ADG(const SystemRecord* system, const ItemRecord* item);
int32_t supportThermalText_IT8720F(const SystemRecord* system, const ItemRecord* item);
int32_t supportThermalText_NCT6776F(const SystemRecord* system, const ItemRecord* item);
int32_t supportThermalText_NCT7904D(const SystemRecord* system, const ItemRecord* item);

// Writes the word into `text` (at least kThermalTextCapacity bytes) when it
// can be worked out; otherwise leaves `text` untouched. -1 when the item is
// not TEMP or its chip has no thermal text, else the status of the chip
// function (which may be 0 without a word: see each family).
int32_t getThermalText(const SystemRecord* system, const ItemRecord* item, char* text);
int32_t getThermalText_W83793G(const SystemRecord* system, const ItemRecord* item, char* text);
int32_t getThermalText_W83627DHG(const SystemRecord* system, const ItemRecord* item, char* text);
int32_t getThermalText_W83795ADG(const SystemRecord* system, const ItemRecord* item, char* text);
int32_t getThermalText_IT8720F(const SystemRecord* system, const ItemRecord* item, char* text);
int32_t getThermalText_NCT6776F(const SystemRecord* system, const ItemRecord* item, char* text);
int32_t getThermalText_ME_NCT6776F(const SystemRecord* system, const ItemRecord* item,
                                   char* text);
int32_t getThermalText_NCT7904D(const SystemRecord* system, const ItemRecord* item, char* text);
int32_t getThermalText_ME_NCT7904D(const SystemRecord* system, const ItemRecord* item,
                                   char* text);
