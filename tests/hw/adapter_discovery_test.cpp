// SMBus adapter discovery on virtual boards: which drivers the PCI devices
// call for, which modprobe commands run, the device-node check, and the
// adapter list read from /proc/bus/i2c or sysfs.
#include "hw/adapter_discovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/sandbox.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::UnorderedElementsAre;

class AdapterDiscoveryTest : public testing::Test {
protected:
    void SetUp() override { reset_adapter_discovery_state(); }
    void TearDown() override { reset_adapter_discovery_state(); }
};

// A host bridge that no driver row names, so that /proc/bus/pci/devices exists.
constexpr const char* kHostBridge =
    R"("pci": [{"bus": 0, "device": 0, "function": 0, "id": "0x29C08086"}])";

// An ICH10 (8086:3A30, SMBus at function 3 of device 31) with its adapter
// listed in /proc/bus/i2c.
std::string ich10_board(const std::string& modules) {
    return R"({"pci": [{"bus": 0, "device": 31, "function": 3, "id": "0x3A308086"}],
               "smbus": [{"bus": 0, "name": "SMBus I801 adapter at 1100"}], "modules": )" +
           modules + "}";
}

std::vector<std::string> modprobes(const Sandbox& sb) {
    std::vector<std::string> found;
    for (const std::string& line : sb.trace())
        if (line.rfind("system ", 0) == 0) found.push_back(line);
    return found;
}

std::string modprobe(const std::string& module) {
    return "system modprobe " + module + " 2>/dev/null -> 0";
}

std::vector<std::string> drivers() {
    std::vector<std::string> names;
    for (int32_t i = 0; i < counter_driver_list; ++i)
        names.push_back(std::string(driver_list[i].driver) + "/" + driver_list[i].driverUnderscore);
    return names;
}

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

// Modules already loaded, in either spelling, are not loaded again. The
// kernel pads adapter name and algorithm to 32 columns; the blanks stay.
TEST_F(AdapterDiscoveryTest, ModulesLoadedInEitherSpellingAreNotLoadedAgain) {
    struct Row {
        const char* modules;
        std::vector<std::string> commands;
    };
    const Row rows[] = {
        {R"(["i2c_i801"])", {modprobe("i2c-dev")}},
        {R"(["i2c-i801", "i2c-dev"])", {}},
        {R"(["i2c_dev"])", {modprobe("i2c-i801")}},
        {R"(["I2C_I801", "i2c_i8011", "i2c"])", {modprobe("i2c-i801"), modprobe("i2c-dev")}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.modules);
        reset_adapter_discovery_state();
        Sandbox sb(ich10_board(row.modules));
        EXPECT_EQ(i2cdetect(), 0);
        EXPECT_THAT(modprobes(sb), ElementsAreArray(row.commands));
        EXPECT_THAT(buses(), ElementsAre("0|smbus|SMBus I801 adapter at 1100      |"
                                         "Non-I2C SMBus adapter           "));
    }
}

// Vendor, device and function must all match; devices in PCI order (bus,
// device, function), each with every row it matches.
TEST_F(AdapterDiscoveryTest, PciDevicesChooseDrivers) {
    struct Row {
        const char* pci;
        std::vector<std::string> modules;
    };
    // clang-format off
    const Row rows[] = {
        {R"({"bus": 0, "device": 31, "function": 0, "id": "0x3A308086"})", {}},
        {R"({"bus": 1, "device": 1, "function": 2, "id": "0x746A1022"})",
         {"i2c-amd8111/i2c_amd8111"}},
        {R"({"bus": 0, "device": 15, "function": 0, "id": "0x02011166"},
            {"bus": 0, "device": 10, "function": 1, "id": "0x036810DE"},
            {"bus": 0, "device": 2, "function": 0, "id": "0x12348086"})",
         {"i2c-nforce2/i2c_nforce2", "i2c-piix4/i2c_piix4"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pci);
        reset_adapter_discovery_state();
        Sandbox sb(std::string(R"({"smbus": [{"bus": 0, "name": "x"}], "modules": ["i2c_dev"],
                                   "pci": [)") +
                   row.pci + "]}");
        EXPECT_EQ(i2cdetect(), 0);
        EXPECT_THAT(drivers(), ElementsAreArray(row.modules));
        std::vector<std::string> commands;
        for (const std::string& pair : row.modules)
            commands.push_back(modprobe(pair.substr(0, pair.find('/'))));
        EXPECT_THAT(modprobes(sb), ElementsAreArray(commands));
    }
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
        reset_adapter_discovery_state();
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

TEST(AdapterTable, IsSoundAndTheCheckCatchesABrokenRow) {
    std::span<const PciAdapter> table(pci_adapters);
    EXPECT_EQ(check_pci_adapter_table(table), nullptr);
    std::vector<PciAdapter> spelling(table.begin(), table.end());
    spelling[0].driverUnderscore = "i2c_i810";
    EXPECT_NE(check_pci_adapter_table(spelling), nullptr);
}

}  // namespace
