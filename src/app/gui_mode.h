// The graphical mode as start-up reaches it. The window, and everything that
// uses GTK, lives in its own library that only the programs opening a window
// link; such a program installs its mode before start-up runs. Start-up, and
// every other program built on it (the exporter), stays free of GTK.
#pragma once

#include "config/run_context.h"
#include "items/item_display.h"

struct GuiMode {
    // Program init and the windows, before the display records exist: 0, or
    // the exit status when no window can be opened (no X display).
    int (*open)(int argc, char** argv);
    // Fills the windows from the display records and runs them; returns the
    // exit status once they are closed.
    int (*run)(ItemDisplay* disps, RunContext* context);
};

// The mode the GUI branch uses; nullptr (the default) for a program without
// a window, whose GUI branch then says so and ends with status 255.
void install_gui_mode(const GuiMode* mode);
const GuiMode* installed_gui_mode();
