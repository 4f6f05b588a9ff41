#include "hw/smbus.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/fixed_text.h"
#include "hw/adapter_discovery.h"
#include "hw/ipmi_imb.h"
#include "hw/port_io.h"
#include "hw/register_space.h"
#include "hw/smbus_routes.h"
#include "sys/handles.h"
#include "sys/sys.h"

using namespace smbus_routes;

int32_t i2c_device_state = -1;
int32_t i2c_device_fd = -1;
char i2c_device_path[32] = "";

namespace {

constexpr int32_t kIpmiImb = 1;
constexpr int32_t kIpmiOpenIpmi = 2;

// Only these adapter types can be the host controller's SMBus.
constexpr const char* kAdapterTypes[] = {"smbus", "unknown"};

// Host status register (offset 0 of an Intel SMBus controller's I/O block):
// writing 1s clears INTR (bit 1) and INUSE_STS (bit 6), so the next transfer
// finds the controller idle and unclaimed.
constexpr uint8_t kHostStatusClear = 0x42;

enum class Transport { i2cDev, imb, openIpmi, none };

Transport transport() {
    if (hDevice == 0) return Transport::i2cDev;
    if (ipmi_driver_option == kIpmiImb) return Transport::imb;
    if (ipmi_driver_option == kIpmiOpenIpmi) return Transport::openIpmi;
    return Transport::none;
}

bool condition_holds(const Condition& when, int32_t busType, int32_t chipCode, int32_t slave) {
    uint32_t kinds = detected_kinds();
    return bus_matches(when.bus, busType) &&
           (when.kinds == kAnyKind || (when.kinds & kinds) != 0) &&
           (!when.privateSlave || isPrivateBusSlave(slave)) &&
           (when.chipCode == kAnyChip || when.chipCode == chipCode);
}

template <class Route, size_t N>
const Route* first_route(const Route (&routes)[N], int32_t busType, int32_t chipCode,
                         int32_t slave) {
    for (const Route& route : routes)
        if (condition_holds(route.when, busType, chipCode, slave)) return &route;
    return nullptr;
}

// Two byte commands, high byte first. Both halves start at 0, so a failed
// half counts as 0 in the value; the result is non-zero when either failed.
int32_t read_halves(ByteReader read, uint32_t slave, uint32_t reg, uint32_t* value) {
    uint32_t high = 0;
    uint32_t low = 0;
    int32_t result = read(slave, reg, &high);
    result |= read(slave, reg + 1, &low);
    *value = high * 256 + low;
    return result;
}

// ---- i2c-dev ------------------------------------------------------------------

int select_slave(int fd, int32_t slave, unsigned long request) {
    void* address = reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(slave)));
    if (sys().ioctl(fd, request, address) < 0) {
        std::fprintf(stderr, "Error: ioctl(), slave=0x%x\n", static_cast<unsigned>(slave));
        return -1;
    }
    return 0;
}

// One byte-data transfer on the selected slave. 0, or -1 (read data untouched).
int byte_data_transfer(int fd, uint8_t readWrite, int32_t reg, uint8_t* byte) {
    i2c_smbus_data data{};
    if (readWrite == I2C_SMBUS_WRITE) data.byte = *byte;
    i2c_smbus_ioctl_data request{};
    request.read_write = readWrite;
    request.command = static_cast<uint8_t>(reg);
    request.size = I2C_SMBUS_BYTE_DATA;
    request.data = &data;
    if (sys().ioctl(fd, I2C_SMBUS, &request) < 0) return -1;
    if (readWrite == I2C_SMBUS_READ) *byte = data.byte;
    return 0;
}

int32_t i2c_byte_read(int32_t busType, uint32_t ioBase, int32_t slave, int32_t reg,
                      uint32_t* value) {
    int fd = openI2CDevice(ioBase);
    if (select_slave(fd, slave, I2C_SLAVE) != 0) return -1;
    if (busType == kPausedBusType && reg == kPausedRegister) sys().usleep(kPauseMicroseconds);
    uint8_t byte = 0;
    int result = byte_data_transfer(fd, I2C_SMBUS_READ, reg, &byte);
    clearSMBusLastTransaction(ioBase);
    if (result != 0) return -1;
    *value = byte;
    return 0;
}

int32_t i2c_byte_write(uint32_t ioBase, int32_t slave, int32_t reg, uint32_t value) {
    int fd = openI2CDevice(ioBase);
    if (select_slave(fd, slave, I2C_SLAVE_FORCE) != 0) return -1;
    uint8_t byte = static_cast<uint8_t>(value);
    byte_data_transfer(fd, I2C_SMBUS_WRITE, reg, &byte);  // an unacknowledged write still counts
    clearSMBusLastTransaction(ioBase);
    return 0;
}

int32_t i2c_word_read(uint32_t ioBase, int32_t slave, int32_t reg, uint32_t* value) {
    int fd = openI2CDevice(ioBase);
    if (select_slave(fd, slave, I2C_SLAVE_FORCE) != 0) return -1;
    uint8_t high = 0;
    int result = byte_data_transfer(fd, I2C_SMBUS_READ, reg, &high);
    clearSMBusLastTransaction(ioBase);
    if (result != 0) return -1;
    uint8_t low = 0;
    result = byte_data_transfer(fd, I2C_SMBUS_READ, reg + 1, &low);
    clearSMBusLastTransaction(ioBase);
    if (result != 0) return -1;
    *value = uint32_t(high) * 256 + low;
    return 0;
}

