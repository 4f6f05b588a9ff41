// PCI configuration mechanism #1 of the virtual board. The kernel listing
// generated from the same functions: vb-kernel-listings-of-a-new-root.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/sandbox.h"

namespace {


constexpr const char* kBoard = R"({"pci": [
  {"bus": 1, "device": 0, "function": 0, "id": "0x10D38086",
   "config": {"0x0C": "0x00800000", "0x10": "0xF7DC0000", "0x18": "0x0000DC01",
              "0x30": "0xF7E00001", "0x3C": "0x0000010B"}},
  {"bus": 0, "device": 31, "function": 3, "id": "0x3A308086",
   "config": {"0x10": "0xFED1C004", "0x14": "0x00000001", "0x20": "0x00001101",
              "0x3C": "0x00000312"}},
  {"bus": 0, "device": 31, "function": 0, "id": "0x3A168086"},
  {"bus": 0, "device": 0, "function": 0, "id": "0x34068086"}
]})";

uint32_t config_address(unsigned bus, unsigned device, unsigned function, unsigned reg) {
    return 0x80000000u | bus << 16 | device << 11 | function << 8 | reg;
}

uint32_t config_read(unsigned bus, unsigned device, unsigned function, unsigned reg) {
    sys().outl(config_address(bus, device, function, reg), 0xCF8);
    return sys().inl(0xCFC);
}

TEST(PciConfig, ReadsWritesBytePartsAndTheAddressPort) {
    Sandbox sb(kBoard);
    sys().iopl(3);
    // The monitor's scan of functions present and absent: the trace of
    // vb-demo-banks-and-smbus-as-documented.
    EXPECT_EQ(0u, config_read(0, 31, 0, 0x20));  // present, not set by the board
    sys().outl(config_address(0, 31, 3, 0x00), 0xCF8);
    EXPECT_EQ(0x80, sys().inb(0xCFD));
    EXPECT_EQ(0x3A, sys().inb(0xCFF));
    sys().outl(0x00000000, 0xCFC);  // the IDs are read-only
    EXPECT_EQ(0x3A308086u, sys().inl(0xCFC));

    sys().outl(0xFF00FB43, 0xCF8);  // reserved bits read back as 0
    EXPECT_EQ(0x8000FB40u, sys().inl(0xCF8));
    // Byte accesses around 0xCF8 are no CONFIG_ADDRESS access.
    EXPECT_EQ(0xFF, sys().inb(0xCF9));
    sys().outb(0x06, 0xCF9);
    sys().outl(0x12345678, 0xCFC);
    sys().outb(0xAB, 0xCFD);
    EXPECT_EQ(0x1234AB78u, sys().inl(0xCFC));

    sys().outl(config_address(0, 5, 0, 0x40), 0xCF8);
    sys().outl(0x00000000, 0xCFC);
    EXPECT_EQ(0xFFFFFFFFu, sys().inl(0xCFC));  // still nobody there
    sys().outl(config_address(0, 31, 3, 0x40) & 0x7FFFFFFF, 0xCF8);  // enable bit clear
    EXPECT_EQ(0xFF, sys().inb(0xCFE));
    sys().outl(0xDEADBEEF, 0xCFC);
    EXPECT_EQ(0x1234AB78u, config_read(0, 31, 3, 0x40));
}

}  // namespace
