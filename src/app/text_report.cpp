#include "app/text_report.h"

#include <cstdio>
#include <ctime>

#include "app/item_displays.h"
#include "common/fixed_text.h"
#include "items/acquisition.h"
#include "sys/sys.h"

namespace {

constexpr int32_t kStatusOnlyChip = 27;
// Room for any cell, up to two numbers with a slash ("%ld/%ld").
constexpr size_t kCellBuffer = 48;

struct Cells {
    char high[kCellBuffer] = {};
    char low[kCellBuffer] = {};
    char status[kCellBuffer] = {};
};

// Values are 32-bit numbers kept in the low half of the 64-bit fields (a
// temperature of -1 is stored as 0xFFFFFFFF); every cell reads them so, as
// isNormalReading does.
int32_t low32(int64_t value) {
    return static_cast<int32_t>(value);
}

// Millivolts as volts: the quotient goes through single precision, so the
// digits are those of the float (1.005 V prints 1.00, not 1.01).
void volts(char (&cell)[kCellBuffer], int64_t millivolts) {
    float quotient = static_cast<float>(static_cast<double>(low32(millivolts)) / 1000);
    std::snprintf(cell, sizeof cell, "%.2f", static_cast<double>(quotient));
}

// "C/F", the Fahrenheit value with a division that truncates toward zero.
void degrees(char (&cell)[kCellBuffer], int64_t stored) {
    long celsius = low32(stored);
    std::snprintf(cell, sizeof cell, "%ld/%ld", celsius, (9 * celsius) / 5 + 32);
}

void integer(char (&cell)[kCellBuffer], int64_t value) {
    std::snprintf(cell, sizeof cell, "%ld", static_cast<long>(low32(value)));
}

const char* switch_state(int64_t state) {
    switch (state) {
        case 0: return "Good";
        case 1: return "Bad";
        case 2: return "N/A";
        default: return "";
    }
}

Cells fill_cells(ItemDisplay* disp, bool good, SystemRecord* system, ItemRecord* item) {
    Cells cells;
    switch (disp->category) {
        case CAT_VOLTAGE:
            volts(cells.high, disp->highLimit);
            volts(cells.low, disp->lowLimit);
            if (good) volts(cells.status, disp->reading);
            break;
        case CAT_FAN:
            integer(cells.low, disp->lowLimit);
            if (good) integer(cells.status, disp->reading);
            break;
        case CAT_TEMP:
            degrees(cells.high, disp->highLimit);
            if (good && disp->hasThermalText != 0) {
                refresh_thermal_text(disp, system, item);
                copy_text(cells.status, disp->thermalText);
            } else if (good) {
                degrees(cells.status, disp->reading);
            }
            break;
        case CAT_SWITCH:
            if (good && disp->chipCode == kStatusOnlyChip)
                copy_text(cells.status, disp->reading == 1 ? "Overheat" : "Normal");
            else if (good)
                copy_text(cells.status, switch_state(disp->reading));
            break;
        default:
            copy_text(cells.high, "unknown");
            copy_text(cells.low, "unknown");
            copy_text(cells.status, "unknown");
            return cells;
    }
    if (!good) copy_text(cells.status, "N/A");
    return cells;
}

}  // namespace

void text_build_Items(ItemDisplay* disps, SystemRecord* system, ItemRecord* items,
                      int32_t itemCount, ParameterRecord* parameters, int32_t parameterCount) {
    std::printf("%-25s %10s %10s %10s \n", "Monitored Item", "High Limit", "Low Limit", "Status");
    std::printf("----------------------------------------------------------------------\n");
    for (int32_t i = 0; i < itemCount; ++i) {
        ItemDisplay* disp = &disps[i];
        ItemRecord* item = &items[i];
        if (disp->monitor != 1) continue;

        int64_t value = 0;
        bool good = get_item_reading(system, items, itemCount, parameters, parameterCount, item,
                                     &value) == 0;
        if (good) disp->reading = value;

        Cells cells = fill_cells(disp, good, system, item);
        char warning[kCellBuffer];
        std::snprintf(warning, sizeof warning, "%8s",
                      good && isNormalReading(disp) ? "" : "Warning!");
        std::printf("%-25s %10s %10s %10s %10s\n", disp->name, cells.high, cells.low,
                    cells.status, warning);
    }
    time_t now = sys().time(nullptr);
    const char* stamp = std::ctime(&now);
    std::printf("--------------------------------------------- %s", stamp != nullptr ? stamp : "\n");
}

void run_text_reports(ItemDisplay* disps, const RunContext& ctx, long interval,
                      int32_t rounds) {
    for (int32_t done = 1;; ++done) {
        text_build_Items(disps, ctx.system, ctx.items, ctx.itemCount, ctx.parameters,
                         ctx.parameterCount);
        if (interval < 1 || (rounds > 0 && done >= rounds)) return;
        std::fflush(stdout);  // a report must be readable before the pause
        sys().sleep(static_cast<unsigned>(interval));
    }
}
