// The diagnostic dump of the loaded configuration. Numbers of the item and
// parameter tables are shown in hex, zero-padded to the column width.
#include <cstdio>

#include "config/loader.h"

void print_conf(const SystemRecord* system, const ItemRecord* items, int32_t itemCount,
                const ParameterRecord* parameters, int32_t parameterCount) {
    std::printf("--- System ---\n");
    std::printf("BusType=%d\n", static_cast<int>(system->busType));
    std::printf("IndexReg=0x%04x\n", system->indexReg);
    std::printf("DataReg=0x%04x\n", system->dataReg);
    std::printf("MAILALERT=%d\n", static_cast<int>(system->mailAlert));
    std::printf("PAGERALERT=%d\n", static_cast<int>(system->pagerAlert));
    std::printf("POLLING=%d\n", static_cast<int>(system->polling));

    std::printf("--- ITEM ---\n");
    std::printf("%28s %16s %4s %4s %3s %5s %6s %8s %8s %16s %5s %7s %7s %6s \n", "Name", "Item_ID",
                "Cat", "ChipCode", "Activate", "Slave", "Offset", "ParaIndex1", "ParaIndex2",
                "Ref_Item_ID", "Vol_Func", "Monitor", "BusType", "Source");
    for (int32_t i = 0; i < itemCount; ++i) {
        const ItemRecord& item = items[i];
        std::printf("%28s %16s %04x %04x %03x %05x %06x %8s %8s %16s %05x %07x %07x %06x \n",
                    item.name, item.itemId, static_cast<unsigned>(item.category),
                    static_cast<unsigned>(item.chipCode), static_cast<unsigned>(item.activate),
                    static_cast<unsigned>(item.slave), static_cast<unsigned>(item.offset),
                    item.paraIndex1, item.paraIndex2, item.refItemId,
                    static_cast<unsigned>(item.volFunc), static_cast<unsigned>(item.monitor),
                    static_cast<unsigned>(item.busType), static_cast<unsigned>(item.source));
    }

    std::printf("\n--- PARAMETER ---\n");
    std::printf("Slave Offset BitMask szKeyName\n");
    for (int32_t i = 0; i < parameterCount; ++i) {
        const ParameterRecord& parameter = parameters[i];
        std::printf("%05x %06x %07x %10s \n", static_cast<unsigned>(parameter.slave),
                    static_cast<unsigned>(parameter.offset),
                    static_cast<unsigned>(parameter.bitMask), parameter.name);
    }
    std::printf("\n");
}
