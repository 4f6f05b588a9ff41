// A virtual board in a temporary root, installed as the Sys backend for the
// lifetime of the object. Every absolute path the code under test names is
// taken inside the root; the trace is kept in memory.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sys/sys.h"
#include "vboard/virtual_board.h"

// A fresh empty temporary directory, removed with everything in it. It lies
// under scratch_directory().
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class Sandbox {
public:
    // `board_json` is a board file's text; the root is seeded from it (with
    // the shipped master files unless `with_master_files` is false).
    explicit Sandbox(const std::string& board_json = "{}", bool with_master_files = false);
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& root() const { return root_; }
    // "<root>/etc/x", links in the root followed inside it.
    std::string path(const std::string& absolute) const;
    VirtualBoard& board() { return *board_; }

    void write_file(const std::string& absolute, const std::string& content) const;
    std::string read_file(const std::string& absolute) const;
    bool exists(const std::string& absolute) const;

    const std::vector<std::string>& trace() const { return board_->trace().lines(); }
    void clear_trace() { board_->trace().clear(); }

private:
    TempDir holder_;  // the root is made inside it
    std::string root_;
    std::unique_ptr<VirtualBoard> board_;
    std::unique_ptr<ScopedSys> installed_;
};

// Captures what the code under test writes to stdout and stderr (C stdio and
// iostreams alike) during its lifetime or until taken.
class OutputCapture {
public:
    OutputCapture();
    ~OutputCapture();
    const std::string& out();
    const std::string& err();

private:
    void finish();
    bool finished_ = false;
    std::string out_;
    std::string err_;
};

// Where tests make their temporary roots: /dev/shm when it is a writable
// file system that can run programs (the sandbox runs the board's commands
// from its root), else the system's temporary directory. The tests create,
// rename and remove many small files; on a disk file system with online
// discard that costs several times as much.
std::string scratch_directory();

// mkdtemp under scratch_directory(): "<scratch>/<prefix>.XXXXXX".
std::string make_scratch_dir(const std::string& prefix);

std::string read_whole_file(const std::string& path);
void write_whole_file(const std::string& path, const std::string& content);
