// sensorvisor-sim: the monitor's own main on a virtual board.
//
//   sensorvisor-sim [--board FILE] [--root DIR] [--trace FILE] [--] [monitor arguments...]
#pragma once

// Runs the launcher; returns the exit status (the monitor's own, or 2 for a
// bad board file or launcher option).
int run_launcher(int argc, char** argv);
