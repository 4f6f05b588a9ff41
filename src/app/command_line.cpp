#include "app/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

constexpr const char* kStars =
    "*****************************************************************************";

// The longest wait between reports that sleep() can take in one call.
constexpr long kLongestInterval = std::numeric_limits<unsigned>::max();

// Reads -i's number as a decimal; no digits reads as 0, which is refused, and
// so is a number beyond what the report loop can sleep (it must not wrap into
// a short or zero wait and become a busy loop).
long decimal_argument(const char* word) {
    errno = 0;
    long value = std::strtol(word, nullptr, 10);
    return errno == ERANGE || value > kLongestInterval ? 0 : value;
}

}  // namespace

CommandLine parse_command_line(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        // Only the character after the "-" counts; "-tx" acts as "-t".
        char option = word[0] == '-' ? word[1] : '\0';
        switch (option) {
            case 't':
                line.text = 1;
                break;
            case 'i':
                if (i + 1 >= argc || (line.interval = decimal_argument(argv[++i])) < 1) {
                    line.action = CommandAction::ShowUsage;
                    return line;
                }
                break;
            case 'r':
                if (i + 1 >= argc) {
                    line.action = CommandAction::ShowUsage;
                    return line;
                }
                line.text = 1;
                line.reset = true;
                line.resetName = argv[++i];
                break;
            case 'v':
                line.action = CommandAction::ShowVersion;
                return line;
            case 'M':
                break;
            default:  // -h, any other letter, a lone "-", a word without "-"
                line.action = CommandAction::ShowUsage;
                return line;
        }
    }
    return line;
}

void headline() {
    std::printf("\n%s\n", kStars);
    std::printf(" Sensorvisor II - Linux version %s(%s)\n", kProgramVersion, kProgramBuild);
    std::printf(" Fans, voltages, temperatures and switches of Kelvorante server boards.\n");
    std::printf("%s\n", kStars);
}

void usage(const char* program) {
    std::printf("Usage:\n");
    std::printf("%s                         -> full function\n", program);
    std::printf("%s -t                      -> text mode, running only once\n", program);
    std::printf("%s -t -i 5                 -> text mode, running every 5 seconds\n", program);
    std::printf("%s -r \"Chassis Intrusion\"  -> reset the chassis intrusion\n", program);
    std::printf("%s -h                      -> showing this page\n", program);
    std::printf("%s -v                      -> showing version information\n", program);
    std::printf("\n");
}

void print_version(const char* program) {
    std::printf("%s version %s(%s)\n", program, kProgramVersion, kProgramBuild);
}
