// Which bank a monitor chip's register lives in, and the check that puts a
// chip's bank select register right when something else left it in the wrong
// bank.
#pragma once

#include <cstdint>
#include <span>

#include "config/records.h"

// Switches the bank check of the reading engine on. Nothing in the program
// changes it: it is off unless set differently at build time.
extern int32_t bNeedCheckBankSelectRegister;
// Allows the syslog line of correctBankSelectRegister.
extern int32_t bUseSysLog;

// The register kinds the bank rules distinguish.
inline constexpr int32_t kBankKindReading = 0;
inline constexpr int32_t kBankKindHighLimit = 1;
inline constexpr int32_t kBankKindLowLimit = 2;

// whichBankSelection's answer for a register that has no bank.
inline constexpr uint32_t kNoBank = 0xFFFFFFFF;

// 1 when the item's chip has a bank select register, else 0.
int32_t hasBankSelectRegister(const ItemRecord* item);
// 1 when the item's chip keeps registers of one item in different banks.
int32_t useOtherBankSelection(const ItemRecord* item);
// The bank of register `offset` of the item for `kind`, or kNoBank.
uint32_t whichBankSelection(int32_t kind, const ItemRecord* item, int32_t offset);
// Reads the chip's bank select register and rewrites it when it is not in the
// bank whichBankSelection expects. 1 when it rewrote the register, else 0.
// `phase` (1 before an acquisition, 0 after) does not change the behaviour.
int32_t correctBankSelectRegister(int32_t kind, int32_t phase, const SystemRecord* system,
                                  const ItemRecord* item, int32_t offset);

// ---- the rules as data ----

// An inclusive range of register offsets.
struct OffsetRange {
    uint8_t first;
    uint8_t last;
};

enum class BankRule : uint8_t {
    AlwaysBankZero,   // every register in bank 0
    SlaveAtOffsets,   // the listed offsets in the item's bank (`slave`), others in 0
    LimitsInBankOne,  // NCT7904D: limits in bank 1, readings and 0xCA/0xD4 in 0
};

inline constexpr int32_t kNoSelectRegister = -1;

struct BankChip {
    int32_t chipCode;
    uint8_t hasSelectRegister;  // hasBankSelectRegister
    uint8_t otherBanks;         // useOtherBankSelection
    int32_t selectRegister;     // checked by correctBankSelectRegister, or kNoSelectRegister
    uint8_t selectMask;
    BankRule rule;
    std::span<const OffsetRange> offsets;  // SlaveAtOffsets only
};

// The chips the bank rules know, by ascending chip code.
std::span<const BankChip> bank_chip_table();
// Self-check of such a table: nullptr when every row is sound, else what is
// wrong.
const char* check_bank_chip_table(std::span<const BankChip> table);

// Back to the start values (tests).
void reset_bank_select_state();
