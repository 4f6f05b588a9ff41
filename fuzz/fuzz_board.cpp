#include "fuzz/fuzz_board.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "sys/sys.h"
#include "vboard/board.h"
#include "vboard/seed.h"

namespace fs = std::filesystem;

namespace {

// Lives until the process ends; its destructor takes the board out of sys()
// and removes the root.
struct BoardHolder {
    std::string holder;  // the root is made inside it
    std::unique_ptr<VirtualBoard> board;
    std::unique_ptr<ScopedSys> installed;

    ~BoardHolder() {
        installed.reset();
        board.reset();
        std::error_code ignored;
        if (!holder.empty()) fs::remove_all(holder, ignored);
    }
};

BoardHolder& holder() {
    static BoardHolder instance;
    return instance;
}

// The root lives in memory when it can: every input rewrites files, and on a
// disk file system replacing a file's content forces it out to the disk.
fs::path temp_parent() {
    if (access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
    return fs::temp_directory_path();
}

std::string make_temp_dir(const char* stem) {
    std::string pattern = (temp_parent() / stem).string();
    if (!mkdtemp(pattern.data())) fuzz_fail("mkdtemp failed");
    return fs::canonical(pattern).string();
}

// The host path of a path in the fuzzing root (which holds no links).
std::string resolved(std::string_view absolute) {
    return fuzz_board().paths().resolve(absolute).value();
}

}  // namespace

VirtualBoard& fuzz_board(const std::string& board_json) {
    BoardHolder& h = holder();
    if (h.board) return *h.board;
    h.holder = make_temp_dir("sv-fuzz.XXXXXX");
    std::string root = h.holder + "/root";
    h.board = std::make_unique<VirtualBoard>(parse_board(board_json, "fuzz-board"), root);
    // No master files: the targets that read one write it themselves.
    seed_root(SeedPlan(*h.board, h.holder + "/no-master-files"), root);
    h.installed = std::make_unique<ScopedSys>(*h.board);
    if (!std::freopen("/dev/null", "w", stdout)) fuzz_fail("cannot silence stdout");
    return *h.board;
}

void put_file(std::string_view absolute, std::string_view content) {
    fs::path path = resolved(absolute);
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) fuzz_fail("cannot write a file in the fuzzing root");
}

bool get_file(std::string_view absolute, std::string& content) {
    std::ifstream in(resolved(absolute), std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    content = text.str();
    return true;
}

void remove_path(std::string_view absolute) {
    std::error_code ignored;
    fs::remove_all(resolved(absolute), ignored);
}

std::vector<std::string_view> split_parts(std::string_view text, size_t parts) {
    constexpr std::string_view kSeparator = "\n----\n";
    std::vector<std::string_view> result;
    while (result.size() + 1 < parts) {
        size_t at = text.find(kSeparator);
        if (at == std::string_view::npos) break;
        result.push_back(text.substr(0, at + 1));  // the piece keeps its last line end
        text.remove_prefix(at + kSeparator.size());
    }
    result.push_back(text);
    result.resize(parts);
    return result;
}

void fuzz_fail(const char* what) {
    dprintf(STDERR_FILENO, "fuzz check failed: %s\n", what);
    std::abort();
}
