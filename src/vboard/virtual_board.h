// The virtual board: an in-process emulation of a whole server board behind
// the Sys interface. It owns the sandbox paths, the clock, the trace, the port
// space and the device nodes; the emulated devices attach themselves to it.
//
// It enforces what the kernel enforces: port access needs iopl(3) or a
// matching ioperm first (a violation stops the run, as the real process would
// be killed), iopl/ioperm need root, and descriptors must be open.
#pragma once

#include <bitset>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sys/sys.h"
#include "vboard/board.h"
#include "vboard/chip_state.h"
#include "vboard/clock.h"
#include "vboard/device.h"
#include "vboard/file_faults.h"
#include "vboard/sandbox_paths.h"
#include "vboard/trace.h"

class VirtualBoard final : public Sys {
public:
    // Builds the board's devices. Nothing is read or written in the root
    // here; a new root is seeded afterwards (seed.h).
    VirtualBoard(Board board, const std::string& root);
    ~VirtualBoard() override;

    const Board& board() const { return board_; }
    const SandboxPaths& paths() const { return paths_; }
    VirtualClock& clock() { return clock_; }
    Trace& trace() { return trace_; }
    // Whether the board's faults make a path (and what is under it) missing.
    bool is_missing(std::string_view path) const {
        return faults_.missing(SandboxPaths::normalise(path));
    }

    // Device plug points.
    void add_port_device(std::unique_ptr<PortSpaceDevice> device);
    void add_device_node(const std::string& path, DeviceOpener opener);
    // Paths of every device node served in process (for placeholders).
    std::vector<std::string> device_node_paths() const;
    // A file the board implies (a kernel listing such as /proc/bus/pci/devices),
    // written when a new root is seeded.
    struct SeedFile {
        std::string path;
        std::string content;
        mode_t mode;
    };
    void add_seed_file(const std::string& path, std::string content, mode_t mode = 0644);
    const std::vector<SeedFile>& seed_files() const { return seed_files_; }

    // The first attached port device of type T (e.g. the banked index/data
    // chip that a BMC's Super I/O proxy reaches), or nullptr.
    template <class T>
    T* find_port_device() {
        for (auto& device : port_devices_)
            if (T* found = dynamic_cast<T*>(device.get())) return found;
        return nullptr;
    }
    // Spends bus time (latency) on the board's clock.
    void spend_ns(int64_t ns) {
        charged_bus_ns_ += ns > 0 ? ns : 0;
        clock_.sleep_ns(ns);
    }
    // All the bus time spent so far (the program's sleeps are not bus time).
    int64_t charged_bus_ns() const { return charged_bus_ns_; }
    // Whether the program's messages about a path it could not use name the
    // host path too: "/etc/AllSenvis.ini (in <root>/etc/AllSenvis.ini)". The
    // launcher turns it on, for a person reading the messages; tests of the
    // program's own texts leave it off.
    void name_host_paths(bool on) { name_host_paths_ = on; }
    // What the chips hold beyond the board file; each chip with state adds
    // itself as it is attached.
    ChipStates& chip_states() { return chip_states_; }
    // Called whenever the program pauses (sleep), before the wait: the
    // launcher keeps the chips' state there, so that an interrupt during the
    // pause between two reports loses nothing.
    void on_pause(std::function<void()> hook) { pause_hook_ = std::move(hook); }

    // Sys
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
    std::string path_in_message(const char* path) override;

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

private:
    void require_port_permission(const char* operation, uint16_t port, unsigned width);
    PortSpaceDevice* device_at(uint16_t port);
    OpenDevice* open_device(int fd);
    // Where the sandbox's own commands are and write, resolved inside the root.
    struct CommandPaths {
        std::string bin;      // /usr/bin
        std::string modules;  // /proc/modules
        std::string mail;     // /var/mail/sent
    };
    std::optional<CommandPaths> command_paths() const;
    // "cd <root>; PATH=<root>/usr/bin:$PATH; ...; <command with paths
    // resolved>"; nothing (errno set) when a path cannot be resolved.
    std::optional<std::string> shell_command(const char* command) const;
    void spend_port_latency();

    Board board_;
    SandboxPaths paths_;
    VirtualClock clock_;
    Trace trace_;
    FileFaults faults_;
    int64_t charged_bus_ns_ = 0;
    bool name_host_paths_ = false;
    ChipStates chip_states_;
    std::function<void()> pause_hook_;

    std::vector<std::unique_ptr<PortSpaceDevice>> port_devices_;
    int io_privilege_level_ = 0;
    std::bitset<65536> io_permitted_;

    std::map<std::string, DeviceOpener> device_nodes_;
    std::vector<SeedFile> seed_files_;
    std::map<int, std::unique_ptr<OpenDevice>> open_devices_;
    // Descriptors open for writing on a file system that fills up.
    std::map<int, std::shared_ptr<uint64_t>> full_disk_fds_;
    struct MappedRegion {
        std::unique_ptr<uint8_t[]> bytes;
        size_t length;
    };
    std::map<void*, MappedRegion> mappings_;
};

// Attaches the emulated devices the board file describes (port space, PCI,
// SMBus adapters, BMC, physical memory).
void attach_board_devices(VirtualBoard& board);
