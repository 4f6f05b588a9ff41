// Chassis-intrusion reset on virtual boards: each clear method's register
// sequence, and reset_Intrusion's checks, dispatch, verdict and status re-read.
#include "items/intrusion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fixed_text.h"
#include "hw/adapter_discovery.h"
#include "hw/bmc_commands.h"
#include "hw/ipmi_imb.h"
#include "hw/ipmi_openipmi.h"
#include "hw/isa_access.h"
#include "hw/port_io.h"
#include "hw/smbus.h"
#include "items/acquisition.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAreArray;
using testing::IsEmpty;

void reset_all() {
    reset_smbus_state();
    reset_adapter_discovery_state();
    reset_port_io_state();
    reset_ipmi_imb_state();
    reset_ipmi_openipmi_state();
    reset_bmc_commands_state();
    reset_acquisition_state();
}

class Intrusion : public testing::Test {
protected:
    void SetUp() override { reset_all(); }
    void TearDown() override { reset_all(); }
};

// A W83627-style monitor at 0x295/0x296 (bank select 0x4E, holding 0x80),
// a Super I/O at 0x2E/0x2F, an NS87427 block at 0x800 and an SMBus adapter at
// 0x1100 with a chip at 0x2D whose bank select register is 0xFF. `extra`
// adds top-level members (leading comma included).
std::string board(const std::string& isaBank1 = "", const std::string& sioId = "0x52, 0x41",
                  const std::string& chip2d = "", const std::string& extra = "") {
    const std::string id_high = sioId.substr(0, 4), id_low = sioId.substr(6, 4);
    return R"({"clock": {"virtual": true},
      "ports": {
        "0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E",
                  "registers": {"0x4E": "0x80"}, "banks": {"1": {)" +
           isaBank1 + R"(}}}},
        "0x2E": {"superio": {"data": "0x2F", "entry": ["0x87", "0x87"], "exit": "0xAA",
                 "registers": {"0x20": ")" +
           id_high + R"(", "0x21": ")" + id_low + R"("},
                 "devices": {"0x0A": {"0xE6": "0x0D"}}}},
        "0x800": {"bytes": "00 00 00 00 00 00 00 00 00 00 00 00 05 00 00 00"},
        "0x1100": {"bytes": "00"}},
      "smbus": [{"bus": 0, "name": "SMBus I801 adapter at 1100", "devices": [
        {"address": "0x2D", "bank_register": "0xFF", "registers": {)" +
           chip2d + R"(}}]}])" + extra + "}";
}

// Port access granted and the SMBus controller known, as after io_open.
void start(Sandbox& sb) {
    sys().iopl(3);
    SMB_BASE_IO_ADDR = 0x1100;
    IntelDevice = 0;
    ASSERT_EQ(1, init_i2c_bus_list());
    sb.clear_trace();
}

// The trace with the descriptor of the i2c-dev open replaced by "fd".
std::vector<std::string> trace_of(const Sandbox& sb) {
    std::vector<std::string> lines;
    for (std::string line : sb.trace()) {
        if (line.rfind("open /dev/i2c", 0) == 0)
            line = line.substr(0, line.rfind(" -> ")) + " -> fd";
        lines.push_back(line);
    }
    return lines;
}

// The last `n` trace lines (what follows the item's own reading).
std::vector<std::string> tail(const Sandbox& sb, size_t n) {
    std::vector<std::string> lines = trace_of(sb);
    if (lines.size() > n) lines.erase(lines.begin(), lines.end() - static_cast<ptrdiff_t>(n));
    return lines;
}

// A bank-1 register access through the bank select register 0x4E (0x80):
// a read of `value`, or with `write` the write of `value`.
std::vector<std::string> isa(const char* reg, const char* value, bool write = false) {
    return {"outb 0x295 0x4e", "inb 0x296 -> 0x80", "outb 0x296 0x81",
            std::string("outb 0x295 ") + reg,
            (write ? std::string("outb 0x296 ") : std::string("inb 0x296 -> ")) + value,
            "outb 0x295 0x4e", "outb 0x296 0x80"};
}
std::vector<std::string> isa_write(const char* reg, const char* value) {
    return isa(reg, value, true);
}
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Super I/O sequences: enter and select a logical device; leave.
std::vector<std::string> sio_enter(const char* device) {
    return {"ioperm 0x2e 2 1 -> 0", "outb 0x2e 0x87", "outb 0x2e 0x87", "outb 0x2e 0x07",
            std::string("outb 0x2f ") + device};
}

TEST_F(Intrusion, SetBitsOnEachBus) {
    struct Row {
        const char* name;
        int32_t busType;
        int32_t slave;
        std::vector<std::string> trace;
    };
    const std::vector<std::string> smbus = {
        "open /dev/i2c-0 -> fd", "i2c 0 slave 0x2d -> 0", "i2c 0 0x2d read 0x40 -> 0x11",
        "i2c 0 slave-force 0x2d -> 0", "i2c 0 0x2d write 0x40 0x91 -> 0"};
    const Row rows[] = {
        {"ISA, bank = slave", 2, 1, isa("0x40", "0x11") + isa_write("0x40", "0x91")},
        {"SMBus, bit 0", 1, 0x2D, smbus},
        {"SMBus wins over ISA", 3, 0x2D, smbus},
        {"neither bus", 4, 1, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        reset_all();
        Sandbox sb(board(R"("0x40": "0x11")", "0x52, 0x41", R"("0x40": "0x11")"));
        start(sb);
        EXPECT_EQ(0, W83627HF_G_Intru_IO_Clear(row.busType, row.slave, 0x40, 0x295, 0x296, 0x80));
        EXPECT_THAT(trace_of(sb), ElementsAreArray(row.trace));
    }
}

TEST_F(Intrusion, PulseSetsThenClearsTheMaskBits) {
    struct Row {
        const char* name;
        int32_t itemBus;
        uint32_t systemBus;
        int32_t result;
        std::vector<std::string> trace;
    };
    const Row rows[] = {
        {"SMBus",
         1,
         0,
         0,
         {"open /dev/i2c-0 -> fd", "i2c 0 slave 0x2d -> 0", "i2c 0 0x2d read 0x13 -> 0x41",
          "i2c 0 slave-force 0x2d -> 0", "i2c 0 0x2d write 0x13 0x41 -> 0",
          "i2c 0 slave-force 0x2d -> 0", "i2c 0 0x2d write 0x13 0x01 -> 0"}},
        {"ISA", 2, 2, 0,
         isa("0x13", "0x41") + isa_write("0x13", "0x41") + isa_write("0x13", "0x01")},
        {"ISA item, system without ISA", 2, 1, -1, {}},
        {"no bus", 0, 2, -1, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        reset_all();
        Sandbox sb(board(R"("0x13": "0x41")", "0x52, 0x41", R"("0x13": "0x41")"));
        start(sb);
        SystemRecord system{};
        system.busType = row.systemBus;
        system.indexReg = 0x295;
        system.dataReg = 0x296;
        ItemRecord item{};
        item.chipCode = 13;
        item.busType = row.itemBus;
        ParameterRecord clear{"SW1C", row.itemBus == 1 ? 0x2D : 1, 0x13, 0x40};
        EXPECT_EQ(row.result, ADM1026_Intru_IO_Clear(&system, &item, 0x40, &clear));
        EXPECT_THAT(trace_of(sb), ElementsAreArray(row.trace));
    }
}

TEST_F(Intrusion, ConfigurationSpaceClearWaitsASecondEachSide) {
    struct Row {
        int32_t chipCode;
        std::vector<std::string> set;  // the write between the waits
    };
    const Row rows[] = {
        {1, {"outb 0x2f 0x4d"}}, {10, {"outb 0x2f 0x4d"}}, {12, {"outb 0x2f 0x2d"}}, {7, {}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.chipCode);
        Sandbox sb(board());
        start(sb);
        EXPECT_EQ(0, W83627HF_A_Intru_IO_Clear(row.chipCode));
        // Register 0xE6 of device 0x0A holds 0x0D; the last write clears bit 6.
        auto expected = sio_enter("0x0a") +
                        std::vector<std::string>{"outb 0x2e 0xe6", "inb 0x2f -> 0x0d", "sleep 1",
                                                 "outb 0x2e 0xe6"} +
                        row.set +
                        std::vector<std::string>{"sleep 1", "outb 0x2e 0xe6", "outb 0x2f 0x0d",
                                                 "outb 0x2e 0xaa"};
        EXPECT_THAT(trace_of(sb), ElementsAreArray(expected));
    }
}

TEST_F(Intrusion, DeviceIdAndIoBlock) {
    Sandbox sb(board("", "0x52, 0x39"));
    start(sb);
    uint32_t id = 0;
    EXPECT_EQ(0, get_W83627HF_Device_ID(&id));
    EXPECT_EQ(0x5239u, id);
    ParameterRecord clear{"SW1C", 0, 0x800, 0x1C0};  // only the low byte counts
    EXPECT_EQ(0, NS87427_Intru_IO_Clear(0xC0, &clear));
    EXPECT_THAT(trace_of(sb),
                ElementsAreArray(sio_enter("0x00") +
                                 std::vector<std::string>{"outb 0x2e 0x20", "inb 0x2f -> 0x52",
                                                          "outb 0x2e 0x21", "inb 0x2f -> 0x39",
                                                          "outb 0x2e 0xaa", "inb 0x80c -> 0x05",
                                                          "outb 0x80c 0xc5"}));
}

TEST_F(Intrusion, Nct7904dThroughTheBmcOrTheSmbus) {
    ItemRecord item{};
    item.chipCode = 30;
    item.busType = 1;
    item.slave = 0x2D;
    {
        SCOPED_TRACE("SMBus: bank 0, set bit 7 of 0xD4, read 0xCA twice");
        Sandbox sb(board("", "0x52, 0x41", R"("0xD4": "0x05", "0xCA": {"fail": true})"));
        start(sb);
        EXPECT_EQ(-1, NCT7904D_Intru_Clear(&item));  // the last read's status
        EXPECT_THAT(trace_of(sb),
                    ElementsAreArray({"open /dev/i2c-0 -> fd", "i2c 0 slave-force 0x2d -> 0",
                                      "i2c 0 0x2d write 0xff 0x00 -> 0", "i2c 0 slave 0x2d -> 0",
                                      "i2c 0 0x2d read 0xd4 -> 0x05", "i2c 0 slave-force 0x2d -> 0",
                                      "i2c 0 0x2d write 0xd4 0x85 -> 0", "i2c 0 slave 0x2d -> 0",
                                      "i2c 0 0x2d read 0xca -> nak", "i2c 0 slave 0x2d -> 0",
                                      "i2c 0 0x2d read 0xca -> nak"}));
    }
    reset_all();
    {
        SCOPED_TRACE("BMC: OEM 30/90 and 30/91 with the slave in 8-bit form");
        Sandbox sb(board("", "0x52, 0x41", "",
                         R"(, "bmc": {"interface": "openipmi", "responses": {
                           "30/90 5a 00 d4 01": "00 05", "30/91 5a 00 d4 85": "00",
                           "30/90 5a 00 ca 01": "00 00"}})"));
        {
            OutputCapture quiet;
            ASSERT_EQ(0, IpmiInit());
        }
        start(sb);
        EXPECT_EQ(0, NCT7904D_Intru_Clear(&item));
        EXPECT_THAT(trace_of(sb), ElementsAreArray({"ipmi openipmi 30/90 5a 00 d4 01 -> 00 05",
                                                    "ipmi openipmi 30/91 5a 00 d4 85 -> 00",
                                                    "ipmi openipmi 30/90 5a 00 ca 01 -> 00 00",
                                                    "ipmi openipmi 30/90 5a 00 ca 01 -> 00 00"}));
    }
}

// reset_Intrusion on one SWITCH item: status mask parameter SW1A (bit 4,
// active high) and clear parameter SW1C (bank 1, register 0x40, mask 0x80).
struct ResetSetup {
    SystemRecord system{};
    ItemRecord item{};
    ParameterRecord parameters[2]{};
    int32_t run() { return reset_Intrusion(&system, &item, 1, parameters, 2, &item); }
};

ResetSetup isa_switch(int32_t chipCode, int32_t busType = 2) {
    ResetSetup s;
    s.system.busType = 2;
    s.system.indexReg = 0x295;
    s.system.dataReg = 0x296;
    copy_text(s.item.name, "Chassis Intrusion");
    copy_text(s.item.itemId, "Item_SWITCH1");
    s.item.category = CAT_SWITCH;
    s.item.chipCode = chipCode;
    s.item.busType = busType;
    s.item.slave = 1;
    s.item.offset = 0x42;
    s.item.activate = 1;
    copy_text(s.item.paraIndex1, "SW1A");
    copy_text(s.item.paraIndex2, "sw1c");  // names compare without regard to case
    s.parameters[0] = {"SW1A", 1, 0x42, 0x10};
    s.parameters[1] = {"SW1C", 1, 0x40, 0x80};
    return s;
}

TEST_F(Intrusion, RefusedBeforeTouchingTheHardware) {
    struct Row {
        const char* name;
        void (*change)(ResetSetup&);
        const char* err;
    };
    const Row rows[] = {
        {"no such parameter", [](ResetSetup& s) { copy_text(s.item.paraIndex2, "SW9C"); },
         "Error: \"Chassis Intrusion\" is not defined.\n"},
        {"no clear parameter named", [](ResetSetup& s) { s.item.paraIndex2[0] = '\0'; },
         "Error: \"Chassis Intrusion\" is not defined.\n"},
        {"not a switch", [](ResetSetup& s) { s.item.category = CAT_TEMP; },
         "Warning: To reset \"Chassis Intrusion\" is not allowed.\n"},
        {"mask 0", [](ResetSetup& s) { s.parameters[1].bitMask = 0; },
         "Warning: To reset \"Chassis Intrusion\" is not allowed.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Sandbox sb(board());
        start(sb);
        ResetSetup s = isa_switch(0);
        row.change(s);
        OutputCapture output;
        EXPECT_EQ(-1, s.run());
        EXPECT_EQ(row.err, output.err());
        EXPECT_EQ("", output.out());
        EXPECT_THAT(sb.trace(), IsEmpty());
    }
}

TEST_F(Intrusion, ResetByChipCodeThenStatusReread) {
    // The status register re-read of an ISA item: bank 1, register 0x42.
    struct Row {
        const char* name;
        int32_t chipCode;
        const char* status;  // register 0x42: bit 4 set = intruded
        const char* sioId;
        std::vector<std::string> tail;  // the clear (if any) and the re-read
    };
    const auto reread = isa("0x42", "0x10");
    const Row rows[] = {
        // The reading ends with the low limit (0x40) and the value (0x42).
        {"not intruded: nothing cleared", 0, "0x00", "0x52, 0x41",
         isa("0x40", "0x11") + isa("0x42", "0x00") + isa("0x42", "0x00")},
        {"chip 0 sets the bits", 0, "0x10", "0x52, 0x41",
         isa("0x40", "0x11") + isa_write("0x40", "0x91") + reread},
        {"chip 1, device 0x5241: configuration space", 1, "0x10", "0x52, 0x41",
         std::vector<std::string>{"outb 0x2e 0x21", "inb 0x2f -> 0x41", "outb 0x2e 0xaa"} +
             sio_enter("0x0a") +
             std::vector<std::string>{"outb 0x2e 0xe6", "inb 0x2f -> 0x0d", "sleep 1",
                                      "outb 0x2e 0xe6", "outb 0x2f 0x4d", "sleep 1",
                                      "outb 0x2e 0xe6", "outb 0x2f 0x0d", "outb 0x2e 0xaa"} +
             reread},
        {"chip 1, other device: monitor register", 1, "0x10", "0x52, 0x39",
         std::vector<std::string>{"outb 0x2e 0x21", "inb 0x2f -> 0x39", "outb 0x2e 0xaa"} +
             isa("0x40", "0x11") + isa_write("0x40", "0x91") + reread},
        {"chip 22 pulses", 22, "0x10", "0x52, 0x41",
         isa("0x40", "0x11") + isa_write("0x40", "0x91") + isa_write("0x40", "0x11") + reread},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        reset_all();
        Sandbox sb(
            board(std::string(R"("0x40": "0x11", "0x42": ")") + row.status + "\"", row.sioId));
        start(sb);
        ResetSetup s = isa_switch(row.chipCode);
        OutputCapture output;
        EXPECT_EQ(0, s.run());
        EXPECT_EQ("Done.\n", output.out());
        EXPECT_EQ("", output.err());
        EXPECT_THAT(tail(sb, row.tail.size()), ElementsAreArray(row.tail));
    }
}

TEST_F(Intrusion, SmbusAndIoBlockItems) {
    // Chip 17: set bits with bus type 1, then the status read twice with bus
    // type 8, which the item keeps. Chip 8: port 0x80C holds 0x05; the re-read
    // selects the item's bank (3) at 0x80F first.
    struct Row {
        int32_t chipCode, busType, slave, offset, statusMask, clearMask;
        int32_t busAfter;
        std::vector<std::string> tail;
    };
    const Row rows[] = {
        {17, 1, 0x2D, 0x42, 0x10, 0x80, 8,
         {"i2c 0 slave 0x2d -> 0", "i2c 0 0x2d read 0x40 -> 0x01", "i2c 0 slave-force 0x2d -> 0",
          "i2c 0 0x2d write 0x40 0x81 -> 0", "i2c 0 slave 0x2d -> 0",
          "i2c 0 0x2d read 0x42 -> 0x10", "i2c 0 slave 0x2d -> 0",
          "i2c 0 0x2d read 0x42 -> 0x10"}},
        {8, 2, 3, 0x800, 0x04, 0x40, 2,
         {"inb 0x80c -> 0x05", "outb 0x80c 0x45", "outb 0x80f 0x03", "inb 0x80c -> 0x45"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.chipCode);
        reset_all();
        Sandbox sb(board("", "0x52, 0x41", R"("0x42": "0x10", "0x40": "0x01")"));
        start(sb);
        ResetSetup s = isa_switch(row.chipCode, row.busType);
        s.item.slave = row.slave;
        s.item.offset = row.offset;
        const int32_t where = row.chipCode == 8 ? 0 : row.slave;
        const int32_t reg = row.chipCode == 8 ? 0x800 : 0x42;
        s.parameters[0] = {"SW1A", where, reg, row.statusMask};
        s.parameters[1] = {"SW1C", where, row.chipCode == 8 ? 0x800 : 0x40, row.clearMask};
        OutputCapture output;
        EXPECT_EQ(0, s.run());
        EXPECT_EQ("Done.\n", output.out());
        EXPECT_EQ(row.busAfter, s.item.busType);
        EXPECT_THAT(tail(sb, row.tail.size()), ElementsAreArray(row.tail));
    }
}

TEST_F(Intrusion, FailuresPrintFailed) {
    struct Row {
        const char* name;
        int32_t chipCode;
        uint32_t systemBus;
        const char* err;
    };
    const Row rows[] = {
        // The reading fails too (no ISA on the system): cleared all the same.
        {"pulse without a usable bus", 13, 1, ""},
        {"no clear method", 9, 2, "Warning: Non-supported chipset \"Chassis Intrusion\".\n"},
        {"code above 30", 31, 2, "Warning: Non-supported chipset \"Chassis Intrusion\".\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        reset_all();
        Sandbox sb(board(R"("0x42": "0x10")"));
        start(sb);
        ResetSetup s = isa_switch(row.chipCode);
        s.system.busType = row.systemBus;
        OutputCapture output;
        EXPECT_EQ(-1, s.run());
        EXPECT_EQ("Failed.\n", output.out());
        EXPECT_EQ(row.err, output.err());
        uint32_t clearRegister = 0xDEAD;
        isa_byte_data_read(0x295, 0x296, 1, 0x40, &clearRegister);
        EXPECT_EQ(0u, clearRegister);  // nothing was written
    }
}

}  // namespace
