// A folder the launcher made for one run (the temporary root) is removed
// however the run ends. At exit the launcher removes it itself; this covers
// the signals that end a process at once: an interrupt (Ctrl-C), a
// termination request, a hang-up (the terminal went away) and an abort (the
// board stops a run that broke a rule of the kernel). The handler removes the
// folder with calls that are safe in a signal handler, then ends the process
// by the same signal, so that a shell sees the status it expects (130 after
// Ctrl-C) and a core dump is still made where one would be.
#pragma once

#include <string>

// Installs the handlers for `folder`, an absolute path. Programs that take
// one of these signals themselves later (the recording, the exporter's wait)
// replace or block the handler; they end through exit and the launcher's own
// clean-up.
void remove_on_fatal_signals(const std::string& folder);
