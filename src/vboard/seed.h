// Seeding a new sandbox root: the directories a Linux system has, the master
// files shipped with the program in /etc, the board's own files (which win
// over the master files), the about box's icon where an install puts it, the
// kernel listings the board implies and a placeholder for every device node
// the board serves.
#pragma once

#include <string>

class VirtualBoard;

// The folder holding the master files shipped with the program (the source
// tree's data/ when run from a build, the installed copy otherwise).
std::string shipped_data_dir();
// The folder holding the bundled boards.
std::string bundled_boards_dir();

// Seeds `board.paths().root()`, which must exist and be empty. Throws
// std::runtime_error with a one-line message on failure.
void seed_root(VirtualBoard& board, const std::string& data_dir);
