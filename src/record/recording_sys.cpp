#include "record/recording_sys.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <linux/ipmi.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "record/privacy.h"
#include "sys/handles.h"
#include "vboard/bmc.h"

namespace {

// The largest file a recording keeps (the board file holds 16 MiB in all).
constexpr size_t kLargestFile = size_t{4} << 20;

// The IMB driver's one request and its 80-byte control block of 64-bit
// little-endian words: the request buffer and the response buffer with the
// word that receives the response length.
constexpr unsigned long kImbSendRequest = 0x1082;
constexpr size_t kImbRequestAt = 32;
constexpr size_t kImbResponseAt = 48;
constexpr size_t kImbReturnedCountAt = 64;
// In the request buffer.
constexpr size_t kImbCommandAt = 17;
constexpr size_t kImbNetFnAt = 18;
constexpr size_t kImbDataLengthAt = 20;
constexpr size_t kImbDataAt = 21;

constexpr uint8_t kAppNetFn = 0x06;
constexpr uint8_t kGetSystemGuid = 0x37;
constexpr size_t kGuidAnswer = 17;  // completion code and the 16 GUID bytes

// The shell's status for a command it could not find.
constexpr int kNotFound = 127;

uint64_t le64(const uint8_t* at) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= uint64_t(at[i]) << (8 * i);
    return value;
}

const uint8_t* user_memory(uint64_t address) {
    return reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(address));
}

