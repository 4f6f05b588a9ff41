// A chip's registers as a run used them, turned into the banked-register keys
// of a board file (bank_register, bank_mask, registers, banks) that make the
// replay answer every read as the machine did.
//
// The replay's rules decide what is written: a register gives its board
// values one per read until the program writes it, and the written byte
// after that; the bank select register's value (AND the mask) chooses the
// bank. The recording follows the run through those same rules, so every
// read lands in the entry the replay will read it from: the values a
// register gave before it was first written become its value, or its
// sequence when they changed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "record/replay_notes.h"
#include "vboard/board_values.h"

struct RegisterAccess {
    enum class Kind : uint8_t { read, write, failed_read };
    Kind kind;
    uint8_t reg;
    uint8_t value;  // the byte read or written
};

// A bank select register as the chips this system knows it: a chip whose
// run wrote one of these is recorded with banks, the first one written
// counting. Monitor chips behind an index/data pair switch banks in 0x4E;
// SMBus chips in 0x00 (W83793G, W83795ADG) or 0xFF (NCT7904D).
struct BankSelect {
    uint8_t reg;
    uint8_t mask;
};
inline constexpr BankSelect kPortChipBankSelects[] = {{0x4E, 0x07}};
inline constexpr BankSelect kSmbusChipBankSelects[] = {{0x00, 0x07}, {0xFF, 0x07}};

// `device` with the keys added for a chip whose registers saw `log`; `chip`
// names it in notes ("port 0x295"). Without `selects` the chip has no banks
// and "registers" (possibly empty) is the one key added.
Json recorded_registers(Json device, const std::vector<RegisterAccess>& log,
                        std::span<const BankSelect> selects, const std::string& chip,
                        ReplayNotes& notes);

// "00 3c": a byte list.
std::string byte_list(const std::vector<uint8_t>& bytes);
