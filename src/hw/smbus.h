// SMBus register access. Every byte the monitor reads from or writes to a
// chip on the board's SMBus passes through here, and each call picks its
// transport: the kernel's i2c-dev device of the adapter whose I/O base is the
// host controller's, or the BMC (IMB driver or OpenIPMI device) when start-up
// opened one. The transport is fixed by IpmiInit and never changes in a run.
//
// Results: 0 success; -1 when no transfer could be made (i2c-dev, IMB, or a
// bus type with no BMC path); 255 when an OpenIPMI command came back with a
// non-zero completion code. Values come back zero-extended.
#pragma once

#include <cstdint>

// Private-bus slave addresses: on a Peppercon BMC and on the OBWinbond kinds
// the chips at these 7-bit addresses hang on a bus the BMC reaches by other
// commands than the rest of the SMBus.
struct SlaveRange {
    uint8_t first;
    uint8_t last;
};
inline constexpr SlaveRange kPrivateSlaveRanges[] = {{0x38, 0x3F}, {0x58, 0x5B}};
bool isPrivateBusSlave(int32_t slave);

// The i2c-dev adapter device, opened on the first access and kept open for
// the run: `i2c_device_state` is -1 until then and 1 afterwards.
extern int32_t i2c_device_state;
extern int32_t i2c_device_fd;
extern char i2c_device_path[32];  // "/dev/i2c-" and the adapter's bus number

// The descriptor of the adapter whose " at <hex>" address equals `ioBase`,
// opened on first use (later calls return it whatever `ioBase` is). Ends the
// process with -1 when no adapter matches or its node does not open.
int32_t openI2CDevice(uint32_t ioBase);

// One byte register.
int32_t smbus_byte_data_read(int32_t chipCode, int32_t busType, uint32_t ioBase, int32_t slave,
                             int32_t reg, uint32_t* value);
// One byte register. Over i2c-dev a write the chip does not acknowledge
// still gives 0.
int32_t smbus_byte_data_write(int32_t busType, uint32_t ioBase, int32_t slave, int32_t reg,
                              uint32_t value);
// A 16-bit value split over two registers: `reg` holds the high byte,
// `reg` + 1 the low byte.
int32_t smbus_word_data_read_HL(int32_t busType, uint32_t ioBase, int32_t slave, int32_t reg,
                                uint32_t* value);
// The byte read of graphics-processor temperature items.
int32_t smbus_byte_data_read_GPU(int32_t busType, uint32_t ioBase, int32_t slave, int32_t reg,
                                 uint32_t* value);

// Housekeeping after each i2c-dev transfer: on an Intel controller, clears
// the host status register's interrupt and in-use bits at `ioBase`.
void clearSMBusLastTransaction(uint32_t ioBase);

// Forgets the adapter device (tests, with each new board). The descriptor is
// not closed: it belongs to the backend that opened it, which may be gone.
void reset_smbus_state();
