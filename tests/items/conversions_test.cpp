// The conversions from raw register values to RPM, millivolts, degrees and
// switch states. Expected values are worked out by hand from the conversion
// rules (integer divisions, and the voltage formulas evaluated left to right
// in double precision, truncated toward zero), not taken from the code.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "config/records.h"
#include "items/conversions.h"

namespace {

TEST(Conversions, FanCountToRpm) {
    // {chip, divisor, count, rpm, status}
    // clang-format off
    const struct { int32_t chipCode, divisor; uint32_t count; int64_t rpm; int32_t status; }
    cases[] = {
        // A stopped fan is 0 RPM for every chip, even without a divisor.
        {1, 0, 0, 0, 0}, {3, 1, 0, 0, 0}, {6, 1, 0, 0, 0}, {23, 1, 0, 0, 0}, {30, 0, 0, 0, 0},
        // 5400000 / count, valid up to 0xFEFF.
        {3, 1, 1, 5400000, 0}, {3, 1, 0xFEFF, 82, 0}, {3, 1, 0xFF00, 0, 0},
        {16, 1, 2700, 2000, 0}, {16, 1, 0xFF00, 0, 0},
        // 5400000 / count, valid up to 0xFFFB.
        {8, 1, 0xFFFB, 82, 0}, {8, 1, 0xFFFC, 0, 0}, {9, 1, 1080, 5000, 0},
        {14, 1, 0xFFFB, 82, 0}, {14, 1, 0xFFFC, 0, 0},
        // 1350000 / count, 12-bit: valid up to 4094.
        {17, 1, 4094, 329, 0}, {17, 1, 4095, 0, 0}, {17, 1, 1, 1350000, 0},
        // 84375 / count, every count but 255.
        {23, 1, 254, 332, 0}, {23, 1, 255, 0, 0}, {23, 1, 256, 329, 0},
        // 675000 / count, every count but 65535.
        {25, 1, 65534, 10, 0}, {25, 1, 65535, 0, 0}, {25, 1, 65536, 10, 0},
        // 1350000 / count, 13-bit: every count but 0x1FFF.
        {28, 1, 8190, 164, 0}, {28, 1, 8191, 0, 0}, {30, 1, 8192, 164, 0},
        {30, 1, 8191, 0, 0}, {30, 1, 675, 2000, 0},
        // count x 30.0 / 0.262, truncated; saturates at the int32 end.
        {6, 1, 1, 114, 0}, {6, 1, 1000, 114503, 0}, {6, 0, 0xFFFFFFFF, 2147483647, 0},
        // 8-bit inputs: (1350000 / divisor) / count, valid 1 to 254.
        {1, 2, 135, 5000, 0}, {1, 1, 254, 5314, 0}, {1, 8, 1, 168750, 0},
        {1, 2, 255, 0, 0}, {1, 2, 256, 0, 0}, {0, 4, 100, 3375, 0}, {36, 1, 1, 1350000, 0},
        {-1, 3, 7, 64285, 0},
        // Without a divisor the conversion fails, whatever the count.
        {1, 0, 135, 0, -1}, {1, 0, 255, 0, -1}, {29, 0, 1, 0, -1},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "chip " << c.chipCode << " count " << c.count);
        int64_t rpm = -99;
        EXPECT_EQ(c.status, FANConvert(c.count, c.chipCode, c.divisor, &rpm));
        EXPECT_EQ(c.rpm, rpm);
    }
}

