#include "vboard/sandbox_paths.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

// The walk is done here, part by part (lstat, readlink), rather than left to
// openat2(RESOLVE_IN_ROOT): the same walk then serves every call the board
// maps (rename, unlink, stat, opendir and chmod take paths, not descriptors)
// and the paths pasted into shell commands, which must be resolved before the
// shell sees them. What the walk gives up is atomicity: a link made between
// the walk and the call would be followed. Nothing but the monitor and the
// commands it runs (one at a time, each waited for) works in the root while
// a run lasts, so nothing makes one.

namespace {

constexpr int kMostLinks = 40;  // the kernel's MAXSYMLINKS

// Paths a shell command may name that must stay the host's: the shell and the
// programs it runs, and the null device.
constexpr std::array<std::string_view, 8> kHostPrefixes = {
    "/bin/", "/sbin/", "/usr/bin/", "/usr/sbin/", "/lib/", "/lib64/", "/usr/lib/", "/usr/share/",
};
constexpr std::array<std::string_view, 4> kHostFiles = {
    "/dev/null", "/dev/zero", "/dev/stdout", "/dev/stderr",
};

bool starts_word(char before) {
    switch (before) {
        case ' ': case '\t': case '\n': case '\'': case '"': case '=': case '>': case '<':
        case '|': case ';': case '&': case '(': case '`':
            return true;
        default:
            return false;
    }
}

bool ends_word(char c) {
    switch (c) {
        case ' ': case '\t': case '\n': case '\'': case '"': case '>': case '<': case '|':
        case ';': case '&': case ')': case '`':
            return true;
        default:
            return false;
    }
}

// Puts the parts of `path` in front of those still to walk (the next part
// is the last element). Empty and "." parts are kept: they make the part
// before them one that must be a directory, looked into.
void push_parts(std::vector<std::string>& pending, std::string_view path) {
    std::vector<std::string_view> parts;
    for (size_t at = 0;;) {
        size_t slash = path.find('/', at);
        parts.push_back(path.substr(at, slash - at));
        if (slash == std::string_view::npos) break;
        at = slash + 1;
    }
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) pending.emplace_back(*part);
}

bool is_noop_part(std::string_view part) { return part.empty() || part == "."; }

struct Resolution {
    std::optional<std::string> path;
    int links = 0;  // followed on the way
};

// The walk of SandboxPaths::resolve; `resolved` is the path inside the root
// so far ("" for the root itself), made of real directories only.
Resolution resolve_in(const std::string& root, std::string_view path,
                      SandboxPaths::LastLink last) {
    Resolution result;
    if (path.empty()) {
        errno = ENOENT;
        return result;
    }
    std::vector<std::string> pending;
    push_parts(pending, path);
    std::string resolved;
    while (!pending.empty()) {
        std::string part = std::move(pending.back());
        pending.pop_back();
        if (is_noop_part(part)) continue;
        if (part == "..") {  // at the root, ".." is the root
            resolved.resize(resolved.empty() ? 0 : resolved.rfind('/'));
            continue;
        }
        bool more = !pending.empty();  // even "" or ".": then this must be a directory
        std::string candidate = resolved + "/" + part;
        struct stat st {};
        bool exists = ::lstat((root + candidate).c_str(), &st) == 0;
        if (exists && S_ISLNK(st.st_mode) && (more || last == SandboxPaths::LastLink::follow)) {
            if (++result.links > kMostLinks) {
                errno = ELOOP;
                return result;
            }
            std::string target(PATH_MAX, '\0');
            ssize_t length = ::readlink((root + candidate).c_str(), target.data(), target.size());
            if (length < 0 || size_t(length) == target.size()) {
                if (length >= 0) errno = ENAMETOOLONG;
                return result;
            }
            target.resize(size_t(length));
            if (target.front() == '/') resolved.clear();  // from the root, not the host's
            push_parts(pending, target);
            continue;
        }
        resolved = std::move(candidate);
        if (!exists || (more && !S_ISDIR(st.st_mode))) {
            // The kernel stops here (ENOENT, ENOTDIR, EACCES): so will the
            // call, at the same part, given the rest as it stands.
            while (!pending.empty()) {
                resolved += '/';
                resolved += pending.back();
                pending.pop_back();
            }
        }
    }
    result.path = root + resolved;
    return result;
}

}  // namespace

SandboxPaths::SandboxPaths(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

std::optional<std::string> SandboxPaths::resolve(std::string_view path, LastLink last) const {
    return resolve_in(root_, path, last).path;
}

std::string SandboxPaths::normalise(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i <= path.size()) {
        size_t slash = path.find('/', i);
        if (slash == std::string_view::npos) slash = path.size();
        std::string_view part = path.substr(i, slash - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = slash + 1;
    }
    std::string out;
    for (std::string_view part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

bool SandboxPaths::is_host_path(std::string_view normal) {
    for (std::string_view prefix : kHostPrefixes)
        if (normal.substr(0, prefix.size()) == prefix) return true;
    for (std::string_view file : kHostFiles)
        if (normal == file) return true;
    return false;
}

bool SandboxPaths::is_shell_safe(std::string_view text) {
    for (char c : text)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._-+,:@%", c)))
            return false;
    return true;
}

// A link's target may hold anything a file name can (blanks, quotes, "$(...)"),
// and the command pastes the resolved path where the path stood, inside or
// outside quotes: such a path is refused rather than quoted, since no one way
// of quoting fits every place.
std::optional<std::string> SandboxPaths::map_command(std::string_view command) const {
    std::string out;
    size_t i = 0;
    while (i < command.size()) {
        bool at_word_start = i == 0 || starts_word(command[i - 1]);
        // A path names something after its slash ("/etc"); "//g" in a sed
        // expression does not.
        bool names_something = i + 1 < command.size() &&
                               (std::isalnum(static_cast<unsigned char>(command[i + 1])) ||
                                command[i + 1] == '.' || command[i + 1] == '_');
        if (command[i] == '/' && at_word_start && names_something) {
            size_t end = i;
            while (end < command.size() && !ends_word(command[end])) ++end;
            std::string_view word = command.substr(i, end - i);
            if (is_host_path(normalise(word))) {
                out += word;
            } else {
                Resolution resolution = resolve_in(root_, word, LastLink::follow);
                if (!resolution.path) return std::nullopt;
                if (resolution.links > 0 && !is_shell_safe(*resolution.path)) {
                    errno = EINVAL;
                    return std::nullopt;
                }
                out += *resolution.path;
            }
            i = end;
        } else {
            out += command[i++];
        }
    }
    return out;
}
