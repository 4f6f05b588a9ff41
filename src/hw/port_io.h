// Port access for the process and the SMBus host controller's I/O base.
#pragma once

#include <cstdint>
#include <span>

#include "config/records.h"

// I/O base of the SMBus host controller, found by scan_device when the
// configuration asks for SMBus; 0 until then (and when none was found).
extern uint32_t SMB_BASE_IO_ADDR;
// 1 when that controller is one of the Intel SMBus controllers (their host
// status register needs clearing after each transfer).
extern uint8_t IntelDevice;

// Grants port access for what the configuration names: finds the SMBus
// controller first when SMBus is configured, then iopl(3) and, for ISA chips,
// ioperm on the index and data ports. 0, or -1 when a step failed (a message
// on stderr for each refused call; none when no controller was found).
int32_t io_open(SystemRecord* system);
// Gives port access back: iopl(0) and ioperm(..., 0) on the ISA ports.
int32_t io_close(SystemRecord* system);

// PCI configuration mechanism #1: the dword at `reg` (dword-aligned, not
// masked) of bus/device/function.
uint32_t pci_config_read(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg);
// Scans buses 0-1 for a known SMBus controller; on the first match stores its
// I/O base (bit 0 cleared) through `base` and returns its Intel flag. Returns
// 0 and leaves `*base` alone when none matches.
int32_t scan_device(uint32_t* base);

// One listed SMBus host controller: the dword at configuration offset 0
// (device ID << 16 | vendor ID), where its I/O base lies, whether it is Intel.
struct SmbusControllerId {
    uint32_t pciId;
    uint32_t baseOffset;
    uint8_t intel;
};
// The controllers scan_device recognises.
std::span<const SmbusControllerId> smbus_controller_table();
// Self-check of such a table: nullptr when every row is sound, else what is
// wrong (a duplicate ID, an Intel flag that does not match the vendor ID, a
// base offset that is not a base address register).
const char* check_smbus_controller_table(std::span<const SmbusControllerId> table);

// Back to the start values (tests).
void reset_port_io_state();
