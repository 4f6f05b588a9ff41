// Runs the sensorvisor-sim launcher as a child process and collects what it
// printed and how it ended.
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
