#include "vboard/seed.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "vboard/board_values.h"
#include "vboard/host_fd.h"
#include "vboard/virtual_board.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSystemDirs[] = {"/etc", "/proc", "/proc/bus", "/sys", "/dev",
                                       "/tmp", "/var",  "/var/mail", "/usr", "/usr/bin"};

std::string first_existing(const char* preferred, const char* fallback) {
    return fs::is_directory(preferred) ? preferred : fallback;
}

// The about box's logo, where `cmake --install` puts it by default and where
// the window looks first.
constexpr const char* kIconPath = "/usr/local/share/pixmaps/sensorvisor/idr_main.ico";

std::string shipped_icon() {
    return fs::is_regular_file(SV_SOURCE_ICON) ? SV_SOURCE_ICON : SV_INSTALL_ICON;
}

// /proc/modules as the kernel lays it out: name, size, use count, users,
// state, load address. Only the first word is ever read by the monitor.
std::string proc_modules(const Board& board) {
    std::string text;
    for (const std::string& module : board.modules)
        text += module + " 16384 0 - Live 0x0000000000000000\n";
    return text;
}

// The parts of a sandbox path ("/proc/bus/i2c": proc, bus, i2c).
std::vector<std::string_view> parts_of(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t at = 0;
    while (at < path.size()) {
        size_t end = std::min(path.find('/', at), path.size());
        if (end > at) parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

SeedNode* child(SeedNode& node, std::string_view name) {
    auto found = node.children.find(name);
    if (found != node.children.end()) return found->second.get();
    return node.children.emplace(std::string(name), std::make_unique<SeedNode>())
        .first->second.get();
}

}  // namespace

std::string shipped_data_dir() {
    return first_existing(SV_SOURCE_DATA_DIR, SV_INSTALL_DATA_DIR);
}

std::string bundled_boards_dir() {
    return first_existing(SV_SOURCE_BOARDS_DIR, SV_INSTALL_DATA_DIR "/boards");
}

// ---- the plan ------------------------------------------------------------------

// Everything is placed in this order, a later file replacing an earlier one:
// the system's directories, the master files, the about box's icon, the kernel
// listings and commands, the device nodes, and last the board's own files. Paths are
// walked part by part through maps, so that a board's thousands of keys cost
// n log n, not n squared.
SeedPlan::SeedPlan(const VirtualBoard& board, const std::string& data_dir)
    : source_(board.board().source) {
    for (const std::string& gone : board.board().faults.missing) add_missing(gone);
    for (const char* dir : kSystemDirs) add_directory(dir);

    // Master files: every *.ini shipped with the program.
    std::vector<fs::path> masters;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(data_dir, ec)) {
        if (entry.is_regular_file() && entry.path().extension() == ".ini")
            masters.push_back(entry.path());
    }
    std::sort(masters.begin(), masters.end());
    for (const fs::path& master : masters) {
        SeedNode file;
        file.copied_from = master.string();
        add_file("/etc/" + master.filename().string(), std::move(file));
    }

    if (fs::is_regular_file(shipped_icon())) {
        SeedNode icon;
        icon.copied_from = shipped_icon();
        add_file(kIconPath, std::move(icon));
    }

    SeedNode modules;
    modules.content = proc_modules(board.board());
    add_file("/proc/modules", std::move(modules));
    for (const auto& seed : board.seed_files()) {
        SeedNode file;
        file.content = seed.content;
        file.mode = seed.mode;
        add_file(seed.path, std::move(file));
    }
    for (const std::string& node : board.device_node_paths()) add_file(node, SeedNode{});

    for (const auto& [path, content] : board.board().files) {
        SeedNode file;
        file.content = content;
        file.origin = key_path("files", path);
        add_file(path, std::move(file));
    }
}

void SeedPlan::refuse(const std::string& origin, std::string_view path,
                      const std::string& why) const {
    throw BoardError(source_ + ": " + (origin.empty() ? std::string(path) : origin) + ": " + why);
}

// Directories on the way stay unplaced: they only lead to the missing path.
void SeedPlan::add_missing(std::string_view path) {
    SeedNode* node = &root_;
    for (std::string_view part : parts_of(path)) {
        if (node->kind != SeedNode::Kind::directory) return;  // covered already
        node = child(*node, part);
    }
    node->kind = SeedNode::Kind::missing;
    node->children.clear();
}

SeedNode* SeedPlan::place(std::string_view path, const std::string& origin) {
    std::vector<std::string_view> parts = parts_of(path);
    if (parts.empty()) refuse(origin, path, "names the root itself");
    // Nothing is placed at or under a missing path.
    const SeedNode* look = &root_;
    for (std::string_view part : parts) {
        auto found = look->children.find(part);
        if (found == look->children.end()) break;
        look = found->second.get();
        if (look->kind == SeedNode::Kind::missing) return nullptr;
    }
    SeedNode* node = &root_;
    std::string walked;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        walked += '/';
        walked += parts[i];
        node = child(*node, parts[i]);
        if (node->kind == SeedNode::Kind::file) {
            refuse(origin, path,
                   walked + " is a file" +
                       (node->origin.empty() ? " of the sandbox" : " (" + node->origin + ")"));
        }
        if (!node->placed) {
            node->placed = true;
            node->origin = origin;
        }
    }
    return child(*node, parts.back());
}

