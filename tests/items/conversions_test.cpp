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

struct FanCase {
    int32_t chipCode;
    int32_t divisor;
    uint32_t count;
    int64_t rpm;
    int32_t status;
};

TEST(Conversions, FanCountToRpm) {
    // clang-format off
    const FanCase cases[] = {
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
    for (const FanCase& c : cases) {
        int64_t rpm = -99;
        EXPECT_EQ(c.status, FANConvert(c.count, c.chipCode, c.divisor, &rpm))
            << "chip " << c.chipCode << " count " << c.count;
        EXPECT_EQ(c.rpm, rpm) << "chip " << c.chipCode << " count " << c.count << " divisor "
                              << c.divisor;
    }
}

struct DivisorCase {
    int32_t raw;
    int32_t chipCode;
    int32_t bitMask;
    uint32_t divisor;
    int32_t status;
};

TEST(Conversions, DivisorFieldToDivisor) {
    // 0xE4 = 11 10 01 00: fields 3, 2, 1, 0 from the top.
    // clang-format off
    const DivisorCase cases[] = {
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
    for (const DivisorCase& c : cases) {
        uint32_t divisor = 77;
        EXPECT_EQ(c.status, DIVISORConvert(c.raw, c.chipCode, c.bitMask, &divisor))
            << "mask " << c.bitMask;
        EXPECT_EQ(c.divisor, divisor)
            << "raw " << c.raw << " chip " << c.chipCode << " mask " << c.bitMask;
    }
}

// Every rail of every chip row at raw 0, 13, 100 and 255, in the order
// P12V, P5V, P33V, P25V, VCCP, N5V, N12V, VBAT, P5VSB. Rails without a
// formula show the raw value itself.
constexpr uint32_t kRaws[] = {0, 13, 100, 255};

struct VoltageRowCase {
    std::vector<uint32_t> chipCodes;
    int64_t millivolts[9][4];
};

TEST(Conversions, VoltageEveryRailOfEveryChip) {
    // clang-format off
    const VoltageRowCase rows[] = {
        {{0},
         {{0, 812, 6250, 15937}, {0, 338, 2600, 6630}, {0, 223, 1720, 4386},
          {0, 169, 1300, 3315}, {0, 183, 1410, 3595}, {0, 13, 100, 255}, {0, 13, 100, 255},
          {0, 13, 100, 255}, {0, 13, 100, 255}}},
        {{16},
         {{0, 812, 6250, 15937}, {0, 338, 2600, 6630}, {0, 223, 1720, 4386},
          {0, 169, 1300, 3315}, {0, 152, 1170, 2983}, {0, 13, 100, 255}, {0, 13, 100, 255},
          {0, 13, 100, 255}, {0, 13, 100, 255}}},
        {{1, 2},
         {{0, 790, 6080, 15504}, {0, 349, 2688, 6854}, {0, 208, 1600, 4080}, {0, 13, 100, 255},
          {0, 208, 1600, 4080}, {-7714, -7060, -2685, 5108}, {-15428, -14329, -6971, 6137},
          {0, 13, 100, 255}, {0, 315, 2424, 6181}}},
        {{7},
         {{0, 790, 6080, 15504}, {0, 349, 2688, 6854}, {0, 208, 1600, 4080}, {0, 13, 100, 255},
          {0, 0, 800, 2040}, {-7714, -7060, -2685, 5108}, {-14836, -13737, -6379, 6729},
          {0, 13, 100, 255}, {0, 13, 100, 255}}},
        {{9, 14},
         {{0, 812, 6250, 15937}, {0, 338, 2600, 6630}, {0, 223, 1720, 4386},
          {0, 169, 1300, 3315}, {0, 0, 625, 1593}, {0, 13, 100, 255},
          {-13299, -12984, -10872, -7110}, {0, 13, 100, 255}, {0, 13, 100, 255}}},
        {{10},
         {{0, 790, 6080, 15504}, {0, 349, 2688, 6854}, {0, 208, 1600, 4080}, {0, 13, 100, 255},
          {0, 64, 488, 1245}, {-7714, -7060, -2685, 5108}, {-15428, -14329, -6971, 6137},
          {0, 13, 100, 255}, {0, 13, 100, 255}}},
        {{12, 15},
         {{0, 686, 5280, 13464}, {0, 332, 2560, 6528}, {0, 208, 1600, 4080}, {0, 13, 100, 255},
          {0, 0, 800, 2040}, {0, 13, 100, 255}, {-47513, -44996, -28153, 1854},
          {0, 13, 100, 255}, {0, 13, 100, 255}}},
        {{13},
         {{0, 812, 6250, 15937}, {0, 338, 2601, 6633}, {0, 225, 1734, 4422}, {0, 126, 976, 2490},
          {0, 152, 1171, 2988}, {0, 13, 100, 255}, {-16000, -15060, -8773, 2427},
          {0, 203, 1562, 3984}, {0, 13, 100, 255}}},
        {{17},
         {{0, 1248, 9600, 24480}, {0, 312, 2400, 6120}, {0, 208, 1600, 4080}, {0, 13, 100, 255},
          {0, 0, 800, 2040}, {0, 13, 100, 255}, {-16969, -15037, -2112, 20916},
          {0, 13, 100, 255}, {0, 13, 100, 255}}},
        {{19, 36},
         {{0, 1664, 12800, 32640}, {0, 416, 3200, 8160}, {0, 208, 1600, 4080}, {0, 13, 100, 255},
          {0, 0, 800, 2040}, {0, 13, 100, 255}, {-47513, -44996, -28153, 1854},
          {0, 13, 100, 255}, {0, 13, 100, 255}}},
        {{21},
         {{0, 13, 100, 255}, {0, 13, 100, 255}, {0, 312, 2400, 6120}, {0, 208, 1600, 4080},
          {0, 0, 800, 2040}, {0, 13, 100, 255}, {0, 13, 100, 255}, {0, 13, 100, 255},
          {0, 13, 100, 255}}},
        {{22, 28},
         {{0, 688, 5296, 13504}, {0, 416, 3200, 8160}, {0, 208, 1600, 4080}, {0, 13, 100, 255},
          {0, 0, 800, 2040}, {0, 13, 100, 255}, {-47513, -44996, -28153, 1854},
          {0, 13, 100, 255}, {0, 13, 100, 255}}},
        {{23, 29},
         {{0, 688, 5296, 13504}, {0, 416, 3200, 8160}, {0, 0, 2400, 6120},
          {0, 1248, 9600, 24480}, {0, 0, 800, 2040}, {0, 13, 100, 255},
          {-47513, -44996, -28153, 1854}, {0, 475, 3656, 9323}, {0, 522, 4015, 10240}}},
        {{24},
         {{0, 688, 5296, 13504}, {0, 445, 3424, 8731}, {0, 208, 1600, 4080}, {0, 13, 100, 255},
          {0, 0, 800, 2040}, {0, 13, 100, 255}, {-47513, -44996, -28153, 1854},
          {0, 442, 3400, 8670}, {0, 432, 3328, 8486}}},
        {{25},
         {{0, 834, 6416, 16360}, {0, 349, 2688, 6854}, {0, 0, 1600, 4080}, {0, 13, 100, 255},
          {0, 0, 1600, 4080}, {0, 13, 100, 255}, {0, 13, 100, 255}, {0, 13, 100, 255},
          {0, 13, 100, 255}}},
        {{30},
         {{0, 1376, 10592, 27009}, {0, 832, 6400, 16320}, {0, 624, 4800, 12240},
          {0, 13, 100, 255}, {0, 208, 1600, 4080}, {0, 13, 100, 255},
          {-47513, -42480, -8793, 51222}, {0, 13, 100, 255}, {0, 13, 100, 255}}},
    };
    // clang-format on
    for (const VoltageRowCase& row : rows) {
        for (uint32_t chip : row.chipCodes) {
            for (uint32_t rail = 0; rail < 9; ++rail) {
                for (int i = 0; i < 4; ++i) {
                    int64_t mv = -99;
                    EXPECT_EQ(0, VOLTAGEConvert(chip, rail, kRaws[i], &mv));
                    EXPECT_EQ(row.millivolts[rail][i], mv)
                        << "chip " << chip << " rail " << rail << " raw " << kRaws[i];
                }
            }
        }
    }
}

struct VoltageCase {
    uint32_t chipCode;
    uint32_t volFunc;
    uint32_t raw;
    int64_t millivolts;
};

TEST(Conversions, VoltageEdges) {
    // clang-format off
    const VoltageCase cases[] = {
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
    for (const VoltageCase& c : cases) {
        int64_t mv = -99;
        EXPECT_EQ(0, VOLTAGEConvert(c.chipCode, c.volFunc, c.raw, &mv));
        EXPECT_EQ(c.millivolts, mv)
            << "chip " << c.chipCode << " rail " << c.volFunc << " raw " << c.raw;
    }
}

TEST(Conversions, VoltageOfChipsWithoutARowIsZero) {
    const uint32_t chipsWithoutRow[] = {3,  4,  5,  6,  8,  11, 18, 20, 26,   27,
                                        31, 32, 33, 34, 35, 37, 63, 64, 1000, 0xFFFFFFFF};
    for (uint32_t chip : chipsWithoutRow) {
        for (uint32_t rail = 0; rail <= 9; ++rail) {
            for (uint32_t raw : {0u, 100u, 255u}) {
                int64_t mv = -99;
                EXPECT_EQ(0, VOLTAGEConvert(chip, rail, raw, &mv));
                EXPECT_EQ(0, mv) << "chip " << chip << " rail " << rail << " raw " << raw;
            }
        }
    }
}

struct TempCase {
    int32_t raw;
    int32_t degrees;  // the low 32 bits, read signed
};

TEST(Conversions, TemperatureByteToDegrees) {
    // clang-format off
    const TempCase cases[] = {
        {0x80, 0},   {0x7F, 127}, {0x00, 0},        {0x19, 25},  {0xFF, -1},   {0x81, -127},
        {0xE7, -25}, {0x100, 256}, {0x180, -128},   {0x1FF, -1}, {-1, -1},     {-128, -128},
        {0x7FFFFF00, 0x7FFFFF00},
    };
    // clang-format on
    for (const TempCase& c : cases) {
        int64_t degrees = -99;
        EXPECT_EQ(0, TEMPConvert(c.raw, &degrees));
        // The value lives in the low half; the upper half is always zero.
        EXPECT_EQ(static_cast<int64_t>(static_cast<uint32_t>(c.degrees)), degrees)
            << "raw " << c.raw;
        EXPECT_EQ(c.degrees, static_cast<int32_t>(degrees)) << "raw " << c.raw;
    }
}

struct SwitchCase {
    int32_t raw;
    int32_t bitMask;
    int32_t activeLevel;
    int32_t chipCode;
    int64_t refReading;
    int64_t state;
};

TEST(Conversions, SwitchBitsToState) {
    // clang-format off
    const SwitchCase cases[] = {
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
    for (const SwitchCase& c : cases) {
        int64_t state = -99;
        EXPECT_EQ(0,
                  SWITCHConvert(c.raw, c.bitMask, &state, c.activeLevel, c.chipCode, c.refReading));
        EXPECT_EQ(c.state, state) << "raw " << c.raw << " mask " << c.bitMask << " level "
                                  << c.activeLevel << " chip " << c.chipCode << " ref "
                                  << c.refReading;
    }
}

}  // namespace
