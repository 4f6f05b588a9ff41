#include "vboard/devices.h"

#include "vboard/virtual_board.h"

// The board's emulated devices, part by part. The port devices come first:
// the BMC's Super I/O proxy reaches the banked chip among them.
void attach_board_devices(VirtualBoard& board) {
    attach_port_devices(board);
    attach_smbus(board);
    attach_bmc(board);
    attach_memory(board);
    attach_commands(board);
}
