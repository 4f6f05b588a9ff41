// Chipset GPIO lines read straight through I/O ports: Super I/O GPIO blocks
// (chip codes 4 and 5), the south bridge's register pair (chip code 11), and
// the GPIO levels of Intel I/O controller hubs used as board-revision straps.
#pragma once

#include <cstdint>

// Run-time register base of the chip-code-5 GPIO block: [0] high byte, [1]
// low byte. Read from the Super I/O once; both 0 means not read yet.
extern uint32_t ChipCode5BaseAddr[2];

// One byte of a Super I/O GPIO block: chip code 4 through the configuration
// space (logical device `ldn`, register `reg`), chip code 5 from its run-time
// block at base + `reg`. Other chip codes: a message, `*value` untouched.
// -1 for a `reg` that is not a register byte; 0 otherwise.
int32_t ReadSuperGPIO(int32_t chipCode, int32_t ldn, int32_t reg, uint32_t* value);
// One south-bridge register byte through 0xCD6/0xCD7 (chip code 11 only;
// `ldn` is ignored). -1 for a `reg` that is not a register byte; 0 otherwise.
int32_t ReadSBGPIO(int32_t chipCode, int32_t ldn, int32_t reg, uint32_t* value);

// Board-revision probes: 1 when the line is high, 0 when it is low or the hub
// is not there.
int32_t CheckGPIO28Hi();
int32_t CheckGPIO38Hi();
int32_t CheckGPIO39Hi();
// GPIO base of the hub whose LPC bridge is 8086:27B8 or 8086:3B14, or 0.
uint32_t findGpioBaseAddress();
// Level of GPIO `gpio` (0 or 1) under the GPIO base `base`.
uint32_t getIpmiBiosPostCmplGpioState(uint32_t base, uint32_t gpio);
// Drives GPIO `gpio` to `level`; returns the level register read back.
uint32_t setIpmiBiosPostCmplGpioState(uint32_t base, uint32_t gpio, uint32_t level);

// Back to the start values (tests).
void reset_gpio_state();
