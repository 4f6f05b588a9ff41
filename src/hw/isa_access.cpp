#include "hw/isa_access.h"

#include "hw/bmc_commands.h"
#include "hw/ipmi_imb.h"
#include "hw/register_space.h"
#include "sys/sys.h"

namespace {

// The bank select register of the Winbond/Nuvoton monitor chips: bits 0-2
// pick the bank. The high nibble holds other selections (on the W83627
// family bit 7 picks which byte of the vendor ID register 0x4F reads), so a
// bank change keeps it.
constexpr uint8_t kBankSelectRegister = 0x4E;

uint16_t port(uint32_t number) {
    return static_cast<uint16_t>(number);
}

// Selects `bank` and returns the bank select value to restore afterwards.
uint8_t select_bank(uint32_t indexReg, uint32_t dataReg, uint32_t bank) {
    sys().outb(kBankSelectRegister, port(indexReg));
    uint8_t saved = sys().inb(port(dataReg));
    sys().outb(static_cast<uint8_t>((saved & 0xF0) | bank), port(dataReg));
    return saved;
}

void restore_bank(uint32_t indexReg, uint32_t dataReg, uint8_t saved) {
    sys().outb(kBankSelectRegister, port(indexReg));
    sys().outb(saved, port(dataReg));
}

uint8_t read_register(uint32_t indexReg, uint32_t dataReg, uint32_t reg) {
    sys().outb(static_cast<uint8_t>(reg), port(indexReg));
    return sys().inb(port(dataReg));
}

// The NCT6776F keeps a fan count's bits 12-5 in one register and bits 4-0 in
// the low five bits of the next.
uint32_t nct6776f_count(uint32_t high, uint32_t low) {
    return high * 32 + (low & 0x1F);
}

}  // namespace

bool isa_access_goes_through_bmc() {
    // A Peppercon BMC does not own the LPC monitor chip, so it is not here.
    return hDevice != 0 &&
           (bOBWinbondIPMI != 0 || bAOWinbondIPMI != 0 || bOBWinbondATenIPMI != 0 ||
            bRenesasAMIIPMI != 0 || bRenesasATenIPMI != 0 || bAOWinbondATenIPMI != 0);
}

int32_t isa_byte_data_read(uint32_t indexReg, uint32_t dataReg, uint32_t bank, uint32_t reg,
                           uint32_t* value) {
    if (!registers_exist(reg)) return -1;
    if (isa_access_goes_through_bmc()) return IpmiByteRead_ISA_30_2C(bank, reg, value);
    uint8_t saved = select_bank(indexReg, dataReg, bank);
    *value = read_register(indexReg, dataReg, reg);
    restore_bank(indexReg, dataReg, saved);
    return 0;
}

int32_t isa_byte_data_write(uint32_t indexReg, uint32_t dataReg, uint32_t bank, uint32_t reg,
                            uint32_t value) {
    if (!registers_exist(reg)) return -1;
    if (isa_access_goes_through_bmc()) return IpmiByteWrite_ISA_30_2C(bank, reg, value);
    uint8_t saved = select_bank(indexReg, dataReg, bank);
    sys().outb(static_cast<uint8_t>(reg), port(indexReg));
    sys().outb(static_cast<uint8_t>(value), port(dataReg));
    restore_bank(indexReg, dataReg, saved);
    return 0;
}

int32_t isa_word_data_read_NCT6776F_fan(uint32_t indexReg, uint32_t dataReg, uint32_t bank,
                                        uint32_t reg, uint32_t* value) {
    if (!registers_exist(reg, 2)) return -1;
    if (isa_access_goes_through_bmc()) {
        int32_t result = IpmiWordRead_ISA_30_2C(bank, reg, value);
        if (result == 0) *value = nct6776f_count((*value >> 8) & 0xFF, *value & 0xFF);
        return result;
    }
    uint8_t saved = select_bank(indexReg, dataReg, bank);
    uint32_t high = read_register(indexReg, dataReg, reg);
    uint32_t low = read_register(indexReg, dataReg, reg + 1);
    *value = nct6776f_count(high, low);
    restore_bank(indexReg, dataReg, saved);
    return 0;
}
