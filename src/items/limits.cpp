// Limits: the parameter register that holds an item's high or low limit,
// read through the item's chip and converted like its readings.
#include <cstdio>

#include "items/acquisition.h"
#include "items/acquisition_detail.h"

int32_t get_item_limit(int32_t kind, SystemRecord* system, const char* paraName,
                       ItemRecord* item, ParameterRecord* parameters, int32_t parameterCount,
                       int64_t* value) {
    std::string_view name(paraName, strnlen(paraName, sizeof item->paraIndex1));
    const ParameterRecord* p = acq::find_parameter(name, parameters, parameterCount);
    if (p == nullptr) {
        fputs("Error: Parameter is not found.\n", stderr);
        return -1;
    }
    if (!acq::offset_addressable(p->offset)) return -1;
    acq::Acquisition a{system, item, p->offset, p->slave, 0, -1};
    acq::with_bank_check(kind, system, item, p->offset, [&] {
        acq::acquire_limit(a);
        if (a.status == -1) return false;
        // A switch's parameter is its mask, not a limit: nothing converted.
        if (!acq::convert_measurement(a, parameters, parameterCount, 0, value) &&
            item->category != CAT_SWITCH)
            fputs("Error: wrong parameter!\n", stderr);
        return true;
    });
    return a.status;
}
