// The sandbox's commands, run the way the monitor runs them: dmidecode through
// popen, modprobe through system. The mail command, run from the alert's
// script: the alert tests (tests/alert/mail_script_test.cpp).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/sandbox.h"

namespace fs = std::filesystem;

namespace {

using testing::ElementsAre;

std::string run_popen(const std::string& command) {
    FILE* pipe = sys().popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "popen failed";
        return {};
    }
    std::string out;
    char buffer[512];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    sys().pclose(pipe);
    return out;
}

// The shell's exit code of a system() command.
int exit_code(const std::string& command) {
    int status = sys().system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The layout dmidecode prints, read through the identification's pipeline:
// first-run-identified-through-dmidecode.
TEST(SandboxCommands, DmidecodeTextAndAbsence) {
    // A literal text is printed byte for byte, NUL, quotes and escapes too.
    const std::string text("A 'q' \"d\" \\ \\0 \\c %s $HOME `id`\n\0tail", 37);
    Sandbox literal(R"({"dmidecode": "A 'q' \"d\" \\ \\0 \\c %s $HOME `id`\n\u0000tail"})");
    EXPECT_EQ(text, run_popen("dmidecode"));
    Sandbox absent(R"({"dmidecode": "absent"})");
    EXPECT_EQ(127, exit_code("dmidecode 2>/dev/null"));
    Sandbox bare("{}");
    EXPECT_EQ("# dmidecode 3.4\nScanning /dev/mem for entry point.\n"
              "# No SMBIOS nor DMI entry point found, sorry.\n",
              run_popen("dmidecode"));
    EXPECT_EQ(2, exit_code("dmidecode -t 2 2>/dev/null"));
}

constexpr const char* kLoaded = " 16384 0 - Live 0x0000000000000000\n";

std::string listing(std::initializer_list<const char*> names) {
    std::string text;
    for (const char* name : names) text += std::string(name) + kLoaded;
    return text;
}

// Rows run in order on one root.
TEST(SandboxCommands, ModprobeListsModulesAsTheKernel) {
    struct Row {
        const char* command;
        int code;
        std::string modules;
    };
    const Row rows[] = {
        {"modprobe i2c-i801 2>/dev/null", 0, listing({"i2c_i801", "i2c_dev"})},
        {"modprobe i2c_i801", 0, listing({"i2c_i801", "i2c_dev"})},  // not twice
        {"modprobe -q nct6775 fan_debounce=1", 0, listing({"nct6775", "i2c_i801", "i2c_dev"})},
        {"modprobe -r i2c-dev", 0, listing({"nct6775", "i2c_i801"})},
        {"modprobe -r i2c-dev 2>/dev/null", 1, listing({"nct6775", "i2c_i801"})},
        {"modprobe -a w83795 it87", 0, listing({"it87", "w83795", "nct6775", "i2c_i801"})},
        {"modprobe ../i2c 2>/dev/null", 1, listing({"it87", "w83795", "nct6775", "i2c_i801"})},
        {"modprobe -r nct6775 it87", 0, listing({"w83795", "i2c_i801"})},
    };
    Sandbox sb(R"({"modules": ["i2c_dev"]})");
    ASSERT_EQ(listing({"i2c_dev"}), sb.read_file("/proc/modules"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        EXPECT_EQ(row.code, exit_code(row.command));
        EXPECT_EQ(row.modules, sb.read_file("/proc/modules"));
    }
    EXPECT_EQ("system modprobe i2c-i801 2>/dev/null -> 0", sb.trace().front());
    EXPECT_EQ(3, std::distance(fs::directory_iterator(sb.path("/proc")), fs::directory_iterator()))
        << "bus, modules, mounts and nothing left beside them";
}

}  // namespace
