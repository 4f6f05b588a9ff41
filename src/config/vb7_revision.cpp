// The VB7 family carries its CPU temperatures either as core sensors or as
// PECI agents, and one master section serves both: the hardware monitor at
// the first chip-code-17 item's slave (a W83793G) tells which through
// register 0x5E, and the item names are put right in memory at every start.
#include <cstdint>
#include <string_view>

#include "common/fixed_text.h"
#include "config/generate.h"
#include "config/nocase.h"
#include "config/records.h"
#include "hw/port_io.h"
#include "hw/smbus.h"

namespace {

constexpr int32_t kW83793G = 17;
// Bits 0 and 1 both set: the CPU temperatures come in over PECI.
constexpr int32_t kPeciModeRegister = 0x5E;
constexpr uint32_t kPeciModeBits = 0x03;

struct CpuTempNames {
    std::string_view core;
    std::string_view peci;
};
constexpr CpuTempNames kCpuTempNames[] = {
    {"CPU1 Core A Temperature", "PECI Agent1 Temperature"},
    {"CPU1 Core B Temperature", "PECI Agent2 Temperature"},
    {"CPU2 Core A Temperature", "PECI Agent3 Temperature"},
    {"CPU2 Core B Temperature", "PECI Agent4 Temperature"},
};

int32_t monitor_slave(const SystemRecord* system, const ItemRecord* items, int32_t itemCount) {
    if (system->coreTempChipCode != kW83793G) return 0;
    for (int32_t i = 0; i < itemCount; ++i) {
        if (items[i].chipCode == kW83793G) return items[i].slave;
    }
    return 0;
}

}  // namespace

void revise_senvis_ini_for_VB7(SystemRecord* system, ItemRecord* items, int32_t itemCount) {
    int32_t slave = monitor_slave(system, items, itemCount);
    // A failed read leaves 0: the core names.
    uint32_t value = 0;
    smbus_byte_data_read(0, static_cast<int32_t>(system->busType & BUS_SMBUS), SMB_BASE_IO_ADDR,
                         slave, kPeciModeRegister, &value);
    bool peci = (value & kPeciModeBits) == kPeciModeBits;

    for (int32_t i = 0; i < itemCount; ++i) {
        for (const CpuTempNames& names : kCpuTempNames) {
            std::string_view from = peci ? names.core : names.peci;
            std::string_view to = peci ? names.peci : names.core;
            if (equals_nocase(items[i].name, from)) {
                copy_text(items[i].name, to);
                break;
            }
        }
    }
}
