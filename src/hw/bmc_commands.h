// The BMC commands the monitor sends through the OpenIPMI device, and the BMC
// kind found from the system GUID.
//
// Each command function sends one request to the BMC's system interface and
// waits for its response. Result 0 when the BMC answered with completion code
// 0 (the value is then delivered), 255 otherwise (the value is left as it
// was). Addresses are 7-bit; the I2C commands send them in 8-bit form.
#pragma once

#include <cstdint>

// BMC kind flags (0 or 1); checkAnyIPMI sets at most one. The kind decides
// which command carries SMBus and Super I/O traffic.
extern int32_t bPepperconIPMI;
extern int32_t bOBWinbondIPMI;
extern int32_t bAOWinbondIPMI;
extern int32_t bOBWinbondATenIPMI;
extern int32_t bRenesasAMIIPMI;
extern int32_t bRenesasATenIPMI;
extern int32_t bAOWinbondATenIPMI;

// Reads the system GUID and sets the kind flag of the first matching pattern.
// 1 when a known kind was found, else 0 (flags untouched when the GUID could
// not be read).
int32_t checkAnyIPMI();

// I2C Master Write-Read (App 0x06 / 0x52) on private bus 2 (bus ID 0x05).
int32_t IpmiByteRead2_06_52_05(uint32_t slave, uint32_t reg, uint32_t* value);
int32_t IpmiByteWrite2_06_52_05(uint32_t slave, uint32_t reg, uint32_t value);
// The same on private bus 3 (bus ID 0x07), used by OBWinbond BMCs.
int32_t IpmiByteRead_OBWinbond_id3_06_52_07(uint32_t slave, uint32_t reg, uint32_t* value);
int32_t IpmiByteWrite_OBWinbond_id3_06_52_07(uint32_t slave, uint32_t reg, uint32_t value);
// Peppercon's OEM twin of the Master Write-Read, bus ID 0x05.
int32_t IpmiByteRead_Peppercon_oem_30_22_05(uint32_t slave, uint32_t reg, uint32_t* value);
int32_t IpmiByteWrite_Peppercon_oem_30_22_05(uint32_t slave, uint32_t reg, uint32_t value);
// Two registers (reg high, reg + 1 low) in one OEM command: high × 256 + low.
int32_t IpmiWordRead_oem_30_23(uint32_t slave, uint32_t reg, uint32_t* value);
// A value the BMC monitors itself; slave and register are not sent.
int32_t IpmiByteRead2_oem_30_0F(uint32_t slave, uint32_t reg, uint32_t* value);
// Graphics-processor temperature: slave 0xFF asks the BMC's own sensor.
int32_t IpmiByteRead2_oem_30_70(uint32_t slave, uint32_t reg, uint32_t* value);
// Super I/O (LPC) registers by bank, carried by the BMC.
int32_t IpmiByteRead_ISA_30_2C(uint32_t bank, uint32_t reg, uint32_t* value);
// Register in bits 8-15, register + 1 in bits 0-7.
int32_t IpmiWordRead_ISA_30_2C(uint32_t bank, uint32_t reg, uint32_t* value);
int32_t IpmiByteWrite_ISA_30_2C(uint32_t bank, uint32_t reg, uint32_t value);
// Byte `index` of the block the BMC returns for the chip coded in `slave`.
int32_t IpmiByteRead_oem_30_92(uint32_t slave, uint32_t index, uint32_t* value);
// Power-supply failure state; slave and register are not sent.
int32_t IpmiByteRead_oem_30_92_PWSFailure(uint32_t slave, uint32_t reg, uint32_t* value);
// PECI agent reading by index.
int32_t IpmiByteRead_oem_30_93(uint32_t index, uint32_t* value);
// Registers of a chip the BMC owns; `sel` 0 for readings, 1 for limits.
int32_t IpmiByteRead_oem_30_90(uint32_t slave, uint32_t sel, uint32_t reg, uint32_t* value);
int32_t IpmiWordRead_oem_30_90(uint32_t slave, uint32_t sel, uint32_t reg, uint32_t* value);
int32_t IpmiByteWrite_oem_30_91(uint32_t slave, uint32_t sel, uint32_t reg, uint32_t value);
// With x 0 nothing is sent and the value is 95 (0x5F).
int32_t IpmiByteRead_oem_30_95(uint32_t x, uint32_t* value);
// Platform description: response bytes 1 to 10 into `buffer` (10 bytes).
int32_t IpmiByteRead_oem_30_21(uint8_t* buffer);

// All kind flags clear (tests).
void reset_bmc_commands_state();
