// A descriptor of the host's own, for the board's work on real files (reading
// the board file, seeding a root): closed with close(2) directly, never
// through Sys, whose backend may be the board itself.
#pragma once

#include <unistd.h>

#include <utility>

class HostFd {
public:
    explicit HostFd(int fd = -1) : fd_(fd) {}
    HostFd(HostFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    HostFd& operator=(HostFd&& other) noexcept {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    HostFd(const HostFd&) = delete;
    HostFd& operator=(const HostFd&) = delete;
    ~HostFd() { close(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // close(2)'s result; 0 when nothing was open.
    int close() { return fd_ >= 0 ? ::close(std::exchange(fd_, -1)) : 0; }

private:
    int fd_;
};
