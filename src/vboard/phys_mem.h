// /dev/mem: the board's physical address space as the kernel's mem driver
// shows it. The board is a 32-bit physical address machine: 4 GiB, all of it
// open to read and to map (there is no RAM that CONFIG_STRICT_DEVMEM would
// hide). What the board file places there (the SMBIOS entry point, the
// structure table, raw records, single bytes) reads as placed; every other
// byte reads 0x00.
//
// attach_memory (devices.h) serves the node.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "vboard/board.h"
#include "vboard/device.h"

class VirtualBoard;

// The bytes the board defines, by start address (the runs never overlap).
class PhysicalMemory {
public:
    static constexpr uint64_t kSize = uint64_t(1) << 32;

    explicit PhysicalMemory(const std::vector<MemoryChunk>& chunks);

    // Copies [address, address + count) into `out`; undefined bytes are 0x00.
    // The range must lie within kSize.
    void copy(uint64_t address, uint8_t* out, size_t count) const;

private:
    std::map<uint64_t, std::vector<uint8_t>> runs_;
};

// One open descriptor of /dev/mem: a file position and the memory behind it.
class DevMemFile final : public OpenDevice {
public:
    DevMemFile(VirtualBoard& board, std::shared_ptr<const PhysicalMemory> memory);

    ssize_t read(void* buf, size_t count) override;
    off_t lseek(off_t offset, int whence) override;
    std::optional<std::vector<uint8_t>> map(size_t length, off_t offset) override;

private:
    VirtualBoard& board_;
    std::shared_ptr<const PhysicalMemory> memory_;
    uint64_t position_ = 0;  // the kernel's f_pos, taken as a physical address
};
