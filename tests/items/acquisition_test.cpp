// Readings and limits on virtual boards, where a report case would not show
// them: limit paths, PECI's missing and refused agents, the depth bound of
// references, divisor and limit failures, the range of an
// item and the judgement of a reading.
#include "items/acquisition.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fixed_text.h"
#include "support/items_boards.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

constexpr int64_t kUntouched = 0x5A5A;

// With the SMBus controller at 0x1100 known, as io_open leaves it.
class Acquisition : public EngineTest {
protected:
    void SetUp() override { reset(); }
    void reset() {
        reset_engine_state();
        SMB_BASE_IO_ADDR = 0x1100;
        IntelDevice = 0;
    }
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

// The bus accesses of the trace: SMBus, IPMI and I/O block (0x800) lines as
// they stand, and the
// banked index/data accesses of the chip at 0x295 (bank select 0x4E) as
// "isa b<bank> <register> -> <value>" (a read) or "... = <value>" (a write).
std::vector<std::string> accesses(const Sandbox& sb) {
    std::vector<std::string> kept;
    std::string index;
    int bank = 0;
    for (const std::string& line : sb.trace()) {
        if (line.rfind("i2c 0 0x", 0) == 0 || line.rfind("ipmi ", 0) == 0 ||
            line.rfind("inb 0x8", 0) == 0 || line.rfind("outb 0x8", 0) == 0) {
            kept.push_back(line);
        } else if (line.rfind("outb 0x295 ", 0) == 0) {
            index = line.substr(11);
        } else if (line.rfind("inb 0x296 -> ", 0) == 0 && index != "0x4e") {
            kept.push_back("isa b" + std::to_string(bank) + " " + index + line.substr(9));
        } else if (line.rfind("outb 0x296 ", 0) == 0) {
            if (index == "0x4e")
                bank = std::stoi(line.substr(11), nullptr, 16) & 7;
            else
                kept.push_back("isa b" + std::to_string(bank) + " " + index + " = " +
                               line.substr(11));
        }
    }
    return kept;
}

// ---- the chip paths of readings and limits ----------------------------------------

struct PathCase {
    const char* what;
    ItemRecord it;
    const char* limit;  // the limit parameter, or nullptr for a reading
    int32_t status;
    int64_t value;
    std::vector<std::string> trace;
};

// Reads the case's item (or its low limit) and checks value, status and trace.
template <size_t N>
void check(Sandbox& sb, SystemRecord& system, ParameterRecord (&params)[N], const PathCase& c) {
    SCOPED_TRACE(c.what);
    sb.clear_trace();
    ItemRecord it = c.it;
    int64_t value = kUntouched;
    int32_t status = c.limit ? get_item_limit(kLimitLow, &system, c.limit, &it, params, N, &value)
                             : get_item_readingImpl(&system, &it, 1, params, N, &it, &value);
    EXPECT_EQ(c.status, status);
    EXPECT_EQ(c.value, value);
    EXPECT_THAT(accesses(sb), ElementsAreArray(c.trace));
}

// The chip paths are pinned by the report cases on boards (the bundled ones,
// and items-report-chip-paths-banks-and-unserved-items for the banks and the
// items a board cannot serve); what a report would not show stays here.
TEST_F(Acquisition, LimitPathsAReportDoesNotShow) {
    SmbusSandbox sb(smbus_board(R"("0x28": "0x7F", "0x54": "0x10", "0x55": "0xFC")"));
    SystemRecord system = smbus_system();
    system.busType = BUS_SMBUS | BUS_ISA;
    ParameterRecord params[] = {param("L30", 0x2D, 0x54), param("L127", 0x2D, 0x28),
                                param("LT", 1, 0x55)};
    const PathCase cases[] = {
        // Bank 1 is selected on the item's own chip (0x2E: no answer), the
        // limit read from the parameter's.
        {"NCT7904D limit in bank 1", item("F30", CAT_FAN, 30, 1, 0x2E, 0x80, "DIV"), "L30", 0,
         2500,
         {"i2c 0 0x2e write 0xff 0x01 -> nak", "i2c 0 0x2d read 0x54 -> 0x10",
          "i2c 0 0x2d read 0x55 -> 0xfc"}},
        {"NCT6776F bank 7 temperature: 95 without a read", item("T28", CAT_TEMP, 28, 2, 7, 0x27),
         "LT", 0, 95, {}},
        {"switch limit: read, not converted", item("S", CAT_SWITCH, 0, 1, 0x2D, 0), "L127", 0,
         kUntouched, {"i2c 0 0x2d read 0x28 -> 0x7f"}},
    };
    for (const PathCase& c : cases) check(sb, system, params, c);
}

// ---- BMC paths (the bundled BMC boards' reports pin the others) ----------------------

TEST_F(Acquisition, PeciAgentMissingOrRefused) {
    SmbusSandbox sb(smbus_board("", R"("bmc": {"interface": "openipmi",
                 "buses": {"0x05": [{"address": "0x2D", "registers": {"0x24": "0x33"}}]},
                 "responses": {"30/93 01": "00 ff"}}, )"));
    {
        OutputCapture quiet;
        ASSERT_EQ(0, IpmiInit());
    }
    SystemRecord sys = smbus_system();
    ParameterRecord params[] = {param("DIV", 0x2D, 0x47)};
    const PathCase cases[] = {
        // Agent (0x02 & 0x0F) >> 1 = 1 is not there: 0xFF shows as 0.
        {"PECI agent missing", item("T32", CAT_TEMP, 32, 1, 0x2D, 0x02), nullptr, 0, 0,
         {"ipmi openipmi 30/93 01 -> 00 ff"}},
        // No PECI agent 2: the chip is read over the SMBus, which the BMC
        // carries (Master Write-Read on its private bus).
        {"PECI refused: the chip", item("T32", CAT_TEMP, 32, 1, 0x2D, 0x24), nullptr, 0, 0x33,
         {"ipmi openipmi 30/93 02 -> c1", "ipmi openipmi 06/52 05 5a 01 24 -> 00 33"}},
    };
    for (const PathCase& c : cases) check(sb, sys, params, c);
}

// The NCT6776F's PECI temperatures come from the BMC when it owns the chip
// (report-bmc-openipmi), from the chip otherwise
// (items-report-nct6776f-peci-read-locally-when-the-bmc-does-not-own-it).
// Retries against the limits: items-report-reading-outside-its-limits-read-three-times.

// ---- reference items ------------------------------------------------------------

// A missing reference, loops and a switch naming itself:
// items-report-switches-judged-by-their-reference-items. The depth bound:
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

// ---- divisor, mask, range, status -------------------------------------------------

// Fixed divisors and divisor fields: the bundled boards' reports.
TEST_F(Acquisition, DivisorAndLimitFailures) {
    SmbusSandbox sb(smbus_board(R"("0x47": "0x90", "0x3A": "0x3C")"));
    SystemRecord sys = smbus_system();
    ParameterRecord params[] = {param("FANDIV", 0x2D, 0x47), param("TLO", 0x2D, 0x3A)};
    OutputCapture out;
    // Not named DIVISOR...: read, but not converted.
    uint32_t divisor = 77;
    ItemRecord fan = item("F1", CAT_FAN, 1, 1, 0x2D, 0x28, "FANDIV", "TLO");
    EXPECT_EQ(0, get_item_divisor(&sys, &fan, params, 2, &divisor));
    EXPECT_EQ(77u, divisor);
    EXPECT_THAT(accesses(sb), ElementsAre("i2c 0 0x2d read 0x47 -> 0x90"));
    copy_text(fan.paraIndex1, "NODIV");
    EXPECT_EQ(-1, get_item_divisor(&sys, &fan, nullptr, 0, &divisor));
    EXPECT_EQ(77u, divisor);
    // A fan limit of a divisor chip without its divisor: divisor 0 fails.
    int64_t value = kUntouched;
    EXPECT_EQ(-1, get_item_limit(kLimitLow, &sys, "tlo", &fan, params, 2, &value));
    EXPECT_EQ(0, value);
    value = kUntouched;
    ItemRecord temp = item("T0", CAT_TEMP, 0, 1, 0x2D, 0x27, "THI", "TLO");
    EXPECT_EQ(-1, get_item_limit(kLimitLow, &sys, "NOPE", &temp, params, 2, &value));
    EXPECT_EQ(kUntouched, value);
    EXPECT_EQ("Error: Parameter is not found.\n", out.err());
    const std::string missing = "Error: Cannot get the divisor 'NODIV'!\n";
    EXPECT_EQ(missing + missing, out.out());
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
    // {category, reading, high, low, thermal text or nullptr, normal}
    const struct {
        int32_t category;
        int64_t reading, high, low;
        const char* text;
        int32_t normal;
    } cases[] = {
        {CAT_FAN, 0, 0, 0, nullptr, 0},  // a stopped fan at limit 0
        {CAT_FAN, 1, 0, 0, nullptr, 1},  {CAT_VOLTAGE, 3300, 3300, 3000, nullptr, 0},
        {CAT_VOLTAGE, 3299, 3300, 3000, nullptr, 1}, {CAT_VOLTAGE, 3000, 3300, 3000, nullptr, 0},
        {CAT_TEMP, 60, 60, 0, nullptr, 0}, {CAT_TEMP, 59, 60, 0, nullptr, 1},
        {CAT_TEMP, 30, 60, 0, "overheat", 0}, {CAT_TEMP, 30, 60, 0, "High", 1},
        {CAT_TEMP, 0xFFFFFFFFll, 60, 0, nullptr, 1},        // -1 degree in the low half
        {CAT_TEMP, 0x100000000ll + 70, 60, 0, nullptr, 0},  // upper half ignored
        {CAT_SWITCH, 0, 0, 0, nullptr, 1}, {CAT_SWITCH, 2, 0, 0, nullptr, 0},
        {CAT_DRIVE, 0, 10, -10, nullptr, 0},
    };
    for (const auto& c : cases) {
        ItemDisplay d{};
        d.category = c.category;
        d.reading = c.reading;
        d.highLimit = c.high;
        d.lowLimit = c.low;
        d.hasThermalText = c.text != nullptr;
        if (c.text) copy_text(d.thermalText, c.text);
        EXPECT_EQ(c.normal, isNormalReading(&d)) << c.category << " " << c.reading;
    }
}

}  // namespace