// Whether `text` is UTF-8, which a board file's JSON string can hold.
bool is_utf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t extra = lead < 0x80                   ? 0
                       : lead >= 0xC2 && lead < 0xE0 ? 1
                       : lead >= 0xE0 && lead < 0xF0 ? 2
                       : lead >= 0xF0 && lead < 0xF5 ? 3
                                                     : 4;
        if (extra > 3 || text.size() - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

std::string without_trailing_newlines(const char* text) {
    std::string s = text;
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

}  // namespace

RecordingSys::RecordingSys(Sys& inner, bool keep_serials)
    : ForwardingSys(inner), keep_serials_(keep_serials), recording_pid_(::getpid()) {
    seen_.started = inner.time(nullptr);
}

RecordingSys::Node RecordingSys::node_of(const std::string& path, uint32_t* bus) {
    if (path == "/dev/mem") return Node::mem;
    if (path == "/dev/kvbmc") return Node::imb;
    if (path.starts_with("/dev/ipmi")) return Node::openipmi;  // ipmi0, ipmi/0, ipmidev/0
    const std::string i2c = "/dev/i2c-";
    if (path.starts_with(i2c) && path.size() > i2c.size() && path.size() <= i2c.size() + 3 &&
        path.find_first_not_of("0123456789", i2c.size()) == std::string::npos) {
        *bus = uint32_t(std::stoul(path.substr(i2c.size())));
        return Node::i2c;
    }
    return Node::file;
}

// ---- identity and time -----------------------------------------------------------

uid_t RecordingSys::getuid() {
    uid_t uid = inner().getuid();
    if (!seen_.uid) seen_.uid = uid;
    return uid;
}

unsigned RecordingSys::sleep(unsigned seconds) {
    if (hooks_.pause) hooks_.pause(true);
    trace_.linef("sleep %u", seconds);
    unsigned left = inner().sleep(seconds);
    if (hooks_.pause) hooks_.pause(false);
    return left;
}

int RecordingSys::usleep(useconds_t microseconds) {
    trace_.linef("usleep %u", unsigned(microseconds));
    return inner().usleep(microseconds);
}

// ---- files ---------------------------------------------------------------------------

// The first look keeps what a later replay must show: the content of a
// regular file, or that nothing is there. A path the run itself has written
// is its own output, not something the machine showed it.
void RecordingSys::look_at(const char* path) {
    if (!path || path[0] != '/' || seen_.written.count(path)) return;
    uint32_t bus;
    bool device = node_of(path, &bus) != Node::file;
    auto [entry, fresh] = seen_.paths.try_emplace(path);
    PathSeen& seen = entry->second;
    int saved = errno;
    struct stat st {};
    int found = inner().stat(path, &st);
    if (!fresh) {
        if (found == 0 && seen.state == PathSeen::State::missing) seen.found_later = true;
    } else if (found != 0) {
        seen.state = errno == ENOENT ? PathSeen::State::missing : PathSeen::State::other;
    } else if (!S_ISREG(st.st_mode) || device) {
        seen.state = PathSeen::State::other;
    } else {
        File file(inner().fopen(path, "r"));
        std::string content;
        char buffer[8192];
        size_t got = 0;
        while (file && content.size() <= kLargestFile &&
               (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
            content.append(buffer, got);
        if (file && std::ferror(file.get())) {
            seen.state = PathSeen::State::unreadable;
        } else if (!file || content.size() > kLargestFile || !is_utf8(content)) {
            seen.state = PathSeen::State::other;  // not kept: a binary file (an icon)
        } else {
            seen.state = PathSeen::State::file;
            seen.content = std::move(content);
        }
    }
    errno = saved;
}

void RecordingSys::wrote(const char* path) {
    if (path) seen_.written.insert(path);
}

FILE* RecordingSys::fopen(const char* path, const char* mode) {
    if (std::strchr(mode, 'r')) look_at(path);
    if (std::strpbrk(mode, "wax+")) wrote(path);
    return inner().fopen(path, mode);
}

int RecordingSys::rename(const char* from, const char* to) {
    wrote(from);
    wrote(to);
    return inner().rename(from, to);
}

int RecordingSys::unlink(const char* path) {
    wrote(path);
    return inner().unlink(path);
}

int RecordingSys::stat(const char* path, struct stat* out) {
    look_at(path);
    return inner().stat(path, out);
}

int RecordingSys::lstat(const char* path, struct stat* out) {
    look_at(path);
    return inner().lstat(path, out);
}

DIR* RecordingSys::opendir(const char* path) {
    look_at(path);
    DIR* dir = inner().opendir(path);
    if (dir && path) seen_.paths[path].listed = true;
    return dir;
}

// ---- descriptors and device nodes -----------------------------------------------

int RecordingSys::open(const char* path, int flags, mode_t mode) {
    uint32_t bus = 0;
    Node kind = node_of(path, &bus);
    bool writes = (flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC));
    if (kind != Node::file || !writes) look_at(path);
    if (kind == Node::file && writes) wrote(path);
    int fd = inner().open(path, flags, mode);
    int saved = errno;
    trace_.linef("open %s -> %d", path, fd);
    if (fd >= 0 && kind != Node::file) {
        nodes_[fd] = OpenNode{kind, path, bus, 0, 0, {}};
        if (kind == Node::i2c) seen_.i2c_buses.insert(bus);
    }
    errno = saved;
    return fd;
}

int RecordingSys::close(int fd) {
    auto node = nodes_.find(fd);
    if (node != nodes_.end()) {
        for (BmcExchange& unanswered : node->second.waiting)
            answered(node->second, std::move(unanswered));
        nodes_.erase(node);
    }
    return inner().close(fd);
}

ssize_t RecordingSys::read(int fd, void* buf, size_t count) {
    auto node = nodes_.find(fd);
    if (node == nodes_.end() || node->second.kind != Node::mem) return inner().read(fd, buf, count);
    uint64_t address = node->second.position;
    ssize_t got = inner().read(fd, buf, count);
    int saved = errno;
    if (got < 0) {
        trace_.linef("mem 0x%llx %zu -> -1", static_cast<unsigned long long>(address), count);
    } else {
        trace_.linef("mem 0x%llx %zu", static_cast<unsigned long long>(address), count);
        const uint8_t* bytes = static_cast<const uint8_t*>(buf);
        for (ssize_t i = 0; i < got; ++i) seen_.memory.try_emplace(address + uint64_t(i), bytes[i]);
        node->second.position += uint64_t(got);
    }
    errno = saved;
    return got;
}

off_t RecordingSys::lseek(int fd, off_t offset, int whence) {
    off_t at = inner().lseek(fd, offset, whence);
    auto node = nodes_.find(fd);
    if (at >= 0 && node != nodes_.end()) node->second.position = uint64_t(at);
    return at;
}

void* RecordingSys::mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    auto node = nodes_.find(fd);
    if (node == nodes_.end()) return inner().mmap(addr, length, prot, flags, fd, offset);
    trace_.linef("mmap 0x%llx 0x%zx", static_cast<unsigned long long>(offset), length);
    void* mapped = inner().mmap(addr, length, prot, flags, fd, offset);
    if (mapped != MAP_FAILED && node->second.kind == Node::mem && (prot & PROT_READ)) {
        const uint8_t* bytes = static_cast<const uint8_t*>(mapped);
        for (size_t i = 0; i < length; ++i)
            seen_.memory.try_emplace(uint64_t(offset) + i, bytes[i]);
    }
    return mapped;
}

int RecordingSys::ioctl(int fd, unsigned long request, void* arg) {
    auto found = nodes_.find(fd);
    if (found == nodes_.end()) return inner().ioctl(fd, request, arg);
    OpenNode& node = found->second;
    if (node.kind == Node::imb && request == kImbSendRequest && arg)
        return imb_ioctl(fd, node, arg);

    // What the request carries in, taken before the device answers into it.
    std::optional<BmcExchange> sent;
    if (node.kind == Node::openipmi && request == IPMICTL_SEND_COMMAND && arg) {
        const auto* req = static_cast<const ipmi_req*>(arg);
        bool system_interface = req->addr && req->addr_len >= sizeof(ipmi_system_interface_addr) &&
                                reinterpret_cast<const ipmi_addr*>(req->addr)->addr_type ==
                                    IPMI_SYSTEM_INTERFACE_ADDR_TYPE;
        if (system_interface) {
            sent = BmcExchange{req->msg.netfn, req->msg.cmd, {}, std::nullopt};
            if (req->msg.data) sent->data.assign(req->msg.data, req->msg.data + req->msg.data_len);
        }
    }
    uint8_t byte_out = 0;
    const auto* smbus = static_cast<const i2c_smbus_ioctl_data*>(arg);
    if (node.kind == Node::i2c && request == I2C_SMBUS && smbus && smbus->data)
        byte_out = smbus->data->byte;

    int result = inner().ioctl(fd, request, arg);
    int saved = errno;
    if (node.kind == Node::i2c) {
        i2c_ioctl(node, request, arg, byte_out, result, saved);
    } else if (node.kind == Node::openipmi) {
        if (sent && result == 0) {
            node.waiting.push_back(std::move(*sent));
        } else if ((request == IPMICTL_RECEIVE_MSG || request == IPMICTL_RECEIVE_MSG_TRUNC) &&
                   (result == 0 || saved == EMSGSIZE) && !node.waiting.empty()) {
            // The monitor takes the next message as the answer; so does the recording.
            const auto* recv = static_cast<const ipmi_recv*>(arg);
            BmcExchange exchange = std::move(node.waiting.front());
            node.waiting.pop_front();
            exchange.answer.emplace(recv->msg.data, recv->msg.data + recv->msg.data_len);
            answered(node, std::move(exchange));
        }
    }
    errno = saved;
    return result;
}

// Only the transfers the monitor makes are recorded and traced: slave
// selection and byte-data reads and writes.
void RecordingSys::i2c_ioctl(OpenNode& node, unsigned long request, void* arg, uint8_t byte_out,
                             int result, int error) {
    unsigned bus = node.bus;
    if (request == I2C_SLAVE || request == I2C_SLAVE_FORCE) {
        unsigned long address = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(arg));
        trace_.linef("i2c %u %s 0x%02lx -> %d", bus,
                     request == I2C_SLAVE_FORCE ? "slave-force" : "slave", address,
                     result == 0 ? 0 : -1);
        if (result == 0) node.slave = uint8_t(address);
        if (result != 0 && error == EBUSY)
            seen_.i2c_chips[bus][uint8_t(address)].driver_holds = true;
        return;
    }
    const auto* smbus = static_cast<const i2c_smbus_ioctl_data*>(arg);
    if (request != I2C_SMBUS || !smbus || smbus->size != I2C_SMBUS_BYTE_DATA || !smbus->data)
        return;
    I2cChipSeen& chip = seen_.i2c_chips[bus][node.slave];
    uint8_t reg = smbus->command;
    if (smbus->read_write == I2C_SMBUS_READ) {
        if (result == 0) {
            uint8_t value = smbus->data->byte;
            trace_.linef("i2c %u 0x%02x read 0x%02x -> 0x%02x", bus, node.slave, reg, value);
            chip.answered = true;
            chip.accesses.push_back({RegisterAccess::Kind::read, reg, value});
        } else {
            trace_.linef("i2c %u 0x%02x read 0x%02x -> nak", bus, node.slave, reg);
            chip.accesses.push_back({RegisterAccess::Kind::failed_read, reg, 0});
        }
        return;
    }
    trace_.linef("i2c %u 0x%02x write 0x%02x 0x%02x -> %s", bus, node.slave, reg, byte_out,
                 result == 0 ? "0" : "nak");
    if (result == 0) {
        chip.answered = true;
        chip.accesses.push_back({RegisterAccess::Kind::write, reg, byte_out});
    } else {
        chip.write_refused = true;
    }
}

