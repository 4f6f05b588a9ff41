// Millivolts from the ADC reading r, per chip and rail. One row per group of
// chips, one column per voltage function, in the order of VoltageFunction:
//
//     P12V  P5V  P33V  P25V  VCCP  N5V  N12V  VBAT  P5VSB
//
// Each formula is written as it is evaluated: left to right in double
// precision, then truncated toward zero (voltage_formula.h). The constants
// are the exact doubles the scaling uses (mostly resistor-divider ratios of
// the board designs, e.g. 0.2631578947368421 = 10k / (28k + 10k)); keep every
// digit, or truncation lands one millivolt off for some raw values.
//
// `zero_below(n, ...)`: the chip shows a small value for a rail that is not
// connected; below n it reads 0 mV. `raw`: no formula, the raw value is shown.
// A chip without a row has no voltage inputs the monitor knows: 0 mV.
#pragma once

#include "items/chip_set.h"
#include "items/voltage_formula.h"

struct VoltageRow {
    ChipSet chipSet;
    VoltageFormula rail[9];
};

namespace volt {

// Chip 1 (W83627HF) and its relatives 2, 7 and 10: 16 mV ADC steps behind
// the usual divider network (+12 V through 28k/10k, +5 V through 6.8k/10k);
// the negative rails sit on a divider lifted above ground, hence the offset.
inline constexpr VoltageFormula kW83627_P12V = r * 1000 * 0.016 / 0.2631578947368421;
inline constexpr VoltageFormula kW83627_P5V = r * 1000 * 0.016 / 0.5952380952380952;
inline constexpr VoltageFormula kW83627_N5V =
    (r * 0.016 - 2.4545454545454546) * 1000 / 0.31818181818181823;
inline constexpr VoltageFormula kW83627_N12V =
    (r * 0.016 - 2.9189189189189193) * 1000 / 0.18918918918918914;

// Negative 12 V on the 8 mV-step chips: divider referenced to 2.048 V.
inline constexpr VoltageFormula kN12V_2048 =
    (r * 0.008 - 2.048) * 1000 / 0.04132231404958678 + 2048.0;

// clang-format off
inline constexpr VoltageRow kVoltageTable[] = {
    {chips(0),
     {r * 1000 * 0.0625, r * 1000 * 0.026, r * 1000 * 0.0172, r * 1000 * 0.013,
      r * 1000 * 0.0141, raw, raw, raw, raw}},
    {chips(16),
     {r * 1000 * 0.0625, r * 1000 * 0.026, r * 1000 * 0.0172, r * 1000 * 0.013,
      r * 1000 * 0.0117, raw, raw, raw, raw}},
    {chips(1, 2),
     {kW83627_P12V, kW83627_P5V, r * 1000 * 0.016, raw, r * 1000 * 0.016, kW83627_N5V,
      kW83627_N12V, raw, r * 1000 * 0.016 / 0.66}},
    {chips(7),
     {kW83627_P12V, kW83627_P5V, r * 1000 * 0.016, raw, zero_below(16, r * 1000 * 0.008),
      kW83627_N5V, ((r + 7) * 0.016 - 2.9189189189189193) * 1000 / 0.18918918918918914, raw,
      raw}},
    {chips(9, 14),
     {r * 1000 * 0.0625, r * 1000 * 0.026, r * 1000 * 0.0172, r * 1000 * 0.013,
      zero_below(16, r * 1000 * 0.00625), raw, int_product(r, 1000) * 0.024269 - 13299.5, raw,
      raw}},
    {chips(10),
     {kW83627_P12V, kW83627_P5V, r * 1000 * 0.016, raw, r * 1000 * 0.00488 + 0.69, kW83627_N5V,
      kW83627_N12V, raw, raw}},
    {chips(12, 15),
     {r * 1000 * 0.008 / 0.15151515151515152, r * 1000 * 0.008 / 0.3125, r * 1000 * 0.016, raw,
      zero_below(16, r * 1000 * 0.008), raw, kN12V_2048, raw, raw}},
    {chips(13),
     {r * 1000 * 16.0 * 0.00390625, r * 1000 * 6.66 * 0.00390625, r * 1000 * 4.44 * 0.00390625,
      r * 1000 * 2.5 * 0.00390625, r * 1000 * 3.0 * 0.00390625, raw,
      r * 1000 * 18.5 * 0.00390625 - 16000.0,
      signed_difference(r, 128) * 1000 * 2 * 0.0078125 + 2000.0, raw}},
    {chips(17),
     {r * 1000 * 0.008 / 0.08333333333333333, r * 1000 * 0.024, r * 1000 * 0.016, raw,
      zero_below(17, r * 1000 * 0.008), raw,
      (r * 0.016 - 1.827446153846154) * 1000 / 0.10769230769230764, raw, raw}},
    {chips(19, 36),
     {r * 1000 * 0.008 * 16.0, r * 1000 * 0.008 * 4.0, r * 1000 * 0.016, raw,
      zero_below(17, r * 1000 * 0.008), raw, kN12V_2048, raw, raw}},
    {chips(21),
     {raw, raw, r * 1000 * 0.024, r * 1000 * 0.016, zero_below(49, r * 1000 * 0.008), raw, raw,
      raw, raw}},
    {chips(22, 28),
     {r * 1000 * 0.008 / 0.1510574018126888, r * 1000 * 0.008 * 4.0, r * 1000 * 0.016, raw,
      zero_below(17, r * 1000 * 0.008), raw, kN12V_2048, raw, raw}},
    {chips(23, 29),
     {r * 1000 * 0.008 / 0.1510574018126888, r * 1000 * 0.008 * 4.0,
      zero_below(25, r * 1000 * 0.024), r * 1000 * 0.008 / 0.08333333333333333,
      zero_below(49, r * 1000 * 0.008), raw, kN12V_2048, r * 1000 * 0.008 / 0.21880650994575043,
      r * 1000 * 0.008 / 0.19920318725099603}},
    {chips(24),
     {r * 1000 * 0.008 / 0.1510574018126888, r * 1000 * 0.008 * 4.28, r * 1000 * 0.016, raw,
      zero_below(49, r * 1000 * 0.008), raw, kN12V_2048, r * 1000 * 0.008 * 4.25,
      r * 1000 * 0.008 * 4.16}},
    {chips(25),
     {r * 1000 * 0.016 / 0.24937655860349126, r * 1000 * 0.016 / 0.5952380952380952,
      zero_below(25, r * 1000 * 0.016), raw, zero_below(25, r * 1000 * 0.016), raw, raw, raw,
      raw}},
    {chips(30),
     {r * 1000 * 0.016 / 0.1510574018126888, r * 1000 * 0.016 * 4.0,
      zero_below(5, r * 1000 * 0.048), raw, zero_below(13, r * 1000 * 0.016), raw,
      (r * 0.016 - 2.048) * 1000 / 0.04132231404958678 + 2048.0, raw, raw}},
};

}  // namespace volt
