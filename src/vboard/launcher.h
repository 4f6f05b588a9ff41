// A program's own main on a virtual board: the monitor's (sensorvisor-sim) or
// the exporter's (sensorvisor-exporter-sim).
//
//   sensorvisor-sim [--board FILE] [--root DIR] [--trace FILE] [--] [monitor arguments...]
//   sensorvisor-sim --record FILE [--keep-serials] [--trace FILE] [--board FILE [--root DIR]]
//                   [--] [monitor arguments...]
//   sensorvisor-sim --help
//
// Every option that takes a value also takes it as --option=VALUE.
//
// With --record the program runs through the recording layer (src/record) in
// front of the real machine, or in front of the board when one is given, and
// FILE receives the board file of what the run saw.
#pragma once

// The program a launcher runs, given by the tool so that this library links
// neither the monitor's modes nor the exporter.
struct LaunchedProgram {
    const char* launcher;  // the launcher's name, in its own messages
    const char* name;      // what the program sees as its invocation name
    const char* own_help;  // the words after the launcher's name that list the program's options
    int (*main)(int argc, char** argv);
};

// Runs the launcher; returns the exit status (the program's own, 0 after
// --help, or 2 for a bad board file or launcher option).
int run_launcher(int argc, char** argv, const LaunchedProgram& program);