// The driver answers within the ioctl: the request is read from the
// caller's buffer before, the answer and its length after.
int RecordingSys::imb_ioctl(int fd, OpenNode& node, void* arg) {
    const uint8_t* block = static_cast<const uint8_t*>(arg);
    const uint8_t* request = user_memory(le64(block + kImbRequestAt));
    std::optional<BmcExchange> exchange;
    if (request) {
        exchange = BmcExchange{request[kImbNetFnAt], request[kImbCommandAt], {}, std::nullopt};
        exchange->data.assign(request + kImbDataAt,
                              request + kImbDataAt + request[kImbDataLengthAt]);
    }
    int result = inner().ioctl(fd, kImbSendRequest, arg);
    int saved = errno;
    if (exchange && (result == 0 || saved == ETIMEDOUT)) {
        if (result == 0) {
            const uint8_t* response = user_memory(le64(block + kImbResponseAt));
            uint64_t count = le64(user_memory(le64(block + kImbReturnedCountAt)));
            exchange->answer.emplace(response, response + count);
        }
        answered(node, std::move(*exchange));
    }
    errno = saved;
    return result;
}

// One request has its answer, or will never have one.
void RecordingSys::answered(const OpenNode& node, BmcExchange exchange) {
    auto interface =
        node.kind == Node::imb ? BmcSeen::Interface::imb : BmcSeen::Interface::openipmi;
    if (seen_.bmc.interface != BmcSeen::Interface::none && seen_.bmc.interface != interface)
        seen_.bmc.two_interfaces = true;
    seen_.bmc.interface = interface;
    seen_.bmc.device = node.path;
    std::optional<std::vector<uint8_t>> shown = exchange.answer;
    // The GUID is traced as it will be recorded.
    if (!keep_serials_ && shown && shown->size() == kGuidAnswer && exchange.netfn == kAppNetFn &&
        exchange.command == kGetSystemGuid && exchange.data.empty() && shown->front() == 0) {
        std::vector<uint8_t> guid = scrub_bmc_guid({shown->begin() + 1, shown->end()});
        std::copy(guid.begin(), guid.end(), shown->begin() + 1);
    }
    trace_.line(ipmi_trace_line(node.kind == Node::imb ? "imb" : "openipmi", exchange.netfn,
                                exchange.command, exchange.data, shown));
    seen_.bmc.exchanges.push_back(std::move(exchange));
}

