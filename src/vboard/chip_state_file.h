// What the chips hold, kept in a root between runs: <root>/.board-state
// (chip_state.h has its text). The launcher takes it back when a run starts
// on a root that has it, and writes it whenever the program pauses between
// reports and when the run ends, whole or not at all. Removing the file is
// switching the board off and on: the next run starts from the board file.
#pragma once

#include <string>

#include "sys/linux_sys.h"

class VirtualBoard;

class ChipStateFile {
public:
    static constexpr const char* kName = ".board-state";

    ChipStateFile(VirtualBoard& board, const std::string& root);

    // Takes back what the chips held at the end of the last run on this
    // root. Nothing is taken from a root without the file or one last used
    // with another board file (other chips); a damaged file is named in the
    // message returned, and the chips start from the board file.
    std::string load();
    // Writes what the chips hold when it changed since the last load or
    // save; the message when that fails (once: later failures are quiet).
    std::string save();

    const std::string& path() const { return path_; }

private:
    VirtualBoard& board_;
    std::string path_;
    std::string kept_;  // what the file holds, as far as this run knows
    bool failed_ = false;
    LinuxSys host_;  // the file is the launcher's, on the host, not the program's
};
