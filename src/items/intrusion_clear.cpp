// The ways of clearing a chassis-intrusion latch, one per kind of chip.
#include "hw/bmc_commands.h"
#include "hw/ipmi_imb.h"
#include "hw/isa_access.h"
#include "hw/port_io.h"
#include "hw/register_space.h"
#include "hw/smbus.h"
#include "items/intrusion.h"
#include "sys/sys.h"

namespace {

// Super I/O configuration space of the Winbond W83627HF family: an index and
// a data port, opened by writing the entry key to the index port twice and
// locked again by the exit key. Index 0x07 selects the logical device.
constexpr uint16_t kSioIndex = 0x2E;
constexpr uint16_t kSioData = 0x2F;
constexpr uint8_t kSioEntryKey = 0x87;
constexpr uint8_t kSioExitKey = 0xAA;
constexpr uint8_t kSioLogicalDevice = 0x07;
constexpr uint8_t kSioDeviceIdHigh = 0x20;
constexpr uint8_t kSioDeviceIdLow = 0x21;

// Logical device 0x0A (ACPI) register 0xE6 holds the case-open clear bit:
// bit 6 on the W83627HF/THF (chip codes 1, 10), bit 5 on chip code 12.
constexpr uint8_t kAcpiDevice = 0x0A;
constexpr uint8_t kCaseOpenRegister = 0xE6;
constexpr uint8_t kCaseOpenClearBit6 = 0x40;
constexpr uint8_t kCaseOpenClearBit5 = 0x20;

// NCT7904D, bank 0: register 0xD4 bit 7 clears the case-open latch; reading
// the status register 0xCA afterwards brings the new state in.
constexpr int32_t kNctBankSelect = 0xFF;
constexpr int32_t kNctCaseOpenClear = 0xD4;
constexpr uint32_t kNctCaseOpenClearBit = 0x80;
constexpr int32_t kNctCaseOpenStatus = 0xCA;

// The NS87427 monitor block: the byte with the intrusion clear bits sits at
// base + 12.
constexpr int32_t kNsClearPortOffset = 12;

constexpr bool is_smbus(int32_t busType) {
    return (busType & (BUS_SMBUS | BUS_SMBUS_OTHER)) != 0;
}
constexpr bool is_isa(int32_t busType) {
    return (busType & BUS_ISA) != 0;
}

void sio_enter() {
    sys().ioperm(kSioIndex, 2, 1);
    sys().outb(kSioEntryKey, kSioIndex);
    sys().outb(kSioEntryKey, kSioIndex);
}

void sio_exit() {
    sys().outb(kSioExitKey, kSioIndex);
}

void sio_select_device(uint8_t device) {
    sys().outb(kSioLogicalDevice, kSioIndex);
    sys().outb(device, kSioData);
}

uint8_t sio_read(uint8_t reg) {
    sys().outb(reg, kSioIndex);
    return sys().inb(kSioData);
}

}  // namespace

int32_t W83627HF_G_Intru_IO_Clear(int32_t busType, int32_t slave, int32_t reg, uint32_t indexReg,
                                  uint32_t dataReg, uint32_t mask) {
    uint32_t value = 0;
    if (is_smbus(busType)) {
        // The read's status does not matter: the write reports the outcome.
        smbus_byte_data_read(1, busType, SMB_BASE_IO_ADDR, slave, reg, &value);
        return smbus_byte_data_write(busType, SMB_BASE_IO_ADDR, slave, reg, value | mask);
    }
    if (is_isa(busType)) {
        auto bank = static_cast<uint32_t>(slave);
        auto r = static_cast<uint32_t>(reg);
        isa_byte_data_read(indexReg, dataReg, bank, r, &value);
        return isa_byte_data_write(indexReg, dataReg, bank, r, value | mask);
    }
    return 0;
}

