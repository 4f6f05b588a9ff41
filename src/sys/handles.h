// RAII owners for what the monitor opens through Sys: stdio streams, command
// pipes, descriptors and memory mappings. Each releases through the backend
// that made it. Where a caller must report a failed close (the configuration
// writer does), it calls close() itself and the destructor does nothing more.
#pragma once

#include <cstdio>
#include <utility>

#include "sys/sys.h"

class File {
public:
    File() = default;
    explicit File(FILE* stream) : stream_(stream) {}
    File(File&& other) noexcept : stream_(std::exchange(other.stream_, nullptr)) {}
    File& operator=(File&& other) noexcept {
        if (this != &other) {
            close();
            stream_ = std::exchange(other.stream_, nullptr);
        }
        return *this;
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { close(); }

    FILE* get() const { return stream_; }
    explicit operator bool() const { return stream_ != nullptr; }
    // fclose's result; 0 when nothing was open.
    int close() { return stream_ ? std::fclose(std::exchange(stream_, nullptr)) : 0; }

private:
    FILE* stream_ = nullptr;
};

// A stream opened with Sys::popen, closed with Sys::pclose.
class Pipe {
public:
    explicit Pipe(FILE* stream) : stream_(stream) {}
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe() { close(); }

    FILE* get() const { return stream_; }
    explicit operator bool() const { return stream_ != nullptr; }
    int close() { return stream_ ? sys().pclose(std::exchange(stream_, nullptr)) : 0; }

private:
    FILE* stream_ = nullptr;
};

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { close(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it (a process-wide handle).
    int release() { return std::exchange(fd_, -1); }
    int close() { return fd_ >= 0 ? sys().close(std::exchange(fd_, -1)) : 0; }

private:
    int fd_ = -1;
};

class Mapping {
public:
    Mapping(void* address, size_t length) : address_(address), length_(length) {}
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping() { unmap(); }

    void* get() const { return address_; }
    bool valid() const;
    int unmap();

private:
    void* address_;
    size_t length_;
};
