// Whether a reading is normal: the reading against its limits, compared as
// signed 32-bit values (the low halves of the 64-bit fields).
#include "config/nocase.h"
#include "items/acquisition.h"
#include "items/acquisition_detail.h"

int32_t isNormalReading(const ItemDisplay* display) {
    int32_t reading = static_cast<int32_t>(display->reading);
    int32_t high = static_cast<int32_t>(display->highLimit);
    int32_t low = static_cast<int32_t>(display->lowLimit);
    switch (display->category) {
        case CAT_FAN:
            return reading > low;
        case CAT_VOLTAGE:
            return reading < high && reading > low;
        case CAT_TEMP: {
            bool overheat = display->hasThermalText != 0 &&
                            equals_nocase(acq::field(display->thermalText), "Overheat");
            return reading < high && !overheat;
        }
        case CAT_SWITCH:
            return reading < 1;
        default:
            return 0;
    }
}
