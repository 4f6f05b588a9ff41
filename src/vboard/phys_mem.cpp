#include "vboard/phys_mem.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "vboard/devices.h"
#include "vboard/virtual_board.h"

namespace {

constexpr uint64_t kPageSize = 4096;
// lseek results the kernel refuses with EOVERFLOW: they would read as -errno.
constexpr uint64_t kFirstErrnoValue = uint64_t(-4095);

unsigned long long hex(uint64_t value) {
    return static_cast<unsigned long long>(value);
}

}  // namespace

PhysicalMemory::PhysicalMemory(const std::vector<MemoryChunk>& chunks) {
    for (const MemoryChunk& chunk : chunks)
        if (!chunk.bytes.empty()) runs_[chunk.address] = chunk.bytes;
}

void PhysicalMemory::copy(uint64_t address, uint8_t* out, size_t count) const {
    if (count == 0) return;
    std::memset(out, 0, count);
    uint64_t end = address + count;
    // The run that starts at or before `address` may reach into the range.
    auto run = runs_.upper_bound(address);
    if (run != runs_.begin()) --run;
    for (; run != runs_.end() && run->first < end; ++run) {
        uint64_t run_end = run->first + run->second.size();
        uint64_t from = std::max(address, run->first);
        uint64_t to = std::min(end, run_end);
        if (from >= to) continue;
        std::memcpy(out + (from - address), run->second.data() + (from - run->first), to - from);
    }
}

DevMemFile::DevMemFile(VirtualBoard& board, std::shared_ptr<const PhysicalMemory> memory)
    : board_(board), memory_(std::move(memory)) {}

// The mem driver checks the whole range against the end of memory before it
// copies anything: a read that would cross 4 GiB reads nothing (EFAULT), and
// a successful read is never short.
ssize_t DevMemFile::read(void* buf, size_t count) {
    uint64_t address = position_;
    bool inside = address <= PhysicalMemory::kSize && count <= PhysicalMemory::kSize - address;
    if (!inside || (!buf && count > 0)) {
        board_.trace().linef("mem 0x%llx %zu -> -1", hex(address), count);
        errno = EFAULT;
        return -1;
    }
    memory_->copy(address, static_cast<uint8_t*>(buf), count);
    position_ += count;
    board_.trace().linef("mem 0x%llx %zu", hex(address), count);
    return static_cast<ssize_t>(count);
}

// As the kernel's memory_lseek: SEEK_SET and SEEK_CUR only, any 64-bit
// position except the 4095 values that look like an error. A "negative"
// position is a physical address above 2^63, where a read fails.
off_t DevMemFile::lseek(off_t offset, int whence) {
    uint64_t target;
    switch (whence) {
        case SEEK_SET:
            target = static_cast<uint64_t>(offset);
            break;
        case SEEK_CUR:
            target = position_ + static_cast<uint64_t>(offset);
            break;
        default:
            errno = EINVAL;
            return -1;
    }
    if (target >= kFirstErrnoValue) {
        errno = EOVERFLOW;
        return -1;
    }
    position_ = target;
    return static_cast<off_t>(target);
}

// mmap needs a page-aligned offset (the kernel refuses any other with EINVAL
// before the driver sees it), and the pages must lie within the physical
// address space.
std::optional<std::vector<uint8_t>> DevMemFile::map(size_t length, off_t offset) {
    uint64_t start = static_cast<uint64_t>(offset);
    if (offset < 0 || start % kPageSize != 0 || length > PhysicalMemory::kSize ||
        start > PhysicalMemory::kSize - length) {
        errno = EINVAL;
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(length);
    memory_->copy(start, bytes.data(), length);
    return bytes;
}

// /dev/mem is crw-r----- root kmem: only root opens it. Every descriptor has
// its own position over the one memory.
void attach_memory(VirtualBoard& board) {
    auto memory = std::make_shared<const PhysicalMemory>(smbios_memory(board.board().smbios));
    board.add_device_node("/dev/mem", [&board, memory](int) -> std::unique_ptr<OpenDevice> {
        if (board.getuid() != 0) {
            errno = EACCES;
            return nullptr;
        }
        return std::make_unique<DevMemFile>(board, memory);
    });
}
