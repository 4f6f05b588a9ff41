// The kernel's own lists of the board's SMBus adapters, written into a new
// sandbox root: /proc/bus/i2c as 2.4 kernels kept it (adapters with
// `listing: "proc"`), the i2c-dev class directory of sysfs (adapters with
// `listing: "sysfs"`), and /proc/mounts, which tells where sysfs is mounted.
// Adapters with `listing: "none"` are in neither list; their node still works.
#pragma once

#include <string>
#include <vector>

#include "vboard/board.h"

class VirtualBoard;

// One line per proc-listed adapter; empty when there is none (no file then).
std::string proc_bus_i2c_text(const std::vector<SmbusAdapter>& adapters);
// The root and proc mounts, and sysfs on /sys when an adapter is listed there.
std::string proc_mounts_text(const std::vector<SmbusAdapter>& adapters);

// Seeds /proc/bus/i2c, /proc/mounts and /sys/class/i2c-dev/i2c-N/{name,device/name}.
void add_i2c_listings(VirtualBoard& board);
