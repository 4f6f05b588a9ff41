#include "vboard/virtual_board.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "vboard/sandbox_commands.h"

namespace {

// Trailing line feeds of a syslog message do not belong in a trace line.
std::string without_trailing_newlines(const char* text) {
    std::string s = text;
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

}  // namespace

VirtualBoard::VirtualBoard(Board board, const std::string& root)
    : board_(std::move(board)),
      paths_(root),
      clock_(board_.clock, board_.source),
      faults_(board_.faults),
      chip_states_(board_.digest) {
    attach_board_devices(*this);
}

VirtualBoard::~VirtualBoard() {
    for (auto& entry : open_devices_) ::close(entry.first);
}

void VirtualBoard::add_port_device(std::unique_ptr<PortSpaceDevice> device) {
    port_devices_.push_back(std::move(device));
}

void VirtualBoard::add_device_node(const std::string& path, DeviceOpener opener) {
    device_nodes_[SandboxPaths::normalise(path)] = std::move(opener);
}

void VirtualBoard::add_seed_file(const std::string& path, std::string content, mode_t mode) {
    seed_files_.push_back({path, std::move(content), mode});
}

std::vector<std::string> VirtualBoard::device_node_paths() const {
    std::vector<std::string> paths;
    for (const auto& entry : device_nodes_) paths.push_back(entry.first);
    return paths;
}

// ---- identity and time ----------------------------------------------------

uid_t VirtualBoard::getuid() { return board_.uid; }

time_t VirtualBoard::time(time_t* out) {
    time_t now = clock_.now();
    if (out) *out = now;
    return now;
}

unsigned VirtualBoard::sleep(unsigned seconds) {
    trace_.linef("sleep %u", seconds);
    if (pause_hook_) pause_hook_();
    clock_.sleep_ns(int64_t(seconds) * 1000000000);
    return 0;
}

int VirtualBoard::usleep(useconds_t microseconds) {
    trace_.linef("usleep %u", unsigned(microseconds));
    clock_.sleep_ns(int64_t(microseconds) * 1000);
    return 0;
}

// ---- files ------------------------------------------------------------------

// A path the board's faults make missing fails every call that names it; any
// other is resolved inside the root (see SandboxPaths::resolve).
FILE* VirtualBoard::fopen(const char* path, const char* mode) {
    std::string normal = SandboxPaths::normalise(path);
    if (faults_.missing(normal)) {
        errno = ENOENT;
        return nullptr;
    }
    // "x" creates the name itself, as O_CREAT|O_EXCL: a link there is not followed.
    auto host = paths_.resolve(path, std::strchr(mode, 'x') ? SandboxPaths::LastLink::keep
                                                            : SandboxPaths::LastLink::follow);
    return host ? faults_.fopen(normal, *host, mode) : nullptr;
}

int VirtualBoard::rename(const char* from, const char* to) {
    if (is_missing(from) || is_missing(to)) {
        errno = ENOENT;
        return -1;
    }
    auto host_from = paths_.resolve(from, SandboxPaths::LastLink::keep);
    auto host_to = paths_.resolve(to, SandboxPaths::LastLink::keep);
    if (!host_from || !host_to) return -1;
    return ::rename(host_from->c_str(), host_to->c_str());
}

int VirtualBoard::unlink(const char* path) {
    if (is_missing(path)) {
        errno = ENOENT;
        return -1;
    }
    auto host = paths_.resolve(path, SandboxPaths::LastLink::keep);
    return host ? ::unlink(host->c_str()) : -1;
}

int VirtualBoard::stat(const char* path, struct stat* out) {
    if (is_missing(path)) {
        errno = ENOENT;
        return -1;
    }
    auto host = paths_.resolve(path);
    return host ? ::stat(host->c_str(), out) : -1;
}

int VirtualBoard::lstat(const char* path, struct stat* out) {
    if (is_missing(path)) {
        errno = ENOENT;
        return -1;
    }
    auto host = paths_.resolve(path, SandboxPaths::LastLink::keep);
    return host ? ::lstat(host->c_str(), out) : -1;
}

DIR* VirtualBoard::opendir(const char* path) {
    if (is_missing(path)) {
        errno = ENOENT;
        return nullptr;
    }
    auto host = paths_.resolve(path);
    return host ? ::opendir(host->c_str()) : nullptr;
}

int VirtualBoard::chmod(const char* path, mode_t mode) {
    if (is_missing(path)) {
        errno = ENOENT;
        return -1;
    }
    auto host = paths_.resolve(path);
    return host ? ::chmod(host->c_str(), mode) : -1;
}

// Where the path leads inside the root, links followed as the call that
// failed followed them; a path the walk refuses (a loop of links) is shown
// by its letters.
std::string VirtualBoard::path_in_message(const char* path) {
    if (!name_host_paths_) return path;
    int saved = errno;  // the message may go on to print strerror(errno)
    auto host = paths_.resolve(path);
    errno = saved;
    return std::string(path) + " (in " +
           host.value_or(paths_.root() + SandboxPaths::normalise(path)) + ")";
}

// ---- descriptors and device nodes --------------------------------------------

int VirtualBoard::open(const char* path, int flags, mode_t mode) {
    std::string normal = SandboxPaths::normalise(path);
    int fd;
    auto node = device_nodes_.find(normal);
    if (faults_.missing(normal)) {
        fd = -1;
        errno = ENOENT;
    } else if (node != device_nodes_.end()) {
        std::unique_ptr<OpenDevice> device = node->second(flags);
        if (!device) {
            int saved = errno;
            trace_.linef("open %s -> -1", path);
            errno = saved;
            return -1;
        }
        // A real descriptor number, as the kernel would hand out, backed by
        // /dev/null; everything done on it is served by the device.
        fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd >= 0) open_devices_[fd] = std::move(device);
    } else {
        bool names_itself =
            (flags & O_NOFOLLOW) || (flags & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL);
        auto host = paths_.resolve(
            path, names_itself ? SandboxPaths::LastLink::keep : SandboxPaths::LastLink::follow);
        fd = host ? ::open(host->c_str(), flags | O_CLOEXEC, mode) : -1;
        if (fd >= 0 && (flags & O_ACCMODE) != O_RDONLY) {
            if (auto disk = faults_.disk_of(normal)) full_disk_fds_[fd] = std::move(disk);
        }
    }
    int saved = errno;
    trace_.linef("open %s -> %d", path, fd);
    errno = saved;
    return fd;
}

