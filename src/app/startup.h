// Start-up, shared by the monitor and the exporter: from the root check to
// the display records. The monitor's own main, with its command line and its
// modes, is in monitor_modes.cpp.
#pragma once

#include <cstdint>

#include "config/run_context.h"
#include "items/item_display.h"

// 1 when a text mode (-t or -r) was chosen, else 0.
extern int32_t text;

// The monitor's main. Returns the exit status (also ends the process directly
// through Sys::exit on some fatal errors).
int sensorvisor_main(int argc, char** argv);

// The board's identity: three 29-character texts, zero-filled before use.
struct BoardIdentity {
    char manufacturer[30] = {};
    char product[30] = {};
    char version[30] = {};
};

// What start-up leaves to the program that goes on: the loaded context,
// whether this run generated the configuration, and the board's identity.
struct MonitorStart {
    RunContext* context = nullptr;
    bool generated = false;
    BoardIdentity board;
};

// The steps after the command line (each program's main calls IpmiInit
// first): root rights, first-run generation, loading the configuration, SMBus
// adapter discovery, port access and the VB7 revision. Returns 0, or the
// fatal status after the monitor's own message.
int start_monitor(MonitorStart* start);

// The display records, which take the first reading of every item; on the
// run that generated the configuration, items that do not answer are switched
// off and the file rewritten.
ItemDisplay* build_item_displays(const MonitorStart& start);

// 0 if `path` is a regular file that opens for reading; -1 if nothing is
// there (the first run then generates the configuration); -2 if something is
// there that cannot serve as the configuration (not a regular file, or not
// readable), after one line on standard error saying so. A FIFO or a device
// at the path is never opened, so it cannot block the start.
int existFile(const char* path);
