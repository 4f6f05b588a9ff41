// The conversion readings and limits share: fan counts, voltage steps and
// temperature bytes into RPM, millivolts and degrees.
#include "items/acquisition.h"
#include "items/acquisition_detail.h"
#include "items/conversions.h"

namespace acq {

bool convert_measurement(Acquisition& a, ParameterRecord* parameters, int32_t parameterCount,
                         uint32_t divisor, int64_t* value) {
    ItemRecord* item = a.item;
    switch (item->category) {
        case CAT_VOLTAGE:
            a.status = VOLTAGEConvert(item->chipCode, item->volFunc, a.raw, value);
            return true;
        case CAT_FAN:
            // Its status is not looked at: a missing divisor shows in the
            // conversion (or not at all on chips with a fixed divisor).
            get_item_divisor(a.system, item, parameters, parameterCount, &divisor);
            a.status = FANConvert(a.raw, item->chipCode, static_cast<int32_t>(divisor), value);
            return true;
        case CAT_TEMP:
            a.status = TEMPConvert(static_cast<int32_t>(a.raw), value);
            return true;
        default:
            return false;
    }
}

}  // namespace acq
