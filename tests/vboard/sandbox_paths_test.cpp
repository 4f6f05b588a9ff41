// The sandbox must hold everything the monitor names: no path, however
// written and whatever links a reused root holds, may reach outside the root,
// and shell commands must keep the system programs and /dev/null they rely on.
#include <errno.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/sandbox.h"
#include "vboard/sandbox_paths.h"

namespace fs = std::filesystem;

namespace {

using LastLink = SandboxPaths::LastLink;

// A root with the links a previous run or an administrator could leave.
class LinkedRoot {
public:
    LinkedRoot() : root_(fs::canonical(dir_.path()).string() + "/root") {
        for (const char* d : {"/etc", "/var/etc", "/usr"}) fs::create_directories(root_ + d);
        write_whole_file(root_ + "/etc/file", "");
        const std::pair<const char*, const char*> links[] = {
            {"/etc/out", "/outside/Senvis.ini"},  // absolute, to the host's idea of a place
            {"/etc/abs", "/var/etc"},             // absolute, to a directory
            {"/etc/rel", "../../../var"},         // relative, climbing past the root
            {"/etc/odd", "/a b;touch x"},         // a name no command can carry
            {"/loop1", "/loop2"},
            {"/loop2", "loop1"},
        };
        for (const auto& [link, target] : links) fs::create_symlink(target, root_ + link);
    }
    const std::string& root() const { return root_; }

private:
    TempDir dir_;
    std::string root_;
};

TEST(SandboxPaths, ResolvesEveryPathInsideTheRootAsAChrootWould) {
    LinkedRoot linked;
    SandboxPaths paths(linked.root() + "/");
    struct Case {
        const char* program_path;
        LastLink last;
        const char* in_root;  // nullptr: refused with `error`
        int error;
    } cases[] = {
        {"/etc/Senvis.ini", LastLink::follow, "/etc/Senvis.ini", 0},
        {"/etc//./Senvis.ini", LastLink::follow, "/etc/Senvis.ini", 0},
        {"/../../etc/passwd", LastLink::follow, "/etc/passwd", 0},
        {"etc/relative", LastLink::follow, "/etc/relative", 0},
        {"/..", LastLink::follow, "", 0},
        {"/etc/out", LastLink::follow, "/outside/Senvis.ini", 0},
        {"/etc/out", LastLink::keep, "/etc/out", 0},  // rename and unlink act on the link
        {"/etc/abs/x", LastLink::keep, "/var/etc/x", 0},
        {"/etc/abs/../y", LastLink::follow, "/var/y", 0},  // ".." of where the link led
        {"/etc/rel/mail/sent", LastLink::follow, "/var/mail/sent", 0},
        // The call fails where the kernel stops: ENOTDIR, ENOENT.
        {"/etc/file/x", LastLink::follow, "/etc/file/x", 0},
        {"/nowhere/../etc/x", LastLink::follow, "/nowhere/../etc/x", 0},
        {"/loop1", LastLink::keep, "/loop1", 0},
        {"/loop1/x", LastLink::keep, nullptr, ELOOP},
        {"", LastLink::follow, nullptr, ENOENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program_path);
        errno = 0;
        auto host = paths.resolve(c.program_path, c.last);
        if (c.in_root) {
            EXPECT_EQ(linked.root() + c.in_root, host.value_or("(refused)"));
        } else {
            EXPECT_FALSE(host);
            EXPECT_EQ(c.error, errno);
        }
    }
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

// Paths in commands are resolved like any other; a command naming one that
// cannot be resolved, or whose link leads to a name the shell would read as
// syntax, is not run at all.
TEST(SandboxPaths, CommandsFollowLinksInsideTheRootOrAreNotRun) {
    LinkedRoot linked;
    SandboxPaths paths(linked.root());
    EXPECT_EQ("cat " + linked.root() + "/outside/Senvis.ini >" + linked.root() + "/var/etc/x",
              paths.map_command("cat /etc/out >/etc/abs/x"));
    for (auto [command, error] : {std::pair{"cat /etc/odd", EINVAL}, {"cat /loop1", ELOOP}}) {
        errno = 0;
        EXPECT_FALSE(paths.map_command(command)) << command;
        EXPECT_EQ(error, errno) << command;
    }
}

}  // namespace
