// /proc/bus/pci/devices through the SMBus adapter discovery: any listing, any
// line length. The drivers the discovery asks for must be rows of the
// controller table, no more than the list holds. /proc/modules names every
// driver of the table and i2c-dev, so that no module is loaded (no shell runs).
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_board.h"
#include "hw/adapter_discovery.h"

namespace {

void prepare_board() {
    std::string modules;
    for (const PciAdapter& row : pci_adapters)
        if (row.driverUnderscore)
            modules += std::string(row.driverUnderscore) + " 16384 0 - Live 0x0\n";
    modules += "i2c_dev 16384 0 - Live 0x0\n";
    put_file("/proc/modules", modules);
    put_file("/proc/bus/i2c",
             "i2c-0\tsmbus     \tSMBus I801 adapter at 0400\tNon-I2C SMBus adapter\n");
    put_file("/dev/i2c-0", "");
}

bool known_driver(const DriverEntry& entry) {
    for (const PciAdapter& row : pci_adapters)
        if (row.driver && entry.driver == row.driver &&
            entry.driverUnderscore == row.driverUnderscore)
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool prepared = (fuzz_board(), prepare_board(), true);
    (void)prepared;
    put_file("/proc/bus/pci/devices", as_text(data, size));

    FUZZ_CHECK(i2cdetect() == 0);
    FUZZ_CHECK(counter_driver_list >= 0 && counter_driver_list <= kMaxDrivers);
    for (int32_t i = 0; i < counter_driver_list; ++i) FUZZ_CHECK(known_driver(driver_list[i]));
    FUZZ_CHECK(counter_i2c_bus_list == 1);
    FUZZ_CHECK(std::strcmp(dev_i2c, "/dev/i2c-") == 0);

    reset_adapter_discovery_state();
    return 0;
}