OpenDevice* VirtualBoard::open_device(int fd) {
    auto found = open_devices_.find(fd);
    return found == open_devices_.end() ? nullptr : found->second.get();
}

int VirtualBoard::close(int fd) {
    open_devices_.erase(fd);
    full_disk_fds_.erase(fd);
    return ::close(fd);
}

ssize_t VirtualBoard::read(int fd, void* buf, size_t count) {
    if (OpenDevice* device = open_device(fd)) return device->read(buf, count);
    return ::read(fd, buf, count);
}

ssize_t VirtualBoard::write(int fd, const void* buf, size_t count) {
    if (open_device(fd)) {
        errno = EINVAL;  // the emulated devices take requests through ioctl only
        return -1;
    }
    auto disk = full_disk_fds_.find(fd);
    if (disk != full_disk_fds_.end())
        return FileFaults::write_counted(fd, buf, count, *disk->second);
    return ::write(fd, buf, count);
}

// The sandbox stands in for the machine's disk but lives in a scratch
// directory of the host: syncing it there would only cost time. What the
// kernel would check, a descriptor that is open and not a device, is checked.
int VirtualBoard::fsync(int fd) {
    if (open_device(fd)) {
        errno = EINVAL;
        return -1;
    }
    return fcntl(fd, F_GETFD) < 0 ? -1 : 0;
}

off_t VirtualBoard::lseek(int fd, off_t offset, int whence) {
    if (OpenDevice* device = open_device(fd)) return device->lseek(offset, whence);
    return ::lseek(fd, offset, whence);
}

int VirtualBoard::ioctl(int fd, unsigned long request, void* arg) {
    if (OpenDevice* device = open_device(fd)) return device->ioctl(request, arg);
    if (fcntl(fd, F_GETFD) < 0) return -1;  // EBADF, as the kernel says
    errno = ENOTTY;  // a plain file has no ioctls
    return -1;
}

