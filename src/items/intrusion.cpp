#include "items/intrusion.h"

// No clear method is built in yet, so nothing is reset.
int32_t reset_Intrusion(SystemRecord*, ItemRecord*, int32_t, ParameterRecord*, int32_t,
                        ItemRecord*) {
    return -1;
}
