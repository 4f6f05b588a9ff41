#include "hw/bank_select.h"

#include <syslog.h>

#include "common/syslog_line.h"
#include "hw/isa_access.h"
#include "hw/port_io.h"
#include "hw/smbus.h"

int32_t bNeedCheckBankSelectRegister = 0;
int32_t bUseSysLog = 1;

namespace {

// Banked chips keep their bank select register at 0x4E on the LPC chips
// (W83627HF/DHG, NCT6776F, ...) and at 0x00 on the SMBus ones (W83793G,
// W83795ADG); bits 0-2 hold the bank.
constexpr int32_t kLpcSelect = 0x4E;
constexpr int32_t kSmbusSelect = 0x00;
constexpr uint8_t kBankMask = 0x07;

// Registers that lie in the item's own bank (its `slave`); the others of the
// same chips are in bank 0.
constexpr OffsetRange kW83627hfBanked[] = {{0x50, 0x50}, {0x53, 0x53}, {0x55, 0x55}};
constexpr OffsetRange kCode10Banked[] = {{0x50, 0x51}, {0x53, 0x57}};
constexpr OffsetRange kCode12Banked[] = {{0x50, 0x59}, {0x5C, 0x5C}};
constexpr OffsetRange kDhgBanked[] = {{0x50, 0x51}, {0x53, 0x57}, {0x5C, 0x5C}};
constexpr OffsetRange kNct6776fBanked[] = {{0x17, 0x17}, {0x19, 0x19}, {0x1B, 0x1B}, {0x1D, 0x1D},
                                           {0x2B, 0x2D}, {0x30, 0x30}, {0x32, 0x32}, {0x34, 0x34},
                                           {0x36, 0x36}, {0x38, 0x38}, {0x3A, 0x3A}, {0x3C, 0x3C},
                                           {0x3E, 0x3E}, {0x40, 0x40}, {0x42, 0x42}, {0x50, 0x51},
                                           {0x53, 0x57}, {0x72, 0x73}, {0x77, 0x78}, {0x7C, 0x7D}};

constexpr BankRule kZero = BankRule::AlwaysBankZero;
constexpr BankRule kSlave = BankRule::SlaveAtOffsets;

// chip code, has a bank select register, keeps an item's registers in other
// banks, register the check reads, its mask, where registers lie.
constexpr BankChip kBankChips[] = {
    {1, 1, 1, kLpcSelect, kBankMask, kSlave, kW83627hfBanked},  // W83627HF
    {2, 1, 0, kLpcSelect, kBankMask, kZero, {}},
    {7, 1, 0, kLpcSelect, kBankMask, kZero, {}},
    {8, 1, 1, kNoSelectRegister, kBankMask, kZero, {}},  // NS87427: never checked
    {10, 1, 1, kLpcSelect, kBankMask, kSlave, kCode10Banked},
    {12, 1, 1, kLpcSelect, kBankMask, kSlave, kCode12Banked},
    {15, 1, 1, kLpcSelect, kBankMask, kSlave, kCode12Banked},
    {17, 1, 0, kSmbusSelect, kBankMask, kZero, {}},         // W83793G
    {19, 1, 1, kLpcSelect, kBankMask, kSlave, kDhgBanked},  // W83627DHG family
    {22, 1, 1, kLpcSelect, kBankMask, kSlave, kDhgBanked},
    {23, 1, 0, kSmbusSelect, kBankMask, kZero, {}},  // W83795ADG
    {24, 1, 1, kLpcSelect, kBankMask, kSlave, kCode10Banked},
    {28, 1, 1, kLpcSelect, kBankMask, kSlave, kNct6776fBanked},               // NCT6776F
    {30, 0, 1, kNoSelectRegister, kBankMask, BankRule::LimitsInBankOne, {}},  // NCT7904D
    {36, 1, 1, kLpcSelect, kBankMask, kSlave, kCode10Banked},
};

// NCT7904D registers that are in bank 0 whatever they hold.
constexpr int32_t kNct7904dBankZero[] = {0xCA, 0xD4};

const BankChip* find_chip(int32_t chipCode) {
    for (const BankChip& chip : kBankChips)
        if (chip.chipCode == chipCode) return &chip;
    return nullptr;
}

bool in_ranges(std::span<const OffsetRange> ranges, int32_t offset) {
    for (const OffsetRange& range : ranges)
        if (offset >= range.first && offset <= range.last) return true;
    return false;
}

uint32_t nct7904d_bank(int32_t kind, int32_t offset) {
    for (int32_t fixed : kNct7904dBankZero)
        if (offset == fixed) return 0;
    if (kind == kBankKindReading) return 0;
    if (kind == kBankKindHighLimit || kind == kBankKindLowLimit) return 1;
    return kNoBank;
}

}  // namespace

std::span<const BankChip> bank_chip_table() {
    return kBankChips;
}

