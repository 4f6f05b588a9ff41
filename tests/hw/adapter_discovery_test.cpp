// SMBus adapter discovery on virtual boards: the device-node check and the
// adapter list read from /proc/bus/i2c or sysfs. Which drivers the PCI
// devices call for and which modprobe commands run are end-to-end cases
// (hw-discovery-*).
#include "hw/adapter_discovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/hw_state.h"
#include "support/sandbox.h"

namespace {

using testing::UnorderedElementsAre;

using AdapterDiscoveryTest = HwTest;

// A host bridge that no driver row names, so that /proc/bus/pci/devices exists.
constexpr const char* kHostBridge =
    R"("pci": [{"bus": 0, "device": 0, "function": 0, "id": "0x29C08086"}])";

// One adapter entry as "number|type|name|algorithm".
std::vector<std::string> buses() {
    std::vector<std::string> list;
    for (int32_t i = 0; i < counter_i2c_bus_list; ++i) {
        const I2cBusEntry& e = i2c_bus_list[i];
        list.push_back(std::string(e.busNumber) + "|" + e.type + "|" + e.adapterName + "|" +
                       e.algorithmName);
    }
    return list;
}

// sysfs: the class device's name, the adapter device's, or its i2c-N
// child's; the ISA adapter and entries without a name or number are left out.
TEST_F(AdapterDiscoveryTest, SysfsListing) {
    Sandbox sb(std::string("{") + kHostBridge + R"(,
      "smbus": [{"bus": 0, "name": "unlisted", "listing": "none"},
                {"bus": 3, "name": "SMBus I801 adapter at 1100", "listing": "sysfs"},
                {"bus": 4, "name": "ISA main adapter", "listing": "sysfs"}],
      "modules": ["i2c_dev"],
      "files": {"/sys/class/i2c-dev/i2c-6/device/i2c-6/name": "SMBus PIIX4 adapter at 0b00\n",
                "/sys/class/i2c-dev/i2c-6/device/power": "",
                "/sys/class/i2c-dev/i2c-7/device/name": "SMBus nForce2 adapter at 4c00",
                "/sys/class/i2c-dev/i2c-8/device/other": "",
                "/sys/class/i2c-dev/bus9/name": "SMBus I801 adapter at 2000\n"}
    })");
    EXPECT_EQ(i2cdetect(), 0);
    EXPECT_THAT(buses(), UnorderedElementsAre(
                             "3|unknown|SMBus I801 adapter at 1100|Algorithm unavailable",
                             "6|unknown|SMBus PIIX4 adapter at 0b00|Algorithm unavailable",
                             "7|unknown|SMBus nForce2 adapter at 4c00|Algorithm unavailable"));
}

// No sysfs mount, sysfs without the i2c-dev class: no adapters. Of a longer
// /proc/bus/i2c, the first ten adapter lines are kept.
TEST_F(AdapterDiscoveryTest, ListingEdges) {
    Sandbox sb(std::string("{") + kHostBridge +
               R"(, "smbus": [{"bus": 0, "name": "x", "listing": "none"}]})");
    EXPECT_EQ(i2cdetect(), 0);
    EXPECT_EQ(counter_i2c_bus_list, 0);
    sb.write_file("/proc/mounts", "sysfs /sys sysfs rw 0 0\n");
    EXPECT_EQ(init_i2c_bus_list(), 0);

    std::string text = "not an adapter\n";
    for (int i = 0; i < 12; ++i) text += "i2c-" + std::to_string(i) + "\tsmbus\tAdapter\tAlgo\n";
    sb.write_file("/proc/bus/i2c", text);
    EXPECT_EQ(init_i2c_bus_list(), 10);
    EXPECT_EQ(buses().back(), "9|smbus|Adapter|Algo");
}

TEST_F(AdapterDiscoveryTest, DeviceNodePrefix) {
    for (const auto& [files, prefix] :
         {std::pair{R"({"/dev/i2c-0": "", "/dev/i2c/0": "", "/dev/i2c0": ""})", "/dev/i2c-"},
          {R"({"/dev/i2c/0": "", "/dev/i2c0": ""})", "/dev/i2c/"},
          {R"({"/dev/i2c0": ""})", "/dev/i2c"}}) {
        reset_hw_state();
        Sandbox sb(std::string("{") + kHostBridge + R"(, "modules": ["i2c_dev"], "files": )" +
                   files + "}");
        EXPECT_EQ(i2cdetect(), 0);
        EXPECT_STREQ(dev_i2c, prefix) << files;
    }
}

// Discovery failures (no PCI list, no device node, no /proc/modules) are pinned
// by the e2e cases first-run-smbus-discovery-failure-removes-the-generated-file,
// fault-i2c-node-missing-ends-the-run and fault-proc-modules-missing-ends-the-run.
TEST_F(AdapterDiscoveryTest, PciListReadAfterTheCountFailsWithBothMessages) {
    Sandbox sb;
    OutputCapture output;
    EXPECT_EQ(init_proc_pci(), -1);
    EXPECT_EQ(output.err(),
              "Error: cannot open file /proc/bus/pci/devices\n"
              "Error: cannot access either /proc/bus/pci/ or /proc/pci!\n");
}

}  // namespace
