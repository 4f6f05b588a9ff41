// Readings and limits on virtual boards: which registers each chip path
// reads (the trace), the value and status it gives, the retries against the
// limits, reference items, and the bank check.
#include "items/acquisition.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fixed_text.h"
#include "hw/adapter_discovery.h"
#include "hw/bank_select.h"
#include "hw/bmc_commands.h"
#include "hw/ipmi_imb.h"
#include "hw/ipmi_openipmi.h"
#include "hw/port_io.h"
#include "hw/smbus.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

constexpr int64_t kUntouched = 0x5A5A;

void reset_all() {
    reset_smbus_state();
    reset_adapter_discovery_state();
    reset_port_io_state();
    reset_ipmi_imb_state();
    reset_ipmi_openipmi_state();
    reset_bmc_commands_state();
    reset_bank_select_state();
    reset_acquisition_state();
}

class Acquisition : public testing::Test {
protected:
    void SetUp() override { reset(); }
    void reset() {
        reset_all();
        SMB_BASE_IO_ADDR = 0x1100;
        IntelDevice = 0;
    }
    void TearDown() override { reset_all(); }
};

ItemRecord item(const char* name, int32_t category, int32_t chipCode, int32_t busType,
                int32_t slave, int32_t offset, const char* para1 = "", const char* para2 = "") {
    ItemRecord it{};
    copy_text(it.name, name);
    copy_text(it.itemId, name);
    it.category = category;
    it.chipCode = chipCode;
    it.busType = busType;
    it.slave = slave;
    it.offset = offset;
    it.volFunc = VF_P33V;
    it.activate = 1;
    copy_text(it.paraIndex1, para1);
    copy_text(it.paraIndex2, para2);
    return it;
}

ParameterRecord param(const char* name, int32_t slave, int32_t offset, int32_t bitMask = 0) {
    ParameterRecord p{};
    copy_text(p.name, name);
    p.slave = slave;
    p.offset = offset;
    p.bitMask = bitMask;
    return p;
}

// The trace lines that begin with one of `prefixes`.
std::vector<std::string> lines(const Sandbox& sb, std::vector<std::string> prefixes) {
    std::vector<std::string> kept;
    for (const std::string& line : sb.trace())
        for (const std::string& p : prefixes)
            if (line.rfind(p, 0) == 0) {
                kept.push_back(line);
                break;
            }
    return kept;
}
std::vector<std::string> bus(const Sandbox& sb) { return lines(sb, {"i2c 0 0x", "ipmi "}); }

