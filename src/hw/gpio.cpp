#include "hw/gpio.h"

#include <cstdio>
#include <span>

#include "hw/register_space.h"
#include "sys/sys.h"

uint32_t ChipCode5BaseAddr[2] = {0, 0};

namespace {

// Super I/O configuration space: index 0x2E, data 0x2F. Register 0x07
// selects the logical device, 0x60/0x61 hold its base address (high, low).
constexpr uint16_t kSioIndex = 0x2E;
constexpr uint16_t kSioData = 0x2F;
constexpr uint8_t kSioLogicalDevice = 0x07;
constexpr uint8_t kSioBaseHigh = 0x60;
constexpr uint8_t kSioBaseLow = 0x61;
// Chip code 4's configuration space is locked behind the 0x87 0x87 entry
// key and locked again by 0xAA.
constexpr uint8_t kSioEnterKey = 0x87;
constexpr uint8_t kSioExitKey = 0xAA;

// South-bridge register pair (AMD/ATI PM index/data).
constexpr uint16_t kSbIndex = 0xCD6;
constexpr uint16_t kSbData = 0xCD7;

constexpr int32_t kChipSioConfigGpio = 4;
constexpr int32_t kChipSioRuntimeGpio = 5;
constexpr int32_t kChipSouthBridge = 11;

constexpr uint16_t kPciConfigAddress = 0xCF8;
constexpr uint16_t kPciConfigData = 0xCFC;
// Function 0 of bus k / 32, device k mod 32, for k = 0 .. 767 (buses 0-23):
// the address steps by one device (0x800) each time.
constexpr uint32_t kHubSearchStart = 0x80000000;
constexpr uint32_t kHubSearchStep = 0x800;
constexpr uint32_t kHubSearchCount = 768;

// ICH GPIO registers, relative to GPIOBASE: GP_IO_SEL (1 = input) and the
// three level registers GP_LVL, GP_LVL2, GP_LVL3.
constexpr uint32_t kGpioIoSelect = 0x04;
constexpr uint32_t kGpioLevel0 = 0x0C;   // GPIO 0-31
constexpr uint32_t kGpioLevel32 = 0x38;  // GPIO 32-63
constexpr uint32_t kGpioLevel64 = 0x48;  // GPIO 64-95

// LPC bridges whose GPIO levels tell board revisions apart, and the
// configuration register that holds their GPIOBASE.
constexpr uint32_t kIch3To5Bridges[] = {0x24808086, 0x24C08086, 0x24D08086};  // ICH3-S, ICH4, ICH5
constexpr uint32_t kIch7Bridges[] = {0x27B88086};                             // ICH7
constexpr uint32_t kPostCompleteBridges[] = {0x27B88086, 0x3B148086};
constexpr uint32_t kIch5GpioBase = 0x58;
constexpr uint32_t kIch7GpioBase = 0x48;

uint16_t port(uint32_t number) {
    return static_cast<uint16_t>(number);
}

void unknown_chip(int32_t chipCode) {
    std::fprintf(stderr, "Error: unknown ChipCode=%d(0x%X)\n", chipCode,
                 static_cast<unsigned>(chipCode));
}

uint8_t sio_read(uint8_t reg) {
    sys().outb(reg, kSioIndex);
    return sys().inb(kSioData);
}

void sio_select_device(int32_t ldn) {
    sys().outb(kSioLogicalDevice, kSioIndex);
    sys().outb(static_cast<uint8_t>(ldn), kSioData);
}

// The GPIO base (an I/O port, bit 0 cleared) of the first LPC bridge in
// `ids`, or 0 when none of them is there.
uint32_t find_hub_gpio_base(std::span<const uint32_t> ids, uint32_t baseRegister) {
    sys().iopl(3);
    for (uint32_t k = 0; k < kHubSearchCount; ++k) {
        uint32_t address = kHubSearchStart + k * kHubSearchStep;
        sys().outl(address, kPciConfigAddress);
        uint32_t id = sys().inl(kPciConfigData);
        for (uint32_t wanted : ids) {
            if (id != wanted) continue;
            sys().outl(address + baseRegister, kPciConfigAddress);
            return sys().inl(kPciConfigData) & ~uint32_t{1};
        }
    }
    return 0;
}

uint32_t bit(uint32_t dword, uint32_t number) {
    return (dword >> number) & 1;
}

uint32_t level_register(uint32_t base, uint32_t gpio) {
    if (gpio < 32) return base + kGpioLevel0;
    if (gpio < 64) return base + kGpioLevel32;
    if (gpio < 96) return base + kGpioLevel64;
    return base;
}

}  // namespace