const char* check_bank_chip_table(std::span<const BankChip> table) {
    for (size_t i = 0; i < table.size(); ++i) {
        const BankChip& chip = table[i];
        if (i > 0 && chip.chipCode <= table[i - 1].chipCode)
            return "chip codes not in ascending order (or duplicated)";
        if (chip.hasSelectRegister > 1 || chip.otherBanks > 1) return "flag is neither 0 nor 1";
        if (chip.selectRegister != kNoSelectRegister && chip.selectRegister != kLpcSelect &&
            chip.selectRegister != kSmbusSelect)
            return "unknown bank select register";
        if (chip.selectRegister != kNoSelectRegister && !chip.hasSelectRegister)
            return "a checked register on a chip without bank select register";
        if (chip.selectMask != kBankMask) return "bank mask is not bits 0-2";
        if ((chip.rule == BankRule::SlaveAtOffsets) == chip.offsets.empty())
            return "offset list does not match the rule";
        if (chip.rule == BankRule::SlaveAtOffsets && !chip.otherBanks)
            return "registers in other banks on a chip marked single-bank";
        // The syslog line of a correction says "to bank (0)": it is written
        // only for single-bank chips, which must therefore expect bank 0.
        if (chip.selectRegister != kNoSelectRegister && !chip.otherBanks &&
            chip.rule != BankRule::AlwaysBankZero)
            return "single-bank chip expects a bank other than 0";
        for (size_t r = 0; r < chip.offsets.size(); ++r) {
            if (chip.offsets[r].first > chip.offsets[r].last) return "offset range reversed";
            if (r > 0 && chip.offsets[r].first <= chip.offsets[r - 1].last)
                return "offset ranges overlap or are out of order";
        }
    }
    return nullptr;
}

int32_t hasBankSelectRegister(const ItemRecord* item) {
    const BankChip* chip = find_chip(item->chipCode);
    return chip != nullptr && chip->hasSelectRegister ? 1 : 0;
}

int32_t useOtherBankSelection(const ItemRecord* item) {
    const BankChip* chip = find_chip(item->chipCode);
    return chip != nullptr && chip->otherBanks ? 1 : 0;
}

uint32_t whichBankSelection(int32_t kind, const ItemRecord* item, int32_t offset) {
    const BankChip* chip = find_chip(item->chipCode);
    if (chip == nullptr) return kNoBank;
    switch (chip->rule) {
        case BankRule::AlwaysBankZero:
            return 0;
        case BankRule::SlaveAtOffsets:
            return in_ranges(chip->offsets, offset) ? static_cast<uint32_t>(item->slave) : 0;
        case BankRule::LimitsInBankOne:
            return nct7904d_bank(kind, offset);
    }
    return kNoBank;
}

int32_t correctBankSelectRegister(int32_t kind, int32_t /*phase*/, const SystemRecord* system,
                                  const ItemRecord* item, int32_t offset) {
    const BankChip* chip = find_chip(item->chipCode);
    if (chip == nullptr || chip->selectRegister == kNoSelectRegister) return 0;
    const int32_t reg = chip->selectRegister;
    const uint32_t mask = chip->selectMask;
    const uint32_t expected = whichBankSelection(kind, item, offset);
    const bool onSmbus = (item->busType & (BUS_SMBUS | BUS_SMBUS_OTHER)) != 0;
    const bool onIsa = (item->busType & BUS_ISA) != 0;

    uint32_t current = 0;
    int32_t status;
    if (onSmbus)
        status = smbus_byte_data_read(item->chipCode, item->busType, SMB_BASE_IO_ADDR, item->slave,
                                      reg, &current);
    else if (onIsa)
        status = isa_byte_data_read(system->indexReg, system->dataReg,
                                    static_cast<uint32_t>(item->slave), reg, &current);
    else
        return 0;
    if (status != 0 || (current & mask) == expected) return 0;

    // Put the chip back in the expected bank, keeping the other bits. The
    // writer's result is not looked at: the next check will tell.
    uint32_t corrected = (current & ~mask) | expected;
    if (onSmbus)
        smbus_byte_data_write(item->busType, SMB_BASE_IO_ADDR, item->slave, reg, corrected);
    else
        isa_byte_data_write(system->indexReg, system->dataReg, static_cast<uint32_t>(item->slave),
                            static_cast<uint32_t>(reg), corrected);

    // On chips that spread an item over banks a switch is expected, not a
    // fault worth a log line.
    if (bUseSysLog != 0 && useOtherBankSelection(item) == 0)
        logInSysLog(LOG_WARNING,
                    "Correct wrong bank select register, 0x%02x, of chipcode[%d] from bank (%d) "
                    "to bank (%d) for '%s' monitor item's reading or threshold (offset=0x%02x).",
                    reg, item->chipCode, static_cast<int>(current & mask),
                    static_cast<int>(expected), item->name, offset);
    return 1;
}

void reset_bank_select_state() {
    bNeedCheckBankSelectRegister = 0;
    bUseSysLog = 1;
}
