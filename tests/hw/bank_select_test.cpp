// The bank rules of the banked monitor chips and the bank select check: what
// the check reads, rewrites and logs on an LPC chip and on an SMBus chip.
#include "hw/bank_select.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/fixed_text.h"
#include "hw_test_support.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using Lines = std::vector<std::string>;

using BankSelect = HwTest;

ItemRecord item_with(int32_t chipCode, int32_t busType, int32_t slave) {
    ItemRecord item;
    initItemRecord(&item);
    copy_text(item.name, "CPU Fan");
    item.chipCode = chipCode;
    item.busType = busType;
    item.slave = slave;
    return item;
}

SystemRecord lpc_system() {
    SystemRecord system;
    initSystemSection(&system);
    system.busType = BUS_ISA;
    system.indexReg = 0x295;
    system.dataReg = 0x296;
    return system;
}

TEST_F(BankSelect, WhichChipsAndWhichBank) {
    const std::set<int32_t> has = {1, 2, 7, 8, 10, 12, 15, 17, 19, 22, 23, 24, 28, 36};
    const std::set<int32_t> other = {1, 8, 10, 12, 15, 19, 22, 24, 28, 30, 36};
    for (int32_t code = -1; code <= 40; ++code) {
        ItemRecord item = item_with(code, BUS_ISA, 0);
        EXPECT_EQ(has.count(code), size_t(hasBankSelectRegister(&item))) << code;
        EXPECT_EQ(other.count(code), size_t(useOtherBankSelection(&item))) << code;
    }
    struct Case {
        int32_t chipCode, kind, offset;
        uint32_t bank;  // for an item whose slave (bank) is 5
    };
    const Case cases[] = {
        {1, 0, 0x53, 5},        {1, 0, 0x54, 0},  {2, 1, 0x50, 0},        {8, 0, 0x50, 0},
        {17, 2, 0x50, 0},       {10, 0, 0x51, 5}, {10, 0, 0x52, 0},       {36, 0, 0x57, 5},
        {24, 0, 0x58, 0},       {12, 0, 0x59, 5}, {15, 0, 0x5A, 0},       {12, 0, 0x5C, 5},
        {19, 0, 0x52, 0},       {22, 0, 0x5C, 5}, {28, 0, 0x2C, 5},       {28, 0, 0x2E, 0},
        {28, 0, 0x78, 5},       {28, 0, 0x79, 0}, {30, 0, 0x10, 0},       {30, 2, 0x10, 1},
        {30, 1, 0xCA, 0},       {30, 2, 0xD4, 0}, {30, 3, 0x10, kNoBank}, {3, 0, 0x50, kNoBank},
        {37, 0, 0x50, kNoBank},
    };
    for (const Case& c : cases) {
        ItemRecord item = item_with(c.chipCode, BUS_ISA, 5);
        EXPECT_EQ(c.bank, whichBankSelection(c.kind, &item, c.offset))
            << "chip " << c.chipCode << " kind " << c.kind << " offset " << c.offset;
    }
}

