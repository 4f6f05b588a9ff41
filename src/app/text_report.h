// The text report of -t: one table of the monitored items on standard output,
// once or every N seconds.
#pragma once

#include <cstdint>

#include "config/run_context.h"
#include "items/item_display.h"

// Prints one report (text_build_Items); with an interval of 1 or more, sleeps
// that many seconds through Sys and prints again. `rounds` bounds the number
// of reports (tests); 0 repeats until the process is stopped.
void run_text_reports(ItemDisplay* disps, const RunContext& ctx, long interval,
                      int32_t rounds = 0);
