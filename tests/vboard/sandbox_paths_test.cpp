// The sandbox must hold everything the monitor names: no path, however
// written, may reach outside the root, and shell commands must keep the
// system programs and /dev/null they rely on.
#include <gtest/gtest.h>

#include "vboard/sandbox_paths.h"

namespace {

TEST(SandboxPaths, EveryPathStaysInsideTheRoot) {
    SandboxPaths paths("/tmp/r/");
    struct Case {
        const char* program_path;
        const char* host_path;
    } cases[] = {
        {"/etc/Senvis.ini", "/tmp/r/etc/Senvis.ini"},
        {"/etc//./Senvis.ini", "/tmp/r/etc/Senvis.ini"},
        {"/../../etc/passwd", "/tmp/r/etc/passwd"},
        {"etc/relative", "/tmp/r/etc/relative"},
        {"/..", "/tmp/r"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.host_path, paths.map(c.program_path)) << c.program_path;
}

TEST(SandboxPaths, CommandsMapDataPathsButNotProgramsOrTheNullDevice) {
    SandboxPaths paths("/tmp/r");
    struct Case {
        const char* command;
        const char* mapped;
    } cases[] = {
        {"rm -f /etc/Senvis.ini", "rm -f /tmp/r/etc/Senvis.ini"},
        {"modprobe i2c-i801 2>/dev/null", "modprobe i2c-i801 2>/dev/null"},
        {"cat /proc/modules|grep i2c >/tmp/out", "cat /tmp/r/proc/modules|grep i2c >/tmp/r/tmp/out"},
        {"/bin/bash /tmp/SensorvisorMailAlert", "/bin/bash /tmp/r/tmp/SensorvisorMailAlert"},
        // A sed expression is not a path: its slashes do not begin a word.
        {"dmidecode|grep -i 'DMI type 2,' -A 6 | sed 's/Manufacturer: //g' | sed 's/\\t//g'",
         "dmidecode|grep -i 'DMI type 2,' -A 6 | sed 's/Manufacturer: //g' | sed 's/\\t//g'"},
        {"echo '/var/mail/sent'", "echo '/tmp/r/var/mail/sent'"},
        {"x=/etc/a;y=\"/etc/b\"", "x=/tmp/r/etc/a;y=\"/tmp/r/etc/b\""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.mapped, paths.map_command(c.command)) << c.command;
}

}  // namespace
