// The BMC interface state of the run, fixed once at start-up.
#pragma once

#include <cstdint>

// 0 while no BMC interface is open; the IMB driver's descriptor, or the
// marker 99 when the OpenIPMI device is open.
extern int32_t hDevice;
// 0 none, 1 IMB driver, 2 OpenIPMI device.
extern int32_t ipmi_driver_option;

// Opens a BMC interface if the board has one (IMB driver first, then the
// OpenIPMI device). 0 when one was opened, -1 when none.
int IpmiInit();