// One SMBus chip at 0x2D behind the adapter at 0x1100.
std::string smbus_board(const std::string& registers, const std::string& extra = "") {
    return R"({"clock": {"virtual": true}, )" + extra +
           R"("smbus": [{"bus": 0, "name": "SMBus I801 adapter at 1100",
                 "devices": [{"address": "0x2D", "registers": {)" +
           registers + "}}]}]}";
}

// A board with the adapter listed, as discovery at start-up leaves it.
struct SmbusSandbox : Sandbox {
    explicit SmbusSandbox(const std::string& board) : Sandbox(board) { init_i2c_bus_list(); }
};

SystemRecord smbus_system() {
    SystemRecord s{};
    s.busType = BUS_SMBUS;
    return s;
}

// ---- the chip paths over SMBus ---------------------------------------------------

struct PathCase {
    const char* what;
    ItemRecord it;
    int32_t status;
    int64_t value;
    std::vector<std::string> trace;
};

TEST_F(Acquisition, SmbusChipPathsReadTheirRegistersAndConvert) {
    const std::string regs = R"("0x20": "0x58", "0x21": "0x02", "0x30": "0x01", "0x31": "0x2C",
        "0x80": "0x10", "0x81": "0xFC", "0x27": "0x2D", "0x28": "0x7F", "0x42": "0x64",
        "0xCA": "0x40", "0x1C": "0x30", "0x1D": "0x30", "0x5E": "0x03", "0xD6": "0x20",
        "0x29": {"fail": true})";
    const PathCase cases[] = {
        {"two-byte count, 5400000 / 0x258", item("F3", CAT_FAN, 3, 1, 0x2D, 0x20, "DIV"), 0, 9000,
         {"i2c 0 0x2d read 0x20 -> 0x58", "i2c 0 0x2d read 0x21 -> 0x02"}},
        {"word high/low, 1350000 / 0x12C", item("F17", CAT_FAN, 17, 1, 0x2D, 0x30, "DIV"), 0, 4500,
         {"i2c 0 0x2d read 0x30 -> 0x01", "i2c 0 0x2d read 0x31 -> 0x2c"}},
        {"NCT7904D 13-bit count 16*32+28 = 540", item("F30", CAT_FAN, 30, 1, 0x2D, 0x80, "DIV"),
         0, 2500,
         {"i2c 0 0x2d write 0xff 0x00 -> 0", "i2c 0 0x2d read 0x80 -> 0x10",
          "i2c 0 0x2d read 0x81 -> 0xfc"}},
        {"general temperature", item("T0", CAT_TEMP, 0, 1, 0x2D, 0x27), 0, 45,
         {"i2c 0 0x2d read 0x27 -> 0x2d"}},
        {"127 reads 0", item("T0", CAT_TEMP, 0, 1, 0x2D, 0x28), 0, 0,
         {"i2c 0 0x2d read 0x28 -> 0x7f"}},
        {"NCT7904D voltage selects bank 0 first, 100 * 48 mV",
         item("V30", CAT_VOLTAGE, 30, 1, 0x2D, 0x42), 0, 4800,
         {"i2c 0 0x2d write 0xff 0x00 -> 0", "i2c 0 0x2d read 0x42 -> 0x64"}},
        {"NCT7904D status register, bit 6 asserted", item("S30", CAT_SWITCH, 30, 1, 0x2D, 0, "M40"),
         0, 1, {"i2c 0 0x2d write 0xff 0x00 -> 0", "i2c 0 0x2d read 0xca -> 0x40"}},
        {"W83793G diode fault on 0x1D (bit 5) reads 0",
         item("T17", CAT_TEMP, 17, 1, 0x2D, 0x1D), 0, 0,
         {"i2c 0 0x2d read 0x1d -> 0x30", "i2c 0 0x2d read 0x5e -> 0x03",
          "i2c 0 0x2d read 0xd6 -> 0x20"}},
        {"W83793G 0x1C: bit 4 clear, 48 degrees", item("T17", CAT_TEMP, 17, 1, 0x2D, 0x1C), 0, 48,
         {"i2c 0 0x2d read 0x1c -> 0x30", "i2c 0 0x2d read 0x5e -> 0x03",
          "i2c 0 0x2d read 0xd6 -> 0x20"}},
        {"status-only switch: no access", item("S27", CAT_SWITCH, 27, 1, 0x2D, 0x60), 0, 0, {}},
        {"SMBus-only fan on an ISA item: nothing read", item("F3", CAT_FAN, 3, 2, 0x2D, 0x20),
         -1, kUntouched, {}},
        {"BMC-kept value without a BMC", item("X34", CAT_TEMP, 34, 1, 0x2D, 0x05), -1,
         kUntouched, {}},
        {"transport failure leaves the value", item("T0", CAT_TEMP, 0, 1, 0x2D, 0x29), -1,
         kUntouched, {"i2c 0 0x2d read 0x29 -> nak"}},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.what);
        reset_smbus_state();
        SmbusSandbox sb(smbus_board(regs));
        SystemRecord sys = smbus_system();
        ParameterRecord params[] = {param("DIV", 0x2D, 0x47), param("M40", 0x2D, 0x00, 0x40)};
        ItemRecord it = c.it;
        int64_t value = kUntouched;
        EXPECT_EQ(c.status, get_item_readingImpl(&sys, &it, 1, params, 2, &it, &value));
        EXPECT_EQ(c.value, value);
        EXPECT_THAT(bus(sb), ElementsAreArray(c.trace));
    }
}

// ---- BMC paths ----------------------------------------------------------------------

