#include "app/item_displays.h"

#include "common/fixed_text.h"
#include "items/acquisition.h"
#include "items/thermal_text.h"

namespace {

// Chip code 27 items are status-only switches: the first reading is left to
// the report, which reads every monitored item itself.
constexpr int32_t kStatusOnlyChip = 27;

// The records live until the process ends; this keeps them reachable.
ItemDisplay* built_displays = nullptr;

// The fields are filled in this order because each query touches the chip:
// divisor, reading, high limit, low limit, scale, thermal text.
void build_one(ItemDisplay* disp, SystemRecord* system, ItemRecord* items, int32_t itemCount,
               ParameterRecord* parameters, int32_t parameterCount, ItemRecord* item) {
    // A name longer than the display field is cut to its 39 characters.
    copy_text(disp->name, item->name);
    disp->monitor = item->monitor;
    disp->category = item->category;

    disp->divisor = 0;
    if (item->category == CAT_FAN) {
        uint32_t divisor = 0;
        if (get_item_divisor(system, item, parameters, parameterCount, &divisor) == 0)
            disp->divisor = divisor;
    }

    disp->reading = 0;
    if (item->chipCode != kStatusOnlyChip) {
        int64_t value = 0;
        if (get_item_reading(system, items, itemCount, parameters, parameterCount, item, &value) ==
            0)
            disp->reading = value;
    }

    disp->highLimit = 0;
    if (item->category == CAT_VOLTAGE || item->category == CAT_TEMP) {
        int64_t value = 0;
        if (get_item_limit(kLimitHigh, system, item->paraIndex1, item, parameters, parameterCount,
                           &value) == 0)
            disp->highLimit = value;
    }

    disp->lowLimit = 0;
    if (item->category == CAT_FAN || item->category == CAT_VOLTAGE) {
        int64_t value = 0;
        if (get_item_limit(kLimitLow, system, item->paraIndex2, item, parameters, parameterCount,
                           &value) == 0)
            disp->lowLimit = value;
    }

    disp->maxReading = 0;
    disp->minReading = 0;
    get_item_max_reading(system, item, parameters, parameterCount, &disp->maxReading);
    get_item_min_reading(system, item, parameters, parameterCount, &disp->minReading);

    disp->thermalText[0] = '\0';
    disp->hasThermalText = supportThermalText(system, item);
    if (disp->hasThermalText != 0) getThermalText(system, item, disp->thermalText);

    disp->chipCode = item->chipCode;
}

}  // namespace

ItemDisplay* createItemDisps(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                             ParameterRecord* parameters, int32_t parameterCount) {
    int32_t count = itemCount > 0 ? itemCount : 0;
    built_displays = new ItemDisplay[count]();
    for (int32_t i = 0; i < count; ++i)
        build_one(&built_displays[i], system, items, itemCount, parameters, parameterCount,
                  &items[i]);
    return built_displays;
}

void refresh_thermal_text(ItemDisplay* disp, SystemRecord* system, ItemRecord* item) {
    char fresh[sizeof disp->thermalText];
    copy_text(fresh, disp->thermalText);
    if (getThermalText(system, item, fresh) == 0) copy_text(disp->thermalText, fresh);
}

void release_item_displays() {
    delete[] built_displays;
    built_displays = nullptr;
}