const FixedReading* fixed_reading(int32_t chipCode) {
    for (const FixedReading& fixed : kI2cFixedReadings)
        if (fixed.chipCode == chipCode) return &fixed;
    return nullptr;
}

// The number after " at " in an adapter's name (its I/O address), or 0.
long adapter_address(const char* name) {
    const char* at = std::strstr(name, " at ");
    return at ? std::strtol(at + 4, nullptr, 16) : 0;
}

bool host_adapter_type(const char* type) {
    for (const char* known : kAdapterTypes)
        if (std::strcmp(type, known) == 0) return true;
    return false;
}

}  // namespace

bool isPrivateBusSlave(int32_t slave) {
    for (const SlaveRange& range : kPrivateSlaveRanges)
        if (slave >= range.first && slave <= range.last) return true;
    return false;
}

int32_t openI2CDevice(uint32_t ioBase) {
    if (i2c_device_state != -1) return i2c_device_fd;
    for (int32_t i = 0; i < counter_i2c_bus_list; ++i) {
        const I2cBusEntry& entry = i2c_bus_list[i];
        long address = adapter_address(entry.adapterName);
        if (address == 0 || !host_adapter_type(entry.type) || address != long(ioBase)) continue;
        char path[sizeof i2c_device_path];
        std::snprintf(path, sizeof path, "/dev/i2c-%s", entry.busNumber);
        Fd device(sys().open(path, O_RDWR));
        if (!device.valid()) break;
        copy_text(i2c_device_path, path);
        i2c_device_fd = device.release();  // kept open for the rest of the run
        i2c_device_state = 1;
        return i2c_device_fd;
    }
    std::fprintf(stderr, "Error: Cannot find a proper I2C/SMBus device!\n");
    sys().exit(-1);
    return -1;  // not reached
}

void clearSMBusLastTransaction(uint32_t ioBase) {
    if (!IntelDevice) return;
    // Without the privilege the write would kill the process; then leave the
    // status bits for the next transfer to find.
    if (sys().iopl(3) != 0) return;
    sys().outb(kHostStatusClear, static_cast<uint16_t>(ioBase));
}

int32_t smbus_byte_data_read(int32_t chipCode, int32_t busType, uint32_t ioBase, int32_t slave,
                             int32_t reg, uint32_t* value) {
    if (!registers_exist(reg)) return -1;
    switch (transport()) {
        case Transport::i2cDev:
            if (const FixedReading* fixed = fixed_reading(chipCode)) {
                *value = fixed->value;
                return 0;
            }
            return i2c_byte_read(busType, ioBase, slave, reg, value);
        case Transport::imb:
            return IpmiRead(slave, reg, value);
        case Transport::openIpmi:
            if (const ReadRoute* route = first_route(kByteReadRoutes, busType, chipCode, slave))
                return route->read(slave, reg, value);
            return -1;
        case Transport::none:
            break;
    }
    return -1;
}

int32_t smbus_byte_data_write(int32_t busType, uint32_t ioBase, int32_t slave, int32_t reg,
                              uint32_t value) {
    if (!registers_exist(reg)) return -1;
    switch (transport()) {
        case Transport::i2cDev:
            return i2c_byte_write(ioBase, slave, reg, value);
        case Transport::imb:
            return IpmiWrite(slave, reg, value);
        case Transport::openIpmi:
            if (const WriteRoute* route = first_route(kByteWriteRoutes, busType, kAnyChip, slave))
                return route->write(slave, reg, value);
            return -1;
        case Transport::none:
            break;
    }
    return -1;
}

int32_t smbus_word_data_read_HL(int32_t busType, uint32_t ioBase, int32_t slave, int32_t reg,
                                uint32_t* value) {
    if (!registers_exist(reg, 2)) return -1;
    switch (transport()) {
        case Transport::i2cDev:
            return i2c_word_read(ioBase, slave, reg, value);
        case Transport::imb:
            return read_halves(IpmiRead, slave, reg, value);
        case Transport::openIpmi:
            if (const WordRoute* route = first_route(kWordReadRoutes, busType, kAnyChip, slave))
                return route->word ? route->word(slave, reg, value)
                                   : read_halves(route->halves, slave, reg, value);
            return -1;
        case Transport::none:
            break;
    }
    return -1;
}

// Over i2c-dev no graphics processor is read: register 0 reports 127 and any
// other register 0, once the adapter is known to be there.
int32_t smbus_byte_data_read_GPU(int32_t busType, uint32_t ioBase, int32_t slave, int32_t reg,
                                 uint32_t* value) {
    if (!registers_exist(reg)) return -1;
    switch (transport()) {
        case Transport::i2cDev:
            openI2CDevice(ioBase);
            *value = reg == 0 ? 0x7F : 0;
            return 0;
        case Transport::openIpmi:
            if (busType & kBusBmc) return IpmiByteRead2_oem_30_70(slave, reg, value);
            return -1;
        case Transport::imb:
        case Transport::none:
            break;
    }
    return -1;
}

void reset_smbus_state() {
    i2c_device_state = -1;
    i2c_device_fd = -1;
    i2c_device_path[0] = '\0';
}
