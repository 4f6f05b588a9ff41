// Chipset GPIO probes on virtual boards: the Super I/O GPIO sequences (entry
// and exit keys, the chip-code-5 base read once), the south-bridge pair, the
// I/O-hub search and the GPIO level registers.
#include "hw/gpio.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using Lines = std::vector<std::string>;

class Gpio : public testing::Test {
protected:
    void SetUp() override { reset_gpio_state(); }
    void TearDown() override { reset_gpio_state(); }
};

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// 0x50 bytes of port storage at 0x480 holding the given dwords (little-endian).
std::string gpio_block(const std::map<unsigned, uint32_t>& dwords) {
    std::string text;
    char hex[4];
    for (unsigned i = 0; i < 0x50; ++i) {
        auto it = dwords.find(i & ~3u);
        uint32_t dword = it == dwords.end() ? 0 : it->second;
        std::snprintf(hex, sizeof hex, " %02x", (dword >> 8 * (i & 3)) & 0xFF);
        text += hex;
    }
    return R"("0x480": {"bytes": ")" + text.substr(1) + R"("})";
}

// An LPC bridge with its GPIOBASE register and the GPIO block at 0x480.
std::string hub_board(const char* location, const char* id, const char* base_register,
                      const std::map<unsigned, uint32_t>& gpio_registers) {
    return std::string(R"({"pci": [{)") + location + R"(, "id": ")" + id + R"(", "config": {")" +
           base_register + R"(": "0x00000481"}}], "ports": {)" + gpio_block(gpio_registers) + "}}";
}

constexpr const char* kAt0_31_0 = R"("bus": 0, "device": 31, "function": 0)";
const Lines kSioPermissions = {"ioperm 0x2e 1 1 -> 0", "ioperm 0x2e 1 1 -> 0",
                               "ioperm 0x2f 1 1 -> 0"};

TEST_F(Gpio, ChipCode4EntersReadsAndLeavesConfigurationMode) {
    Sandbox sb(R"({"ports": {"0x2E": {"superio": {"data": "0x2F", "entry": ["0x87", "0x87"],
      "exit": "0xAA", "devices": {"0x07": {"0xF1": "0x5C"}}}}}})");
    uint32_t value = 0;
    EXPECT_EQ(0, ReadSuperGPIO(4, 7, 0xF1, &value));
    EXPECT_EQ(0x5Cu, value);
    EXPECT_THAT(sb.trace(), ElementsAreArray(kSioPermissions +
                                             Lines{"outb 0x2e 0x87", "outb 0x2e 0x87",
                                                   "outb 0x2e 0x07", "outb 0x2f 0x07",
                                                   "outb 0x2e 0xf1", "inb 0x2f -> 0x5c",
                                                   "outb 0x2e 0xaa"}));
}

// Chip code 5 reads its run-time block base (LDN 8, 0x60/0x61) once, without
// keys, and keeps it for every device; a base of zero is asked for again.
TEST_F(Gpio, ChipCode5ReadsItsBaseOnce) {
    auto base_read = [](const char* high, const char* low) {
        return kSioPermissions + Lines{"outb 0x2e 0x07", "outb 0x2f 0x08", "outb 0x2e 0x60",
                                       std::string("inb 0x2f -> ") + high, "outb 0x2e 0x61",
                                       std::string("inb 0x2f -> ") + low};
    };
    Sandbox sb(R"({"ports": {"0x2E": {"superio": {"data": "0x2F",
      "devices": {"0x08": {"0x60": "0x0A", "0x61": "0x20"}, "0x09": {"0x60": "0x0B"}}}},
      "0xA20": {"bytes": "00 11 22 33"}}})");
    sys().iopl(3);  // as io_open leaves it: the run-time block is not in 0x2E/0x2F
    sb.clear_trace();
    uint32_t first = 0, second = 0;
    EXPECT_EQ(0, ReadSuperGPIO(5, 8, 3, &first));
    EXPECT_EQ(0, ReadSuperGPIO(5, 9, 1, &second));
    EXPECT_EQ(0x33u, first);
    EXPECT_EQ(0x11u, second);
    EXPECT_THAT(sb.trace(), ElementsAreArray(base_read("0x0a", "0x20") +
                                             Lines{"inb 0xa23 -> 0x33"} + kSioPermissions +
                                             Lines{"inb 0xa21 -> 0x11"}));

    reset_gpio_state();
    Sandbox zero(R"({"ports": {"0x2E": {"superio": {"data": "0x2F", "devices": {"0x08": {}}}}}})");
    sys().iopl(3);
    zero.clear_trace();
    ReadSuperGPIO(5, 8, 3, &first);
    ReadSuperGPIO(5, 8, 3, &first);
    const Lines one_call = base_read("0x00", "0x00") + Lines{"inb 0x3 -> 0xff"};
    EXPECT_THAT(zero.trace(), ElementsAreArray(one_call + one_call));
}

