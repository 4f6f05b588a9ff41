// Thermal status text on virtual boards: which items get a word, the three
// threshold rules at their edges per family, what each family reads, and the
// bank select registers left as they were found.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fixed_text.h"
#include "items/thermal_text.h"
#include "support/items_boards.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using ThermalText = EngineTest;

SystemRecord system_with(uint32_t guide, uint32_t level = 0) {
    SystemRecord s;
    initSystemSection(&s);
    s.busType = BUS_ISA | BUS_SMBUS;
    s.indexReg = 0x295;
    s.dataReg = 0x296;
    s.coreTempChipCode = 1;
    s.thermalGuideChipType = guide;
    s.w83793gTempLevelType = level;
    return s;
}

ItemRecord temp_item(const char* name, int32_t chipCode, int32_t busType, int32_t slave,
                     int32_t offset) {
    ItemRecord item;
    initItemRecord(&item);
    copy_text(item.name, name);
    item.category = CAT_TEMP;
    item.chipCode = chipCode;
    item.busType = busType;
    item.slave = slave;
    item.offset = offset;
    return item;
}

// An LPC monitor chip at 0x295/0x296, bank select 0x4E at 0x80 (bank 0);
// `banks` is the board's "banks" object.
std::string isa_board(const std::string& banks, const std::string& more = "") {
    return R"({"ports": {"0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E",
        "registers": {"0x4E": "0x80"}, "banks": )" +
           banks + "}}" + more + "}}";
}

// The (bank, register) of each banked read on the LPC chip, "b1 0x44".
std::vector<std::string> isa_reads(const std::vector<std::string>& t) {
    std::vector<std::string> reads;
    for (size_t i = 0; i + 4 < t.size(); ++i)
        if (t[i] == "outb 0x295 0x4e" && t[i + 2].rfind("outb 0x296 0x8", 0) == 0 &&
            t[i + 4].rfind("inb 0x296", 0) == 0)
            reads.push_back("b" + t[i + 2].substr(14) + " " + t[i + 3].substr(11));
    return reads;
}

using Lines = std::vector<std::string>;
Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// getThermalText's status and word ("keep" where it wrote none).
std::pair<int32_t, std::string> word(const SystemRecord& system, const ItemRecord& item) {
    char text[10] = "keep";
    const int32_t status = getThermalText(&system, &item, text);
    return {status, text};
}
using Word = std::pair<int32_t, std::string>;

// The chip's bank select register now (bank restored means 0x80).
uint32_t isa_bank_register() {
    sys().outb(0x4E, 0x295);
    return sys().inb(0x296);
}

// ---- names and the support table ----

TEST_F(ThermalText, CpuNumberFromName) {
    // clang-format off
    const std::pair<const char*, int32_t> cases[] = {
        {"CPU2 Temperature", 2}, {"PECI Agent1", 1},  {"PECI Agent 2", 1}, {"CPU12", 1},
        {"PECI Agent3 (CPU2)", 2}, {"PECI Agent2 CPU", 2}, {"CPU3", 3}, {"PECI Agent4", 4},
        {"cpu2 temp", 2},        {"System Temp", 0}, {"", 0}};
    // clang-format on
    for (const auto& [name, cpu] : cases) {
        ItemRecord item = temp_item(name, 19, BUS_ISA, 0, 0x50);
        EXPECT_EQ(cpu, getCpuNumberOfItem(&item)) << name;
    }
}

