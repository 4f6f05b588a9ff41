#include "items/voltage_formula.h"

#include "items/truncate_to_int32.h"

int64_t evaluate_formula(const VoltageFormula& formula, uint32_t r) {
    using Start = VoltageFormula::Start;
    if (formula.start == Start::Zero) return 0;
    if (formula.start == Start::Raw) return r;
    if (r < formula.zeroBelow) return 0;

    double value = 0.0;
    switch (formula.start) {
        case Start::UnsignedProduct:
            value = static_cast<double>(static_cast<uint32_t>(r * formula.startK));
            break;
        case Start::SignedDifference:
            value = static_cast<double>(static_cast<int32_t>(r - formula.startK));
            break;
        default:
            value = static_cast<double>(r);
            break;
    }
    for (int i = 0; i < formula.stepCount; ++i) {
        const VoltageFormula::Step& step = formula.steps[i];
        switch (step.op) {
            case '+':
                value = value + step.k;
                break;
            case '-':
                value = value - step.k;
                break;
            case '*':
                value = value * step.k;
                break;
            case '/':
                value = value / step.k;
                break;
        }
    }
    return truncate_to_int32(value);
}
