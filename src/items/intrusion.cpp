// Reset of one chassis-intrusion item (the -r mode): the checks, the clear
// method its chip needs, the verdict, and the final status read.
#include "items/intrusion.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "config/nocase.h"
#include "hw/isa_access.h"
#include "hw/port_io.h"
#include "hw/register_space.h"
#include "hw/smbus.h"
#include "items/acquisition.h"
#include "items/acquisition_detail.h"
#include "sys/sys.h"

namespace {

enum class ClearMethod {
    SetBits,         // W83627HF_G_Intru_IO_Clear on the item's bus
    W83627HF,        // by the Super I/O device ID: configuration space or set bits
    ConfigSpace,     // W83627HF_A_Intru_IO_Clear
    IoBlock,         // NS87427_Intru_IO_Clear
    Pulse,           // ADM1026_Intru_IO_Clear
    SetBitsOnSmbus,  // the item moves to bus type 8; set bits over SMBus
    NCT7904D,
};

struct ClearRow {
    int32_t chipCode;
    ClearMethod method;
};

// Chip codes with a clear method; any other chip cannot be reset.
// clang-format off
constexpr ClearRow kClearMethods[] = {
    {0, ClearMethod::SetBits},
    {1, ClearMethod::W83627HF},
    {2, ClearMethod::SetBits},
    {7, ClearMethod::SetBits},
    {8, ClearMethod::IoBlock},
    {10, ClearMethod::ConfigSpace},
    {12, ClearMethod::ConfigSpace},
    {13, ClearMethod::Pulse},
    {15, ClearMethod::Pulse},
    {17, ClearMethod::SetBitsOnSmbus},
    {19, ClearMethod::Pulse},
    {22, ClearMethod::Pulse},
    {23, ClearMethod::SetBitsOnSmbus},
    {24, ClearMethod::Pulse},
    {25, ClearMethod::SetBits},
    {28, ClearMethod::Pulse},
    {30, ClearMethod::NCT7904D},
};
// clang-format on

// The W83627HF revision whose latch is cleared in configuration space.
constexpr uint32_t kW83627HFConfigSpaceId = 0x5241;

// NS87427 monitor block: write the bank to base + 15, read status at base + 12.
constexpr int32_t kNsBankPortOffset = 15;
constexpr int32_t kNsStatusPortOffset = 12;

std::string_view field(const char* text, size_t capacity) {
    return {text, strnlen(text, capacity)};
}

ParameterRecord* find_clear_parameter(const ItemRecord* item, ParameterRecord* parameters,
                                      int32_t parameterCount) {
    std::string_view wanted = field(item->paraIndex2, sizeof item->paraIndex2);
    if (parameters == nullptr || wanted.empty()) return nullptr;
    for (int32_t i = 0; i < parameterCount; ++i) {
        if (equals_nocase(field(parameters[i].name, sizeof parameters[i].name), wanted))
            return &parameters[i];
    }
    return nullptr;
}

const ClearRow* find_clear_method(int32_t chipCode) {
    for (const ClearRow& row : kClearMethods) {
        if (row.chipCode == chipCode) return &row;
    }
    return nullptr;
}

int32_t clear_latch(SystemRecord* system, ItemRecord* item, ParameterRecord* p) {
    const uint32_t mask = static_cast<uint32_t>(p->bitMask) & 0xFF;
    const ClearRow* row = find_clear_method(item->chipCode);
    if (row == nullptr) {
        std::fprintf(stderr, "Warning: Non-supported chipset \"%s\".\n", item->name);
        return -1;
    }
    switch (row->method) {
        case ClearMethod::W83627HF: {
            uint32_t id = 0;
            get_W83627HF_Device_ID(&id);
            if (id == kW83627HFConfigSpaceId) return W83627HF_A_Intru_IO_Clear(1);
            break;  // the other revision sets bits like chip codes 0, 2, 7, 25
        }
        case ClearMethod::SetBits:
            break;
        case ClearMethod::ConfigSpace:
            return W83627HF_A_Intru_IO_Clear(item->chipCode);
        case ClearMethod::IoBlock:
            return NS87427_Intru_IO_Clear(mask, p);
        case ClearMethod::Pulse:
            return ADM1026_Intru_IO_Clear(system, item, mask, p);
        case ClearMethod::SetBitsOnSmbus:
            // These chips answer on the SMBus; from here on the item is read
            // through the BMC-or-SMBus path.
            item->busType = BUS_SMBUS_OTHER;
            return W83627HF_G_Intru_IO_Clear(BUS_SMBUS, p->slave, p->offset, system->indexReg,
                                             system->dataReg, mask);
        case ClearMethod::NCT7904D:
            return NCT7904D_Intru_Clear(item);
    }
    return W83627HF_G_Intru_IO_Clear(item->busType, p->slave, p->offset, system->indexReg,
                                     system->dataReg, mask);
}

// Reads the status register again so the chip shows the cleared state. 0,
// or the status of the ISA read.
int32_t reread_status(SystemRecord* system, ItemRecord* item) {
    if (item->chipCode == 8) {
        if (!ports_exist(item->offset, acq::kNs87427PortBlock)) return -1;
        sys().outb(static_cast<uint8_t>(item->slave & 0xFF),
                   static_cast<uint16_t>(item->offset + kNsBankPortOffset));
        sys().inb(static_cast<uint16_t>(item->offset + kNsStatusPortOffset));
        return 0;
    }
    uint32_t value = 0;
    if ((item->busType & (BUS_SMBUS | BUS_SMBUS_OTHER)) != 0) {
        for (int i = 0; i < 2; ++i)
            smbus_byte_data_read(item->chipCode, item->busType, SMB_BASE_IO_ADDR, item->slave,
                                 item->offset, &value);
        return 0;
    }
    if ((item->busType & BUS_ISA) != 0 && (system->busType & BUS_ISA) != 0)
        return isa_byte_data_read(system->indexReg, system->dataReg,
                                  static_cast<uint32_t>(item->slave),
                                  static_cast<uint32_t>(item->offset), &value);
    return 0;
}

}  // namespace

int32_t reset_Intrusion(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                        ParameterRecord* parameters, int32_t parameterCount, ItemRecord* item) {
    ParameterRecord* p = find_clear_parameter(item, parameters, parameterCount);
    if (p == nullptr) {
        std::fprintf(stderr, "Error: \"%s\" is not defined.\n", item->name);
        return -1;
    }
    if (item->category != CAT_SWITCH || p->bitMask == 0) {
        std::fprintf(stderr, "Warning: To reset \"%s\" is not allowed.\n", item->name);
        return -1;
    }

    int32_t result = 0;
    int64_t reading = 0;
    // Only a good reading of 0 spares the clear; a failed reading clears too.
    const bool needsClear = get_item_reading(system, items, itemCount, parameters, parameterCount,
                                             item, &reading) != 0 ||
                            reading != 0;
    if (needsClear) result = clear_latch(system, item, p);

    if (result != 0) {
        std::printf("Failed.\n");
        return result;
    }
    std::printf("Done.\n");
    return reread_status(system, item);
}