TEST_F(Acquisition, BmcPathsAndTheirFallback) {
    SmbusSandbox sb(smbus_board(R"("0x80": "0x01", "0x81": "0x00")",
                           R"("bmc": {"interface": "openipmi",
                 "buses": {"0x05": [{"address": "0x2D", "registers": {"0x24": "0x33"}}]},
                 "responses": {
                 "30/90 5a 00 80 01": "00 10", "30/90 5a 00 81 01": "00 fc",
                 "30/93 01": "00 ff", "30/95": "00 2a"}}, )"));
    {
        OutputCapture quiet;
        ASSERT_EQ(0, IpmiInit());
    }
    SystemRecord sys = smbus_system();
    struct Case {
        ItemRecord it;
        int64_t value;
        std::vector<std::string> trace;
    } cases[] = {
        // 16 * 32 + 28 = 540 from the BMC: 1350000 / 540.
        {item("F30", CAT_FAN, 30, 1, 0x2D, 0x80, "DIV"), 2500,
         {"ipmi openipmi 30/90 5a 00 80 01 -> 00 10", "ipmi openipmi 30/90 5a 00 81 01 -> 00 fc"}},
        // Agent (0x02 & 0x0F) >> 1 = 1 is not there: 0xFF shows as 0.
        {item("T32", CAT_TEMP, 32, 1, 0x2D, 0x02), 0, {"ipmi openipmi 30/93 01 -> 00 ff"}},
        // No PECI agent 2: the chip is read over the SMBus, which the BMC
        // carries (Master Write-Read on its private bus).
        {item("T32", CAT_TEMP, 32, 1, 0x2D, 0x24), 0x33,
         {"ipmi openipmi 30/93 02 -> c1", "ipmi openipmi 06/52 05 5a 01 24 -> 00 33"}},
        {item("X34", CAT_TEMP, 34, 1, 0x2D, 0x05), 42, {"ipmi openipmi 30/95 -> 00 2a"}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.it.name);
        sb.clear_trace();
        ParameterRecord params[] = {param("DIV", 0x2D, 0x47)};
        int64_t value = kUntouched;
        EXPECT_EQ(0, get_item_readingImpl(&sys, &c.it, 1, params, 1, &c.it, &value));
        EXPECT_EQ(c.value, value);
        EXPECT_THAT(bus(sb), ElementsAreArray(c.trace));
    }
}

// ---- ISA and port paths ----------------------------------------------------------

TEST_F(Acquisition, It8720fFanHighByteRegister) {
    Sandbox sb(R"({"ports": {"0x295": {"index_data": {"data": "0x296", "registers": {
        "0x0D": "0x2C", "0x18": "0x01", "0x80": "0x2C", "0x81": "0x01"}}}}})");
    sys().iopl(3);
    SystemRecord system{};
    system.busType = BUS_ISA;
    system.indexReg = 0x295;
    system.dataReg = 0x296;
    ParameterRecord params[] = {param("DIV", 0, 0x47)};
    for (int32_t offset : {0x0D, 0x80}) {
        sb.clear_trace();
        ItemRecord it = item("F25", CAT_FAN, 25, BUS_ISA, 0, offset, "DIV");
        int64_t value = kUntouched;
        EXPECT_EQ(0, get_item_readingImpl(&system, &it, 1, params, 1, &it, &value));
        EXPECT_EQ(2250, value);  // 675000 / 0x12C
        std::vector<std::string> selected;
        for (const std::string& line : lines(sb, {"outb 0x295 "}))
            if (line != "outb 0x295 0x4e") selected.push_back(line);
        EXPECT_THAT(selected, ElementsAre(offset == 0x0D ? "outb 0x295 0x0d" : "outb 0x295 0x80",
                                          offset == 0x0D ? "outb 0x295 0x18" : "outb 0x295 0x81"));
    }
}

TEST_F(Acquisition, Ns87427FanSelectsItsBankInTheIoBlock) {
    // Block at 0x290: 0x29F holds 0xE5, counts at 0x2A2/0x2A3 (readings) and
    // 0x2A4/0x2A5 (limits).
    Sandbox sb(R"({"ports": {"0x290": {"bytes":
        "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 e5 00 00 2c 01 96 00"}}})");
    sys().iopl(3);
    sb.clear_trace();
    SystemRecord system{};
    ItemRecord it = item("F8", CAT_FAN, 8, BUS_ISA, 2, 0x290, "DIV", "LIM");
    ParameterRecord params[] = {param("DIV", 0, 0), param("LIM", 3, 0x290)};
    int64_t value = kUntouched;
    EXPECT_EQ(0, get_item_readingImpl(&system, &it, 1, params, 2, &it, &value));
    EXPECT_EQ(18000, value);  // 5400000 / 0x12C
    EXPECT_EQ(0, get_item_limit(kLimitLow, &system, "LIM", &it, params, 2, &value));
    EXPECT_EQ(36000, value);  // 5400000 / 0x96
    EXPECT_THAT(sb.trace(),
                ElementsAre("inb 0x29f -> 0xe5", "outb 0x29f 0xe2", "inb 0x2a2 -> 0x2c",
                            "inb 0x2a3 -> 0x01", "inb 0x29f -> 0xe2", "outb 0x29f 0xe3",
                            "inb 0x2a4 -> 0x96", "inb 0x2a5 -> 0x00"));
}

