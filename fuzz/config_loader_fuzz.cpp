// /etc/Senvis.ini through the loader: any bytes, any number of sections, lines
// of any length. Every text field must come out terminated within its size,
// the parameter array must hold twice the items, and the diagnostic dump must
// print what was loaded without reading past a field.
#include <cstdint>

#include "config/config_state.h"
#include "config/loader.h"
#include "config/paths.h"
#include "config/run_context.h"
#include "fuzz/fuzz_board.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_board();
    put_file(kSenvisIniPath, as_text(data, size));

    SystemRecord* system = nullptr;
    ItemRecord* items = nullptr;
    ParameterRecord* parameters = nullptr;
    int32_t count = loadSenvisINI_and_getItemCount(&system, &items, &parameters);
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(system != nullptr && items != nullptr && parameters != nullptr);

    FUZZ_CHECK(terminated(system->machineName) && terminated(system->mailbox) &&
               terminated(system->mailServer) && terminated(system->outline) &&
               terminated(system->pagerId) && terminated(system->phoneNumber) &&
               terminated(system->serverPort));
    for (int32_t i = 0; i < count; ++i) {
        const ItemRecord& item = items[i];
        FUZZ_CHECK(terminated(item.name) && terminated(item.itemId) &&
                   terminated(item.paraIndex1) && terminated(item.paraIndex2) &&
                   terminated(item.refItemId));
    }
    for (int32_t i = 0; i < 2 * count; ++i) FUZZ_CHECK(terminated(parameters[i].name));

    RunContext* context = setup_run_context(system, items, count, parameters);
    FUZZ_CHECK(context->parameterCount == 2 * count);
    print_conf(system, items, count, parameters, context->parameterCount);

    reset_config_state();
    return 0;
}
