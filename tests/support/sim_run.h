// Runs the sensorvisor-sim launcher as a child process and collects what it
// printed and how it ended.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/sandbox.h"

struct SimResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// `args` follow the program name: launcher options, then the monitor's.
// `environment` entries ("NAME=value") are set in the child; DISPLAY is not
// passed on unless an entry sets it, so that a run opens a window only when
// a test means it to. A run still going after `timeout_seconds` is killed
// (SIGALRM: status 142).
SimResult run_sim(const std::vector<std::string>& args,
                  const std::vector<std::string>& environment = {}, int timeout_seconds = 60);

// The same run in the background, for tests that act on its window meanwhile.
class SimProcess {
public:
    SimProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment,
               int timeout_seconds);
    ~SimProcess();  // kills a run that is still going
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool running();
    pid_t pid() const { return child_; }
    // Waits for the end (bounded by the run's timeout).
    SimResult finish();

private:
    TempDir capture_;
    pid_t child_ = -1;
};