TEST_F(Acquisition, Nct6776fTemperatureFromTheBmcOnlyWhenItOwnsTheChip) {
    // PECI agent (0x19 - 0x17) >> 1 = 1 reads 0x37; the local chip 0x24.
    for (const char* platform :
         {"00 34 06 00 01 00 00 00 00 00 00", "00 34 05 00 01 00 00 00 00 00 00"}) {
        SCOPED_TRACE(platform);
        reset_all();
        Sandbox sb(std::string(R"({"clock": {"virtual": true},
            "ports": {"0x295": {"index_data": {"data": "0x296", "registers": {"0x19": "0x24"}}}},
            "bmc": {"interface": "openipmi", "responses": {"30/93 01": "00 37", "30/21": ")") +
                   platform + R"("}}})");
        {
            OutputCapture quiet;
            ASSERT_EQ(0, IpmiInit());
        }
        sys().iopl(3);
        sb.clear_trace();
        SystemRecord system{};
        system.busType = BUS_ISA;
        system.indexReg = 0x295;
        system.dataReg = 0x296;
        ItemRecord it = item("T33", CAT_TEMP, 33, BUS_ISA, 0, 0x19);
        int64_t value = kUntouched;
        EXPECT_EQ(0, get_item_readingImpl(&system, &it, 1, nullptr, 0, &it, &value));
        bool owned = platform[7] == '6';  // byte 1 of the answer
        EXPECT_EQ(owned ? 0x37 : 0x24, value);
        EXPECT_EQ(owned ? 2u : 1u, lines(sb, {"ipmi "}).size());
        EXPECT_EQ(owned, lines(sb, {"inb 0x296 -> 0x24"}).empty());
    }
}

// ---- limits ---------------------------------------------------------------------

TEST_F(Acquisition, LimitRules) {
    SmbusSandbox sb(smbus_board(R"("0x39": "0x7F", "0x3A": "0x3C")"));
    SystemRecord sys = smbus_system();
    ParameterRecord params[] = {param("THI", 0x2D, 0x39), param("TLO", 0x2D, 0x3A)};
    ItemRecord temp = item("T0", CAT_TEMP, 0, 1, 0x2D, 0x27, "THI", "TLO");
    int64_t value = kUntouched;
    // No 127 rule for limits.
    EXPECT_EQ(0, get_item_limit(kLimitHigh, &sys, "thi", &temp, params, 2, &value));
    EXPECT_EQ(127, value);
    // An NCT6776F temperature in bank 7: 95 without any access.
    sb.clear_trace();
    for (int32_t chip : {28, 33}) {
        ItemRecord nct = item("T", CAT_TEMP, chip, BUS_ISA, 7, 0x27);
        value = kUntouched;
        EXPECT_EQ(0, get_item_limit(kLimitHigh, &sys, "THI", &nct, params, 2, &value));
        EXPECT_EQ(95, value);
    }
    EXPECT_THAT(sb.trace(), IsEmpty());

    OutputCapture out;
    value = kUntouched;
    EXPECT_EQ(-1, get_item_limit(kLimitLow, &sys, "NOPE", &temp, params, 2, &value));
    EXPECT_EQ(kUntouched, value);
    // A fan limit of a divisor chip without its divisor: divisor 0 fails.
    ItemRecord fan = item("F1", CAT_FAN, 1, 1, 0x2D, 0x28, "NODIV", "TLO");
    EXPECT_EQ(-1, get_item_limit(kLimitLow, &sys, "TLO", &fan, params, 2, &value));
    EXPECT_EQ("Error: Parameter is not found.\n", out.err());
    EXPECT_EQ("Error: Cannot get the divisor 'NODIV'!\n", out.out());
}

// ---- retries against the limits --------------------------------------------------

