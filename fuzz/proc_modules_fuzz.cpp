// /proc/modules: any listing. The loaded-module list keeps at most its
// capacity, and each name is one word, terminated within its field.
#include <cctype>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_board.h"
#include "hw/adapter_discovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_board();
    put_file("/proc/modules", as_text(data, size));

    FUZZ_CHECK(init_modules_list() == 0);
    FUZZ_CHECK(counter_modules_list >= 0 && counter_modules_list <= kMaxModules);
    for (int32_t i = 0; i < counter_modules_list; ++i) {
        FUZZ_CHECK(terminated(modules_list[i]));
        size_t length = std::strlen(modules_list[i]);
        FUZZ_CHECK(length > 0);
        for (size_t k = 0; k < length; ++k)
            FUZZ_CHECK(!std::isspace(static_cast<unsigned char>(modules_list[i][k])));
    }

    reset_adapter_discovery_state();
    return 0;
}
