// SMBus adapter discovery: makes sure the kernel driver of the board's SMBus
// controller and i2c-dev are loaded, then records the I2C/SMBus adapters the
// kernel lists (/proc/bus/i2c, or the i2c-dev class of sysfs). Run once at
// start-up when the configuration asks for SMBus and no BMC carries it; the
// SMBus layer later opens the adapter whose I/O address is the controller's.
#pragma once

#include <cstdint>
#include <span>

// One line of /proc/bus/pci/devices (only function and the ids are used).
struct PciDeviceInfo {
    uint32_t irq;
    uint32_t base[6];
    uint32_t rom;
    uint32_t bus;
    uint32_t device;
    uint32_t function;
    uint32_t vendorId;
    uint32_t deviceId;
};

// A known SMBus controller and the kernel driver that serves it. A row
// matches a PCI function when vendor, device and function are all equal.
struct PciAdapter {
    uint32_t vendorId;
    uint32_t deviceId;
    uint32_t function;
    uint32_t reserved;
    const char* name;
    const char* driver;             // module name, hyphen form ("i2c-i801")
    const char* driverUnderscore;   // as /proc/modules may list it ("i2c_i801")
    const char* adapterNamePrefix;  // how the driver names its adapter
};
// 26 controllers and an all-zero terminator row.
inline constexpr int kPciAdapterRows = 27;
extern const PciAdapter pci_adapters[kPciAdapterRows];
// Self-check of such a table: nullptr when sound, else what is wrong (a
// controller listed twice, a terminator that is missing or not last, module
// spellings that disagree).
const char* check_pci_adapter_table(std::span<const PciAdapter> table);

// Drivers the board's controllers need, in PCI-device then table order.
struct DriverEntry {
    const char* driver;
    const char* driverUnderscore;
};
inline constexpr int kMaxDrivers = 10;
extern DriverEntry driver_list[kMaxDrivers];
extern int32_t counter_driver_list;

// Loaded modules: the first word of each /proc/modules line. Kernel module
// names are at most 55 characters.
inline constexpr int kMaxModules = 100;
extern char modules_list[kMaxModules][64];
extern int32_t counter_modules_list;

// The adapters the kernel lists.
struct I2cBusEntry {
    char busNumber[16];
    char type[16];  // "smbus", ... or "unknown" from sysfs
    char adapterName[128];
    char algorithmName[128];
};
inline constexpr int kMaxI2cBuses = 10;
extern I2cBusEntry i2c_bus_list[kMaxI2cBuses];
extern int32_t counter_i2c_bus_list;

// How this system names i2c device nodes: "/dev/i2c-", "/dev/i2c/" or
// "/dev/i2c"; null until init_conf found one.
extern const char* dev_i2c;

// The whole discovery: 0, or -1 on failure (start-up then ends the run).
int32_t i2cdetect();
// The device-node check. 0 or -1.
int32_t init_conf();
// Fills the PCI device list from /proc/bus/pci/devices. 0 or -1.
int32_t init_proc_pci();
int32_t read_proc_dev_pci();
// Fills the loaded-module list. 0 or -1.
int32_t init_modules_list();
// Fills the driver list from the PCI device list. Always 0.
int32_t adapter_pci_detection();
// Fills the I2C bus list; returns its count.
int32_t init_i2c_bus_list();
// `record` 1: (re)fills the I2C bus list and returns its count.
int32_t print_i2c_busses(int32_t record);

// Empties every list and forgets the node prefix (tests).
void reset_adapter_discovery_state();
