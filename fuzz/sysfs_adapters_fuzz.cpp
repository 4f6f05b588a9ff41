// Adapter discovery through sysfs (kernels without /proc/bus/i2c): the input
// gives /proc/mounts and the three places an adapter's name file may be, as
// parts separated by "----" lines. Every listed adapter must be no ISA
// pseudo-adapter, carry one line of name at most, and fit its fields.
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_board.h"
#include "hw/adapter_discovery.h"

namespace {

constexpr const char* kNameFiles[] = {
    "/sys/class/i2c-dev/i2c-0/name",                 // the class device's own
    "/sys/class/i2c-dev/i2c-1/device/name",          // the adapter device's
    "/sys/class/i2c-dev/i2c-12/device/i2c-12/name",  // its i2c-N child's
};

void prepare_board() {
    remove_path("/proc/bus/i2c");
    // Entries that list nothing: no name file, and a name that is no bus.
    put_file("/sys/class/i2c-dev/i2c-3/device/other", "");
    put_file("/sys/class/i2c-dev/not-a-bus/name", "SMBus I801 adapter at 0400\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool prepared = (fuzz_board(), prepare_board(), true);
    (void)prepared;
    auto parts = split_parts(as_text(data, size), 4);
    put_file("/proc/mounts", parts[0]);
    for (size_t i = 0; i < 3; ++i) put_file(kNameFiles[i], parts[i + 1]);

    int32_t count = print_i2c_busses(1);
    FUZZ_CHECK(count == counter_i2c_bus_list);
    FUZZ_CHECK(count >= 0 && count <= 3);
    for (int32_t i = 0; i < count; ++i) {
        const I2cBusEntry& bus = i2c_bus_list[i];
        FUZZ_CHECK(terminated(bus.busNumber) && terminated(bus.type) &&
                   terminated(bus.adapterName) && terminated(bus.algorithmName));
        FUZZ_CHECK(std::strcmp(bus.type, "unknown") == 0);
        FUZZ_CHECK(std::strncmp(bus.adapterName, "ISA ", 4) != 0);
        FUZZ_CHECK(std::strchr(bus.adapterName, '\n') == nullptr);
        FUZZ_CHECK(std::strcmp(bus.busNumber, "0") == 0 || std::strcmp(bus.busNumber, "1") == 0 ||
                   std::strcmp(bus.busNumber, "12") == 0);
    }

    reset_adapter_discovery_state();
    return 0;
}