TEST_F(ThermalText, SupportAndRefusalWithoutHardware) {
    struct { int32_t chip, slave, offset, supported; } const cases[] = {
                       {23, 0x2F, 0x25, 0}, {23, 0x2F, 0x26, 1}, {29, 0x2F, 0x2D, 1},
                       {29, 0x2F, 0x2E, 0}, {25, 0, 0x2B, 1},    {25, 0, 0x2C, 0},
                       {28, 7, 0x17, 1},    {28, 6, 0x17, 0},    {33, 7, 0x1E, 1},
                       {33, 7, 0x1F, 0},    {30, 0x2D, 0xA0, 1}, {30, 0x2D, 0xA1, 0},
                       {32, 0x2D, 0xAE, 1}, {32, 0x2D, 0xB0, 0}, {18, 0, 0x2B, 0}};
    Sandbox sb;
    SystemRecord system = system_with(0);
    for (const auto& c : cases) {
        ItemRecord item = temp_item("CPU1 Temp", c.chip, BUS_ISA, c.slave, c.offset);
        EXPECT_EQ(c.supported, supportThermalText(&system, &item)) << c.chip << " " << c.offset;
        item.category = CAT_VOLTAGE;
        EXPECT_EQ(0, supportThermalText(&system, &item));
    }
    // No word for a fan or a name without a CPU number.
    ItemRecord fan = temp_item("CPU1 Fan", 25, BUS_ISA, 0, 0x2B);
    fan.category = CAT_FAN;
    EXPECT_EQ(Word(-1, "keep"), word(system, fan));
    EXPECT_EQ(Word(-1, "keep"), word(system, temp_item("System Temp", 19, BUS_ISA, 0, 0x50)));
    // Off when neither the core-temperature chip nor the guide is set.
    system.coreTempChipCode = 0;
    ItemRecord item = temp_item("CPU1 Temp", 25, BUS_ISA, 0, 0x2B);
    EXPECT_EQ(0, supportThermalText(&system, &item));
    system.thermalGuideChipType = 1;
    EXPECT_EQ(1, supportThermalText(&system, &item));
    EXPECT_TRUE(sb.trace().empty());
}

// ---- the guide rules, on the IT8720F (bank = slave 1: A 0x44, B 0x45, ref 0x97) ----

TEST_F(ThermalText, GuideRulesAtTheirEdges) {
    // What is read: the pair only for the chip's own thresholds, ref only after a pair.
    const Lines pair = {"b1 0x44", "b1 0x45", "b1 0x97", "b1 0x2b"};
    const Lines noPair = {"b1 0x44", "b1 0x45", "b1 0x2b"}, t = {"b1 0x2b"};
    struct { uint32_t guide, a, b, ref, t; const char* text; Lines reads; } const cases[] = {
        // clang-format off
        // relative: limit 100 − 5 = 95, Medium from 86
        {0, 0x55, 0x50, 5, 85, "Low", pair}, {0, 0x55, 0x50, 5, 86, "Medium", pair},
        {0, 0x55, 0x50, 5, 95, "Medium", pair}, {0, 0x55, 0x50, 5, 96, "High", pair},
        // ref 90: limit 10, Low only at 0; ref 91 wraps: always Low
        {0, 0x55, 0x50, 90, 0, "Low", pair}, {0, 0x55, 0x50, 90, 1, "Medium", pair},
        {0, 0x55, 0x50, 90, 11, "High", pair}, {0, 0x55, 0x50, 91, 255, "Low", pair},
        // no pair (A − 5 ≠ B): default
        {0, 0x55, 0x51, 5, 70, "Low", noPair}, {0, 0x55, 0x51, 5, 71, "Medium", noPair},
        {0, 0x55, 0x51, 5, 85, "Medium", noPair}, {0, 0x55, 0x51, 5, 86, "High", noPair},
        {0, 0x03, 0xFE, 5, 71, "Medium", noPair},
        // fixed, whatever the registers say; another guide: no text
        {1, 0x55, 0x50, 5, 45, "Low", t}, {1, 0x55, 0x50, 5, 46, "Medium", t},
        {1, 0x55, 0x50, 5, 60, "Medium", t}, {1, 0x55, 0x50, 5, 61, "High", t},
        {2, 0x55, 0x50, 5, 99, "keep", t}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.guide << " ref " << c.ref << " t " << c.t);
        Sandbox sb(isa_board(R"({"1": {"0x44": )" + std::to_string(c.a) + R"(, "0x45": )" +
                             std::to_string(c.b) + R"(, "0x97": )" + std::to_string(c.ref) +
                             R"(, "0x2B": )" + std::to_string(c.t) + "}}"));
        sys().iopl(3);
        EXPECT_EQ(Word(0, c.text),
                  word(system_with(c.guide), temp_item("CPU1 Temp", 25, BUS_ISA, 1, 0x2B)));
        EXPECT_EQ(c.reads, isa_reads(sb.trace()));
        EXPECT_EQ(0x80u, isa_bank_register());
    }
}

// ---- W83627DHG: bank named after the CPU, pair in bank 1, ref in bank 4 ----