void SeedPlan::add_directory(std::string_view path) {
    if (SeedNode* node = place(path, "")) node->placed = true;
}

void SeedPlan::add_file(std::string_view path, SeedNode file) {
    SeedNode* node = place(path, file.origin);
    if (!node) return;
    if (node->kind == SeedNode::Kind::directory && node->placed) {
        refuse(
            file.origin, path,
            std::string(path) + " is a directory" +
                (node->origin.empty() ? " of the sandbox" : ": " + node->origin + " lies in it"));
    }
    // The board's own file keeps the mode of the one it replaces (an
    // executable command stays executable).
    if (node->kind == SeedNode::Kind::file && !file.origin.empty()) file.mode = node->mode;
    file.kind = SeedNode::Kind::file;
    file.placed = true;
    *node = std::move(file);
}

// ---- writing -------------------------------------------------------------------

namespace {

[[noreturn]] void seed_failed(const std::string& root, const std::string& path,
                              const std::string& why) {
    throw std::runtime_error("cannot seed " + root + ": " + path + ": " + why);
}

std::string read_host_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    return text.str();
}

void write_file(int dir, const std::string& name, const SeedNode& node) {
    std::string copied = node.copied_from.empty() ? "" : read_host_file(node.copied_from);
    const std::string& content = node.copied_from.empty() ? node.content : copied;
    HostFd file(
        ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file) throw std::runtime_error(std::strerror(errno));
    for (size_t done = 0; done < content.size();) {
        ssize_t written = ::write(file.get(), content.data() + done, content.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) throw std::runtime_error(std::strerror(written < 0 ? errno : ENOSPC));
        done += size_t(written);
    }
    if (::fchmod(file.get(), node.mode) != 0 || file.close() != 0)
        throw std::runtime_error(std::strerror(errno));
}

// Depth first, holding one directory descriptor that moves down into each
// directory and back up through "..": every entry costs the same few calls,
// however deep it lies (a path given whole would make the kernel walk it all
// again for every entry).
void write_tree(const std::string& staging, const SeedNode& root, const std::string& shown_root) {
    struct Level {
        const SeedNode* node;
        decltype(root.children.begin()) next;
        std::string path;  // in the sandbox, for messages
    };
    HostFd dir(::open(staging.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir) seed_failed(shown_root, "/", std::strerror(errno));
    std::vector<Level> levels{{&root, root.children.begin(), ""}};
    while (!levels.empty()) {
        Level& top = levels.back();
        if (top.next == top.node->children.end()) {
            levels.pop_back();
            if (levels.empty()) break;
            dir = HostFd(::openat(dir.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!dir) seed_failed(shown_root, levels.back().path + "/", std::strerror(errno));
            continue;
        }
        const auto& [name, node] = *top.next++;
        std::string path = top.path + "/" + name;
        try {
            switch (node->kind) {
                case SeedNode::Kind::missing:
                    break;
                case SeedNode::Kind::file:
                    write_file(dir.get(), name, *node);
                    break;
                case SeedNode::Kind::directory:
                    if (!node->placed) break;
                    if (::mkdirat(dir.get(), name.c_str(), 0777) != 0)
                        throw std::runtime_error(std::strerror(errno));
                    dir = HostFd(::openat(dir.get(), name.c_str(),
                                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                    if (!dir) throw std::runtime_error(std::strerror(errno));
                    levels.push_back({node.get(), node->children.begin(), path});
                    break;
            }
        } catch (const std::runtime_error& error) {
            seed_failed(shown_root, path, error.what());
        }
    }
}

}  // namespace

void seed_root(const SeedPlan& plan, const std::string& root) {
    fs::path target(root);
    // An empty directory named as the root is replaced whole by the seeded
    // one, which takes its mode; rename(2) replaces only an empty directory,
    // so one that filled up meanwhile stops the run as a new name does.
    struct stat existing {};
    const bool replace = ::lstat(root.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode);
    std::string staging =
        (target.parent_path() / ("." + target.filename().string() + ".seeding-XXXXXX")).string();
    if (!::mkdtemp(staging.data())) seed_failed(root, "/", std::strerror(errno));
    try {
        // mkdtemp keeps the directory to its owner; a root gets the mode any
        // directory made here would get.
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode_t mode = replace ? existing.st_mode & 07777 : 0777 & ~mask;
        if (::chmod(staging.c_str(), mode) != 0) seed_failed(root, "/", std::strerror(errno));
        write_tree(staging, plan.root(), root);
        if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, root.c_str(),
                        replace ? 0 : RENAME_NOREPLACE) != 0)
            seed_failed(root, "/", std::strerror(errno));
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
        throw;
    }
}
