// The board's file faults at work: paths that do not exist, files whose
// reads fail, and file systems that fill up. A stream on a faulty file is a
// stdio stream over the real descriptor (fopencookie), so the monitor sees
// the failures where a real process would: a full disk at fwrite, fflush or
// fclose, once the stream's buffer goes out; a bad sector at the read.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vboard/board.h"

class FileFaults {
public:
    explicit FileFaults(const FaultSettings& settings);

    // Whether a normalised absolute path lies at or under a missing path.
    bool missing(std::string_view path) const;

    // fopen of `real_path` (the path in the sandbox) for the program's
    // normalised `path`, with the faults that apply to it.
    FILE* fopen(const std::string& path, const std::string& real_path, const char* mode) const;

    // The free bytes left on the full disk that holds `path`, or null when
    // its file system is not full. Shared with the streams and descriptors
    // open for writing there.
    std::shared_ptr<uint64_t> disk_of(std::string_view path) const;

    // write(2) on a descriptor of a file system that fills up: what still fits
    // is written and counted, and a write with no room at all fails with
    // ENOSPC.
    static ssize_t write_counted(int fd, const void* buf, size_t size, uint64_t& free_bytes);

private:
    std::vector<std::string> missing_;
    std::vector<std::string> unreadable_;
    // Longest path first, so the innermost file system takes the bytes. The
    // counts are shared with open streams, which may outlive the board (the
    // exit handlers flush what the program left open).
    std::vector<std::pair<std::string, std::shared_ptr<uint64_t>>> disks_;
};

// Whether `path` is `prefix` or lies under it (both normalised).
bool path_within(std::string_view path, std::string_view prefix);