TEST_F(ThermalText, W83627DHGReadsTheCpusBank) {
    struct { const char* name; Lines reads; const char* text; } const cases[] = {
                       {"CPU2 Temperature", {"b1 0x55", "b1 0x53", "b4 0x5f", "b2 0x50"}, "High"},
                       {"PECI Agent1", {"b1 0x55", "b1 0x53", "b4 0x5f", "b1 0x50"}, "Low"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox sb(isa_board(R"({"1": {"0x55": "0x55", "0x53": "0x50", "0x50": 85},
            "2": {"0x50": 96}, "4": {"0x5F": 5}})"));
        sys().iopl(3);
        EXPECT_EQ(Word(0, c.text), word(system_with(0), temp_item(c.name, 19, BUS_ISA, 0, 0x50)));
        EXPECT_THAT(isa_reads(sb.trace()), ElementsAreArray(c.reads));
        EXPECT_EQ(0x80u, isa_bank_register());
    }
}

// The BIOS's mark (100) in Super I/O device 0x0C (register 0xE1 for CPU 1,
// 0xE2 for CPU 2) and a ref that is not 0xFF; only register 0x50 has a word.
TEST_F(ThermalText, W83627DHGSupportAsksTheSuperIo) {
    const std::string sio = R"(, "0x2E": {"superio": {"data": "0x2F", "entry": ["0x87", "0x87"],
        "exit": "0xAA", "devices": {"0x0C": {"0xE1": "0x64", "0xE2": "0x63"}}}})";
    const Lines enter = {"ioperm 0x2e 1 1 -> 0", "ioperm 0x2f 1 1 -> 0", "outb 0x2e 0x87",
                         "outb 0x2e 0x87",       "outb 0x2e 0x07",       "outb 0x2f 0x0c"};
    struct {
        const char* name;
        const char* ref;
        int32_t offset, supported;
        Lines seen, reads;
    } const cases[] = {
        {"CPU1 Temp", "0x05", 0x50, 1,
         enter + Lines{"outb 0x2e 0xe1", "inb 0x2f -> 0x64", "outb 0x2e 0xaa"}, {"b4 0x5f"}},
        {"CPU1 Temp", "0xFF", 0x50, 0,
         enter + Lines{"outb 0x2e 0xe1", "inb 0x2f -> 0x64", "outb 0x2e 0xaa"}, {"b4 0x5f"}},
        {"CPU2 Temp", "0x05", 0x50, 0,
         enter + Lines{"outb 0x2e 0xe2", "inb 0x2f -> 0x63", "outb 0x2e 0xaa"}, {}},
        {"CPU1 Temp", "0x05", 0x51, 0, {}, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << c.ref << " " << c.offset);
        Sandbox sb(isa_board(std::string(R"({"4": {"0x5F": ")") + c.ref + "\"}}", sio));
        sys().iopl(3);
        sb.clear_trace();
        SystemRecord system = system_with(0);
        ItemRecord item = temp_item(c.name, 22, BUS_ISA, 0, c.offset);
        EXPECT_EQ(c.supported, supportThermalText(&system, &item));
        const Lines& t = sb.trace();
        EXPECT_EQ(c.seen, Lines(t.begin(), t.begin() + std::min(t.size(), c.seen.size())));
        EXPECT_EQ(c.reads, isa_reads(t));
        if (c.seen.empty()) {
            EXPECT_TRUE(t.empty());
        }
    }
}

// ---- NCT6776F ----

TEST_F(ThermalText, NCT6776FPeciValue) {
    struct { int32_t chip; uint32_t hi, lo; int32_t status; const char* text; } const cases[] = {
        {28, 0xF6, 0x00, 0, "Low"},                                        // v 60
        {28, 0xF6, 0x40, 0, "Medium"},   {28, 0xFC, 0x40, 0, "Medium"},    // v 61, 85
        {28, 0xFC, 0x80, 0, "High"},     {28, 0xFE, 0x80, 0, "High"},      // v 86, 94
        {28, 0xFE, 0xC0, 0, "Overheat"}, {28, 0x80, 0x00, 0, "Overheat"},  // v 95, (−412) 100
        {28, 0x20, 0x00, -1, "keep"},     // bit 7 clear: no reading
        {33, 0x2E, 0x80, 0, "Low"},       // bit 7 clear: 184 + 2 + 100 = 286 → 30
        {33, 0x40, 0x00, 0, "Overheat"},  // 256 + 100 → 100
        {33, 0xEC, 0x40, 0, "Low"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.chip << " " << c.hi << " " << c.lo);
        Sandbox sb(
            isa_board(R"({"7": {"0x19": )" + std::to_string(c.hi) + R"(, "0x1A": )" +
                      std::to_string(c.lo) + "}}"));
        sys().iopl(3);
        // The guide (2: no text) is not looked at by these chips.
        EXPECT_EQ(Word(c.status, c.text),
                  word(system_with(2), temp_item("CPU1 Temp", c.chip, BUS_ISA, 7, 0x19)));
        EXPECT_THAT(isa_reads(sb.trace()), ElementsAre("b7 0x19", "b7 0x1a"));
        EXPECT_EQ(0x80u, isa_bank_register());
    }
}

