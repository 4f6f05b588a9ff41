// SMBus adapter discovery: finds the board's SMBus adapter, loads its driver
// and chooses the i2c-dev node. Run once at start-up when the configuration
// asks for SMBus and no BMC carries it.
#pragma once

// 0, or -1 on failure (start-up then ends the run).
int i2cdetect();
