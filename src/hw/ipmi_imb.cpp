#include "hw/ipmi_imb.h"

int32_t hDevice = 0;
int32_t ipmi_driver_option = 0;

// No BMC transport is built in yet: the run proceeds without a BMC, exactly as
// on a board that has none.
int IpmiInit() { return -1; }
