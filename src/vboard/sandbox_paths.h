// How the sandbox stands in for "/": every absolute path the monitor names is
// taken inside the root, and absolute paths in shell commands are rewritten
// the same way, except the system's own programs and /dev/null, which the
// shell needs as they are.
#pragma once

#include <string>
#include <string_view>

class SandboxPaths {
public:
    explicit SandboxPaths(std::string root);

    const std::string& root() const { return root_; }

    // "/etc/Senvis.ini" -> "<root>/etc/Senvis.ini". ".." never climbs above
    // the root; a relative path is taken as relative to the root as well.
    std::string map(std::string_view path) const;

    // The normalised absolute form the program meant ("/dev/../etc//x" -> "/etc/x").
    static std::string normalise(std::string_view path);

    // Rewrites the absolute paths of a shell command (words that begin with "/").
    std::string map_command(std::string_view command) const;

    // Whether a path stays as it is inside a command (programs, /dev/null).
    static bool is_host_path(std::string_view normalised);

private:
    std::string root_;
};
