// The parameters of an item besides its limits: the fan divisor, the switch
// mask, and the range of values the item can show.
#include <cstdio>

#include "config/parameter_index.h"
#include "hw/isa_access.h"
#include "hw/port_io.h"
#include "hw/smbus.h"
#include "items/acquisition.h"
#include "items/acquisition_detail.h"
#include "items/conversions.h"

namespace {

// Chips whose fan count needs no divisor: 1 without reading a register.
constexpr ChipSet kFixedDivisorChips = chips(3, 6, 8, 9, 14, 16, 17, 23, 25, 28, 30);

// The count at which a fan's RPM is largest: the two-byte counters of chip
// codes 3 and 8 count at least 256, every other chip 1.
uint32_t smallest_fan_count(int32_t chipCode) {
    return (chipCode == 3 || chipCode == 8) ? 256 : 1;
}

}  // namespace

namespace acq {

const ParameterRecord* find_parameter(std::string_view name, const ParameterRecord* parameters,
                                      int32_t parameterCount) {
    return first_parameter_named(name, parameters, parameterCount);
}

}  // namespace acq

int32_t get_item_divisor(SystemRecord* system, ItemRecord* item, ParameterRecord* parameters,
                         int32_t parameterCount, uint32_t* divisor) {
    std::string_view name = acq::field(item->paraIndex1);
    const ParameterRecord* p = acq::find_parameter(name, parameters, parameterCount);
    if (p == nullptr) {
        printf("Error: Cannot get the divisor '%.*s'!\n", static_cast<int>(name.size()),
               name.data());
        return -1;
    }
    if (kFixedDivisorChips.contains(item->chipCode)) {
        *divisor = 1;
        return 0;
    }
    uint32_t field = 0;
    int32_t status = -1;
    if (acq::is_smbus(item))
        status = smbus_byte_data_read(item->chipCode, item->busType, SMB_BASE_IO_ADDR, p->slave,
                                      p->offset, &field);
    if (acq::is_local_isa(system, item))
        status = isa_byte_data_read(system->indexReg, system->dataReg, p->slave, p->offset, &field);
    // Only a parameter named as a divisor register holds a divisor field.
    if (name.size() >= 7 && equals_nocase(name.substr(0, 7), "DIVISOR"))
        status = DIVISORConvert(static_cast<int32_t>(field), item->chipCode, p->bitMask & 0xFF,
                                divisor);
    return status;
}

uint32_t get_item_bitmask(const char* paraName, ParameterRecord* parameters,
                          int32_t parameterCount) {
    // The last record of the name holds the mask.
    std::string_view name(paraName, strnlen(paraName, sizeof ItemRecord{}.paraIndex1));
    const ParameterRecord* p = last_parameter_named(name, parameters, parameterCount);
    return p ? static_cast<uint32_t>(p->bitMask) : 0;
}

int32_t get_item_max_reading(SystemRecord* system, ItemRecord* item, ParameterRecord* parameters,
                             int32_t parameterCount, int64_t* value) {
    switch (item->category) {
        case CAT_VOLTAGE:
            return VOLTAGEConvert(item->chipCode, item->volFunc, 255, value);
        case CAT_FAN: {
            uint32_t divisor = 1;
            get_item_divisor(system, item, parameters, parameterCount, &divisor);
            return FANConvert(smallest_fan_count(item->chipCode), item->chipCode,
                              static_cast<int32_t>(divisor), value);
        }
        case CAT_TEMP:
            *value = 127;
            return 0;
        case CAT_SWITCH:
            *value = 1;
            return 0;
        default:
            *value = 0;
            printf("Error: Unknown Cat '%d'!\n", item->category);
            return -1;
    }
}

int32_t get_item_min_reading(SystemRecord* system, ItemRecord* item, ParameterRecord* parameters,
                             int32_t parameterCount, int64_t* value) {
    switch (item->category) {
        case CAT_VOLTAGE:
            return VOLTAGEConvert(item->chipCode, item->volFunc, 0, value);
        case CAT_FAN: {
            uint32_t divisor = 1;
            get_item_divisor(system, item, parameters, parameterCount, &divisor);
            *value = 0;
            return 0;
        }
        case CAT_TEMP: {
            int64_t degrees = 0;
            int32_t status = TEMPConvert(0x81, &degrees);
            *value = static_cast<int32_t>(degrees);  // -127, sign-extended for the scale
            return status;
        }
        case CAT_SWITCH:
            *value = 0;
            return 0;
        default:
            *value = 0;
            printf("Error: unknown Cat '%d'!\n", item->category);
            return -1;
    }
}
