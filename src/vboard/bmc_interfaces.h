// The two system interfaces through which the program reaches the board's BMC:
// the IMB driver's device (one ioctl, 0x1082) and the Linux OpenIPMI device.
// Each open of the node gets its own descriptor state; the BMC behind them is
// one, shared.
#pragma once

#include <memory>
#include <string>

#include "vboard/device.h"

class Bmc;
class VirtualBoard;

std::unique_ptr<OpenDevice> open_imb_device(std::shared_ptr<Bmc> bmc, VirtualBoard& board);
std::unique_ptr<OpenDevice> open_openipmi_device(std::shared_ptr<Bmc> bmc, VirtualBoard& board,
                                                 std::string path);
