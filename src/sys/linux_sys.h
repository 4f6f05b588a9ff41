// The real backend: every method is a pass-through to the kernel or libc.
#pragma once

#include "sys/sys.h"

class LinuxSys final : public Sys {
public:
    uid_t getuid() override;
    time_t time(time_t* out) override;
    unsigned sleep(unsigned seconds) override;
    int usleep(useconds_t microseconds) override;

    FILE* fopen(const char* path, const char* mode) override;
    int rename(const char* from, const char* to) override;
    int unlink(const char* path) override;
    int stat(const char* path, struct stat* out) override;
    int lstat(const char* path, struct stat* out) override;
    DIR* opendir(const char* path) override;
    int chmod(const char* path, mode_t mode) override;

    int open(const char* path, int flags, mode_t mode = 0) override;
    int close(int fd) override;
    ssize_t read(int fd, void* buf, size_t count) override;
    ssize_t write(int fd, const void* buf, size_t count) override;
    int fsync(int fd) override;
    off_t lseek(int fd, off_t offset, int whence) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) override;
    int munmap(void* addr, size_t length) override;
    int wait_readable(int fd, int timeout_ms) override;

    int iopl(int level) override;
    int ioperm(unsigned long from, unsigned long num, int turn_on) override;
    uint8_t inb(uint16_t port) override;
    void outb(uint8_t value, uint16_t port) override;
    uint32_t inl(uint16_t port) override;
    void outl(uint32_t value, uint16_t port) override;

    FILE* popen(const char* command, const char* type) override;
    int pclose(FILE* stream) override;
    int system(const char* command) override;
    pid_t fork() override;
    int execlp(const char* file, const char* arg0) override;
    pid_t waitpid(pid_t pid, int* status, int options) override;

    void openlog(const char* ident, int option, int facility) override;
    void syslog(int priority, const char* message) override;
    void closelog() override;

    [[noreturn]] void exit(int status) override;
    [[noreturn]] void _exit(int status) override;
};
