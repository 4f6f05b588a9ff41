// A write to a chip with latches (board.h, Latch): the written byte is stored
// except for its status bits, then every latch the write sets off changes the
// bits it names. Shared by the chips' register files and port storage, which
// say how a register is read (`peek`, with no side effect: a sequence does not
// advance) and stored (`store`, as a written byte).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "vboard/board.h"

template <class Peek, class Store>
void write_through_latches(const std::vector<Latch>& latches, uint16_t reg, uint8_t value,
                           std::optional<uint8_t> bank, Peek peek, Store store) {
    auto applies = [&](const Latch& latch) {
        return latch.reg == reg && (!latch.bank || latch.bank == bank);
    };
    uint8_t status = 0;  // bits of `reg` that only its latches change
    for (const Latch& latch : latches) {
        if (!applies(latch)) continue;
        if (auto it = latch.clear.find(reg); it != latch.clear.end()) status |= it->second;
        if (auto it = latch.set.find(reg); it != latch.set.end()) status |= it->second;
    }
    store(reg, status == 0 ? value : uint8_t((peek(reg) & status) | (value & ~status)));
    for (const Latch& latch : latches) {
        if (!applies(latch) || (latch.bits && (value & *latch.bits) == 0)) continue;
        for (const auto& [target, bits] : latch.clear) store(target, uint8_t(peek(target) & ~bits));
        for (const auto& [target, bits] : latch.set) store(target, uint8_t(peek(target) | bits));
    }
}
