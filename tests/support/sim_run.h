// Runs the sensorvisor-sim launcher (or another program) as a child process
// and collects what it printed and how it ended; or keeps one running in the
// background (an exporter, a Prometheus server).
#pragma once

#include <string>
#include <vector>

struct SimResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// `args` follow the program name: launcher options, then the monitor's.
// `environment` entries ("NAME=value") are set in the child.
SimResult run_sim(const std::vector<std::string>& args,
                  const std::vector<std::string>& environment = {}, int timeout_seconds = 60);
SimResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& environment = {}, int timeout_seconds = 60);

// A program running in the background with its output in files; stopped
// with SIGTERM (then SIGKILL after 5 s) when the object goes.
class BackgroundProgram {
public:
    BackgroundProgram(const std::string& program, const std::vector<std::string>& args);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    // Stops it and returns its status as SimResult does, with its output.
    SimResult stop();
    bool running();

private:
    int child_ = -1;
    std::string dir_;
    SimResult result_;
};
