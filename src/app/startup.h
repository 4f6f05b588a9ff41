// Start-up: the single entry point of the monitor, whichever backend runs it.
#pragma once

#include <cstdint>

// 1 when a text mode (-t or -r) was chosen, else 0.
extern int32_t text;

// The monitor's main. Returns the exit status (also ends the process directly
// through Sys::exit on some fatal errors).
int sensorvisor_main(int argc, char** argv);

// 0 if `path` is a regular file that opens for reading; -1 if nothing is
// there (the first run then generates the configuration); -2 if something is
// there that cannot serve as the configuration (not a regular file, or not
// readable), after one line on standard error saying so. A FIFO or a device
// at the path is never opened, so it cannot block the start.
int existFile(const char* path);