int32_t ADM1026_Intru_IO_Clear(SystemRecord* system, ItemRecord* item, uint32_t mask,
                               ParameterRecord* clearParameter) {
    uint32_t value = 0;
    const uint32_t kept = 255 - mask;  // mask is one byte
    if (is_smbus(item->busType)) {
        smbus_byte_data_read(item->chipCode, item->busType, SMB_BASE_IO_ADDR, clearParameter->slave,
                             clearParameter->offset, &value);
        smbus_byte_data_write(item->busType, SMB_BASE_IO_ADDR, clearParameter->slave,
                              clearParameter->offset, value | mask);
        return smbus_byte_data_write(item->busType, SMB_BASE_IO_ADDR, clearParameter->slave,
                                     clearParameter->offset, value & kept);
    }
    if (is_isa(item->busType) && (system->busType & BUS_ISA) != 0) {
        auto bank = static_cast<uint32_t>(clearParameter->slave);
        auto reg = static_cast<uint32_t>(clearParameter->offset);
        isa_byte_data_read(system->indexReg, system->dataReg, bank, reg, &value);
        isa_byte_data_write(system->indexReg, system->dataReg, bank, reg, value | mask);
        return isa_byte_data_write(system->indexReg, system->dataReg, bank, reg, value & kept);
    }
    return -1;
}

int32_t W83627HF_A_Intru_IO_Clear(int32_t chipCode) {
    sio_enter();
    sio_select_device(kAcpiDevice);
    const uint8_t old = sio_read(kCaseOpenRegister);
    // The latch needs the clear bit held for a while before it lets go.
    sys().sleep(1);
    sys().outb(kCaseOpenRegister, kSioIndex);
    if (chipCode == 1 || chipCode == 10)
        sys().outb(static_cast<uint8_t>(old | kCaseOpenClearBit6), kSioData);
    else if (chipCode == 12)
        sys().outb(static_cast<uint8_t>(old | kCaseOpenClearBit5), kSioData);
    sys().sleep(1);
    sys().outb(kCaseOpenRegister, kSioIndex);
    sys().outb(static_cast<uint8_t>(old & ~kCaseOpenClearBit6), kSioData);
    sio_exit();
    return 0;
}

int32_t get_W83627HF_Device_ID(uint32_t* deviceId) {
    sio_enter();
    sio_select_device(0);
    const uint32_t high = sio_read(kSioDeviceIdHigh);
    const uint32_t low = sio_read(kSioDeviceIdLow);
    sio_exit();
    *deviceId = (high << 8) | low;
    return 0;
}

int32_t NS87427_Intru_IO_Clear(uint32_t mask, ParameterRecord* clearParameter) {
    if (!ports_exist(clearParameter->offset, kNsClearPortOffset + 1)) return -1;
    const auto port = static_cast<uint16_t>(clearParameter->offset + kNsClearPortOffset);
    const uint8_t value = sys().inb(port);
    sys().outb(static_cast<uint8_t>(value | mask), port);
    return 0;
}

int32_t NCT7904D_Intru_Clear(ItemRecord* item) {
    const auto slave = static_cast<uint32_t>(item->slave);
    uint32_t value = 0;
    if (hDevice != 0 && IpmiByteRead_oem_30_90(slave, 0, kNctCaseOpenClear, &value) == 0) {
        IpmiByteWrite_oem_30_91(slave, 0, kNctCaseOpenClear, value | kNctCaseOpenClearBit);
        IpmiByteRead_oem_30_90(slave, 0, kNctCaseOpenStatus, &value);
        IpmiByteRead_oem_30_90(slave, 0, kNctCaseOpenStatus, &value);
        return 0;
    }
    smbus_byte_data_write(item->busType, SMB_BASE_IO_ADDR, item->slave, kNctBankSelect, 0);
    smbus_byte_data_read(item->chipCode, item->busType, SMB_BASE_IO_ADDR, item->slave,
                         kNctCaseOpenClear, &value);
    smbus_byte_data_write(item->busType, SMB_BASE_IO_ADDR, item->slave, kNctCaseOpenClear,
                          value | kNctCaseOpenClearBit);
    smbus_byte_data_read(item->chipCode, item->busType, SMB_BASE_IO_ADDR, item->slave,
                         kNctCaseOpenStatus, &value);
    return smbus_byte_data_read(item->chipCode, item->busType, SMB_BASE_IO_ADDR, item->slave,
                                kNctCaseOpenStatus, &value);
}
