// One voltage conversion formula as data. The table in voltage_table.h writes
// each formula the way it reads on paper:
//
//     (r * 0.016 - 2.4545454545454546) * 1000 / 0.31818181818181823
//
// Every operator appends a step, and the steps run left to right in double
// precision, which is exactly the written order (the formulas only ever put
// the running value on the left). Rounding therefore happens where the
// formula says: r * 1000 * 0.008 / 0.15 is not r * (1000 * 0.008 / 0.15) in
// the last bit, and the truncated millivolt value can differ by one.
#pragma once

#include <cstdint>

struct VoltageFormula {
    // Where the value starts before the double steps.
    enum class Start : uint8_t {
        Zero,              // no such rail (a default formula): 0 mV
        Raw,               // no formula: the result is r itself, unconverted
        Real,              // double(r)
        UnsignedProduct,   // double(r * k), the product taken in 32-bit unsigned
        SignedDifference,  // double(int32(r - k)), the difference taken signed
    };
    struct Step {
        char op;  // '+', '-', '*', '/'
        double k;
    };
    static constexpr int kMaxSteps = 6;

    Start start = Start::Zero;
    uint32_t startK = 0;
    uint32_t zeroBelow = 0;  // r < zeroBelow reads 0 mV (a rail left unconnected)
    int stepCount = 0;
    Step steps[kMaxSteps] = {};

    constexpr VoltageFormula then(char op, double k) const {
        if (stepCount == kMaxSteps) throw "voltage formula too long";
        VoltageFormula next = *this;
        next.steps[next.stepCount++] = Step{op, k};
        return next;
    }
};

constexpr VoltageFormula operator*(VoltageFormula f, double k) {
    return f.then('*', k);
}
constexpr VoltageFormula operator/(VoltageFormula f, double k) {
    return f.then('/', k);
}
constexpr VoltageFormula operator+(VoltageFormula f, double k) {
    return f.then('+', k);
}
constexpr VoltageFormula operator-(VoltageFormula f, double k) {
    return f.then('-', k);
}

namespace volt {

// The raw ADC value, converted to double before anything else.
inline constexpr VoltageFormula r{VoltageFormula::Start::Real};
// No formula for this rail: the raw value passes through.
inline constexpr VoltageFormula raw{VoltageFormula::Start::Raw};

constexpr VoltageFormula integer_start(VoltageFormula of, VoltageFormula::Start start, uint32_t k) {
    if (of.start != VoltageFormula::Start::Real || of.stepCount != 0 || of.zeroBelow != 0)
        throw "integer starts take the plain raw value r";
    return VoltageFormula{start, k};
}
// (r × k) as an integer product, converted to double afterwards.
constexpr VoltageFormula int_product(VoltageFormula of, uint32_t k) {
    return integer_start(of, VoltageFormula::Start::UnsignedProduct, k);
}
// (r − k) as a signed integer, converted to double afterwards.
constexpr VoltageFormula signed_difference(VoltageFormula of, uint32_t k) {
    return integer_start(of, VoltageFormula::Start::SignedDifference, k);
}
// "0 if r < n, else formula".
constexpr VoltageFormula zero_below(uint32_t n, VoltageFormula f) {
    f.zeroBelow = n;
    return f;
}

}  // namespace volt

// Millivolts: r itself for `raw`, otherwise the formula's value truncated
// toward zero to a signed 32-bit number (see truncate_to_int32).
int64_t evaluate_formula(const VoltageFormula& formula, uint32_t r);
