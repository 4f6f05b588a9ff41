// The bank select check on an SMBus chip: what it reads, rewrites and logs.
// No program switches the check on (bNeedCheckBankSelectRegister stays 0), so
// this test is what keeps the rewrite of the bank register honest.
#include "hw/bank_select.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fixed_text.h"
#include "hw_test_support.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

using BankSelect = HwTest;

// The check on SMBus chips (W83793G, W83795ADG: register 0x00).
TEST_F(BankSelect, SmbusChipPutBackInBankZeroThenLeftAlone) {
    Sandbox sb(R"({"pci": [{"bus": 0, "device": 31, "function": 3, "id": "0x3A308086",
        "config": {"0x20": "0x00001101"}}],
      "ports": {"0x1100": {"bytes": "00 00 00 00"}},
      "smbus": [{"bus": 0, "name": "SMBus I801 adapter at 1100", "devices": [{"address": "0x2F",
        "bank_register": "0x00", "bank_mask": "0x07", "registers": {"0x00": "0x82"}}]}]})");
    // What the run has set up by then: the adapter list and the controller base.
    ASSERT_GT(init_i2c_bus_list(), 0);
    SystemRecord system;
    initSystemSection(&system);
    system.busType = BUS_SMBUS;
    ASSERT_EQ(0, io_open(&system));
    sb.clear_trace();
    ItemRecord item;
    initItemRecord(&item);
    copy_text(item.name, "CPU Fan");
    item.chipCode = 17;
    item.busType = BUS_SMBUS;
    item.slave = 0x2F;
    EXPECT_EQ(1, correctBankSelectRegister(kBankKindLowLimit, 0, &system, &item, 0x1C));
    EXPECT_EQ(0, correctBankSelectRegister(kBankKindLowLimit, 0, &system, &item, 0x1C));
    item.slave = 0x2E;  // nobody answers there: nothing is written
    EXPECT_EQ(0, correctBankSelectRegister(kBankKindReading, 1, &system, &item, 0x1C));
    std::vector<std::string> bus_and_log;
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