void* VirtualBoard::mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    OpenDevice* device = open_device(fd);
    if (!device) return ::mmap(addr, length, prot, flags, fd, offset);
    trace_.linef("mmap 0x%llx 0x%zx", static_cast<unsigned long long>(offset), length);
    if (length == 0) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    std::optional<std::vector<uint8_t>> content = device->map(length, offset);
    if (!content) return MAP_FAILED;
    MappedRegion region{std::make_unique<uint8_t[]>(length), length};
    std::memcpy(region.bytes.get(), content->data(), std::min(length, content->size()));
    void* address = region.bytes.get();
    mappings_[address] = std::move(region);
    return address;
}

int VirtualBoard::munmap(void* addr, size_t length) {
    auto found = mappings_.find(addr);
    if (found == mappings_.end()) return ::munmap(addr, length);
    if (found->second.length != length) {
        errno = EINVAL;
        return -1;
    }
    mappings_.erase(found);
    return 0;
}

int VirtualBoard::wait_readable(int fd, int timeout_ms) {
    if (OpenDevice* device = open_device(fd)) return device->wait_readable(timeout_ms);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000L};
    int ready = ::select(fd + 1, &readable, nullptr, nullptr, timeout_ms < 0 ? nullptr : &limit);
    if (ready == 0) errno = ETIMEDOUT;
    return ready;
}

// ---- ports ---------------------------------------------------------------------

int VirtualBoard::iopl(int level) {
    int result = 0;
    if (level < 0 || level > 3) {
        errno = EINVAL;
        result = -1;
    } else if (board_.uid != 0 && level > io_privilege_level_) {
        errno = EPERM;  // raising the level needs CAP_SYS_RAWIO
        result = -1;
    } else {
        io_privilege_level_ = level;
    }
    int saved = errno;
    trace_.linef("iopl %d -> %d", level, result);
    errno = saved;
    return result;
}

int VirtualBoard::ioperm(unsigned long from, unsigned long num, int turn_on) {
    int result = 0;
    if (from + num < from || from + num > io_permitted_.size()) {
        errno = EINVAL;
        result = -1;
    } else if (turn_on && board_.uid != 0) {
        errno = EPERM;
        result = -1;
    } else {
        for (unsigned long port = from; port < from + num; ++port) io_permitted_[port] = turn_on != 0;
    }
    int saved = errno;
    trace_.linef("ioperm 0x%lx %lu %d -> %d", from, num, turn_on, result);
    errno = saved;
    return result;
}

void VirtualBoard::require_port_permission(const char* operation, uint16_t port, unsigned width) {
    if (io_privilege_level_ == 3) return;
    bool permitted = true;
    for (unsigned i = 0; i < width; ++i)
        if (uint32_t(port) + i >= io_permitted_.size() || !io_permitted_[port + i]) permitted = false;
    if (permitted) return;
    std::fprintf(stderr,
                 "sensorvisor-sim: %s 0x%x without I/O permission: a real process is killed "
                 "here (call iopl(3) or ioperm for the port first)\n",
                 operation, port);
    std::fflush(stderr);
    std::abort();
}

PortSpaceDevice* VirtualBoard::device_at(uint16_t port) {
    for (auto& device : port_devices_)
        if (device->claims(port)) return device.get();
    return nullptr;
}

void VirtualBoard::spend_port_latency() { spend_ns(int64_t(board_.latency.port_ns)); }

uint8_t VirtualBoard::inb(uint16_t port) {
    require_port_permission("inb", port, 1);
    spend_port_latency();
    PortSpaceDevice* device = device_at(port);
    uint8_t value = device ? device->inb(port) : 0xFF;  // nobody drives the bus: it floats high
    trace_.linef("inb 0x%x -> 0x%02x", port, value);
    return value;
}

void VirtualBoard::outb(uint8_t value, uint16_t port) {
    require_port_permission("outb", port, 1);
    spend_port_latency();
    trace_.linef("outb 0x%x 0x%02x", port, value);
    if (PortSpaceDevice* device = device_at(port)) device->outb(port, value);
}

