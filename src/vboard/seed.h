// Seeding a new sandbox root: the directories a Linux system has, the master
// files shipped with the program in /etc, the board's own files (which win
// over the master files), the about box's icon where an install puts it, the
// kernel listings the board implies and a placeholder for every device node
// the board serves.
//
// Seeding is all or nothing. What the root will hold is first laid out in
// memory and checked, so that a board whose files cannot all be placed (a key
// naming /etc, or lying under /proc/modules) is refused before anything is
// written; the root is then built under a temporary name beside it and
// renamed into place. A failure leaves no half-seeded root for a later run to
// reuse as it stands.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>

class VirtualBoard;

// The folder holding the master files shipped with the program (the source
// tree's data/ when run from a build, the installed copy otherwise).
std::string shipped_data_dir();
// The folder holding the bundled boards.
std::string bundled_boards_dir();

// One directory or file of a new root, or a path the board's faults make
// missing (nothing is placed there or under it).
struct SeedNode {
    enum class Kind { directory, file, missing };
    Kind kind = Kind::directory;
    // A directory is made only when something is placed in it (not when it
    // only leads to a missing path).
    bool placed = false;
    std::string content;      // a file's bytes,
    std::string copied_from;  // or the host file they are read from (master files)
    mode_t mode = 0644;
    // The board-file path of the `files` key that asked for it (or, for a
    // directory, for something in it); empty for the sandbox's own.
    std::string origin;
    std::map<std::string, std::unique_ptr<SeedNode>, std::less<>> children;
};

// What a new root for a board holds, laid out and checked. Throws BoardError
// ("FILE: PATH: why") for a board whose files cannot all be placed.
class SeedPlan {
public:
    SeedPlan(const VirtualBoard& board, const std::string& data_dir);

    const SeedNode& root() const { return root_; }

private:
    void add_missing(std::string_view path);
    void add_directory(std::string_view path);
    void add_file(std::string_view path, SeedNode file);
    // The node at `path`, with every directory on the way made and placed;
    // nullptr when the board's faults make `path` missing.
    SeedNode* place(std::string_view path, const std::string& origin);
    [[noreturn]] void refuse(const std::string& origin, std::string_view path,
                             const std::string& why) const;

    std::string source_;  // the board file, for messages
    SeedNode root_;
};

// Creates `root` holding `plan`. Its parent must exist; `root` itself must
// not, or be an empty directory, which is replaced (its mode kept). Throws
// std::runtime_error with a one-line message; nothing is left then.
void seed_root(const SeedPlan& plan, const std::string& root);
