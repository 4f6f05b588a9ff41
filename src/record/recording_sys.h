// The recording layer: a Sys in front of another Sys (the real machine, or a
// virtual board when the recorder itself is tested) that passes every call
// on unchanged and notes what the run saw: the ports it touched and what they
// answered, the physical memory it read, the SMBus transfers and BMC
// requests with their answers, the files and listings it read and the paths
// it found missing. Nothing is sent to the machine twice: a write or a
// command goes through once, as the run made it. The one thing the layer
// does of its own is to read what the run is about to read (a file's whole
// content when the run opens it, dmidecode's whole text when the run pipes
// it), so that the replay can show the run the same.
//
// It traces every call as the virtual board does, line for line (the format
// is in docs/virtual-board.md), so that the trace of a recorded run and the
// trace of its replay can be compared.
#pragma once

#include <sys/types.h>

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "record/observations.h"
#include "sys/forwarding_sys.h"
#include "vboard/trace.h"

class RecordingSys final : public ForwardingSys {
public:
    // With `keep_serials` false the BMC's GUID is traced as it will be
    // recorded (see privacy.h).
    RecordingSys(Sys& inner, bool keep_serials);

    struct Hooks {
        // Around each sleep(): the monitor pauses between reports there, the
        // one place where a run may be cut short without leaving a chip in
        // the middle of an access.
        std::function<void(bool pausing)> pause;
        // The run ends through exit(status) in the process that started it:
        // returns the status to end with.
        std::function<int(int status)> ending;
    };
    void set_hooks(Hooks hooks) { hooks_ = std::move(hooks); }

    Trace& trace() { return trace_; }
    const Observations& seen() const { return seen_; }

    uid_t getuid() override;
    unsigned sleep(unsigned seconds) override;
    int usleep(useconds_t microseconds) override;

    FILE* fopen(const char* path, const char* mode) override;
    int rename(const char* from, const char* to) override;
    int unlink(const char* path) override;
    int stat(const char* path, struct stat* out) override;
    int lstat(const char* path, struct stat* out) override;
    DIR* opendir(const char* path) override;

    int open(const char* path, int flags, mode_t mode = 0) override;
    int close(int fd) override;
    ssize_t read(int fd, void* buf, size_t count) override;
    off_t lseek(int fd, off_t offset, int whence) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) override;
    int wait_readable(int fd, int timeout_ms) override;

    int iopl(int level) override;
    int ioperm(unsigned long from, unsigned long num, int turn_on) override;
    uint8_t inb(uint16_t port) override;
    void outb(uint8_t value, uint16_t port) override;
    uint32_t inl(uint16_t port) override;
    void outl(uint32_t value, uint16_t port) override;

    FILE* popen(const char* command, const char* type) override;
    int system(const char* command) override;
    int execlp(const char* file, const char* arg0) override;

    void syslog(int priority, const char* message) override;

    [[noreturn]] void exit(int status) override;

private:
    // The device nodes the monitor opens, by what they lead to.
    enum class Node { file, mem, i2c, imb, openipmi };
    struct OpenNode {
        Node kind;
        std::string path;
        uint32_t bus = 0;                 // i2c: /dev/i2c-<bus>
        uint64_t position = 0;            // mem: the next read's physical address
        uint8_t slave = 0;                // i2c: the address selected
        std::deque<BmcExchange> waiting;  // openipmi: sent, the answer not yet taken
    };
    static Node node_of(const std::string& path, uint32_t* bus);

    // Notes a path as the run is about to find it, the first time it looks.
    void look_at(const char* path);
    void wrote(const char* path);
    void i2c_ioctl(OpenNode& node, unsigned long request, void* arg, uint8_t byte_out, int result,
                   int error);
    int imb_ioctl(int fd, OpenNode& node, void* arg);
    void answered(const OpenNode& node, BmcExchange exchange);
    void capture_dmidecode();

    Trace trace_;
    Observations seen_;
    std::map<int, OpenNode> nodes_;
    Hooks hooks_;
    bool keep_serials_;
    pid_t recording_pid_;
};