// The check on an LPC chip: 0x4E read and written through the banked
// accessors, so the read sees the bank it selected itself. A single-bank chip
// is rewritten and logged; chips that spread an item over banks silently; the
// NS87427 (code 8) has no register to check; an item on neither bus is left.
TEST_F(BankSelect, LpcChipReadRewrittenAndLogged) {
    // The banked access to 0x4E in bank `b`: the read's data line, or the write.
    auto access_4e = [](int b, bool write) {
        const std::string selected = "0x8" + std::to_string(b);
        return Lines{"outb 0x295 0x4e", "inb 0x296 -> 0x80", "outb 0x296 " + selected,
                     "outb 0x295 0x4e", write ? "outb 0x296 0x80" : "inb 0x296 -> " + selected,
                     "outb 0x295 0x4e", "outb 0x296 0x80"};
    };
    auto both = [&](int b) {
        Lines lines = access_4e(b, false), write = access_4e(b, true);
        lines.insert(lines.end(), write.begin(), write.end());
        return lines;
    };
    Lines logged = both(1);
    logged.push_back(
        "syslog 4 Correct wrong bank select register, 0x4e, of chipcode[2] from bank (1) to bank "
        "(0) for 'CPU Fan' monitor item's reading or threshold (offset=0x20).");
    struct Case {
        int32_t chipCode, busType, bank, offset, result;
        Lines trace;
    };
    const Case cases[] = {{2, BUS_ISA, 0, 0x20, 0, access_4e(0, false)},
                          {2, BUS_ISA, 1, 0x20, 1, logged},
                          {19, BUS_ISA, 1, 0x52, 1, both(1)},
                          {8, BUS_ISA, 1, 0x20, 0, {}},
                          {2, 0x4, 1, 0x20, 0, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chipCode);
        Sandbox sb(R"({"ports": {"0x295": {"index_data": {"data": "0x296",
          "bank_register": "0x4E", "bank_mask": "0x07", "registers": {"0x4E": "0x80"}}}}})");
        sys().iopl(3);
        sb.clear_trace();
        SystemRecord system = lpc_system();
        ItemRecord item = item_with(c.chipCode, c.busType, c.bank);
        EXPECT_EQ(c.result,
                  correctBankSelectRegister(kBankKindReading, 1, &system, &item, c.offset));
        EXPECT_THAT(sb.trace(), ElementsAreArray(c.trace));
    }
}

// The check on SMBus chips (W83793G, W83795ADG: register 0x00).
TEST_F(BankSelect, SmbusChipPutBackInBankZeroThenLeftAlone) {
    Sandbox sb(R"({"pci": [{"bus": 0, "device": 31, "function": 3, "id": "0x3A308086",
        "config": {"0x20": "0x00001101"}}],
      "ports": {"0x1100": {"bytes": "00 00 00 00"}},
      "smbus": [{"bus": 0, "name": "SMBus I801 adapter at 1100", "devices": [{"address": "0x2F",
        "bank_register": "0x00", "bank_mask": "0x07", "registers": {"0x00": "0x82"}}]}]})");
    // What the run has set up by then: the adapter list and the controller base.
    ASSERT_GT(init_i2c_bus_list(), 0);
    SystemRecord system = lpc_system();
    system.busType = BUS_SMBUS;
    ASSERT_EQ(0, io_open(&system));
    sb.clear_trace();
    ItemRecord item = item_with(17, BUS_SMBUS, 0x2F);
    EXPECT_EQ(1, correctBankSelectRegister(kBankKindLowLimit, 0, &system, &item, 0x1C));
    EXPECT_EQ(0, correctBankSelectRegister(kBankKindLowLimit, 0, &system, &item, 0x1C));
    item.slave = 0x2E;  // nobody answers there: nothing is written
    EXPECT_EQ(0, correctBankSelectRegister(kBankKindReading, 1, &system, &item, 0x1C));
    Lines bus_and_log;
    for (const std::string& line : sb.trace())
        if (line.rfind("i2c ", 0) == 0 || line.rfind("syslog ", 0) == 0)
            bus_and_log.push_back(line);
    EXPECT_THAT(bus_and_log,
                ElementsAre("i2c 0 slave 0x2f -> 0", "i2c 0 0x2f read 0x00 -> 0x82",
                            "i2c 0 slave-force 0x2f -> 0", "i2c 0 0x2f write 0x00 0x80 -> 0",
                            "syslog 4 Correct wrong bank select register, 0x00, of chipcode[17] "
                            "from bank (2) to bank (0) for 'CPU Fan' monitor item's "
                            "reading or threshold (offset=0x1c).",
                            "i2c 0 slave 0x2f -> 0", "i2c 0 0x2f read 0x00 -> 0x80",
                            "i2c 0 slave 0x2e -> 0", "i2c 0 0x2e read 0x00 -> nak"));
}

}  // namespace