// ---- SMBus chips: W83793G and W83795ADG (bank in register 0x00), NCT7904D ----

// An Intel SMBus controller at 0x1100 and one chip at 0x2F; `device` adds
// members to the chip.
std::string smbus_board(const std::string& device) {
    return R"({"clock": {"virtual": true}, "pci": [{"bus": 0, "device": 31,
        "function": 3, "id": "0x3A308086", "config": {"0x20": "0x00001101"}}],
      "ports": {"0x1100": {"bytes": "00 00 00 00"}},
      "smbus": [{"bus": 0, "type": "smbus", "name": "SMBus I801 adapter at 1100",
        "algorithm": "Non-I2C SMBus adapter", "listing": "proc",
        "devices": [{"address": "0x2F", )" +
           device + "}]}]}";
}

void open_smbus(Sandbox& sb) {
    reset_engine_state();
    ASSERT_GT(init_i2c_bus_list(), 0);
    SystemRecord system = system_with(0);
    system.busType = BUS_SMBUS;
    ASSERT_EQ(0, io_open(&system));
    sb.clear_trace();
}

std::vector<std::string> i2c_lines(const std::vector<std::string>& trace) {
    std::vector<std::string> found;
    for (const std::string& line : trace)
        if (line.rfind("i2c 0 0x2f ", 0) == 0) found.push_back(line.substr(11));
    return found;
}

// Bank 2 holds two limit sets: level type 1 at 0x30-0x32, level type 0 at
// 0x34-0x36 (CPU 2: 0x40-0x46). t in bank 0 at 0x1C/0x1D.
constexpr const char* kW83793G = R"("bank_register": "0x00", "registers": {"0x00": "0x81"},
    "banks": {"0": {"0x1C": 75, "0x1D": 40, "0xD1": 100, "0xD2": 99},
              "2": {"0x30": 70, "0x32": 80, "0x34": 50, "0x36": 60,
                    "0x40": 30, "0x42": 40, "0x44": 35, "0x45": 40, "0x46": 45}})";

TEST_F(ThermalText, W83793GLimitsByLevelTypeAndGuide) {
    // A word comes from bank 2's H and L (read in that order) and bank 0's
    // t; the bank select register (0x81) is restored at the end.
    const auto regs = [](const char* hi, const char* lo, const char* t) {
        return Lines{"read 0x00", "write 0x00 0x82 -> 0", std::string("read ") + hi,
                     std::string("read ") + lo, "write 0x00 0x80 -> 0", std::string("read ") + t,
                     "write 0x00 0x81 -> 0"};
    };
    struct { const char* name; uint32_t guide, level; int32_t status; const char* text; Lines seen; }
    const cases[] = {{"CPU1 Temp", 0, 1, 0, "Medium", regs("0x32", "0x30", "0x1c")},  // 70<75≤80
                     {"CPU1 Temp", 0, 0, 0, "High", regs("0x36", "0x34", "0x1c")},    // 75 > 60
                     {"CPU2 Temp", 0, 0, 0, "Medium", regs("0x46", "0x44", "0x1d")},  // 39<40≤49
                     {"CPU2 Temp", 0, 1, 0, "Medium", regs("0x42", "0x40", "0x1d")},  // 30<40≤40
                     {"CPU1 Temp", 1, 0, 0, "High", regs("0x36", "0x34", "0x1c")},  // fixed: 75>60
                     {"CPU2 Temp", 1, 0, 0, "Low", regs("0x46", "0x44", "0x1d")},   // fixed: 40≤45
                     {"CPU1 Temp", 3, 0, 0, "keep", regs("0x36", "0x34", "0x1c")},  // other guide
                     {"CPU1 Temp", 0, 2, -1, "keep", {}},  // level type above 1
                     {"System Temp", 0, 0, -1, "keep", {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " guide " << c.guide << " level " << c.level);
        Sandbox sb(smbus_board(kW83793G));
        open_smbus(sb);
        const bool cpu2 = c.name[3] == '2';
        EXPECT_EQ(Word(c.status, c.text),
                  word(system_with(c.guide, c.level),
                       temp_item(c.name, 17, BUS_SMBUS, 0x2F, cpu2 ? 0x1D : 0x1C)));
        Lines seen;
        for (const std::string& line : i2c_lines(sb.trace()))
            seen.push_back(line.rfind("read", 0) == 0 ? line.substr(0, line.find(" ->")) : line);
        EXPECT_EQ(c.seen, seen);
    }
}

TEST_F(ThermalText, W83793GSupportNeedsTheMarkAndAConsistentSet) {
    // CPU 1: 0x36/0x35/0x34 = 60/55/50 is consistent at level 0 (0x35 set below);
    // 0x32/0x31/0x30 = 80/0/70 is not. CPU 2 carries 99, not the mark.
    struct { const char* name; uint32_t level; int32_t supported; } const cases[] = {
        {"CPU1 Temp", 0, 1}, {"CPU1 Temp", 1, 0}, {"CPU2 Temp", 0, 0}};
    const std::string device = std::string(kW83793G).replace(
        std::string(kW83793G).find(R"("0x36": 60)"), 10, R"("0x36": 60, "0x35": 55)");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " level " << c.level);
        Sandbox sb(smbus_board(device));
        open_smbus(sb);
        SystemRecord system = system_with(0, c.level);
        ItemRecord item = temp_item(c.name, 17, BUS_SMBUS, 0x2F, 0x1C);
        EXPECT_EQ(c.supported, supportThermalText(&system, &item));
        const auto lines = i2c_lines(sb.trace());
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ("write 0x00 0x80 -> 0", lines[1]);  // bank 0 for the mark
        EXPECT_EQ("write 0x00 0x81 -> 0", lines.back());
    }
}

