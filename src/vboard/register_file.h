// The live registers of one emulated chip: the board file's values, the bank
// select register, reads that advance or follow the clock, reads that fail,
// the bytes the program wrote and what its latches changed.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "vboard/board.h"
#include "vboard/chip_state.h"
#include "vboard/clock.h"

class RegisterFile {
public:
    RegisterFile(const BankedRegisters& model, const VirtualClock& clock);
    RegisterFile(const RegisterMap& registers, const VirtualClock& clock);

    // The register's value in the selected bank; nullopt when the read fails
    // (an i2c NAK, a BMC error).
    std::optional<uint8_t> read(uint8_t reg);
    // Stores the byte (but for the bits latches own) and sets off the
    // register's latches; writing the bank select register switches the bank.
    void write(uint8_t reg, uint8_t value);

    // The bank the bank select register selects now (0 for a chip without one).
    uint8_t bank() const;

    // What the chip holds beyond the board file (chip_state.h): the written
    // bytes by bank ("*" for a register every bank shows) and the bank select.
    void save(std::vector<HeldValue>& out) const;
    bool restore(const HeldValue& held, bool apply);
    // The two above, for the board's ChipStates (the file must stay where it is).
    ChipStateAccess state_access();

private:
    // Where a register of the selected bank lives: the bank's own entry if the
    // bank overrides it, the shared entry otherwise.
    std::optional<uint8_t> value_of(const RegisterValue& model, size_t* read_count) const;
    bool is_banked(uint8_t reg) const;
    // What a read would give now, without advancing a sequence (0x00 for a
    // read that fails): the base a latch changes bits of.
    uint8_t peek(uint8_t reg) const;
    void store(uint8_t reg, uint8_t value);

    BankedRegisters spec_;
    const VirtualClock& clock_;
    uint8_t initial_bank_register_value_ = 0;
    uint8_t bank_register_value_ = 0;
    // Keyed by (bank, register) for a bank's own registers, (-1, register) for
    // the registers every bank shows.
    std::map<std::pair<int, uint8_t>, uint8_t> written_;
    std::map<std::pair<int, uint8_t>, size_t> reads_;
};
