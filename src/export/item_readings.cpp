#include "export/item_readings.h"

#include <chrono>
#include <set>

#include "app/item_displays.h"
#include "items/acquisition.h"

ItemReadings::ItemReadings(const MonitorStart& start, ItemDisplay* displays,
                           std::vector<std::string>* warnings)
    : context_(start.context), board_(start.board) {
    std::set<std::string> names;
    for (int32_t i = 0; i < context_->itemCount; ++i) {
        if (displays[i].monitor != 1) continue;
        ItemRecord* item = &context_->items[i];
        if (!names.insert(item->name).second) {
            warnings->push_back(std::string("item \"") + item->name +
                                "\" repeats an earlier item's name and is not exported");
            continue;
        }
        items_.push_back({item, &displays[i]});
    }
}

void ItemReadings::read_all() {
    // The exporter's own time, also on a virtual board with a virtual clock:
    // Prometheus compares it with its own.
    auto started = std::chrono::steady_clock::now();
    RunContext& ctx = *context_;
    for (ExportedItem& exported : items_) {
        int64_t value = 0;
        exported.read_ok = get_item_reading(ctx.system, ctx.items, ctx.itemCount, ctx.parameters,
                                            ctx.parameterCount, exported.item, &value) == 0;
        ItemDisplay* disp = exported.display;
        if (exported.read_ok)
            disp->reading = value;
        else
            ++exported.failures;
        if (disp->hasThermalText != 0) refresh_thermal_text(disp, ctx.system, exported.item);
        exported.normal = exported.read_ok && isNormalReading(disp) != 0;
    }
    duration_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    finished_ =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}