TEST(Conversions, DivisorFieldToDivisor) {
    // 0xE4 = 11 10 01 00: fields 3, 2, 1, 0 from the top.
    // {raw, chip, mask, divisor, status}
    // clang-format off
    const struct { int32_t raw, chipCode, bitMask; uint32_t divisor; int32_t status; } cases[] = {
        {0xB0, 1, 0x30, 8, 0}, {0xB0, 3, 0x30, 4, 0}, {0xB0, 16, 0x30, 4, 0},
        {0xE4, 1, 0x03, 1, 0}, {0xE4, 1, 0x0C, 2, 0}, {0xE4, 1, 0x30, 4, 0}, {0xE4, 1, 0xC0, 8, 0},
        {0xE4, 3, 0x03, 1, 0}, {0xE4, 3, 0x0C, 2, 0}, {0xE4, 3, 0x30, 3, 0}, {0xE4, 3, 0xC0, 4, 0},
        // Only the low 8 bits of the mask count; bits above the byte are ignored.
        {0x1E4, 22, 0x1C0, 8, 0}, {-1, 29, 0x0C, 8, 0},
        // Anything but the four field masks: divisor 1, status -1.
        {0xE4, 1, 0x00, 1, -1}, {0xE4, 1, 0x01, 1, -1}, {0xE4, 1, 0x0F, 1, -1},
        {0xE4, 3, 0x3C, 1, -1}, {0xE4, 1, 0xFF, 1, -1}, {0xE4, 1, 0x100, 1, -1},
    };
    // clang-format on
    for (const auto& c : cases) {
        uint32_t divisor = 77;
        EXPECT_EQ(c.status, DIVISORConvert(c.raw, c.chipCode, c.bitMask, &divisor));
        EXPECT_EQ(c.divisor, divisor) << c.raw << " " << c.chipCode << " " << c.bitMask;
    }
}

// Every rail of every chip row at raw 13 and 255, in the order P12V, P5V,
// P33V, P25V, VCCP, N5V, N12V, VBAT, P5VSB: two points fix each linear
// formula. Rails without a formula show the raw value itself.
constexpr uint32_t kRaws[] = {13, 255};

TEST(Conversions, VoltageEveryRailOfEveryChip) {
    struct {
        std::vector<uint32_t> chipCodes;
        int64_t millivolts[9][2];
    } const rows[] = {
        // clang-format off
        {{0}, {{812, 15937}, {338, 6630}, {223, 4386}, {169, 3315}, {183, 3595}, {13, 255},
                {13, 255}, {13, 255}, {13, 255}}},
        {{16}, {{812, 15937}, {338, 6630}, {223, 4386}, {169, 3315}, {152, 2983}, {13, 255},
                {13, 255}, {13, 255}, {13, 255}}},
        {{1, 2}, {{790, 15504}, {349, 6854}, {208, 4080}, {13, 255}, {208, 4080}, {-7060, 5108},
                {-14329, 6137}, {13, 255}, {315, 6181}}},
        {{7}, {{790, 15504}, {349, 6854}, {208, 4080}, {13, 255}, {0, 2040}, {-7060, 5108},
                {-13737, 6729}, {13, 255}, {13, 255}}},
        {{9, 14}, {{812, 15937}, {338, 6630}, {223, 4386}, {169, 3315}, {0, 1593}, {13, 255},
                {-12984, -7110}, {13, 255}, {13, 255}}},
        {{10}, {{790, 15504}, {349, 6854}, {208, 4080}, {13, 255}, {64, 1245}, {-7060, 5108},
                {-14329, 6137}, {13, 255}, {13, 255}}},
        {{12, 15}, {{686, 13464}, {332, 6528}, {208, 4080}, {13, 255}, {0, 2040}, {13, 255},
                {-44996, 1854}, {13, 255}, {13, 255}}},
        {{13}, {{812, 15937}, {338, 6633}, {225, 4422}, {126, 2490}, {152, 2988}, {13, 255},
                {-15060, 2427}, {203, 3984}, {13, 255}}},
        {{17}, {{1248, 24480}, {312, 6120}, {208, 4080}, {13, 255}, {0, 2040}, {13, 255},
                {-15037, 20916}, {13, 255}, {13, 255}}},
        {{19, 36}, {{1664, 32640}, {416, 8160}, {208, 4080}, {13, 255}, {0, 2040}, {13, 255},
                {-44996, 1854}, {13, 255}, {13, 255}}},
        {{21}, {{13, 255}, {13, 255}, {312, 6120}, {208, 4080}, {0, 2040}, {13, 255}, {13, 255},
                {13, 255}, {13, 255}}},
        {{22, 28}, {{688, 13504}, {416, 8160}, {208, 4080}, {13, 255}, {0, 2040}, {13, 255},
                {-44996, 1854}, {13, 255}, {13, 255}}},
        {{23, 29}, {{688, 13504}, {416, 8160}, {0, 6120}, {1248, 24480}, {0, 2040}, {13, 255},
                {-44996, 1854}, {475, 9323}, {522, 10240}}},
        {{24}, {{688, 13504}, {445, 8731}, {208, 4080}, {13, 255}, {0, 2040}, {13, 255},
                {-44996, 1854}, {442, 8670}, {432, 8486}}},
        {{25}, {{834, 16360}, {349, 6854}, {0, 4080}, {13, 255}, {0, 4080}, {13, 255}, {13, 255},
                {13, 255}, {13, 255}}},
        {{30}, {{1376, 27009}, {832, 16320}, {624, 12240}, {13, 255}, {208, 4080}, {13, 255},
                {-42480, 51222}, {13, 255}, {13, 255}}},
        // clang-format on
    };
    for (const auto& row : rows)
        for (uint32_t chip : row.chipCodes)
            for (uint32_t rail = 0; rail < 9; ++rail)
                for (int i = 0; i < 2; ++i) {
                    int64_t mv = -99;
                    EXPECT_EQ(0, VOLTAGEConvert(chip, rail, kRaws[i], &mv));
                    EXPECT_EQ(row.millivolts[rail][i], mv) << chip << " " << rail << " " << i;
                }
}

