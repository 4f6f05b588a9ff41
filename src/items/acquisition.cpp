// Readings: one acquisition with its conversion, the bank check around it,
// the reference item of a switch, and the retries while a value lies outside
// its limits.
#include "items/acquisition.h"

#include <cstdio>

#include "common/fixed_text.h"
#include "items/acquisition_detail.h"
#include "items/conversions.h"

namespace {

// The switch items whose reading is under way, outermost first: a reference
// to one of them, or one level deeper than kMaxReferenceDepth, is refused.
const ItemRecord* g_referenceChain[kMaxReferenceDepth];
int32_t g_referenceDepth = 0;

class ReferenceLink {
public:
    explicit ReferenceLink(const ItemRecord* item) { g_referenceChain[g_referenceDepth++] = item; }
    ~ReferenceLink() { --g_referenceDepth; }
    ReferenceLink(const ReferenceLink&) = delete;
    ReferenceLink& operator=(const ReferenceLink&) = delete;
};

bool reference_refused(const ItemRecord* target) {
    if (g_referenceDepth >= kMaxReferenceDepth) return true;
    for (int32_t i = 0; i < g_referenceDepth; ++i)
        if (g_referenceChain[i] == target) return true;
    return false;
}

// The reading a switch is judged with: 1 without a reference item, else the
// referenced item's reading (0 when it is unknown or refused).
int64_t reference_reading(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                          ParameterRecord* parameters, int32_t parameterCount,
                          const ItemRecord* item) {
    std::string_view refId = acq::field(item->refItemId);
    if (refId.empty()) return 1;
    for (int32_t i = 0; i < itemCount; ++i) {
        ItemRecord* target = &items[i];
        if (!equals_nocase(acq::field(target->itemId), refId)) continue;
        if (target == item || reference_refused(target)) {
            fprintf(stderr,
                    "Error: Ref_Item_ID '%.*s' is not followed: the references loop or nest "
                    "too deeply.\n",
                    static_cast<int>(refId.size()), refId.data());
            return 0;
        }
        ReferenceLink link(item);
        int64_t value = 0;
        get_item_reading(system, items, itemCount, parameters, parameterCount, target, &value);
        return value;
    }
    fprintf(stderr, "Error: Unknown Ref_Item_ID '%.*s'.\n", static_cast<int>(refId.size()),
            refId.data());
    return 0;
}

}  // namespace

int32_t get_item_readingImpl(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                             ParameterRecord* parameters, int32_t parameterCount,
                             ItemRecord* item, int64_t* value) {
    if (!acq::offset_addressable(item->offset)) return -1;
    acq::Acquisition a{system, item, item->offset, item->slave, 0, -1};
    acq::with_bank_check(kBankKindReading, system, item, item->offset, [&] {
        acq::acquire_reading(a);
        if (a.status == -1) return false;
        if (acq::convert_measurement(a, parameters, parameterCount, 1, value)) {
            // 127: no sensor on this input (readings only; a limit keeps it).
            if (item->category == CAT_TEMP && a.raw == 0x7F) *value = 0;
        } else if (item->category == CAT_SWITCH) {
            uint32_t mask = get_item_bitmask(item->paraIndex1, parameters, parameterCount);
            int64_t ref =
                reference_reading(system, items, itemCount, parameters, parameterCount, item);
            a.status = SWITCHConvert(static_cast<int32_t>(a.raw), static_cast<int32_t>(mask),
                                     value, item->activate, item->chipCode, ref);
        } else {
            fputs("Error: unknown parameter!\n", stderr);
            a.status = -1;
        }
        return true;
    });
    return a.status;
}

int32_t get_item_reading(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                         ParameterRecord* parameters, int32_t parameterCount, ItemRecord* item,
                         int64_t* value) {
    int64_t high = 0, low = 0, reading = 0;
    int32_t status = -1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        get_item_limit(kLimitHigh, system, item->paraIndex1, item, parameters, parameterCount,
                       &high);
        get_item_limit(kLimitLow, system, item->paraIndex2, item, parameters, parameterCount,
                       &low);
        status = get_item_readingImpl(system, items, itemCount, parameters, parameterCount, item,
                                      &reading);
        ItemDisplay shown{};
        copy_text(shown.name, acq::field(item->name));
        shown.category = item->category;
        shown.reading = reading;
        shown.highLimit = high;
        shown.lowLimit = low;
        if (isNormalReading(&shown)) break;
    }
    // A failed last acquisition leaves the caller's value as it was.
    if (status != -1) *value = reading;
    return status;
}

void reset_acquisition_state() { g_referenceDepth = 0; }