// A select() cut short by a signal (the launcher's own, see record_session)
// is waited again: the run must not see a failure the machine did not give.
int RecordingSys::wait_readable(int fd, int timeout_ms) {
    int ready;
    do {
        ready = inner().wait_readable(fd, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    auto node = nodes_.find(fd);
    if (ready == 0 && node != nodes_.end() && !node->second.waiting.empty()) {
        int saved = errno;
        BmcExchange unanswered = std::move(node->second.waiting.front());
        node->second.waiting.pop_front();
        answered(node->second, std::move(unanswered));
        errno = saved;
    }
    return ready;
}

// ---- ports ------------------------------------------------------------------------------

int RecordingSys::iopl(int level) {
    int result = inner().iopl(level);
    int saved = errno;
    trace_.linef("iopl %d -> %d", level, result);
    errno = saved;
    return result;
}

int RecordingSys::ioperm(unsigned long from, unsigned long num, int turn_on) {
    int result = inner().ioperm(from, num, turn_on);
    int saved = errno;
    trace_.linef("ioperm 0x%lx %lu %d -> %d", from, num, turn_on, result);
    errno = saved;
    return result;
}

uint8_t RecordingSys::inb(uint16_t port) {
    uint8_t value = inner().inb(port);
    seen_.ports.push_back({PortAccess::Kind::inb, port, value});
    trace_.linef("inb 0x%x -> 0x%02x", port, value);
    return value;
}

void RecordingSys::outb(uint8_t value, uint16_t port) {
    trace_.linef("outb 0x%x 0x%02x", port, value);
    seen_.ports.push_back({PortAccess::Kind::outb, port, value});
    inner().outb(value, port);
}

uint32_t RecordingSys::inl(uint16_t port) {
    uint32_t value = inner().inl(port);
    seen_.ports.push_back({PortAccess::Kind::inl, port, value});
    trace_.linef("inl 0x%x -> 0x%08x", port, value);
    return value;
}

void RecordingSys::outl(uint32_t value, uint16_t port) {
    trace_.linef("outl 0x%x 0x%08x", port, value);
    seen_.ports.push_back({PortAccess::Kind::outl, port, value});
    inner().outl(value, port);
}

// ---- commands ----------------------------------------------------------------------------

FILE* RecordingSys::popen(const char* command, const char* type) {
    trace_.linef("popen %s", command);
    if (std::strstr(command, "dmidecode") && !seen_.dmidecode_used) capture_dmidecode();
    return inner().popen(command, type);
}

// The run pipes dmidecode through grep and sed; the replay needs what
// dmidecode itself prints. It only reads, so asking it once more changes
// nothing on the machine.
void RecordingSys::capture_dmidecode() {
    seen_.dmidecode_used = true;
    int saved = errno;
    FILE* pipe = inner().popen("dmidecode 2>/dev/null", "r");
    if (pipe) {
        std::string text;
        char buffer[8192];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
        int status = inner().pclose(pipe);
        bool missing = WIFEXITED(status) && WEXITSTATUS(status) == kNotFound;
        if (!missing && is_utf8(text)) seen_.dmidecode = std::move(text);
    }
    errno = saved;
}

int RecordingSys::system(const char* command) {
    int status = inner().system(command);
    int saved = errno;
    trace_.linef("system %s -> %d", command, status);
    errno = saved;
    return status;
}

int RecordingSys::execlp(const char* file, const char* arg0) {
    trace_.linef("exec %s", file);
    return inner().execlp(file, arg0);
}

void RecordingSys::syslog(int priority, const char* message) {
    trace_.linef("syslog %d %s", priority, without_trailing_newlines(message).c_str());
    inner().syslog(priority, message);
}

// A child the run forked (the mail alert) that ends here has nothing to record.
void RecordingSys::exit(int status) {
    if (hooks_.ending && ::getpid() == recording_pid_) status = hooks_.ending(status);
    ForwardingSys::exit(status);
}
