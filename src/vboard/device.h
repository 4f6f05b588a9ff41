// Plug points of the virtual board: devices in port space and device nodes
// served in process. Each emulated device implements one of these and is
// attached to the VirtualBoard when the board is built.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// A device that claims ports (an index/data chip, a Super I/O configuration
// space, plain storage, the PCI configuration mechanism).
class PortSpaceDevice {
public:
    virtual ~PortSpaceDevice() = default;
    virtual bool claims(uint16_t port) const = 0;
    virtual uint8_t inb(uint16_t port) = 0;
    virtual void outb(uint16_t port, uint8_t value) = 0;
    // A dword access is four byte accesses, little-endian, unless the device
    // decodes dwords itself (PCI mechanism #1 does).
    virtual uint32_t inl(uint16_t port);
    virtual void outl(uint16_t port, uint32_t value);
};

// One open descriptor of a virtual device node. Methods follow the kernel's
// conventions: on failure they set errno and return -1 (MAP_FAILED for map).
class OpenDevice {
public:
    virtual ~OpenDevice() = default;
    virtual ssize_t read(void* buf, size_t count);
    virtual off_t lseek(off_t offset, int whence);
    virtual int ioctl(unsigned long request, void* arg);
    // The bytes a mapping of [offset, offset + length) shows, or nullopt with errno.
    virtual std::optional<std::vector<uint8_t>> map(size_t length, off_t offset);
    // select() for reading: >0 readable, 0 timed out (errno ETIMEDOUT).
    virtual int wait_readable(int timeout_ms);
};

// Opens a node (given the open flags); returns nullptr with errno set when the
// open must fail.
using DeviceOpener = std::function<std::unique_ptr<OpenDevice>(int flags)>;
