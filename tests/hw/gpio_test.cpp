// Chipset GPIO probes on virtual boards: the Super I/O GPIO sequences (entry
// and exit keys, the chip-code-5 base read once), the south-bridge pair, the
// I/O-hub search and the GPIO level registers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "hw/gpio.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

class Gpio : public testing::Test {
protected:
    void SetUp() override { reset_gpio_state(); }
    void TearDown() override { reset_gpio_state(); }
};

// `count` bytes of port storage holding the given dwords (little-endian) at
// their offsets, as a board file's "bytes" text.
std::string dwords_at(const std::map<unsigned, uint32_t>& dwords, unsigned count = 0x50) {
    std::vector<uint8_t> bytes(count, 0);
    for (const auto& [offset, value] : dwords)
        for (unsigned i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
    std::string text;
    char hex[4];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02x ", b);
        text += hex;
    }
    text.pop_back();
    return text;
}

// An LPC bridge with its GPIOBASE register and the GPIO block at 0x480.
std::string hub_board(const char* location, const char* id, const char* base_register,
                      const std::map<unsigned, uint32_t>& gpio_registers) {
    return std::string(R"({"pci": [{)") + location + R"(, "id": ")" + id + R"(", "config": {")" +
           base_register + R"(": "0x00000481"}}],
           "ports": {"0x480": {"bytes": ")" +
           dwords_at(gpio_registers) + R"("}}})";
}

constexpr const char* kAt0_31_0 = R"("bus": 0, "device": 31, "function": 0)";

// ---- Super I/O and south bridge ----

TEST_F(Gpio, ChipCode4EntersReadsAndLeavesConfigurationMode) {
    Sandbox sb(R"({"ports": {"0x2E": {"superio": {"data": "0x2F", "entry": ["0x87", "0x87"],
      "exit": "0xAA", "devices": {"0x07": {"0xF1": "0x5C"}}}}}})");
    uint32_t value = 0;
    EXPECT_EQ(0, ReadSuperGPIO(4, 7, 0xF1, &value));
    EXPECT_EQ(0x5Cu, value);
    EXPECT_THAT(sb.trace(),
                ElementsAre("ioperm 0x2e 1 1 -> 0", "ioperm 0x2e 1 1 -> 0", "ioperm 0x2f 1 1 -> 0",
                            "outb 0x2e 0x87", "outb 0x2e 0x87", "outb 0x2e 0x07", "outb 0x2f 0x07",
                            "outb 0x2e 0xf1", "inb 0x2f -> 0x5c", "outb 0x2e 0xaa"));
}

const std::vector<std::string> kSioPermissions = {"ioperm 0x2e 1 1 -> 0", "ioperm 0x2e 1 1 -> 0",
                                                  "ioperm 0x2f 1 1 -> 0"};

std::vector<std::string> base_read(const char* ldn, const char* high, const char* low) {
    return {"outb 0x2e 0x07", std::string("outb 0x2f ") + ldn,
            "outb 0x2e 0x60", std::string("inb 0x2f -> ") + high,
            "outb 0x2e 0x61", std::string("inb 0x2f -> ") + low};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(Gpio, ChipCode5ReadsItsBaseOnceWithoutKeys) {
    Sandbox sb(R"({"ports": {"0x2E": {"superio": {"data": "0x2F",
      "devices": {"0x08": {"0x60": "0x0A", "0x61": "0x20"}, "0x09": {"0x60": "0x0B"}}}},
      "0xA20": {"bytes": "00 11 22 33"}}})");
    sys().iopl(3);  // as io_open leaves it: the run-time block is not in 0x2E/0x2F
    sb.clear_trace();
    uint32_t first = 0, second = 0;
    EXPECT_EQ(0, ReadSuperGPIO(5, 8, 3, &first));
    EXPECT_EQ(0, ReadSuperGPIO(5, 9, 1, &second));  // another device: the stored base is used
    EXPECT_EQ(0x33u, first);
    EXPECT_EQ(0x11u, second);
    EXPECT_THAT(sb.trace(),
                ElementsAreArray(kSioPermissions + base_read("0x08", "0x0a", "0x20") +
                                 std::vector<std::string>{"inb 0xa23 -> 0x33"} + kSioPermissions +
                                 std::vector<std::string>{"inb 0xa21 -> 0x11"}));
}