TEST_F(Acquisition, VoltageOutsideItsLimitsIsReadThreeTimes) {
    // Chip 0 P12V: r * 62.5 mV. Limits 0x30 (3000 mV) and 0x10 (1000 mV).
    // 0x40..0x42 are all above the high limit: the third is reported; 0x20
    // is normal and read once.
    const char* round[] = {"i2c 0 0x2d read 0x50 -> 0x30", "i2c 0 0x2d read 0x51 -> 0x10"};
    struct {
        const char* values;
        int64_t mv;
        std::vector<std::string> trace;
    } const cases[] = {
        {R"({"values": ["0x40", "0x41", "0x42"], "advance": "read"})", 4125,
         {round[0], round[1], "i2c 0 0x2d read 0x20 -> 0x40", round[0], round[1],
          "i2c 0 0x2d read 0x20 -> 0x41", round[0], round[1], "i2c 0 0x2d read 0x20 -> 0x42"}},
        {R"("0x20")", 2000, {round[0], round[1], "i2c 0 0x2d read 0x20 -> 0x20"}},
    };
    for (const auto& c : cases) {
        reset();
        SmbusSandbox sb(smbus_board(std::string(R"("0x50": "0x30", "0x51": "0x10", "0x20": )") +
                                    c.values));
        SystemRecord sys = smbus_system();
        ParameterRecord params[] = {param("VHI", 0x2D, 0x50), param("VLO", 0x2D, 0x51)};
        ItemRecord it = item("V", CAT_VOLTAGE, 0, 1, 0x2D, 0x20, "VHI", "VLO");
        it.volFunc = VF_P12V;
        int64_t value = kUntouched;
        EXPECT_EQ(0, get_item_reading(&sys, &it, 1, params, 2, &it, &value));
        EXPECT_EQ(c.mv, value);
        EXPECT_THAT(bus(sb), ElementsAreArray(c.trace));
    }
}

// ---- reference items ------------------------------------------------------------

TEST_F(Acquisition, ReferenceItems) {
    // Register 0x60 (bit 0 clear: not asserted), a temperature of 45 at 0x27.
    SmbusSandbox sb(smbus_board(R"("0x60": "0x00", "0x27": "0x2D", "0x50": "0x50")"));
    SystemRecord sys = smbus_system();
    ParameterRecord params[] = {param("MASK", 0x2D, 0x60, 0x01), param("HI", 0x2D, 0x50)};
    ItemRecord items[] = {item("A", CAT_SWITCH, 0, 1, 0x2D, 0x60, "MASK", "HI"),
                          item("B", CAT_SWITCH, 0, 1, 0x2D, 0x60, "MASK", "HI"),
                          item("T", CAT_TEMP, 0, 1, 0x2D, 0x27, "HI", "HI")};
    const std::string refused =
        "Error: Ref_Item_ID 'A' is not followed: the references loop or nest too deeply.\n";
    auto times = [](int n, const std::string& line) {
        std::string text;
        while (n-- > 0) text += line;
        return text;
    };
    struct Case {
        const char* refA;
        const char* refB;
        int64_t state;
        std::string err;
    } cases[] = {
        {"", "", 0, ""},     // no reference: reference reading 1
        {"t", "", 0, ""},    // the temperature reads 45
        // State 2 is abnormal: confirmed twice more, one message each time.
        {"GONE", "", 2, times(3, "Error: Unknown Ref_Item_ID 'GONE'.\n")},
        // A -> B -> A: B's reference is refused (0), so B reads 2 three
        // times over; A sees 2, not 0, and is normal.
        {"B", "A", 0, times(3, refused)},
        {"A", "", 2, times(3, refused)},  // itself
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refA);
        copy_text(items[0].refItemId, c.refA);
        copy_text(items[1].refItemId, c.refB);
        OutputCapture out;
        int64_t value = kUntouched;
        EXPECT_EQ(0, get_item_reading(&sys, items, 3, params, 2, &items[0], &value));
        EXPECT_EQ(c.state, value);
        EXPECT_EQ(c.err, out.err());
    }
}

