// Building the display records, switching off items that do not answer on
// the run that generated the configuration, and the text report.
#pragma once

#include <cstdint>

#include "config/records.h"
#include "items/item_display.h"

ItemDisplay* createItemDisps(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                             ParameterRecord* parameters, int32_t parameterCount);

// Frees the records createItemDisps made last (tests, between cases in one
// process; the program keeps them until it ends).
void release_item_displays();

int detect_and_hide_nonactivated_items(ItemDisplay* disps, SystemRecord* system, ItemRecord* items,
                                       int32_t itemCount, ParameterRecord* parameters,
                                       int32_t parameterCount);

void text_build_Items(ItemDisplay* disps, SystemRecord* system, ItemRecord* items,
                      int32_t itemCount, ParameterRecord* parameters, int32_t parameterCount);

// Asks for the item's thermal word again; when the chip cannot give one the
// previous word stays.
void refresh_thermal_text(ItemDisplay* disp, SystemRecord* system, ItemRecord* item);
