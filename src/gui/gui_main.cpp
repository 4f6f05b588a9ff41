#include "gui/gui_main.h"

// The window is not built in yet: the graphical mode opens nothing and ends.
void gui_open(int, char**) {}

int gui_run(ItemDisplay*, RunContext*) { return 0; }