TEST_F(Acquisition, ReferenceChainIsCutAtTheDepthBound) {
    SmbusSandbox sb(smbus_board(R"("0x60": "0x00")"));
    SystemRecord sys = smbus_system();
    ParameterRecord params[] = {param("MASK", 0x2D, 0x60, 0x01)};
    ItemRecord items[kMaxReferenceDepth + 2];
    for (int i = 0; i < kMaxReferenceDepth + 2; ++i) {
        std::string name = "S" + std::to_string(i);
        items[i] = item(name.c_str(), CAT_SWITCH, 0, 1, 0x2D, 0x60, "MASK", "MASK");
        copy_text(items[i].refItemId, "S" + std::to_string(i + 1));
    }
    OutputCapture out;
    int64_t value = kUntouched;
    EXPECT_EQ(0, get_item_reading(&sys, items, kMaxReferenceDepth + 2, params, 1, &items[0],
                                  &value));
    // S4 may not follow S5: S4 reads 2, S3 then 0, S2 2 (its reference
    // reads 0) ... alternating back to S0.
    EXPECT_EQ(kMaxReferenceDepth % 2 == 0 ? 2 : 0, value);
    EXPECT_THAT(out.err(), testing::HasSubstr("Ref_Item_ID 'S5' is not followed"));
}

// ---- bank check -----------------------------------------------------------------

TEST_F(Acquisition, BankCheckAroundAReading) {
    // W83795ADG (chip 23) over SMBus: bank select register 0x00, every
    // register in bank 0. Found in bank 1, it is put back first; moved to
    // bank 1 after the first attempt, it is put back and the register read
    // again; checked right after each attempt.
    struct {
        const char* bank;
        std::vector<std::string> trace;
    } const cases[] = {
        {R"("0x81")",
         {"i2c 0 0x2d read 0x00 -> 0x81", "i2c 0 0x2d write 0x00 0x80 -> 0",
          "i2c 0 0x2d read 0x21 -> 0x28", "i2c 0 0x2d read 0x00 -> 0x80"}},
        {R"({"values": ["0x00", "0x01"], "advance": "read"})",
         {"i2c 0 0x2d read 0x00 -> 0x00", "i2c 0 0x2d read 0x21 -> 0x28",
          "i2c 0 0x2d read 0x00 -> 0x01", "i2c 0 0x2d write 0x00 0x00 -> 0",
          "i2c 0 0x2d read 0x21 -> 0x28", "i2c 0 0x2d read 0x00 -> 0x00"}},
    };
    for (const auto& c : cases) {
        reset();
        SmbusSandbox sb(smbus_board(std::string(R"("0x21": "0x28", "0x00": )") + c.bank));
        bNeedCheckBankSelectRegister = 1;
        SystemRecord sys = smbus_system();
        ItemRecord it = item("T23", CAT_TEMP, 23, 1, 0x2D, 0x21);
        int64_t value = kUntouched;
        EXPECT_EQ(0, get_item_readingImpl(&sys, &it, 1, nullptr, 0, &it, &value));
        EXPECT_EQ(40, value);
        EXPECT_THAT(bus(sb), ElementsAreArray(c.trace));
    }
}

// ---- divisor, mask, range, status -------------------------------------------------

TEST_F(Acquisition, DivisorRules) {
    SmbusSandbox sb(smbus_board(R"("0x47": "0x90")"));
    SystemRecord sys = smbus_system();
    ParameterRecord params[] = {param("DIVISOR1", 0x2D, 0x47, 0x130), param("FANDIV", 0x2D, 0x47)};
    uint32_t divisor = 77;
    ItemRecord fixed = item("F3", CAT_FAN, 3, 1, 0x2D, 0, "DIVISOR1");
    EXPECT_EQ(0, get_item_divisor(&sys, &fixed, params, 2, &divisor));
    EXPECT_EQ(1u, divisor);
    EXPECT_THAT(bus(sb), IsEmpty());
    // Field 0x30 of 0x90 is 1: divisor 2 (mask's low 8 bits only).
    ItemRecord fan = item("F1", CAT_FAN, 1, 1, 0x2D, 0, "divisor1");
    EXPECT_EQ(0, get_item_divisor(&sys, &fan, params, 2, &divisor));
    EXPECT_EQ(2u, divisor);
    // Not named DIVISOR...: read, but not converted.
    divisor = 77;
    copy_text(fan.paraIndex1, "FANDIV");
    EXPECT_EQ(0, get_item_divisor(&sys, &fan, params, 2, &divisor));
    EXPECT_EQ(77u, divisor);
    OutputCapture out;
    copy_text(fan.paraIndex1, "DIVISOR9");
    EXPECT_EQ(-1, get_item_divisor(&sys, &fan, params, 2, &divisor));
    EXPECT_EQ(-1, get_item_divisor(&sys, &fan, nullptr, 0, &divisor));
    EXPECT_EQ(77u, divisor);
    EXPECT_EQ("Error: Cannot get the divisor 'DIVISOR9'!\nError: Cannot get the divisor "
              "'DIVISOR9'!\n",
              out.out());
}

