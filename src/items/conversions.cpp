#include "items/conversions.h"

#include <iterator>
#include <limits>

#include "config/records.h"
#include "items/chip_set.h"
#include "items/truncate_to_int32.h"
#include "items/voltage_table.h"

namespace {

// Counts a fan input can report for a turning fan. The ends of a counter's
// range mean "no pulse seen within the count window" (overflowed counter),
// which is a stopped fan, not a very slow one.
struct ValidCounts {
    uint32_t first;
    uint32_t last;
    bool hasExcluded;
    uint32_t excluded;

    constexpr bool contains(uint32_t count) const {
        return count >= first && count <= last && !(hasExcluded && count == excluded);
    }
};

constexpr ValidCounts counts(uint32_t first, uint32_t last) {
    return {first, last, false, 0};
}
constexpr ValidCounts all_but(uint32_t excluded) {
    return {1, std::numeric_limits<uint32_t>::max(), true, excluded};
}

// Chips whose fan count is the time between tachometer pulses in ticks of a
// fixed clock, with no divisor: RPM is one constant over the count. Invalid
// counts read 0 RPM.
struct FanClockRow {
    ChipSet chipSet;
    ValidCounts valid;
    uint32_t rpmTimesCount;
};

// clang-format off
constexpr FanClockRow kFanClockTable[] = {
    {chips(3, 16), counts(1, 0xFEFF), 5400000},
    {chips(8, 9, 14), counts(1, 0xFFFB), 5400000},
    {chips(17), counts(1, 0xFFE), 1350000},         // W83793G, 12-bit count
    {chips(23), all_but(255), 84375},               // W83795ADG
    {chips(25), all_but(65535), 675000},            // IT8720F, 16-bit count
    {chips(28, 30), all_but(0x1FFF), 1350000},      // NCT6776F, NCT7904D, 13-bit count
};
// clang-format on

// Chip 6 counts tachometer pulses over a fixed gate time (0.262 s) instead of
// timing one period: pulses / 0.262 s x 60 s / 2 pulses per revolution.
constexpr int32_t kPulseCountChip = 6;
constexpr double kPulseCountScale = 30.0;
constexpr double kPulseGateSeconds = 0.262;

// The classic 8-bit fan input: the chip divides the fan's pulses by the
// programmed divisor and counts a 22.5 kHz clock between them. 255 is an
// overflowed counter (fan stopped or too slow for the divisor).
constexpr ValidCounts kEightBitCounts = counts(1, 254);
constexpr int64_t kEightBitTicksPerMinute = 1350000;

// Fan divisor fields: a 2-bit field at one of four positions.
struct DivisorField {
    uint32_t mask;
    uint32_t shift;
};
constexpr DivisorField kDivisorFields[] = {{0x03, 0}, {0x0C, 2}, {0x30, 4}, {0xC0, 6}};

// Chips whose field holds divisor - 1 instead of the divisor's power of two.
constexpr ChipSet kLinearDivisorChips = chips(3, 16);

// Switch items with no status bits of their own (chip code 27): any non-zero
// value is asserted.
constexpr int32_t kStatusOnlyChip = 27;

constexpr int64_t kSwitchNormal = 0;
constexpr int64_t kSwitchAsserted = 1;
constexpr int64_t kSwitchReferenceDown = 2;

}  // namespace

int32_t FANConvert(uint32_t count, int32_t chipCode, int32_t divisor, int64_t* rpm) {
    *rpm = 0;
    if (count == 0) return 0;

    if (chipCode == kPulseCountChip) {
        *rpm = truncate_to_int32(count * kPulseCountScale / kPulseGateSeconds);
        return 0;
    }
    for (const FanClockRow& row : kFanClockTable) {
        if (!row.chipSet.contains(chipCode)) continue;
        if (row.valid.contains(count)) *rpm = row.rpmTimesCount / count;
        return 0;
    }
    // The divisor is checked before the count: a missing divisor is a
    // configuration fault worth reporting even while the fan stands still.
    if (divisor == 0) return -1;
    if (kEightBitCounts.contains(count))
        *rpm = kEightBitTicksPerMinute / divisor / static_cast<int64_t>(count);
    return 0;
}

int32_t DIVISORConvert(int32_t raw, int32_t chipCode, int32_t bitMask, uint32_t* divisor) {
    const uint32_t mask = static_cast<uint32_t>(bitMask) & 0xFFu;
    for (const DivisorField& field : kDivisorFields) {
        if (field.mask != mask) continue;
        const uint32_t f = (static_cast<uint32_t>(raw) & field.mask) >> field.shift;
        *divisor = kLinearDivisorChips.contains(chipCode) ? f + 1 : 1u << f;
        return 0;
    }
    *divisor = 1;
    return -1;
}

int32_t VOLTAGEConvert(uint32_t chipCode, uint32_t volFunc, uint32_t raw, int64_t* millivolts) {
    *millivolts = 0;
    for (const VoltageRow& row : volt::kVoltageTable) {
        if (!row.chipSet.contains(chipCode)) continue;
        // A rail the table has no column for has no formula either.
        *millivolts =
            volFunc < std::size(row.rail) ? evaluate_formula(row.rail[volFunc], raw) : raw;
        return 0;
    }
    return 0;
}

int32_t TEMPConvert(int32_t raw, int64_t* degrees) {
    // 0x80 (-128) is the "no valid reading" value of the temperature
    // registers; the chip code 17 diode check substitutes it for a faulted
    // diode.
    uint32_t value = static_cast<uint32_t>(raw);
    if (value == 0x80) {
        value = 0;
    } else if ((value & 0x80) != 0) {
        value |= 0xFFFFFF80u;  // sign-extend the two's-complement byte
    }
    *degrees = static_cast<int64_t>(value);  // upper half stays zero
    return 0;
}

int32_t SWITCHConvert(int32_t raw, int32_t bitMask, int64_t* state, int32_t activeLevel,
                      int32_t chipCode, int64_t refReading) {
    if (chipCode == kStatusOnlyChip) {
        *state = raw != 0 ? kSwitchAsserted : kSwitchNormal;
        return 0;
    }
    const bool bitSet = (raw & bitMask) != 0;
    const bool asserted = activeLevel != 0 ? bitSet : !bitSet;
    if (asserted)
        *state = kSwitchAsserted;
    else
        *state = refReading == 0 ? kSwitchReferenceDown : kSwitchNormal;
    return 0;
}