TEST_F(Gpio, ChipCode5BaseOfZeroIsAskedForAgain) {
    Sandbox sb(R"({"ports": {"0x2E": {"superio": {"data": "0x2F", "devices": {"0x08": {}}}}}})");
    sys().iopl(3);
    sb.clear_trace();
    uint32_t value = 0;
    ReadSuperGPIO(5, 8, 3, &value);
    ReadSuperGPIO(5, 8, 3, &value);
    const std::vector<std::string> one_call = kSioPermissions + base_read("0x08", "0x00", "0x00") +
                                              std::vector<std::string>{"inb 0x3 -> 0xff"};
    EXPECT_THAT(sb.trace(), ElementsAreArray(one_call + one_call));
}

TEST_F(Gpio, SouthBridgePairAndUnknownChipCodes) {
    Sandbox sb(R"({"ports": {"0xCD6": {"index_data": {"data": "0xCD7",
      "registers": {"0x10": "0x01"}}}}})");
    sys().iopl(3);
    sb.clear_trace();
    uint32_t value = 0;
    EXPECT_EQ(0, ReadSBGPIO(11, 99, 0x10, &value));
    EXPECT_EQ(1u, value);
    EXPECT_THAT(sb.trace(), ElementsAre("outb 0xcd6 0x10", "inb 0xcd7 -> 0x01"));

    sb.clear_trace();
    value = 0xABC;
    OutputCapture output;
    EXPECT_EQ(0, ReadSBGPIO(12, 0, 0x10, &value));
    EXPECT_EQ(0, ReadSuperGPIO(6, 7, 0xF1, &value));
    EXPECT_EQ(0, ReadSuperGPIO(-1, 7, 0xF1, &value));
    EXPECT_EQ(0xABCu, value);
    EXPECT_EQ(
        "Error: unknown ChipCode=12(0xC)\n"
        "Error: unknown ChipCode=6(0x6)\n"
        "Error: unknown ChipCode=-1(0xFFFFFFFF)\n",
        output.err());
    // The Super I/O permissions are taken before the chip code is looked at.
    EXPECT_THAT(sb.trace(), ElementsAreArray(kSioPermissions + kSioPermissions));
}

// ---- the I/O-hub probes ----

struct ProbeCase {
    const char* name;
    std::string board;
    int32_t (*probe)();
    int32_t expected;
};

void PrintTo(const ProbeCase& c, std::ostream* out) {
    *out << c.name;
}

class GpioProbe : public Gpio, public testing::WithParamInterface<ProbeCase> {};

TEST_P(GpioProbe, LevelOfTheStrap) {
    const ProbeCase& c = GetParam();
    Sandbox sb(c.board);
    EXPECT_EQ(c.expected, c.probe());
}

constexpr uint32_t kBit28 = 1u << 28;
constexpr uint32_t kBit6 = 1u << 6;
constexpr uint32_t kBit7 = 1u << 7;
constexpr const char* kIch5 = "0x24D08086";
constexpr const char* kIch7 = "0x27B88086";

INSTANTIATE_TEST_SUITE_P(
    Probes, GpioProbe,
    testing::Values(
        ProbeCase{"Gpio28InputHigh",
                  hub_board(kAt0_31_0, "0x24C08086", "0x58", {{0x04, kBit28}, {0x0C, kBit28}}),
                  CheckGPIO28Hi, 1},
        ProbeCase{"Gpio28OutputHigh",
                  hub_board(kAt0_31_0, kIch5, "0x58", {{0x04, ~kBit28}, {0x0C, kBit28}}),
                  CheckGPIO28Hi, 0},
        ProbeCase{"Gpio28InputLow",
                  hub_board(kAt0_31_0, kIch5, "0x58", {{0x04, kBit28}, {0x0C, ~kBit28}}),
                  CheckGPIO28Hi, 0},
        ProbeCase{"Gpio28NoHub",
                  hub_board(kAt0_31_0, kIch7, "0x58", {{0x04, kBit28}, {0x0C, kBit28}}),
                  CheckGPIO28Hi, 0},
        ProbeCase{"Gpio38High", hub_board(kAt0_31_0, kIch7, "0x48", {{0x38, kBit6}}), CheckGPIO38Hi,
                  1},
        ProbeCase{"Gpio38Low", hub_board(kAt0_31_0, kIch7, "0x48", {{0x38, ~kBit6}}), CheckGPIO38Hi,
                  0},
        ProbeCase{"Gpio39High", hub_board(kAt0_31_0, kIch7, "0x48", {{0x38, kBit7}}), CheckGPIO39Hi,
                  1},
        ProbeCase{"Gpio39NoIch7", hub_board(kAt0_31_0, kIch5, "0x48", {{0x38, kBit7}}),
                  CheckGPIO39Hi, 0},
        // Only function 0 of each device is looked at, on buses 0-23.
        ProbeCase{
            "Gpio39LastSlotSearched",
            hub_board(R"("bus": 23, "device": 31, "function": 0)", kIch7, "0x48", {{0x38, kBit7}}),
            CheckGPIO39Hi, 1},
        ProbeCase{
            "Gpio39BeyondTheSearch",
            hub_board(R"("bus": 24, "device": 0, "function": 0)", kIch7, "0x48", {{0x38, kBit7}}),
            CheckGPIO39Hi, 0},
        ProbeCase{
            "Gpio39NotFunction0",
            hub_board(R"("bus": 0, "device": 31, "function": 1)", kIch7, "0x48", {{0x38, kBit7}}),
            CheckGPIO39Hi, 0}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return info.param.name; });

