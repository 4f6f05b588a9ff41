// How the sandbox stands in for "/": every path the monitor names is resolved
// inside the root, as the kernel resolves it for a process whose root
// directory is the sandbox (chroot): ".." never climbs above the root, and a
// symbolic link found on the way is followed inside the root too, an
// absolute one from the root itself. A reused root may hold links that a
// previous run, a board's test or an administrator left; none of them leads
// out. Absolute paths in shell commands are resolved the same way, except
// the system's own programs and /dev/null, which the shell needs as they are.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class SandboxPaths {
public:
    explicit SandboxPaths(std::string root);

    const std::string& root() const { return root_; }

    // Whether a link as the path's last part is followed (open, stat, chmod,
    // opendir, exec) or named itself (rename, unlink, open with O_NOFOLLOW or
    // O_CREAT|O_EXCL).
    enum class LastLink { follow, keep };

    // The host path of `path` inside the root, with every link on the way
    // resolved ("/etc/Senvis.ini" -> "<root>/etc/Senvis.ini"; with
    // <root>/etc -> /var/etc, "<root>/var/etc/Senvis.ini"). A relative path is
    // taken from the root as well. Nothing, with errno, for a path the kernel
    // refuses before looking at anything: empty (ENOENT), or more than 40
    // links on the way (ELOOP). Where a part is missing or not a directory,
    // the rest is appended as it stands, so that the call using the path
    // fails there as it would.
    std::optional<std::string> resolve(std::string_view path,
                                       LastLink last = LastLink::follow) const;

    // The normalised absolute form the program meant ("/dev/../etc//x" ->
    // "/etc/x"), ".." taken by the letters: how device nodes and the board's
    // faults are matched.
    static std::string normalise(std::string_view path);

    // Resolves the absolute paths of a shell command (words that begin with
    // "/"). Nothing, with errno, when a path cannot be resolved (ELOOP), or
    // when its resolution through a link holds characters the command could
    // not carry as they stand (EINVAL): the command is then not run.
    std::optional<std::string> map_command(std::string_view command) const;

    // Whether a path stays as it is inside a command (programs, /dev/null).
    static bool is_host_path(std::string_view normalised);

    // Whether a text can stand in a shell command unquoted: letters, digits
    // and / . _ - + , : @ % only.
    static bool is_shell_safe(std::string_view text);

private:
    std::string root_;
};
