// Chipset GPIO probes on virtual boards: the chip-code-5 Super I/O sequence,
// unknown chip codes, and which hubs and level registers the GPIO probes
// read. The keyed chip-code-4 sequence, the south-bridge pair and the hub
// search's bus cycles are e2e cases (hw-legacy-board-*, hw-first-run-gpio-*).
#include "hw/gpio.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/hw_state.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAreArray;
using Lines = std::vector<std::string>;

using Gpio = HwTest;

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

// Chip code 5 reads its run-time block base (LDN 8, 0x60/0x61) once, without
// keys, and keeps it for every device; a base of zero is asked for again.
TEST_F(Gpio, ChipCode5ReadsItsBaseOnce) {
    auto base_read = [](const char* high, const char* low) {
        return kSioPermissions + Lines{"outb 0x2e 0x07", "outb 0x2f 0x08",
                                       "outb 0x2e 0x60", std::string("inb 0x2f -> ") + high,
                                       "outb 0x2e 0x61", std::string("inb 0x2f -> ") + low};
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
    EXPECT_THAT(sb.trace(),
                ElementsAreArray(base_read("0x0a", "0x20") + Lines{"inb 0xa23 -> 0x33"} +
                                 kSioPermissions + Lines{"inb 0xa21 -> 0x11"}));

    reset_hw_state();
    Sandbox zero(R"({"ports": {"0x2E": {"superio": {"data": "0x2F", "devices": {"0x08": {}}}}}})");
    sys().iopl(3);
    zero.clear_trace();
    ReadSuperGPIO(5, 8, 3, &first);
    ReadSuperGPIO(5, 8, 3, &first);
    const Lines one_call = base_read("0x00", "0x00") + Lines{"inb 0x3 -> 0xff"};
    EXPECT_THAT(zero.trace(), ElementsAreArray(one_call + one_call));
}

// The Super I/O permissions are taken before the chip code is looked at.
TEST_F(Gpio, UnknownChipCodesLeaveTheValue) {
    Sandbox sb;
    uint32_t value = 0xABC;
    OutputCapture output;
    EXPECT_EQ(0, ReadSBGPIO(12, 0, 0x10, &value));
    EXPECT_EQ(0, ReadSuperGPIO(6, 7, 0xF1, &value));
    EXPECT_EQ(0, ReadSuperGPIO(-1, 7, 0xF1, &value));
    EXPECT_EQ(0xABCu, value);
    EXPECT_EQ(
        "Error: unknown ChipCode=12(0xC)\nError: unknown ChipCode=6(0x6)\n"
        "Error: unknown ChipCode=-1(0xFFFFFFFF)\n",
        output.err());
    EXPECT_THAT(sb.trace(), ElementsAreArray(kSioPermissions + kSioPermissions));
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
        reset_hw_state();
        Sandbox sb(c.board);
        EXPECT_EQ(c.expected, c.probe());
    }
}

}  // namespace