TEST(Conversions, VoltageEdges) {
    // {chip, function, raw, millivolts}
    // clang-format off
    const struct { uint32_t chipCode, volFunc, raw; int64_t millivolts; } cases[] = {
        // Unconnected-rail thresholds: one below reads 0, the threshold converts.
        {7, VF_VCCP, 15, 0}, {7, VF_VCCP, 16, 128}, {14, VF_VCCP, 15, 0}, {14, VF_VCCP, 16, 100},
        {15, VF_VCCP, 15, 0}, {15, VF_VCCP, 16, 128}, {17, VF_VCCP, 16, 0}, {17, VF_VCCP, 17, 136},
        {36, VF_VCCP, 16, 0}, {36, VF_VCCP, 17, 136}, {21, VF_VCCP, 48, 0}, {21, VF_VCCP, 49, 392},
        {28, VF_VCCP, 16, 0}, {28, VF_VCCP, 17, 136}, {29, VF_P33V, 24, 0}, {29, VF_P33V, 25, 600},
        {23, VF_VCCP, 48, 0}, {23, VF_VCCP, 49, 392}, {24, VF_VCCP, 48, 0}, {24, VF_VCCP, 49, 392},
        {25, VF_P33V, 24, 0}, {25, VF_P33V, 25, 400}, {25, VF_VCCP, 24, 0}, {25, VF_VCCP, 25, 400},
        {30, VF_P33V, 4, 0}, {30, VF_P33V, 5, 240}, {30, VF_VCCP, 12, 0}, {30, VF_VCCP, 13, 208},
        {9, VF_VCCP, 15, 0}, {30, VF_P33V, 69, 3312}, {1, VF_P12V, 200, 12160},
        // Battery on chip 13: offset binary around 128.
        {13, VF_VBAT, 128, 2000}, {13, VF_VBAT, 64, 1000},
        // Evaluation order shows in the last bit: 525 * 1000 * 0.008 / 0.19920318725099603
        // is 21083.99..., while the folded constant would give 21084.
        {23, VF_P5VSB, 525, 21083},
        // Chips 9/14 take r * 1000 as a 32-bit unsigned product: 4294968000 wraps to 704.
        {9, VF_N12V, 4294968, -13282},
        // Out of the int32 range: saturated; raw passes through whole.
        {13, VF_P12V, 0xFFFFFFFF, 2147483647}, {13, VF_VBAT, 0x80000080, -2147483648LL},
        {0, VF_N5V, 0xFFFFFFFF, 4294967295LL},
        // A voltage function past the table's columns has no formula: raw.
        {1, 9, 77, 77}, {30, 0xFFFFFFFF, 77, 77},
    };
    // clang-format on
    for (const auto& c : cases) {
        int64_t mv = -99;
        EXPECT_EQ(0, VOLTAGEConvert(c.chipCode, c.volFunc, c.raw, &mv));
        EXPECT_EQ(c.millivolts, mv) << c.chipCode << " " << c.volFunc << " " << c.raw;
    }
}

