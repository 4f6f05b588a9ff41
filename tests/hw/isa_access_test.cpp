// Banked register access to an LPC monitor chip: the local port sequences,
// and the BMC route (OEM 30/2C) taken when a BMC of an owning kind is open.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "hw/bmc_commands.h"
#include "hw/ipmi_imb.h"
#include "hw/ipmi_openipmi.h"
#include "hw/isa_access.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

class IsaAccess : public testing::Test {
protected:
    void SetUp() override { reset_bmc(); }
    void TearDown() override { reset_bmc(); }
    static void reset_bmc() {
        reset_ipmi_imb_state();
        reset_ipmi_openipmi_state();
        reset_bmc_commands_state();
    }
};

// A W83627-style monitor at 0x295/0x296; its bank select register holds
// `bank_select`, registers 0x50/0x51 differ in bank 2.
std::string chip(const char* bank_select = "0x80", const char* bmc = nullptr) {
    std::string text = "{";
    if (bmc)
        text +=
            std::string(R"("bmc": {"interface": "openipmi", "isa_proxy": true, )") + bmc + "}, ";
    return text + R"("ports": {"0x295": {"index_data": {"data": "0x296",
      "bank_register": "0x4E", "bank_mask": "0x07",
      "registers": {"0x4E": ")" +
           bank_select + R"(", "0x50": "0x11", "0x51": "0x22"},
      "banks": {"2": {"0x50": "0x2D", "0x51": "0x3E"}, "1": {"0x58": "0x10", "0x59": "0x25"},
                "3": {"0x58": "0xFF", "0x59": "0xFF"}}}}}})";
}

// A BMC whose GUID names its kind: OBWinbond owns the chip, Peppercon not.
constexpr const char* kOBWinbond = R"("guid": "35 30 30 31 51 4B 00 00 00 00 00 00 00 00 00 00")";
constexpr const char* kPeppercon = R"("guid": "30 30 30 31 51 4B 00 00 00 00 00 00 00 00 00 00")";

void open_bmc(Sandbox& sb) {
    OutputCapture quiet;
    ASSERT_EQ(0, IpmiInit());
    sb.clear_trace();
}

TEST_F(IsaAccess, LocalReadAndWriteSelectTheBankAndPutItBack) {
    Sandbox sb(chip());
    sys().iopl(3);
    sb.clear_trace();
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(0, isa_byte_data_read(0x295, 0x296, 2, 0x50, &value));
    EXPECT_EQ(0x2Du, value);                                          // zero-extended
    EXPECT_EQ(0, isa_byte_data_write(0x295, 0x296, 2, 0x51, 0x1A7));  // low byte only
    EXPECT_THAT(sb.trace(), ElementsAre("outb 0x295 0x4e", "inb 0x296 -> 0x80", "outb 0x296 0x82",
                                        "outb 0x295 0x50", "inb 0x296 -> 0x2d", "outb 0x295 0x4e",
                                        "outb 0x296 0x80",  // the read
                                        "outb 0x295 0x4e", "inb 0x296 -> 0x80", "outb 0x296 0x82",
                                        "outb 0x295 0x51", "outb 0x296 0xa7", "outb 0x295 0x4e",
                                        "outb 0x296 0x80"));  // the write
    uint32_t bank0 = 0, bank2 = 0;
    isa_byte_data_read(0x295, 0x296, 0, 0x51, &bank0);
    isa_byte_data_read(0x295, 0x296, 2, 0x51, &bank2);
    EXPECT_EQ(0x22u, bank0);
    EXPECT_EQ(0xA7u, bank2);
}

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

TEST_F(IsaAccess, OwningBmcCarriesEveryAccessAndNoPortIsTouched) {
    Sandbox sb(chip("0x80", kOBWinbond));
    open_bmc(sb);
    uint32_t value = 0;
    EXPECT_EQ(0, isa_byte_data_read(0x295, 0x296, 2, 0x50, &value));
    EXPECT_EQ(0x2Du, value);
    EXPECT_EQ(0, isa_byte_data_write(0x295, 0x296, 2, 0x51, 0x5A));
    EXPECT_EQ(0, isa_word_data_read_NCT6776F_fan(0x295, 0x296, 2, 0x50, &value));
    EXPECT_EQ(0x2Du * 32 + (0x5A & 0x1F), value);
    // No iopl was made: a port access would have stopped the board.
    EXPECT_THAT(sb.trace(), ElementsAre("ipmi openipmi 30/2c 01 02 50 -> 00 2d",
                                        "ipmi openipmi 30/2c 00 02 51 5a -> 00",
                                        "ipmi openipmi 30/2c 02 02 50 -> 00 2d 5a"));
}

TEST_F(IsaAccess, BmcErrorIsPassedOnAndTheValueKept) {
    Sandbox sb(chip("0x80", R"("guid": "39 30 30 31 51 4B 00 00 00 00 00 00 00 00 00 00",
                              "completion_codes": {"30/2C": "0xC0"})"));  // Renesas-AMI
    open_bmc(sb);
    uint32_t value = 0x1234;
    EXPECT_EQ(255, isa_word_data_read_NCT6776F_fan(0x295, 0x296, 1, 0x58, &value));
    EXPECT_EQ(255, isa_byte_data_read(0x295, 0x296, 1, 0x58, &value));
    EXPECT_EQ(0x1234u, value);
    EXPECT_EQ(255, isa_byte_data_write(0x295, 0x296, 1, 0x58, 7));
}

TEST_F(IsaAccess, PepperconBmcLeavesTheChipToThePorts) {
    Sandbox sb(chip("0x80", kPeppercon));
    open_bmc(sb);
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
