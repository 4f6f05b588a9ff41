// Runs the sensorvisor-sim launcher (or another program) as a child process
// and collects what it printed and how it ended; or keeps one running in the
// background while a test acts on it (a window, an exporter, a Prometheus
// server).
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

// A program started in the background, its output kept in files. Arguments
// follow the program name. `environment` entries ("NAME=value") are set in
// the child; DISPLAY is not passed on unless an entry sets it, so that a run
// opens a window only when a test means it to. A child still going after
// `timeout_seconds` (0: no limit) is ended by SIGALRM (status 142).
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment = {}, int timeout_seconds = 0);
    ~ChildProcess();  // stops a child that is still going
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return child_; }
    bool running();
    // Waits for the end (bounded only by the timeout) and collects the output.
    SimResult finish();
    // SIGTERM, then SIGKILL after 5 s; the status and output as finish() gives them.
    SimResult stop();

private:
    SimResult collect(int status);

    TempDir capture_;
    pid_t child_ = -1;
    SimResult result_;
};

// One run to its end: launcher options, then the monitor's.
SimResult run_sim(const std::vector<std::string>& args,
                  const std::vector<std::string>& environment = {}, int timeout_seconds = 60);
SimResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& environment = {}, int timeout_seconds = 60);
