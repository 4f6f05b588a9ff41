#include "vboard/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>

Trace::~Trace() {
    if (fd_ >= 0) ::close(fd_);
}

bool Trace::open_file(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    return true;
}

void Trace::line(const std::string& text) {
    if (keep_) lines_.push_back(text);
    if (fd_ >= 0) {
        std::string out = text + "\n";
        // One write per line: with O_APPEND a forked child's lines interleave
        // whole, never torn.
        ssize_t written = ::write(fd_, out.data(), out.size());
        (void)written;
    }
}

void Trace::linef(const char* format, ...) {
    // Formatting is most of a bus access's cost on the board: skip it when
    // the line would go nowhere.
    if (!on()) return;
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    line(buffer);
}
