// /dev/i2c-N: the kernel's i2c-dev character device in front of one SMBus
// adapter of the board. Each open descriptor is one i2c client of the kernel
// with its own slave address (0 until I2C_SLAVE or I2C_SLAVE_FORCE selects
// one) and its own ten-bit flag. The ioctls, their arguments and their errors
// are those of the kernel's i2c-dev with an SMBus-only adapter behind it.
//
// attach_smbus (devices.h) serves one node per adapter and seeds the adapter
// listings (i2c_listing.h).
#pragma once

#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <memory>

#include "vboard/device.h"
#include "vboard/smbus_bus.h"

class VirtualBoard;

class I2cDevClient final : public OpenDevice {
public:
    I2cDevClient(VirtualBoard& board, std::shared_ptr<SmbusBus> bus);

    ssize_t read(void* buf, size_t count) override;
    int ioctl(unsigned long request, void* arg) override;

private:
    int select_slave(unsigned long address, bool force);
    int functionality(unsigned long* out);
    int smbus(const i2c_smbus_ioctl_data* request);
    // Accepts an unsigned long setting up to `limit` (EINVAL above it).
    int setting(const char* name, unsigned long value, unsigned long limit);
    // Kernel result (0 or -errno) to the system call's: -1 with errno set.
    static int finish(int result);

    VirtualBoard& board_;
    std::shared_ptr<SmbusBus> bus_;
    uint16_t address_ = 0;  // the kernel client's addr: 0 until a slave is selected
    bool ten_bit_ = false;
};
