// The loader of /etc/Senvis.ini: reads the file into one SystemRecord, one
// ItemRecord per [Item] section and room for twice as many ParameterRecords.
// Each reader rewinds the open file and walks it from the start.
#pragma once

#include <cstdint>
#include <cstdio>

#include "config/records.h"

// Counts the lines that are exactly "[Item]" (without regard to case).
int32_t get_item_count(FILE* file);

// Reads every [System] section, in turn, into `system`. Returns 0.
int32_t readSystemSection(FILE* file, SystemRecord* system);

// Reads the [Item] sections into items[0..itemCount-1], in file order; each
// "[Item]" line starts the next record with its start values. Returns 0.
int32_t readItemSection(FILE* file, ItemRecord* items, int32_t itemCount);

// Reads the [Parameter] sections into parameters[0..capacity-1], in file
// order; sections beyond the capacity are ignored. Returns 0.
int32_t readParameterSection(FILE* file, ParameterRecord* parameters, int32_t capacity);

// Opens "/etc/Senvis.ini", allocates the system record, the item array and a
// parameter array of twice the item count, fills them and stores them in the
// three out-pointers. Returns the item count, or -1 when the file cannot be
// opened ("Error: the ini file is not found!" on stdout). The records belong
// to the configuration module and live until the process ends (or until
// reset_config_state; a second load replaces the first).
int32_t loadSenvisINI_and_getItemCount(SystemRecord** system, ItemRecord** items,
                                       ParameterRecord** parameters);

// Diagnostic dump of the loaded records on stdout.
void print_conf(const SystemRecord* system, const ItemRecord* items, int32_t itemCount,
                const ParameterRecord* parameters, int32_t parameterCount);

// Frees what the loader allocated (reset_config_state).
void release_loaded_records();
