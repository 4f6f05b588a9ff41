// What the acquisition files share: the bus-type tests of an item, the
// parameter lookup by name, and one acquisition's working state.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "config/nocase.h"
#include "config/records.h"
#include "hw/bank_select.h"
#include "hw/register_space.h"
#include "items/chip_set.h"

namespace acq {

// The text of a fixed-size field, never past its end.
template <size_t N>
std::string_view field(const char (&text)[N]) {
    return std::string_view(text, strnlen(text, N));
}

// SMBus item: through the host controller (bit 0) or a chip the BMC may
// supply (bit 3).
inline bool is_smbus(const ItemRecord* item) { return (item->busType & 0x09) != 0; }
// ISA item: index/data ports on the LPC bus.
inline bool is_isa(const ItemRecord* item) { return (item->busType & 0x02) != 0; }
// An ISA item that the system's ports also reach.
inline bool is_local_isa(const SystemRecord* system, const ItemRecord* item) {
    return is_isa(item) && (system->busType & 0x02) != 0;
}

// First parameter called `name` (case-insensitive), or nullptr.
const ParameterRecord* find_parameter(std::string_view name, const ParameterRecord* parameters,
                                      int32_t parameterCount);

// The widest thing an offset names is an I/O port (the base of a chip's own
// block of ports); registers are narrower still and the accessors check them.
// A wider or negative offset is one no chip can have: its acquisition fails
// before any register or port number is computed from it.
inline bool offset_addressable(int32_t offset) { return ports_exist(offset); }

// The NS87427's own block of ports, from its base: status at +12, bank select
// at +15, the fan counts up to +0x15.
inline constexpr int32_t kNs87427PortBlock = 0x16;

// The working state of one acquisition of a raw value: the register (and the
// bank or slave) to read, the raw value and the status so far.
struct Acquisition {
    SystemRecord* system;
    ItemRecord* item;
    int32_t reg;    // the item's offset, or the limit parameter's
    int32_t where;  // bank or slave: the item's, or the limit parameter's
    uint32_t raw;
    int32_t status;  // -1 until something was read
};

// One row of a chip-path table: the first row whose category (kAnyCategory
// matches all) and chip set hold the item decides how the raw value is read.
inline constexpr int32_t kAnyCategory = -1;
struct ChipPath {
    int32_t category;
    ChipSet chipSet;
    void (*acquire)(Acquisition& a);
};

template <size_t N>
const ChipPath* find_path(const ChipPath (&table)[N], const ItemRecord* item) {
    for (const ChipPath& row : table)
        if ((row.category == kAnyCategory || row.category == item->category) &&
            row.chipSet.contains(item->chipCode))
            return &row;
    return nullptr;
}

// The raw value of a reading (bank 0 registers of the item) and of a limit
// (`a.reg`/`a.where` are the limit parameter's).
void acquire_reading(Acquisition& a);
void acquire_limit(Acquisition& a);

// Both kinds of fan count of the NS87427's I/O-mapped block at `base`: the
// bank select at base+15 keeps bits 5-7 and takes `bank`, then the count's
// low and high bytes come from base+`lowPort` and the port after it.
uint32_t ns87427_fan_count(uint32_t base, int32_t bank, uint32_t lowPort);

// Converts the raw value of a fan, voltage or temperature item into `*value`
// and sets `a.status` to the conversion's status; false (nothing done) for
// the other categories, which readings and limits treat differently. A fan
// keeps `divisor` when its divisor cannot be had: 1 for readings, 0 for
// limits, so that a limit of a chip that needs a divisor fails.
bool convert_measurement(Acquisition& a, ParameterRecord* parameters, int32_t parameterCount,
                         uint32_t divisor, int64_t* value);

// Runs `attempt` (which returns false to stop at once) with the bank check
// around it when it is switched on for the item's chip: the bank select
// register is put right before, and checked after each attempt; an attempt
// after which it had to be rewritten is repeated, three attempts at most.
template <typename Attempt>
void with_bank_check(int32_t kind, SystemRecord* system, const ItemRecord* item, int32_t offset,
                     Attempt attempt) {
    const bool check = bNeedCheckBankSelectRegister != 0 && hasBankSelectRegister(item) == 1;
    if (check) correctBankSelectRegister(kind, 1, system, item, offset);
    for (int32_t done = 1;; ++done) {
        if (!attempt()) return;
        if (!check) return;
        const bool rewrote = correctBankSelectRegister(kind, 0, system, item, offset) == 1;
        if (!rewrote || done >= 3) return;
    }
}

// The 13-bit fan count of the NCT7904D: bits 12-5 in `hi`, bits 4-0 in the
// low five bits of `lo`.
inline uint32_t nct7904d_fan_count(uint32_t hi, uint32_t lo) { return hi * 32 + (lo & 0x1F); }

}  // namespace acq