TEST(Conversions, VoltageOfChipsWithoutARowIsZero) {
    for (uint32_t chip : {3u, 4u, 6u, 8u, 11u, 18u, 20u, 26u, 27u, 31u, 37u, 64u, 0xFFFFFFFFu})
        for (uint32_t rail = 0; rail <= 9; ++rail) {
            int64_t mv = -99;
            EXPECT_TRUE(VOLTAGEConvert(chip, rail, 255, &mv) == 0 && mv == 0) << chip << rail;
        }
}

TEST(Conversions, TemperatureByteToDegrees) {
    // {raw, degrees as the low 32 bits read signed}
    // clang-format off
    const struct { int32_t raw, degrees; } cases[] = {
        {0x80, 0},   {0x7F, 127}, {0x00, 0},        {0x19, 25},  {0xFF, -1},   {0x81, -127},
        {0xE7, -25}, {0x100, 256}, {0x180, -128},   {0x1FF, -1}, {-1, -1},     {-128, -128},
        {0x7FFFFF00, 0x7FFFFF00},
    };
    // clang-format on
    for (const auto& c : cases) {
        int64_t degrees = -99;
        EXPECT_EQ(0, TEMPConvert(c.raw, &degrees));
        // The value lives in the low half; the upper half is always zero.
        EXPECT_EQ(static_cast<int64_t>(static_cast<uint32_t>(c.degrees)), degrees)
            << "raw " << c.raw;
        EXPECT_EQ(c.degrees, static_cast<int32_t>(degrees)) << "raw " << c.raw;
    }
}

TEST(Conversions, SwitchBitsToState) {
    // {raw, mask, active level, chip, reference reading, state}
    // clang-format off
    const struct { int32_t raw, bitMask, activeLevel, chipCode; int64_t refReading, state; }
    cases[] = {
        // Active high: the masked bit set is asserted (1).
        {0x10, 0x10, 1, 1, 1, 1}, {0x10, 0x10, 1, 1, 0, 1}, {0xEF, 0x10, 1, 1, 1, 0},
        {0x00, 0x10, 1, 1, 0, 2}, {0x18, 0x10, 2, 22, 1, 1},
        // Active low: the masked bit clear is asserted.
        {0x10, 0x10, 0, 1, 1, 0}, {0x10, 0x10, 0, 1, 0, 2}, {0xEF, 0x10, 0, 1, 1, 1},
        {0x00, 0x10, 0, 30, 0, 1},
        // Any non-zero reference reading (a fan's RPM, say) keeps a quiet switch normal.
        {0x00, 0x01, 1, 8, 4500, 0}, {0x00, 0x01, 1, 8, -1, 0},
        // Chip 27 (status-only): any non-zero value is asserted; mask, level and
        // reference do not apply.
        {0, 0x10, 1, 27, 0, 0}, {0x100, 0x10, 0, 27, 0, 1}, {1, 0, 1, 27, 1, 1},
    };
    // clang-format on
    for (const auto& c : cases) {
        int64_t state = -99;
        const int32_t level = c.activeLevel;
        EXPECT_EQ(0, SWITCHConvert(c.raw, c.bitMask, &state, level, c.chipCode, c.refReading));
        EXPECT_EQ(c.state, state) << c.raw << " " << c.bitMask << " " << c.activeLevel << " "
                                  << c.chipCode << " " << c.refReading;
    }
}

}  // namespace
