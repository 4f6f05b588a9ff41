// Start-up: the single entry point of the monitor, whichever backend runs it.
#pragma once

#include <cstdint>

// 1 when a text mode (-t or -r) was chosen, else 0.
extern int32_t text;

// The monitor's main. Returns the exit status (also ends the process directly
// through Sys::exit on some fatal errors).
int sensorvisor_main(int argc, char** argv);

// 0 if the file can be opened for reading, -1 otherwise.
int existFile(const char* path);
