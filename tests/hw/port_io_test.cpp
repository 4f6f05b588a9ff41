// Port access at start-up and the PCI scan for the SMBus host controller:
// what io_open returns and prints, and the configuration cycles and
// permission calls the board saw. A board on the index/data ports alone:
// e2e hw-legacy-board-isa-ports-superio-gpio-and-south-bridge-gpio.
#include "hw/port_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/hw_state.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

using PortIo = HwTest;

SystemRecord system_with(uint32_t busType) {
    SystemRecord system;
    initSystemSection(&system);
    system.busType = busType;
    system.indexReg = 0x295;
    system.dataReg = 0x296;
    return system;
}

// A board with PCI functions "bus device function id register value".
std::string board(const std::vector<std::string>& functions, int uid = 0) {
    std::string pci;
    for (const std::string& f : functions) {
        char b[8], d[8], fn[8], id[16], reg[8], value[16];
        std::sscanf(f.c_str(), "%7s %7s %7s %15s %7s %15s", b, d, fn, id, reg, value);
        pci += std::string(pci.empty() ? "" : ", ") + R"({"bus": )" + b + R"(, "device": )" + d +
               R"(, "function": )" + fn + R"(, "id": ")" + id + R"(", "config": {")" + reg +
               R"(": ")" + value + R"("}})";
    }
    return R"({"uid": )" + std::to_string(uid) + R"(, "pci": [)" + pci + "]}";
}

// The scan goes bus 0-1, device 0-31, function 0-7 (function fastest) and
// stops at the first listed controller.
TEST_F(PortIo, FirstControllerInScanOrderGivesTheBase) {
    struct ScanCase {
        uint32_t busType;
        std::vector<std::string> functions;
        uint32_t base;
        uint8_t intel;
        const char* baseCycle;  // CONFIG_ADDRESS of the base register read
    };
    const ScanCase cases[] = {
        {BUS_SMBUS, {"0 31 3 0x3A308086 0x20 0x0000F001"}, 0xF000, 1, "0x8000fb20"},
        {BUS_SMBUS,
         {"0 31 3 0x3A308086 0x20 0x1101", "0 20 0 0x43851002 0x90 0x0B01"},
         0x0B00,
         0,
         "0x8000a090"},
        {BUS_SMBUS_OTHER,
         {"0 10 2 0x036810DE 0x24 0x4C01", "0 10 1 0x005210DE 0x24 0x4D01"},
         0x4D00,
         0,
         "0x80005124"},
        {BUS_SMBUS,
         {"1 0 0 0x02011166 0x90 0x0601", "0 31 7 0x746A1022 0x10 0xFFFF0701"},
         0xFFFF0700,
         0,
         "0x8000ff10"},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.baseCycle);
        reset_hw_state();
        Sandbox sb(board(c.functions));
        SystemRecord system = system_with(c.busType);
        EXPECT_EQ(0, io_open(&system));
        EXPECT_EQ(c.base, SMB_BASE_IO_ADDR);
        EXPECT_EQ(c.intel, IntelDevice);
        // The scan's iopl first; the base read is the last cycle, then io_open's
        // own iopl (these bus types name no ISA ports).
        const std::vector<std::string>& trace = sb.trace();
        ASSERT_GE(trace.size(), 4u);
        EXPECT_EQ("iopl 3 -> 0", trace.front());
        EXPECT_THAT(
            std::vector<std::string>(trace.end() - 3, trace.end()),
            ElementsAre(std::string("outl 0xcf8 ") + c.baseCycle, testing::_, "iopl 3 -> 0"));
    }
}

TEST_F(PortIo, NoControllerEndsIoOpenSilentlyAfterTheFullScan) {
    // An SMBus function that is not in the table is passed over.
    Sandbox sb(board({"1 31 3 0x3A318086 0x20 0x1101"}));
    SystemRecord system = system_with(BUS_SMBUS | BUS_ISA);
    OutputCapture output;
    EXPECT_EQ(-1, io_open(&system));
    EXPECT_EQ("", output.err() + output.out());
    // Only the scan's iopl: no ioperm, no second iopl.
    std::vector<std::string> expected = {"iopl 3 -> 0"};
    char line[40];
    for (uint32_t address = 0x80000000; address < 0x80020000; address += 0x100) {
        std::snprintf(line, sizeof line, "outl 0xcf8 0x%08x", address);
        expected.push_back(line);
        expected.push_back(address == 0x8001fb00 ? "inl 0xcfc -> 0x3a318086"
                                                 : "inl 0xcfc -> 0xffffffff");
    }
    EXPECT_EQ(expected, sb.trace());
    uint32_t base = 0x1234;
    EXPECT_EQ(0, scan_device(&base));
    EXPECT_EQ(0x1234u, base);  // left alone when nothing matches
}

TEST_F(PortIo, RefusedPermissionReportsEachStepAndGoesOn) {
    Sandbox sb(board({}, 1000));
    SystemRecord system = system_with(BUS_ISA);
    OutputCapture output;
    EXPECT_EQ(-1, io_open(&system));
    EXPECT_EQ(
        "Error: Could not iopl()!\n"
        "Error: Could not ioperm() Index Register!\n"
        "Error: Could not ioperm() Data Register!\n",
        output.err());
    EXPECT_THAT(sb.trace(),
                ElementsAre("iopl 3 -> -1", "ioperm 0x295 1 1 -> -1", "ioperm 0x296 1 1 -> -1"));
}

}  // namespace
