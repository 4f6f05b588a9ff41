// Banked register access to an LPC monitor chip: the NCT6776F's split fan
// count, and the BMC route (OEM 30/2C) taken when a BMC of an owning kind is
// open. The local bank select and restore: e2e hw-demo-banked-reads-*.
#include "hw/isa_access.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "support/hw_state.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

// A W83627-style monitor at 0x295/0x296 whose bank select register holds
// `bank_select`, behind a BMC with `bmc` members if given.
std::string chip(const char* bank_select, const char* bmc = nullptr) {
    std::string text = "{";
    if (bmc) text += std::string(R"("bmc": {"interface": "openipmi", "isa_proxy": true, )");
    if (bmc) text += std::string(bmc) + "}, ";
    return text + R"("ports": {"0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E",
      "bank_mask": "0x07", "registers": {"0x4E": ")" +
           bank_select + R"(", "0x50": "0x11"},
      "banks": {"2": {"0x50": "0x2D"}, "1": {"0x58": "0x10", "0x59": "0x25"},
                "3": {"0x58": "0xFF", "0x59": "0xFF"}}}}}})";
}

// The GUID's first bytes: OBWinbond owns the chip, Peppercon not, Renesas-AMI does.
std::string guid(const char* kind) {
    return std::string(R"("guid": ")") + kind + R"( 30 30 31 51 4B 00 00 00 00 00 00 00 00 00 00")";
}

using IsaAccess = HwTest;

TEST_F(IsaAccess, LocalSplitFanCount) {
    Sandbox sb(chip("0x0C"));
    sys().iopl(3);
    sb.clear_trace();
    uint32_t value = 0;
    EXPECT_EQ(0, isa_word_data_read_NCT6776F_fan(0x295, 0x296, 1, 0x58, &value));
    EXPECT_EQ(517u, value);  // 0x10 × 32 + (0x25 AND 0x1F)
    EXPECT_THAT(sb.trace(), ElementsAre("outb 0x295 0x4e", "inb 0x296 -> 0x0c", "outb 0x296 0x01",
                                        "outb 0x295 0x58", "inb 0x296 -> 0x10", "outb 0x295 0x59",
                                        "inb 0x296 -> 0x25", "outb 0x295 0x4e", "outb 0x296 0x0c"));
    EXPECT_EQ(0, isa_word_data_read_NCT6776F_fan(0x295, 0x296, 3, 0x58, &value));
    EXPECT_EQ(8191u, value);  // 13 bits at most
}

// No iopl is made on the BMC route: a port access would stop the board.
TEST_F(IsaAccess, OwningBmcCarriesEveryAccess) {
    Sandbox sb(chip("0x80", guid("35").c_str()));
    ASSERT_EQ(0, IpmiInit());
    sb.clear_trace();
    uint32_t value = 0;
    EXPECT_EQ(0, isa_byte_data_read(0x295, 0x296, 2, 0x50, &value));
    EXPECT_EQ(0x2Du, value);
    EXPECT_EQ(0, isa_byte_data_write(0x295, 0x296, 2, 0x51, 0x5A));
    EXPECT_EQ(0, isa_word_data_read_NCT6776F_fan(0x295, 0x296, 2, 0x50, &value));
    EXPECT_EQ(0x2Du * 32 + (0x5A & 0x1F), value);
    EXPECT_THAT(sb.trace(), ElementsAre("ipmi openipmi 30/2c 01 02 50 -> 00 2d",
                                        "ipmi openipmi 30/2c 00 02 51 5a -> 00",
                                        "ipmi openipmi 30/2c 02 02 50 -> 00 2d 5a"));
}

TEST_F(IsaAccess, BmcErrorIsPassedOnAndTheValueKept) {
    Sandbox sb(chip("0x80", (guid("39") + R"(, "completion_codes": {"30/2C": "0xC0"})").c_str()));
    ASSERT_EQ(0, IpmiInit());
    uint32_t value = 0x1234;
    EXPECT_EQ(255, isa_word_data_read_NCT6776F_fan(0x295, 0x296, 1, 0x58, &value));
    EXPECT_EQ(255, isa_byte_data_read(0x295, 0x296, 1, 0x58, &value));
    EXPECT_EQ(0x1234u, value);
    EXPECT_EQ(255, isa_byte_data_write(0x295, 0x296, 1, 0x58, 7));
}

TEST_F(IsaAccess, PepperconBmcLeavesTheChipToThePorts) {
    Sandbox sb(chip("0x80", guid("30").c_str()));
    ASSERT_EQ(0, IpmiInit());
    ASSERT_NE(0, bPepperconIPMI);
    sys().iopl(3);
    sb.clear_trace();
    uint32_t value = 0;
    EXPECT_EQ(0, isa_byte_data_read(0x295, 0x296, 0, 0x50, &value));
    EXPECT_EQ(0x11u, value);
    EXPECT_EQ(7u, sb.trace().size());
    EXPECT_EQ("outb 0x295 0x4e", sb.trace().front());
}

}  // namespace