int32_t ReadSuperGPIO(int32_t chipCode, int32_t ldn, int32_t reg, uint32_t* value) {
    if (!registers_exist(reg)) return -1;
    sys().ioperm(kSioIndex, 1, 1);
    sys().ioperm(kSioIndex, 1, 1);
    sys().ioperm(kSioData, 1, 1);
    if (chipCode == kChipSioConfigGpio) {
        sys().outb(kSioEnterKey, kSioIndex);
        sys().outb(kSioEnterKey, kSioIndex);
        sio_select_device(ldn);
        *value = sio_read(static_cast<uint8_t>(reg));
        sys().outb(kSioExitKey, kSioIndex);
    } else if (chipCode == kChipSioRuntimeGpio) {
        // This chip's configuration space is open without a key. The base
        // only counts as read once one half is non-zero.
        if (ChipCode5BaseAddr[0] == 0 && ChipCode5BaseAddr[1] == 0) {
            sio_select_device(ldn);
            ChipCode5BaseAddr[0] = sio_read(kSioBaseHigh);
            ChipCode5BaseAddr[1] = sio_read(kSioBaseLow);
        }
        uint32_t base = ChipCode5BaseAddr[0] * 256 + ChipCode5BaseAddr[1];
        *value = sys().inb(port(base + static_cast<uint32_t>(reg)));
    } else {
        unknown_chip(chipCode);
    }
    return 0;
}

int32_t ReadSBGPIO(int32_t chipCode, int32_t /*ldn*/, int32_t reg, uint32_t* value) {
    if (!registers_exist(reg)) return -1;
    if (chipCode != kChipSouthBridge) {
        unknown_chip(chipCode);
        return 0;
    }
    sys().outb(static_cast<uint8_t>(reg), kSbIndex);
    *value = sys().inb(kSbData);
    return 0;
}

int32_t CheckGPIO28Hi() {
    uint32_t base = find_hub_gpio_base(kIch3To5Bridges, kIch5GpioBase);
    if (base == 0) return 0;
    // High only when GPIO 28 is an input and its level is high.
    uint32_t input = bit(sys().inl(port(base + kGpioIoSelect)), 28);
    if (input == 0) return 0;
    return static_cast<int32_t>(bit(sys().inl(port(base + kGpioLevel0)), 28));
}

int32_t CheckGPIO38Hi() {
    uint32_t base = find_hub_gpio_base(kIch7Bridges, kIch7GpioBase);
    if (base == 0) return 0;
    return static_cast<int32_t>(bit(sys().inl(port(base + kGpioLevel32)), 38 % 32));
}

int32_t CheckGPIO39Hi() {
    uint32_t base = find_hub_gpio_base(kIch7Bridges, kIch7GpioBase);
    if (base == 0) return 0;
    return static_cast<int32_t>(bit(sys().inl(port(base + kGpioLevel32)), 39 % 32));
}

uint32_t findGpioBaseAddress() {
    return find_hub_gpio_base(kPostCompleteBridges, kIch7GpioBase);
}

uint32_t getIpmiBiosPostCmplGpioState(uint32_t base, uint32_t gpio) {
    sys().iopl(3);
    return bit(sys().inl(port(level_register(base, gpio))), gpio % 32);
}

uint32_t setIpmiBiosPostCmplGpioState(uint32_t base, uint32_t gpio, uint32_t level) {
    sys().iopl(3);
    uint16_t reg = port(level_register(base, gpio));
    uint32_t dword = sys().inl(reg) & ~(uint32_t{1} << (gpio % 32));
    if (level != 0) dword |= uint32_t{1} << (gpio % 32);
    sys().outl(dword, reg);
    return sys().inl(reg);
}

void reset_gpio_state() {
    ChipCode5BaseAddr[0] = 0;
    ChipCode5BaseAddr[1] = 0;
}
