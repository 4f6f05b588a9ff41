// Attaching the emulated devices a board file describes. Each part of the
// board has its own attach function, called in this order by
// attach_board_devices (virtual_board.h).
#pragma once

class VirtualBoard;

void attach_port_devices(VirtualBoard& board);  // ports: index_data, superio, bytes; PCI
void attach_smbus(VirtualBoard& board);         // /dev/i2c-N and the adapter listings
void attach_bmc(VirtualBoard& board);           // /dev/kvbmc or the OpenIPMI device
void attach_memory(VirtualBoard& board);        // /dev/mem: SMBIOS and BIOS bytes
void attach_commands(VirtualBoard& board);      // dmidecode, modprobe, mail in /usr/bin
