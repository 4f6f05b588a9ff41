// Limits: the parameter register that holds an item's high or low limit,
// read through the item's chip and converted like its readings.
#include <cstdio>

#include "hw/bank_select.h"
#include "items/acquisition.h"
#include "items/acquisition_detail.h"
#include "items/conversions.h"

int32_t get_item_limit(int32_t kind, SystemRecord* system, const char* paraName,
                       ItemRecord* item, ParameterRecord* parameters, int32_t parameterCount,
                       int64_t* value) {
    std::string_view name(paraName, strnlen(paraName, sizeof item->paraIndex1));
    const ParameterRecord* p = acq::find_parameter(name, parameters, parameterCount);
    if (p == nullptr) {
        fputs("Error: Parameter is not found.\n", stderr);
        return -1;
    }
    bool bankCheck = bNeedCheckBankSelectRegister != 0 && hasBankSelectRegister(item) == 1;
    int32_t attempts = 1;
    if (bankCheck) {
        correctBankSelectRegister(kind, 1, system, item, p->offset);
        attempts = 3;
    }
    acq::Acquisition a{system, item, p->offset, p->slave, 0, -1};
    for (int32_t attempt = 1;; ++attempt) {
        acq::acquire_limit(a);
        if (a.status == -1) return -1;

        switch (item->category) {
            case CAT_VOLTAGE:
                a.status = VOLTAGEConvert(item->chipCode, item->volFunc, a.raw, value);
                break;
            case CAT_FAN: {
                // No fallback divisor here: a limit of a chip that needs one
                // and has none fails in the conversion.
                uint32_t divisor = 0;
                get_item_divisor(system, item, parameters, parameterCount, &divisor);
                a.status = FANConvert(a.raw, item->chipCode, divisor, value);
                break;
            }
            case CAT_TEMP:
                a.status = TEMPConvert(a.raw, value);
                break;
            case CAT_SWITCH:
                break;  // a switch's parameter is its mask, not a limit
            default:
                fputs("Error: wrong parameter!\n", stderr);
                break;
        }

        if (!bankCheck) break;
        int32_t rewrote = correctBankSelectRegister(kind, 0, system, item, p->offset);
        if (rewrote != 1 || attempt >= attempts) break;
    }
    return a.status;
}
