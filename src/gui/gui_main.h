// The graphical monitor's two halves as start-up calls them: opening the
// windows (before the display records are built) and filling and running
// them (after).
#pragma once

#include "config/run_context.h"
#include "items/item_display.h"

void gui_open(int argc, char** argv);
// Returns when the window is closed.
int gui_run(ItemDisplay* disps, RunContext* context);
