// Port access for the process and the SMBus controller's I/O base.
#pragma once

#include "config/records.h"

// Grants port access for the ports the configuration names. Start-up ignores
// the result.
int io_open(SystemRecord* system);
