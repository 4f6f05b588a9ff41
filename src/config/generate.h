// First-run generation of /etc/Senvis.ini from the master files, and the
// in-memory renaming of the VB7 family's CPU temperature items.
#pragma once

#include <cstdint>

#include "config/records.h"

// 0 when "/etc/Senvis.ini" was written, -1 otherwise.
int produce_senvis_ini(const char* product, const char* version);

void revise_senvis_ini_for_VB7(SystemRecord* system, ItemRecord* items, int32_t itemCount);
