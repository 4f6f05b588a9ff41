// The board file of a recorded run: what the run saw (observations.h) in the
// board-file format the launcher loads, with the privacy placeholders unless
// the serial numbers are to be kept.
#pragma once

#include <string>

#include "record/observations.h"
#include "record/replay_notes.h"

struct RecordingFacts {
    std::string recorder;      // "sensorvisor-sim"
    std::string command_line;  // the monitor's, as run: "sensorvisor -t"
    bool keep_serials = false;
};

// The board file's text. Where the replay cannot do exactly what the machine
// did, a line goes to `notes`.
std::string recorded_board_file(Observations seen, const RecordingFacts& facts, ReplayNotes& notes);
