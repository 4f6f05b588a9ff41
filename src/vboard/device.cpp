#include "vboard/device.h"

#include <cerrno>

uint32_t PortSpaceDevice::inl(uint16_t port) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t(inb(uint16_t(port + i))) << (8 * i);
    return value;
}

void PortSpaceDevice::outl(uint16_t port, uint32_t value) {
    for (int i = 0; i < 4; ++i) outb(uint16_t(port + i), uint8_t(value >> (8 * i)));
}

ssize_t OpenDevice::read(void*, size_t) {
    errno = EINVAL;
    return -1;
}

off_t OpenDevice::lseek(off_t, int) {
    errno = ESPIPE;
    return -1;
}

int OpenDevice::ioctl(unsigned long, void*) {
    errno = ENOTTY;
    return -1;
}

std::optional<std::vector<uint8_t>> OpenDevice::map(size_t, off_t) {
    errno = ENODEV;
    return std::nullopt;
}

int OpenDevice::wait_readable(int) { return 1; }
