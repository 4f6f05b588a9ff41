// A Sys that passes every call on to another backend (the virtual board) and,
// when asked, switches callgrind's collection off for the time spent inside
// it, so that the monitor's own instructions can be told apart from the
// emulated hardware's.
#pragma once

#include <cstdlib>

#include "sys/sys.h"

class MeteredSys final : public Sys {
    void callgrind_toggle();

    template <class F>
    auto pass(F&& call) {
        if (exclude_) callgrind_toggle();
        auto result = call();
        if (exclude_) callgrind_toggle();
        return result;
    }

public:
    explicit MeteredSys(Sys& inner) : inner_(inner) {}

    // Under callgrind, stop collecting inside the backend.
    void set_exclude_from_callgrind(bool on) { exclude_ = on; }

    uid_t getuid() override {
        return pass([&] { return inner_.getuid(); });
    }
    time_t time(time_t* out) override {
        return pass([&] { return inner_.time(out); });
    }
    unsigned sleep(unsigned s) override {
        return pass([&] { return inner_.sleep(s); });
    }
    int usleep(useconds_t us) override {
        return pass([&] { return inner_.usleep(us); });
    }

    FILE* fopen(const char* p, const char* m) override {
        return pass([&] { return inner_.fopen(p, m); });
    }
    int rename(const char* a, const char* b) override {
        return pass([&] { return inner_.rename(a, b); });
    }
    int unlink(const char* p) override {
        return pass([&] { return inner_.unlink(p); });
    }
    int stat(const char* p, struct stat* s) override {
        return pass([&] { return inner_.stat(p, s); });
    }
    int lstat(const char* p, struct stat* s) override {
        return pass([&] { return inner_.lstat(p, s); });
    }
    DIR* opendir(const char* p) override {
        return pass([&] { return inner_.opendir(p); });
    }
    int chmod(const char* p, mode_t m) override {
        return pass([&] { return inner_.chmod(p, m); });
    }

    int open(const char* p, int f, mode_t m = 0) override {
        return pass([&] { return inner_.open(p, f, m); });
    }
    ssize_t write(int fd, const void* b, size_t n) override {
        return pass([&] { return inner_.write(fd, b, n); });
    }
    int fsync(int fd) override {
        return pass([&] { return inner_.fsync(fd); });
    }
    int close(int fd) override {
        return pass([&] { return inner_.close(fd); });
    }
    ssize_t read(int fd, void* b, size_t n) override {
        return pass([&] { return inner_.read(fd, b, n); });
    }
    off_t lseek(int fd, off_t o, int w) override {
        return pass([&] { return inner_.lseek(fd, o, w); });
    }
    int ioctl(int fd, unsigned long r, void* a) override {
        return pass([&] { return inner_.ioctl(fd, r, a); });
    }
    void* mmap(void* a, size_t n, int p, int f, int fd, off_t o) override {
        return pass([&] { return inner_.mmap(a, n, p, f, fd, o); });
    }
    int munmap(void* a, size_t n) override {
        return pass([&] { return inner_.munmap(a, n); });
    }
    int wait_readable(int fd, int t) override {
        return pass([&] { return inner_.wait_readable(fd, t); });
    }

    int iopl(int l) override {
        return pass([&] { return inner_.iopl(l); });
    }
    int ioperm(unsigned long f, unsigned long n, int on) override {
        return pass([&] { return inner_.ioperm(f, n, on); });
    }
    uint8_t inb(uint16_t p) override {
        return pass([&] { return inner_.inb(p); });
    }
    void outb(uint8_t v, uint16_t p) override {
        pass([&] {
            inner_.outb(v, p);
            return 0;
        });
    }
    uint32_t inl(uint16_t p) override {
        return pass([&] { return inner_.inl(p); });
    }
    void outl(uint32_t v, uint16_t p) override {
        pass([&] {
            inner_.outl(v, p);
            return 0;
        });
    }

    FILE* popen(const char* c, const char* t) override {
        return pass([&] { return inner_.popen(c, t); });
    }
    int pclose(FILE* s) override {
        return pass([&] { return inner_.pclose(s); });
    }
    int system(const char* c) override {
        return pass([&] { return inner_.system(c); });
    }
    pid_t fork() override {
        return pass([&] { return inner_.fork(); });
    }
    int execlp(const char* f, const char* a) override {
        return pass([&] { return inner_.execlp(f, a); });
    }
    pid_t waitpid(pid_t p, int* s, int o) override {
        return pass([&] { return inner_.waitpid(p, s, o); });
    }

    void openlog(const char* i, int o, int f) override {
        pass([&] {
            inner_.openlog(i, o, f);
            return 0;
        });
    }
    void syslog(int p, const char* m) override {
        pass([&] {
            inner_.syslog(p, m);
            return 0;
        });
    }
    void closelog() override {
        pass([&] {
            inner_.closelog();
            return 0;
        });
    }

    [[noreturn]] void exit(int status) override {
        inner_.exit(status);
        std::abort();  // not reached: the backend ends the process
    }
    [[noreturn]] void _exit(int status) override {
        inner_._exit(status);
        std::abort();  // not reached
    }

private:
    Sys& inner_;
    bool exclude_ = false;
};
