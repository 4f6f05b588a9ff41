#include "vboard/seed.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "vboard/virtual_board.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSystemDirs[] = {"etc", "proc", "proc/bus", "sys", "dev", "tmp",
                                       "var", "var/mail", "usr", "usr/bin"};

void write_text(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

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

}  // namespace

std::string shipped_data_dir() { return first_existing(SV_SOURCE_DATA_DIR, SV_INSTALL_DATA_DIR); }

std::string bundled_boards_dir() {
    return first_existing(SV_SOURCE_BOARDS_DIR, SV_INSTALL_DATA_DIR "/boards");
}

void seed_root(VirtualBoard& board, const std::string& data_dir) {
    const SandboxPaths& paths = board.paths();
    fs::path root = paths.root();
    // Nothing is placed where the board's faults say nothing exists.
    auto placed = [&](const std::string& path) { return !board.is_missing(path); };
    for (const char* dir : kSystemDirs)
        if (placed(std::string("/") + dir)) fs::create_directories(root / dir);

    // Master files: every *.ini shipped with the program.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(data_dir, ec)) {
        if (entry.is_regular_file() && entry.path().extension() == ".ini" &&
            placed("/etc/" + entry.path().filename().string()))
            fs::copy_file(entry.path(), root / "etc" / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
    }

    if (placed(kIconPath) && fs::is_regular_file(shipped_icon())) {
        fs::create_directories(fs::path(paths.map(kIconPath)).parent_path());
        fs::copy_file(shipped_icon(), paths.map(kIconPath), fs::copy_options::overwrite_existing);
    }

    if (placed("/proc/modules")) write_text(paths.map("/proc/modules"), proc_modules(board.board()));

    for (const auto& file : board.seed_files()) {
        if (!placed(file.path)) continue;
        write_text(paths.map(file.path), file.content);
        fs::permissions(paths.map(file.path), fs::perms(file.mode), fs::perm_options::replace);
    }
    for (const std::string& node : board.device_node_paths())
        if (placed(node)) write_text(paths.map(node), "");

    // The board's own files come last: they win over everything above.
    for (const auto& [path, content] : board.board().files)
        if (placed(path)) write_text(paths.map(path), content);
}
