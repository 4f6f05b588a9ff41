// Where a reading's raw value comes from: the chips with paths of their own,
// first match wins, and the general path (one SMBus byte, or one banked ISA
// byte) for everything else.
#include "hw/bmc_commands.h"
#include "hw/gpio.h"
#include "hw/ipmi_imb.h"
#include "hw/isa_access.h"
#include "hw/port_io.h"
#include "hw/smbus.h"
#include "items/acquisition_detail.h"
#include "sys/sys.h"

namespace acq {
namespace {

// The NCT7904D keeps readings in bank 0 and limits in bank 1; register 0xFF
// selects the bank for every SMBus access.
constexpr int32_t kNct7904dBankSelect = 0xFF;
// NCT7904D register whose bits carry the chassis-intrusion and other status.
constexpr int32_t kNct7904dStatus = 0xCA;
// W83793G temperature mode (bits 0-1 both set: diode inputs) and fault bits.
constexpr int32_t kW83793gTempMode = 0x5E;
constexpr int32_t kW83793gDiodeFault = 0xD6;

int32_t smbus_read(const Acquisition& a, int32_t reg, uint32_t* value) {
    return smbus_byte_data_read(a.item->chipCode, a.item->busType, SMB_BASE_IO_ADDR, a.where, reg,
                                value);
}
int32_t isa_read(const Acquisition& a, int32_t reg, uint32_t* value) {
    return isa_byte_data_read(a.system->indexReg, a.system->dataReg, a.where, reg, value);
}
void select_nct7904d_bank(const ItemRecord* item, uint32_t bank) {
    smbus_byte_data_write(item->busType, SMB_BASE_IO_ADDR, item->slave, kNct7904dBankSelect, bank);
}

// Two byte registers, low then high, over SMBus.
void fan_smbus_pair(Acquisition& a) {
    if (!is_smbus(a.item)) return;
    uint32_t lo = 0, hi = 0;
    int32_t s1 = smbus_read(a, a.reg, &lo);
    int32_t s2 = smbus_read(a, a.reg + 1, &hi);
    a.raw = hi * 256 + lo;
    a.status = s1 | s2;
}

void fan_smbus_word(Acquisition& a) {
    if (!is_smbus(a.item)) return;
    a.status = smbus_word_data_read_HL(a.item->busType, SMB_BASE_IO_ADDR, a.where, a.reg, &a.raw);
}

// NCT7904D fan count, `bank` 0 for readings and 1 for limits: from the BMC
// when one is open and answers both registers, else over SMBus after
// selecting the bank.
void fan_nct7904d(Acquisition& a, uint32_t bank) {
    if (!is_smbus(a.item)) return;
    uint32_t hi = 0, lo = 0;
    if (hDevice != 0) {
        int32_t s1 = IpmiByteRead_oem_30_90(a.where, bank, a.reg, &hi);
        int32_t s2 = IpmiByteRead_oem_30_90(a.where, bank, a.reg + 1, &lo);
        if (s1 == 0 && s2 == 0) {
            a.raw = nct7904d_fan_count(hi, lo);
            a.status = 0;
            return;
        }
    }
    select_nct7904d_bank(a.item, bank);
    int32_t s1 = smbus_read(a, a.reg, &hi);
    int32_t s2 = smbus_read(a, a.reg + 1, &lo);
    a.raw = nct7904d_fan_count(hi, lo);
    a.status = s1 | s2;
}
void fan_nct7904d_reading(Acquisition& a) { fan_nct7904d(a, 0); }

void fan_ns87427(Acquisition& a) {
    if (!ports_exist(a.reg, kNs87427PortBlock)) return;
    a.raw = ns87427_fan_count(static_cast<uint32_t>(a.reg), a.where, 0x12);
    a.status = 0;
}

// IT8720F: fans 1-3 keep their count's high byte 11 registers further on
// (0x0D-0x0F -> 0x18-0x1A), the others in the next register.
int32_t it8720f_high_register(int32_t itemOffset, int32_t reg) {
    return (itemOffset >= 0x0D && itemOffset <= 0x12) ? reg + 11 : reg + 1;
}
void fan_it8720f(Acquisition& a) {
    if (!is_isa(a.item)) return;
    uint32_t lo = 0, hi = 0;
    int32_t s1 = isa_read(a, a.reg, &lo);
    int32_t s2 = isa_read(a, it8720f_high_register(a.item->offset, a.reg), &hi);
    a.raw = hi * 256 + lo;
    a.status = s1 | s2;
}

void fan_nct6776f(Acquisition& a) {
    if (!is_isa(a.item)) return;
    a.status = isa_word_data_read_NCT6776F_fan(a.system->indexReg, a.system->dataReg, a.where,
                                               a.reg, &a.raw);
}

void switch_super_gpio(Acquisition& a) {
    a.status = ReadSuperGPIO(a.item->chipCode, a.item->slave, a.item->offset, &a.raw);
}
void switch_ns87427(Acquisition& a) {
    if (!ports_exist(a.item->offset, kNs87427PortBlock)) return;
    a.raw = sys().inb(static_cast<uint16_t>(a.item->offset + 12));
    a.status = 0;
}
void switch_sb_gpio(Acquisition& a) {
    a.status = ReadSBGPIO(11, a.item->slave, a.item->offset, &a.raw);
}
void switch_nct7904d(Acquisition& a) {
    if (hDevice != 0 && IpmiByteRead_oem_30_90(a.item->slave, 0, kNct7904dStatus, &a.raw) == 0) {
        a.status = 0;
        return;
    }
    select_nct7904d_bank(a.item, 0);
    a.status = smbus_read(a, kNct7904dStatus, &a.raw);
}
void switch_status_only(Acquisition& a) {
    a.raw = 0;
    a.status = 0;
}

// W83793G: a temperature input in diode mode whose fault bit is set reads
// 0x80, which the conversion shows as 0 degrees. The status is that of the
// mode (and fault) register reads: the temperature read's own is not looked
// at, so a chip that answers those but not the input reads 0 degrees.
void temp_w83793g(Acquisition& a) {
    if (is_smbus(a.item)) smbus_read(a, a.reg, &a.raw);
    uint32_t mode = 0;
    a.status = smbus_read(a, kW83793gTempMode, &mode);
    if ((mode & 0x03) != 0x03) return;
    uint32_t fault = 0;
    a.status = smbus_read(a, kW83793gDiodeFault, &fault);
    if (a.reg >= 0x1C && a.reg <= 0x1F && (fault & (1u << (4 + a.reg - 0x1C))) != 0) a.raw = 0x80;
}

void temp_gpu(Acquisition& a) {
    if ((a.item->busType & 0x08) == 0) return;
    a.status = smbus_byte_data_read_GPU(a.item->busType, SMB_BASE_IO_ADDR, a.where, a.reg, &a.raw);
}

// A value the BMC keeps itself: no BMC, no value.
void bmc_value(Acquisition& a) {
    a.status = (hDevice != 0 && IpmiByteRead_oem_30_95(a.reg, &a.raw) == 0) ? 0 : -1;
}

// The BMC owns an NCT6776F when its platform description says so.
bool bmc_owns_nct6776f() {
    uint8_t answer[10] = {};
    if (IpmiByteRead_oem_30_21(answer) != 0) return false;
    bool known = answer[0] == 0x34 || answer[0] == 0x31 || answer[0] == 0x40;
    return known && answer[1] == 6 && answer[3] == 1;
}

void general_reading(Acquisition& a) {
    const ItemRecord* item = a.item;
    if (is_smbus(item)) {
        if (item->chipCode == 30 && hDevice != 0 &&
            IpmiByteRead_oem_30_90(a.where, 0, a.reg, &a.raw) == 0) {
            a.status = 0;
            return;
        }
        // Chip code 32: the BMC reads the CPU temperatures over PECI; agent
        // index from the register, 0xFF for an agent that is not there.
        if (item->chipCode == 32 && hDevice != 0 &&
            IpmiByteRead_oem_30_93((static_cast<uint32_t>(a.reg) & 0x0F) >> 1, &a.raw) == 0) {
            if (a.raw == 0xFF) a.raw = 0;
            a.status = 0;
            return;
        }
        if (item->chipCode == 30) select_nct7904d_bank(item, 0);
        a.status = smbus_read(a, a.reg, &a.raw);
    } else if (is_local_isa(a.system, item)) {
        if (item->chipCode == 33 && hDevice != 0 && bmc_owns_nct6776f()) {
            a.status = IpmiByteRead_oem_30_93(static_cast<uint32_t>(a.reg - 0x17) >> 1, &a.raw);
            return;
        }
        a.status = isa_read(a, a.reg, &a.raw);
    }
}

constexpr ChipPath kReadingPaths[] = {
    {CAT_FAN, chips(3, 9, 14, 16), fan_smbus_pair},
    {CAT_FAN, chips(17), fan_smbus_word},
    {CAT_FAN, chips(30), fan_nct7904d_reading},
    {CAT_FAN, chips(8), fan_ns87427},
    {CAT_FAN, chips(25), fan_it8720f},
    {CAT_FAN, chips(28), fan_nct6776f},
    {CAT_SWITCH, chips(4, 5), switch_super_gpio},
    {CAT_SWITCH, chips(8), switch_ns87427},
    {CAT_SWITCH, chips(11), switch_sb_gpio},
    {CAT_SWITCH, chips(30), switch_nct7904d},
    {CAT_TEMP, chips(17), temp_w83793g},
    {CAT_TEMP, chips(26, 35), temp_gpu},
    {CAT_SWITCH, chips(27), switch_status_only},
    {kAnyCategory, chips(34), bmc_value},
};

// Limits: the register and the bank or slave are the limit parameter's.
void fan_nct7904d_limit(Acquisition& a) { fan_nct7904d(a, 1); }
void fan_ns87427_limit(Acquisition& a) {
    if (!ports_exist(a.reg, kNs87427PortBlock)) return;
    a.raw = ns87427_fan_count(static_cast<uint32_t>(a.reg), a.where, 0x14);
    a.status = 0;
}

void general_limit(Acquisition& a) {
    const ItemRecord* item = a.item;
    if (is_smbus(item)) {
        bool fromBmc = (item->chipCode == 30 || item->chipCode == 32) && hDevice != 0 &&
                       IpmiByteRead_oem_30_90(a.where, 1, a.reg, &a.raw) == 0;
        if (fromBmc) {
            a.status = 0;
        } else {
            if (item->chipCode == 30) select_nct7904d_bank(item, 1);
            a.status = smbus_read(a, a.reg, &a.raw);
        }
    }
    if (is_local_isa(a.system, item)) a.status = isa_read(a, a.reg, &a.raw);
}

// The NCT6776F's temperature limits in bank 7 are not read: 95 degrees.
void temp_nct6776f_limit(Acquisition& a) {
    if (is_isa(a.item) && a.item->slave == 7) {
        a.raw = 95;
        a.status = 0;
        return;
    }
    general_limit(a);
}

constexpr ChipPath kLimitPaths[] = {
    {CAT_FAN, chips(3, 9, 14), fan_smbus_pair},
    {CAT_FAN, chips(17), fan_smbus_word},
    {CAT_FAN, chips(8), fan_ns87427_limit},
    {CAT_FAN, chips(25), fan_it8720f},
    {CAT_FAN, chips(28), fan_nct6776f},
    {CAT_FAN, chips(30), fan_nct7904d_limit},
    {CAT_TEMP, chips(26, 35), temp_gpu},
    {CAT_TEMP, chips(28, 33), temp_nct6776f_limit},
    {CAT_TEMP, chips(34), bmc_value},
};

}  // namespace

uint32_t ns87427_fan_count(uint32_t base, int32_t bank, uint32_t lowPort) {
    uint16_t select = static_cast<uint16_t>(base + 15);
    uint8_t old = sys().inb(select);
    sys().outb(static_cast<uint8_t>((old & 0xE0) | (bank & 0x1F)), select);
    uint32_t lo = sys().inb(static_cast<uint16_t>(base + lowPort));
    uint32_t hi = sys().inb(static_cast<uint16_t>(base + lowPort + 1));
    return hi * 256 + lo;
}

void acquire_reading(Acquisition& a) {
    const ChipPath* path = find_path(kReadingPaths, a.item);
    (path ? path->acquire : general_reading)(a);
}

void acquire_limit(Acquisition& a) {
    const ChipPath* path = find_path(kLimitPaths, a.item);
    (path ? path->acquire : general_limit)(a);
}

}  // namespace acq