TEST_F(Gpio, HubSearchStepsByDeviceAndReadsTheBaseOnce) {
    Sandbox sb(hub_board(kAt0_31_0, kIch5, "0x58", {{0x04, kBit28}, {0x0C, kBit28}}));
    EXPECT_EQ(1, CheckGPIO28Hi());
    std::vector<std::string> expected = {"iopl 3 -> 0"};
    char line[48];
    for (unsigned k = 0; k < 31; ++k) {
        std::snprintf(line, sizeof line, "outl 0xcf8 0x%08x", 0x80000000u + k * 0x800);
        expected.push_back(line);
        expected.push_back("inl 0xcfc -> 0xffffffff");
    }
    expected =
        expected + std::vector<std::string>{"outl 0xcf8 0x8000f800",   "inl 0xcfc -> 0x24d08086",
                                            "outl 0xcf8 0x8000f858",   "inl 0xcfc -> 0x00000481",
                                            "inl 0x484 -> 0x10000000", "inl 0x48c -> 0x10000000"};
    EXPECT_THAT(sb.trace(), ElementsAreArray(expected));
}

TEST_F(Gpio, FindGpioBaseOfTheNewerHubs) {
    struct Case {
        const char* id;
        uint32_t base;
    };
    for (const Case& c : {Case{kIch7, 0x480}, Case{"0x3B148086", 0x480}, Case{kIch5, 0}}) {
        Sandbox sb(hub_board(kAt0_31_0, c.id, "0x48", {}));
        EXPECT_EQ(c.base, findGpioBaseAddress()) << c.id;
    }
}

// GPIO n is bit n mod 32 of GP_LVL (0-31, +0x0C), GP_LVL2 (32-63, +0x38) or
// GP_LVL3 (64-95, +0x48); other numbers land at the base itself.
TEST_F(Gpio, OneLineGetAndSet) {
    struct Case {
        uint32_t gpio;
        unsigned reg;
        uint32_t bit;
    };
    for (const Case& c : {Case{31, 0x0C, 31}, Case{32, 0x38, 0}, Case{40, 0x38, 8},
                          Case{95, 0x48, 31}, Case{96, 0x00, 0}}) {
        SCOPED_TRACE("GPIO " + std::to_string(c.gpio));
        const uint32_t low = 0x5A5A5A5Au & ~(1u << c.bit), high = low | 1u << c.bit;
        char p[8], lo[12], hi[12];
        std::snprintf(p, sizeof p, "0x%x", 0x480 + c.reg);
        std::snprintf(lo, sizeof lo, "0x%08x", low);
        std::snprintf(hi, sizeof hi, "0x%08x", high);
        Sandbox sb(R"({"ports": {"0x480": {"bytes": ")" + dwords_at({{c.reg, low}}) + R"("}}})");
        EXPECT_EQ(0u, getIpmiBiosPostCmplGpioState(0x480, c.gpio));
        EXPECT_EQ(high, setIpmiBiosPostCmplGpioState(0x480, c.gpio, 7));
        EXPECT_EQ(1u, getIpmiBiosPostCmplGpioState(0x480, c.gpio));
        EXPECT_EQ(low, setIpmiBiosPostCmplGpioState(0x480, c.gpio, 0));
        const std::string in = std::string("inl ") + p + " -> ",
                          out = std::string("outl ") + p + " ";
        EXPECT_THAT(sb.trace(),
                    ElementsAre("iopl 3 -> 0", in + lo, "iopl 3 -> 0", in + lo, out + hi, in + hi,
                                "iopl 3 -> 0", in + hi, "iopl 3 -> 0", in + hi, out + lo, in + lo));
    }
}

}  // namespace