TEST_F(Gpio, SouthBridgePairAndUnknownChipCodes) {
    Sandbox sb(R"({"ports": {"0xCD6": {"index_data": {"data": "0xCD7",
      "registers": {"0x10": "0x01"}}}}})");
    sys().iopl(3);
    sb.clear_trace();
    uint32_t value = 0;
    EXPECT_EQ(0, ReadSBGPIO(11, 99, 0x10, &value));
    EXPECT_EQ(1u, value);
    value = 0xABC;
    OutputCapture output;
    EXPECT_EQ(0, ReadSBGPIO(12, 0, 0x10, &value));
    EXPECT_EQ(0, ReadSuperGPIO(6, 7, 0xF1, &value));
    EXPECT_EQ(0, ReadSuperGPIO(-1, 7, 0xF1, &value));
    EXPECT_EQ(0xABCu, value);
    EXPECT_EQ("Error: unknown ChipCode=12(0xC)\nError: unknown ChipCode=6(0x6)\n"
              "Error: unknown ChipCode=-1(0xFFFFFFFF)\n", output.err());
    // The Super I/O permissions are taken before the chip code is looked at.
    EXPECT_THAT(sb.trace(), ElementsAreArray(Lines{"outb 0xcd6 0x10", "inb 0xcd7 -> 0x01"} +
                                             kSioPermissions + kSioPermissions));
}

// GPIO 28 counts when it is an input (GP_IO_SEL at +0x04)
// and high (GP_LVL at +0x0C) on an ICH4/ICH5; GPIO 38/39 are bits 6/7 of
// GP_LVL2 (+0x38) on an ICH7. Only function 0 of each device on buses 0-23
// is searched.
TEST_F(Gpio, HubProbes) {
    constexpr uint32_t k28 = 1u << 28, k6 = 1u << 6, k7 = 1u << 7;
    const char* ich5 = "0x24D08086";
    const char* ich7 = "0x27B88086";
    struct ProbeCase {
        std::string board;
        int32_t (*probe)();
        int32_t expected;
    };
    const ProbeCase cases[] = {
        {hub_board(kAt0_31_0, "0x24C08086", "0x58", {{0x04, k28}, {0x0C, k28}}), CheckGPIO28Hi, 1},
        {hub_board(kAt0_31_0, ich5, "0x58", {{0x04, ~k28}, {0x0C, k28}}), CheckGPIO28Hi, 0},
        {hub_board(kAt0_31_0, ich5, "0x58", {{0x04, k28}, {0x0C, ~k28}}), CheckGPIO28Hi, 0},
        {hub_board(kAt0_31_0, ich7, "0x58", {{0x04, k28}, {0x0C, k28}}), CheckGPIO28Hi, 0},
        {hub_board(kAt0_31_0, ich7, "0x48", {{0x38, k6}}), CheckGPIO38Hi, 1},
        {hub_board(kAt0_31_0, ich7, "0x48", {{0x38, ~k6}}), CheckGPIO38Hi, 0},
        {hub_board(kAt0_31_0, ich5, "0x48", {{0x38, k7}}), CheckGPIO39Hi, 0},
        {hub_board(R"("bus": 23, "device": 31, "function": 0)", ich7, "0x48", {{0x38, k7}}),
         CheckGPIO39Hi, 1},
        {hub_board(R"("bus": 24, "device": 0, "function": 0)", ich7, "0x48", {{0x38, k7}}),
         CheckGPIO39Hi, 0},
        {hub_board(R"("bus": 0, "device": 31, "function": 1)", ich7, "0x48", {{0x38, k7}}),
         CheckGPIO39Hi, 0},
    };
    for (const ProbeCase& c : cases) {
        SCOPED_TRACE(c.board);
        reset_gpio_state();
        Sandbox sb(c.board);
        EXPECT_EQ(c.expected, c.probe());
    }
    // findGpioBaseAddress knows the ICH7 and newer hubs only.
    for (const auto& [id, base] : {std::pair{ich7, 0x480u}, {"0x3B148086", 0x480u}, {ich5, 0u}}) {
        Sandbox sb(hub_board(kAt0_31_0, id, "0x48", {}));
        EXPECT_EQ(base, findGpioBaseAddress()) << id;
    }
}

