#include "support/sandbox.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "vboard/board.h"
#include "vboard/seed.h"

namespace fs = std::filesystem;

std::string read_whole_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_whole_file(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string scratch_directory() {
    static const std::string chosen = [] {
        struct statvfs shm {};
        if (access("/dev/shm", W_OK | X_OK) == 0 && statvfs("/dev/shm", &shm) == 0 &&
            (shm.f_flag & ST_NOEXEC) == 0)
            return std::string("/dev/shm");
        return fs::temp_directory_path().string();
    }();
    return chosen;
}

std::string make_scratch_dir(const std::string& prefix) {
    std::string pattern = scratch_directory() + "/" + prefix + ".XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed in " + pattern);
    return pattern;
}

TempDir::TempDir() : path_(make_scratch_dir("sv-test")) {}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

Sandbox::Sandbox(const std::string& board_json, bool with_master_files)
    : root_(fs::canonical(holder_.path()).string() + "/root") {
    board_ = std::make_unique<VirtualBoard>(parse_board(board_json, "test-board"), root_);
    board_->trace().keep_in_memory(true);
    seed_root(SeedPlan(*board_, with_master_files ? shipped_data_dir() : holder_.path() + "/none"),
              root_);
    installed_ = std::make_unique<ScopedSys>(*board_);
}

Sandbox::~Sandbox() {
    installed_.reset();
    board_.reset();
}

std::string Sandbox::path(const std::string& absolute) const {
    return board_->paths().resolve(absolute).value();
}

void Sandbox::write_file(const std::string& absolute, const std::string& content) const {
    write_whole_file(path(absolute), content);
}

std::string Sandbox::read_file(const std::string& absolute) const {
    return read_whole_file(path(absolute));
}

bool Sandbox::exists(const std::string& absolute) const { return fs::exists(path(absolute)); }

OutputCapture::OutputCapture() {
    fflush(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
}

OutputCapture::~OutputCapture() { finish(); }

void OutputCapture::finish() {
    if (finished_) return;
    finished_ = true;
    fflush(nullptr);
    out_ = testing::internal::GetCapturedStdout();
    err_ = testing::internal::GetCapturedStderr();
}

const std::string& OutputCapture::out() {
    finish();
    return out_;
}

const std::string& OutputCapture::err() {
    finish();
    return err_;
}
