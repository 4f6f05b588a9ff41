// The BMC requests of a run and their answers as the board file's `bmc`.
//
// Master Write-Read (06/52) and the OEM SMBus proxies (30/22, 30/23) become
// chips on the BMC's buses, with their registers as the run read and wrote
// them; Get Device ID gives the completion code, Get System GUID the GUID;
// every other request (the OEM Super I/O proxy 30/2C among them) is answered
// from `responses` with the answers the machine gave, in turn.
#pragma once

#include "record/observations.h"
#include "vboard/board_values.h"

// null when the run opened no BMC interface.
Json recorded_bmc(const BmcSeen& bmc, bool keep_serials, ReplayNotes& notes);
