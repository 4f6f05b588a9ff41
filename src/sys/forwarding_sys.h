// A Sys that passes every call to another backend. Layers that watch or bend
// a few calls (a test that obstructs a rename, a recorder in front of the
// real machine) derive from it and override only those calls.
#pragma once

#include <cstdlib>

#include "sys/sys.h"

class ForwardingSys : public Sys {
public:
    explicit ForwardingSys(Sys& inner) : inner_(inner) {}

    uid_t getuid() override { return inner_.getuid(); }
    time_t time(time_t* out) override { return inner_.time(out); }
    unsigned sleep(unsigned seconds) override { return inner_.sleep(seconds); }
    int usleep(useconds_t us) override { return inner_.usleep(us); }

    FILE* fopen(const char* path, const char* mode) override { return inner_.fopen(path, mode); }
    int rename(const char* from, const char* to) override { return inner_.rename(from, to); }
    int unlink(const char* path) override { return inner_.unlink(path); }
    int stat(const char* path, struct stat* out) override { return inner_.stat(path, out); }
    int lstat(const char* path, struct stat* out) override { return inner_.lstat(path, out); }
    DIR* opendir(const char* path) override { return inner_.opendir(path); }
    int chmod(const char* path, mode_t mode) override { return inner_.chmod(path, mode); }
    std::string path_in_message(const char* path) override {
        return inner_.path_in_message(path);
    }

    int open(const char* path, int flags, mode_t mode = 0) override {
        return inner_.open(path, flags, mode);
    }
    int close(int fd) override { return inner_.close(fd); }
    ssize_t read(int fd, void* buf, size_t count) override { return inner_.read(fd, buf, count); }
    ssize_t write(int fd, const void* buf, size_t count) override {
        return inner_.write(fd, buf, count);
    }
    int fsync(int fd) override { return inner_.fsync(fd); }
    off_t lseek(int fd, off_t offset, int whence) override {
        return inner_.lseek(fd, offset, whence);
    }
    int ioctl(int fd, unsigned long request, void* arg) override {
        return inner_.ioctl(fd, request, arg);
    }
    void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) override {
        return inner_.mmap(addr, length, prot, flags, fd, offset);
    }
    int munmap(void* addr, size_t length) override { return inner_.munmap(addr, length); }
    int wait_readable(int fd, int timeout_ms) override {
        return inner_.wait_readable(fd, timeout_ms);
    }

    int iopl(int level) override { return inner_.iopl(level); }
    int ioperm(unsigned long from, unsigned long num, int on) override {
        return inner_.ioperm(from, num, on);
    }
    uint8_t inb(uint16_t port) override { return inner_.inb(port); }
    void outb(uint8_t value, uint16_t port) override { inner_.outb(value, port); }
    uint32_t inl(uint16_t port) override { return inner_.inl(port); }
    void outl(uint32_t value, uint16_t port) override { inner_.outl(value, port); }

    FILE* popen(const char* command, const char* type) override {
        return inner_.popen(command, type);
    }
    int pclose(FILE* stream) override { return inner_.pclose(stream); }
    int system(const char* command) override { return inner_.system(command); }
    pid_t fork() override { return inner_.fork(); }
    int execlp(const char* file, const char* arg0) override { return inner_.execlp(file, arg0); }
    pid_t waitpid(pid_t pid, int* status, int options) override {
        return inner_.waitpid(pid, status, options);
    }

    void openlog(const char* ident, int option, int facility) override {
        inner_.openlog(ident, option, facility);
    }
    void syslog(int priority, const char* message) override { inner_.syslog(priority, message); }
    void closelog() override { inner_.closelog(); }

    [[noreturn]] void exit(int status) override {
        inner_.exit(status);
        std::abort();  // not reached: the inner backend ends the process
    }
    [[noreturn]] void _exit(int status) override {
        inner_._exit(status);
        std::abort();  // not reached
    }

protected:
    Sys& inner() { return inner_; }

private:
    Sys& inner_;
};