uint32_t VirtualBoard::inl(uint16_t port) {
    require_port_permission("inl", port, 4);
    spend_port_latency();
    PortSpaceDevice* device = device_at(port);
    uint32_t value = device ? device->inl(port) : 0xFFFFFFFFu;
    trace_.linef("inl 0x%x -> 0x%08x", port, value);
    return value;
}

void VirtualBoard::outl(uint32_t value, uint16_t port) {
    require_port_permission("outl", port, 4);
    spend_port_latency();
    trace_.linef("outl 0x%x 0x%08x", port, value);
    if (PortSpaceDevice* device = device_at(port)) device->outl(port, value);
}

// ---- commands ----------------------------------------------------------------

// The sandbox's commands (sandbox_commands.h) write where these say, resolved
// inside the root when each command starts; PATH finds them first.
std::optional<VirtualBoard::CommandPaths> VirtualBoard::command_paths() const {
    CommandPaths found;
    for (auto [sandbox_path, host_path] :
         {std::pair{"/usr/bin", &found.bin}, {"/proc/modules", &found.modules},
          {"/var/mail/sent", &found.mail}}) {
        auto resolved = paths_.resolve(sandbox_path);
        if (!resolved) return std::nullopt;
        *host_path = std::move(*resolved);
    }
    return found;
}

std::optional<std::string> VirtualBoard::shell_command(const char* command) const {
    auto mapped = paths_.map_command(command);
    auto found = command_paths();
    if (!mapped || !found) return std::nullopt;
    return "cd " + shell_quoted(paths_.root()) + " || exit 127; PATH=" + shell_quoted(found->bin) +
           ":\"$PATH\"; " + std::string(kModulesVariable) + "=" + shell_quoted(found->modules) +
           "; " + kMailVariable + "=" + shell_quoted(found->mail) + "; export PATH " +
           kModulesVariable + " " + kMailVariable + "; " + *mapped;
}

// A command whose paths cannot be resolved inside the root is not run.
FILE* VirtualBoard::popen(const char* command, const char* type) {
    trace_.linef("popen %s", command);
    auto shell = shell_command(command);
    return shell ? ::popen(shell->c_str(), type) : nullptr;
}

int VirtualBoard::pclose(FILE* stream) { return ::pclose(stream); }

int VirtualBoard::system(const char* command) {
    auto shell = shell_command(command);
    int status = shell ? ::system(shell->c_str()) : -1;
    int saved = errno;
    trace_.linef("system %s -> %d", command, status);
    errno = saved;
    return status;
}

pid_t VirtualBoard::fork() {
    std::fflush(nullptr);  // do not let the child repeat buffered output
    return ::fork();
}

int VirtualBoard::execlp(const char* file, const char* arg0) {
    trace_.linef("exec %s", file);
    auto found = command_paths();
    auto mapped_file = std::strchr(file, '/') ? paths_.map_command(file) : std::string(file);
    auto mapped_arg0 = std::strchr(arg0, '/') ? paths_.map_command(arg0) : std::string(arg0);
    if (!found || !mapped_file || !mapped_arg0) return -1;
    std::string path = found->bin + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
    ::setenv("PATH", path.c_str(), 1);
    ::setenv(kModulesVariable, found->modules.c_str(), 1);
    ::setenv(kMailVariable, found->mail.c_str(), 1);
    if (::chdir(paths_.root().c_str()) != 0) return -1;
    return ::execlp(mapped_file->c_str(), mapped_arg0->c_str(), static_cast<char*>(nullptr));
}

pid_t VirtualBoard::waitpid(pid_t pid, int* status, int options) {
    return ::waitpid(pid, status, options);
}

// ---- syslog --------------------------------------------------------------------

// The sandbox keeps the host's log clean: messages go to the trace only.
void VirtualBoard::openlog(const char*, int, int) {}

void VirtualBoard::syslog(int priority, const char* message) {
    trace_.linef("syslog %d %s", priority, without_trailing_newlines(message).c_str());
}

void VirtualBoard::closelog() {}

void VirtualBoard::exit(int status) {
    std::fflush(nullptr);
    std::exit(status);
}

void VirtualBoard::_exit(int status) { ::_exit(status); }
