// Recording a run (sensorvisor-sim --record FILE): the program runs through a
// recording layer in front of a backend (the real machine, or a virtual
// board), and FILE receives the board file of what it saw, whole or not at
// all, when the run ends: when the program returns or exits, or when it is
// interrupted (SIGINT, SIGTERM, SIGHUP) while it pauses between reports. An
// interrupt at another moment waits for the next pause, so that no chip is
// left in the middle of an access; a second one abandons the recording.
#pragma once

#include <string>
#include <vector>

#include "sys/sys.h"

struct RecordRequest {
    const char* launcher;    // the launcher's name, in its messages
    std::string file;        // the board file to write
    std::string trace_file;  // where the run's trace goes (none: nowhere)
    bool keep_serials = false;
};

// Runs `main` on `argv` (argv[0] the program's name, null-terminated) with
// the recording layer in front of `machine`. Returns the program's exit
// status, or 2 when the recording cannot be written (one line on stderr).
int run_recorded(Sys& machine, const RecordRequest& request, int (*main)(int, char**),
                 std::vector<char*> argv);