TEST_F(Gpio, HubSearchStepsByDeviceAndReadsTheBaseOnce) {
    Sandbox sb(hub_board(kAt0_31_0, "0x24D08086", "0x58", {{0x04, 1u << 28}, {0x0C, 1u << 28}}));
    EXPECT_EQ(1, CheckGPIO28Hi());
    Lines expected = {"iopl 3 -> 0"};
    char line[48];
    for (unsigned k = 0; k < 31; ++k) {
        std::snprintf(line, sizeof line, "outl 0xcf8 0x%08x", 0x80000000u + k * 0x800);
        expected = expected + Lines{line, "inl 0xcfc -> 0xffffffff"};
    }
    EXPECT_THAT(sb.trace(), ElementsAreArray(expected + Lines{"outl 0xcf8 0x8000f800",
                                                              "inl 0xcfc -> 0x24d08086",
                                                              "outl 0xcf8 0x8000f858",
                                                              "inl 0xcfc -> 0x00000481",
                                                              "inl 0x484 -> 0x10000000",
                                                              "inl 0x48c -> 0x10000000"}));
}

// GPIO n is bit n mod 32 of GP_LVL (0-31, +0x0C), GP_LVL2 (32-63, +0x38) or
// GP_LVL3 (64-95, +0x48); other numbers land at the base itself.
TEST_F(Gpio, OneLineGetAndSet) {
    for (const auto& [gpio, reg, bit] :
         {std::tuple{31u, 0x0Cu, 31u}, {32u, 0x38u, 0u}, {95u, 0x48u, 31u}, {96u, 0x00u, 0u}}) {
        SCOPED_TRACE("GPIO " + std::to_string(gpio));
        const uint32_t low = 0x5A5A5A5Au & ~(1u << bit), high = low | 1u << bit;
        char p[8], lo[12], hi[12];
        std::snprintf(p, sizeof p, "0x%x", 0x480 + reg);
        std::snprintf(lo, sizeof lo, "0x%08x", low);
        std::snprintf(hi, sizeof hi, "0x%08x", high);
        Sandbox sb("{\"ports\": {" + gpio_block({{reg, low}}) + "}}");
        EXPECT_EQ(0u, getIpmiBiosPostCmplGpioState(0x480, gpio));
        EXPECT_EQ(high, setIpmiBiosPostCmplGpioState(0x480, gpio, 7));
        EXPECT_EQ(1u, getIpmiBiosPostCmplGpioState(0x480, gpio));
        EXPECT_EQ(low, setIpmiBiosPostCmplGpioState(0x480, gpio, 0));
        const std::string in = std::string("inl ") + p + " -> ";
        const std::string out = std::string("outl ") + p + " ";
        EXPECT_THAT(sb.trace(),
                    ElementsAre("iopl 3 -> 0", in + lo, "iopl 3 -> 0", in + lo, out + hi, in + hi,
                                "iopl 3 -> 0", in + hi, "iopl 3 -> 0", in + hi, out + lo, in + lo));
    }
}

}  // namespace
