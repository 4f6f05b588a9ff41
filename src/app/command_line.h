// The monitor's command line, its banner, usage and version texts.
#pragma once

#include <cstdint>

inline constexpr const char* kProgramVersion = "2.93";
inline constexpr const char* kProgramBuild = "121207";

enum class CommandAction {
    Run,          // go on with start-up
    ShowUsage,    // -h, an unknown option or a malformed one
    ShowVersion,  // -v
};

struct CommandLine {
    CommandAction action = CommandAction::Run;
    int32_t text = 0;          // 1 for -t or -r
    long interval = 0;         // seconds between reports; 0 = once
    bool reset = false;        // -r given
    const char* resetName = nullptr;
};

// Reads the words left to right and stops at the first that ends the program.
CommandLine parse_command_line(int argc, char** argv);

void headline();
void usage(const char* program);
void print_version(const char* program);
