#include "vboard/sandbox_paths.h"

#include <array>
#include <cctype>
#include <vector>

namespace {

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

}  // namespace

SandboxPaths::SandboxPaths(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
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

std::string SandboxPaths::map(std::string_view path) const {
    std::string normal = normalise(path);
    return normal == "/" ? root_ : root_ + normal;
}

bool SandboxPaths::is_host_path(std::string_view normal) {
    for (std::string_view prefix : kHostPrefixes)
        if (normal.substr(0, prefix.size()) == prefix) return true;
    for (std::string_view file : kHostFiles)
        if (normal == file) return true;
    return false;
}

std::string SandboxPaths::map_command(std::string_view command) const {
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
            std::string normal = normalise(word);
            out += is_host_path(normal) ? std::string(word) : map(word);
            i = end;
        } else {
            out += command[i++];
        }
    }
    return out;
}