TEST_F(Acquisition, BitmaskTakesTheLastMatch) {
    ParameterRecord params[] = {param("M", 0, 0, 0x01), param("X", 0, 0, 0x02),
                                param("m", 0, 0, 0x04)};
    EXPECT_EQ(0x04u, get_item_bitmask("M", params, 3));
    EXPECT_EQ(0u, get_item_bitmask("Y", params, 3));
    EXPECT_EQ(0u, get_item_bitmask("M", nullptr, 0));
}

TEST_F(Acquisition, RangeOfAnItem) {
    SmbusSandbox sb(smbus_board(R"("0x47": "0x10")"));
    SystemRecord sys = smbus_system();
    ParameterRecord params[] = {param("DIVISOR1", 0x2D, 0x47, 0x30)};
    struct Case {
        ItemRecord it;
        int64_t max, min;
    } cases[] = {
        {item("F3", CAT_FAN, 3, 1, 0x2D, 0, "DIVISOR1"), 21093, 0},  // 5400000 / 256
        {item("F1", CAT_FAN, 1, 1, 0x2D, 0, "DIVISOR1"), 675000, 0},  // 1350000 / 2 / 1
        {item("T", CAT_TEMP, 0, 1, 0x2D, 0), 127, -127},
        {item("S", CAT_SWITCH, 0, 1, 0x2D, 0), 1, 0},
        {item("V", CAT_VOLTAGE, 30, 1, 0x2D, 0), 12240, 0},  // P33V: 255 * 48 mV; 0 below 5
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.it.name);
        int64_t max = kUntouched, min = kUntouched;
        EXPECT_EQ(0, get_item_max_reading(&sys, &c.it, params, 1, &max));
        EXPECT_EQ(0, get_item_min_reading(&sys, &c.it, params, 1, &min));
        EXPECT_EQ(c.max, max);
        EXPECT_EQ(c.min, min);
    }
    OutputCapture out;
    ItemRecord drive = item("D", CAT_DRIVE, 0, 1, 0x2D, 0);
    int64_t v = kUntouched;
    EXPECT_EQ(-1, get_item_max_reading(&sys, &drive, params, 1, &v));
    EXPECT_EQ(0, v);
    EXPECT_EQ("Error: Unknown Cat '4'!\n", out.out());
}

TEST(IsNormalReading, SignedHalvesAndStrictLimits) {
    struct Case {
        int32_t category;
        int64_t reading, high, low;
        const char* text;  // thermal text, or nullptr
        int32_t normal;
    } cases[] = {
        {CAT_FAN, 0, 0, 0, nullptr, 0},         // stopped fan at limit 0
        {CAT_FAN, 1, 0, 0, nullptr, 1},
        {CAT_VOLTAGE, 3300, 3300, 3000, nullptr, 0},
        {CAT_VOLTAGE, 3299, 3300, 3000, nullptr, 1},
        {CAT_VOLTAGE, 3000, 3300, 3000, nullptr, 0},
        {CAT_TEMP, 60, 60, 0, nullptr, 0},
        {CAT_TEMP, 59, 60, 0, nullptr, 1},
        {CAT_TEMP, 30, 60, 0, "overheat", 0},
        {CAT_TEMP, 30, 60, 0, "High", 1},
        {CAT_TEMP, 0xFFFFFFFFll, 60, 0, nullptr, 1},  // -1 degree in the low half
        {CAT_TEMP, 0x100000000ll + 70, 60, 0, nullptr, 0},  // upper half ignored
        {CAT_SWITCH, 0, 0, 0, nullptr, 1},
        {CAT_SWITCH, 2, 0, 0, nullptr, 0},
        {CAT_DRIVE, 0, 10, -10, nullptr, 0},
    };
    for (const Case& c : cases) {
        ItemDisplay d{};
        d.category = c.category;
        d.reading = c.reading;
        d.highLimit = c.high;
        d.lowLimit = c.low;
        if (c.text) {
            d.hasThermalText = 1;
            copy_text(d.thermalText, c.text);
        }
        EXPECT_EQ(c.normal, isNormalReading(&d)) << c.category << " " << c.reading;
    }
}

}  // namespace
