#include "sys/linux_sys.h"

#include <fcntl.h>
#include <sys/io.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

uid_t LinuxSys::getuid() { return ::getuid(); }
time_t LinuxSys::time(time_t* out) { return ::time(out); }
unsigned LinuxSys::sleep(unsigned seconds) { return ::sleep(seconds); }
int LinuxSys::usleep(useconds_t microseconds) { return ::usleep(microseconds); }

FILE* LinuxSys::fopen(const char* path, const char* mode) { return ::fopen(path, mode); }
int LinuxSys::rename(const char* from, const char* to) { return ::rename(from, to); }
int LinuxSys::unlink(const char* path) { return ::unlink(path); }
int LinuxSys::stat(const char* path, struct stat* out) { return ::stat(path, out); }
int LinuxSys::lstat(const char* path, struct stat* out) { return ::lstat(path, out); }
DIR* LinuxSys::opendir(const char* path) { return ::opendir(path); }
int LinuxSys::chmod(const char* path, mode_t mode) { return ::chmod(path, mode); }

int LinuxSys::open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int LinuxSys::close(int fd) { return ::close(fd); }
ssize_t LinuxSys::read(int fd, void* buf, size_t count) { return ::read(fd, buf, count); }
ssize_t LinuxSys::write(int fd, const void* buf, size_t count) { return ::write(fd, buf, count); }
int LinuxSys::fsync(int fd) { return ::fsync(fd); }
off_t LinuxSys::lseek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }
int LinuxSys::ioctl(int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }
void* LinuxSys::mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    return ::mmap(addr, length, prot, flags, fd, offset);
}
int LinuxSys::munmap(void* addr, size_t length) { return ::munmap(addr, length); }

int LinuxSys::wait_readable(int fd, int timeout_ms) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    timeval limit{};
    timeval* limit_ptr = nullptr;
    if (timeout_ms >= 0) {
        limit.tv_sec = timeout_ms / 1000;
        limit.tv_usec = (timeout_ms % 1000) * 1000L;
        limit_ptr = &limit;
    }
    int ready = ::select(fd + 1, &readable, nullptr, nullptr, limit_ptr);
    if (ready == 0) errno = ETIMEDOUT;
    return ready;
}

int LinuxSys::iopl(int level) { return ::iopl(level); }
int LinuxSys::ioperm(unsigned long from, unsigned long num, int turn_on) {
    return ::ioperm(from, num, turn_on);
}
uint8_t LinuxSys::inb(uint16_t port) { return ::inb(port); }
void LinuxSys::outb(uint8_t value, uint16_t port) { ::outb(value, port); }
uint32_t LinuxSys::inl(uint16_t port) { return ::inl(port); }
void LinuxSys::outl(uint32_t value, uint16_t port) { ::outl(value, port); }

FILE* LinuxSys::popen(const char* command, const char* type) { return ::popen(command, type); }
int LinuxSys::pclose(FILE* stream) { return ::pclose(stream); }
int LinuxSys::system(const char* command) { return ::system(command); }
pid_t LinuxSys::fork() { return ::fork(); }
int LinuxSys::execlp(const char* file, const char* arg0) {
    return ::execlp(file, arg0, static_cast<char*>(nullptr));
}
pid_t LinuxSys::waitpid(pid_t pid, int* status, int options) {
    return ::waitpid(pid, status, options);
}

void LinuxSys::openlog(const char* ident, int option, int facility) {
    ::openlog(ident, option, facility);
}
void LinuxSys::syslog(int priority, const char* message) { ::syslog(priority, "%s", message); }
void LinuxSys::closelog() { ::closelog(); }

void LinuxSys::exit(int status) { std::exit(status); }
void LinuxSys::_exit(int status) { ::_exit(status); }
