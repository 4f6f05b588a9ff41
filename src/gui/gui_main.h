// The graphical monitor as start-up runs it: program init and the windows
// (before the display records exist), then the list, the first fill, the
// refresh timeout and the main loop.
#pragma once

#include "app/gui_mode.h"

// What the programs with a window install (install_gui_mode).
extern const GuiMode kWindowMode;

// Program init and the windows in their order and places. 0, or 255 after
// one line on stderr when there is no X display.
int gui_open(int argc, char** argv);
// The list store and its columns, build_All and the refresh timeout: the
// window as the main loop gets it.
void gui_fill(ItemDisplay* disps, RunContext* context);
// gui_fill, then the main loop; 0 once the window is closed.
int gui_run(ItemDisplay* disps, RunContext* context);

// Closes every window and forgets the window's state: the list, the refresh
// timeout, the save hook (tests, between cases in one process).
void reset_gui_state();
