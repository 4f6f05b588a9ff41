// The trace of a virtual board: one line per operation that crosses the OS
// boundary toward the hardware, in the documented format. Lines go to a file
// (appended, written at once so that an aborted run keeps them) and, for tests,
// to memory.
#pragma once

#include <string>
#include <vector>

class Trace {
public:
    Trace() = default;
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    // Appends to `path` from now on. Returns false (errno set) if it cannot be opened.
    bool open_file(const std::string& path);
    void keep_in_memory(bool keep) { keep_ = keep; }
    // Whether lines go anywhere; a caller with a costly line to build asks first.
    bool on() const { return keep_ || fd_ >= 0; }

    void line(const std::string& text);
    // printf-style convenience.
    void linef(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const std::vector<std::string>& lines() const { return lines_; }
    void clear() { lines_.clear(); }

private:
    int fd_ = -1;
    bool keep_ = false;
    std::vector<std::string> lines_;
};
