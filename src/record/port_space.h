// The port accesses of a run turned into the board file's `pci` functions and
// `ports` devices.
//
// Ports 0xCF8-0xCFF are PCI configuration mechanism #1. Elsewhere a port
// written and then, at the very next access, followed by an access to the
// port above it is the index port of an index/data pair (the chips this
// system reads all sit at adjacent pairs: 0x2E/0x2F, 0x295/0x296,
// 0xCD6/0xCD7). A pair through which the run selected a logical device
// (register 0x07 written) is a Super I/O configuration space, any other an
// index/data chip, banked when its run wrote 0x4E. What is left is plain
// storage (GPIO blocks, controller registers), recorded where it read
// anything but the 0xFF of a port nobody drives.
#pragma once

#include <vector>

#include "record/observations.h"
#include "vboard/board_values.h"

struct RecordedPortSpace {
    Json pci = Json::array();
    Json ports = Json::object();
};

RecordedPortSpace recorded_port_space(const std::vector<PortAccess>& log, ReplayNotes& notes);
