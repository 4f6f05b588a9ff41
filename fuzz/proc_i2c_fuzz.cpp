// /proc/bus/i2c (the 2.4 kernels' adapter listing): any text. The bus list
// keeps at most its capacity and every field ends within its size.
#include <cstdint>

#include "fuzz/fuzz_board.h"
#include "hw/adapter_discovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_board();
    put_file("/proc/bus/i2c", as_text(data, size));

    int32_t count = print_i2c_busses(1);
    FUZZ_CHECK(count == counter_i2c_bus_list);
    FUZZ_CHECK(count >= 0 && count <= kMaxI2cBuses);
    for (int32_t i = 0; i < count; ++i) {
        const I2cBusEntry& bus = i2c_bus_list[i];
        FUZZ_CHECK(terminated(bus.busNumber) && terminated(bus.type) &&
                   terminated(bus.adapterName) && terminated(bus.algorithmName));
    }
    // Counting only (record 0) sees the adapters the full list had to drop.
    int32_t counted = print_i2c_busses(0);
    FUZZ_CHECK(count < kMaxI2cBuses ? counted == count : counted >= count);

    reset_adapter_discovery_state();
    return 0;
}
