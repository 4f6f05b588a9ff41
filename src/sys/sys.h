// The OS boundary. Every syscall, port, device, file and command the monitor
// touches goes through one `Sys`. The methods mirror the POSIX/Linux calls with
// the same arguments and results (errno set as the kernel sets it), so code
// above this layer reads as if it called the kernel directly.
//
// Backends: LinuxSys (the real calls) and, in src/vboard, a virtual board.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

class Sys {
public:
    virtual ~Sys() = default;

    // Identity and time.
    virtual uid_t getuid() = 0;
    virtual time_t time(time_t* out) = 0;
    virtual unsigned sleep(unsigned seconds) = 0;
    virtual int usleep(useconds_t microseconds) = 0;

    // Path-taking file calls. A backend may map the path (the virtual board
    // takes every absolute path inside its sandbox root).
    virtual FILE* fopen(const char* path, const char* mode) = 0;
    virtual int rename(const char* from, const char* to) = 0;
    virtual int unlink(const char* path) = 0;
    virtual int stat(const char* path, struct stat* out) = 0;
    virtual int lstat(const char* path, struct stat* out) = 0;
    virtual DIR* opendir(const char* path) = 0;
    virtual int chmod(const char* path, mode_t mode) = 0;
    // How a message names a path it could not use: the path itself, or, on a
    // backend that maps paths, the path and where it lies there.
    virtual std::string path_in_message(const char* path) { return path; }

    // Descriptors and device nodes.
    // `mode` is used only when `flags` create the file.
    virtual int open(const char* path, int flags, mode_t mode = 0) = 0;
    virtual int close(int fd) = 0;
    virtual ssize_t read(int fd, void* buf, size_t count) = 0;
    virtual ssize_t write(int fd, const void* buf, size_t count) = 0;
    virtual int fsync(int fd) = 0;
    virtual off_t lseek(int fd, off_t offset, int whence) = 0;
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) = 0;
    virtual int munmap(void* addr, size_t length) = 0;
    // select() on one descriptor for reading: >0 readable, 0 timed out (errno
    // ETIMEDOUT), -1 error (errno). A negative timeout waits without limit.
    virtual int wait_readable(int fd, int timeout_ms) = 0;

    // x86 port I/O. Argument order as in <sys/io.h>: value first, then port.
    virtual int iopl(int level) = 0;
    virtual int ioperm(unsigned long from, unsigned long num, int turn_on) = 0;
    virtual uint8_t inb(uint16_t port) = 0;
    virtual void outb(uint8_t value, uint16_t port) = 0;
    virtual uint32_t inl(uint16_t port) = 0;
    virtual void outl(uint32_t value, uint16_t port) = 0;

    // Commands and processes.
    virtual FILE* popen(const char* command, const char* type) = 0;
    virtual int pclose(FILE* stream) = 0;
    virtual int system(const char* command) = 0;
    virtual pid_t fork() = 0;
    // execlp(file, arg0, NULL): the only form the monitor uses.
    virtual int execlp(const char* file, const char* arg0) = 0;
    virtual pid_t waitpid(pid_t pid, int* status, int options) = 0;

    // syslog. `message` is already formatted; it is logged as "%s".
    virtual void openlog(const char* ident, int option, int facility) = 0;
    virtual void syslog(int priority, const char* message) = 0;
    virtual void closelog() = 0;

    // Ends the process (flushing stdio, running exit handlers).
    [[noreturn]] virtual void exit(int status) = 0;
    // Ends a forked child at once, as _exit(2): no exit handlers, no stdio
    // flush, so the child repeats none of the parent's output and leaves the
    // parent's connections (the X display) alone.
    [[noreturn]] virtual void _exit(int status) = 0;
};

// The process-wide backend. `main` installs LinuxSys, the launcher a virtual
// board, tests whatever board they need. The backend is not owned here.
Sys& sys();
void install_sys(Sys* backend);

// Installs a backend for the lifetime of a scope and puts the previous one
// back afterwards (tests).
class ScopedSys {
public:
    explicit ScopedSys(Sys& backend);
    ~ScopedSys();
    ScopedSys(const ScopedSys&) = delete;
    ScopedSys& operator=(const ScopedSys&) = delete;

private:
    Sys* previous_;
};