// W83795ADG (bank select 0x00 at bank 2, put back) and NCT7904D (0xFF,
// bank 0 left selected, no Overheat): the word and the bank writes.
TEST_F(ThermalText, W83795ADGAndNCT7904DSelectBankZero) {
    // A 0xB2 = 0x5F; ref 0xDF = 10: limit 90. B 0x5B: no pair, default rule.
    const auto w83795 = [](const char* b, int t) {
        return R"("bank_register": "0x00", "registers": {"0x00": "0x82"}, "banks": {"0":
            {"0xB2": "0x5F", "0xB3": ")" + std::string(b) + R"(", "0xDF": 10, "0x26": )" +
               std::to_string(t) + R"(}, "2": {"0x26": 0}})";
    };
    const auto nct = [](const char* t) {
        return R"("bank_register": "0xFF", "registers": {"0xFF": 1}, "banks": {"0": {"0xA2": )" +
               std::string(t) + "}}";
    };
    const Lines restored = {"write 0x00 0x80 -> 0", "write 0x00 0x82 -> 0"};
    const Lines bank0 = {"write 0xff 0x00 -> 0"};
    struct { int32_t chip, offset; std::string device; Word word; Lines writes; } const cases[] = {
        {23, 0x26, w83795("0x5A", 90), {0, "Medium"}, restored},
        {23, 0x26, w83795("0x5A", 91), {0, "High"}, restored},
        {23, 0x26, w83795("0x5B", 86), {0, "High"}, restored},
        {30, 0xA2, nct("60"), {0, "Low"}, bank0},
        {32, 0xA2, nct("61"), {0, "Medium"}, bank0},
        {30, 0xA2, nct("85"), {0, "Medium"}, bank0},
        {32, 0xA2, nct("86"), {0, "High"}, bank0},
        {30, 0xA2, nct("255"), {0, "High"}, bank0},
        {32, 0xA2, nct(R"({"fail": true})"), {-1, "keep"}, bank0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        Sandbox sb(smbus_board(c.device));
        open_smbus(sb);
        const char* name = c.chip == 23 ? "CPU1 Temp" : "CPU2 Temp";
        EXPECT_EQ(c.word,
                  word(system_with(0), temp_item(name, c.chip, BUS_SMBUS, 0x2F, c.offset)));
        Lines writes;
        for (const std::string& line : i2c_lines(sb.trace()))
            if (line.rfind("write", 0) == 0) writes.push_back(line);
        EXPECT_EQ(c.writes, writes);
    }
}

// ME boards (a Winbond BMC) take the PECI agent's value from the BMC, never
// the chip: items-report-thermal-words-from-the-bmcs-peci-agents.

}  // namespace
