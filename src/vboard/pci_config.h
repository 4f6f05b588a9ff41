// PCI configuration space of the board, reached through configuration
// mechanism #1 (the address dword at 0xCF8, the data at 0xCFC..0xCFF), and the
// kernel's listing of the same functions in /proc/bus/pci/devices.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "vboard/board.h"
#include "vboard/chip_state.h"
#include "vboard/device.h"

// The host bridge's configuration mechanism #1. Only a dword access to 0xCF8
// reaches CONFIG_ADDRESS (bit 31 enable, bus 23-16, device 15-11, function
// 10-8, register 7-2); byte accesses there are other chipset registers the
// board does not have, so they float. The data ports give the selected dword,
// or one byte of it at 0xCFC + n. A function the board does not list answers
// nothing (the master abort reads all ones), and so does the data port while
// the enable bit is clear.
class PciConfigMechanism final : public PortSpaceDevice {
public:
    explicit PciConfigMechanism(const std::vector<PciFunction>& functions);

    bool claims(uint16_t port) const override;
    uint8_t inb(uint16_t port) override;
    void outb(uint16_t port, uint8_t value) override;
    uint32_t inl(uint16_t port) override;
    void outl(uint16_t port, uint32_t value) override;

    // What one function (bus << 8 | device << 3 | function) holds beyond the
    // board file: the dwords written since (chip_state.h; the register is
    // the dword's offset).
    void save_state(uint32_t function, std::vector<HeldValue>& out) const;
    bool restore_state(uint32_t function, const HeldValue& held, bool apply);

private:
    using ConfigSpace = std::array<uint32_t, 64>;  // 256 bytes as dwords
    // The function CONFIG_ADDRESS selects, or nullptr (disabled or absent).
    ConfigSpace* selected();
    size_t selected_dword() const { return (address_ & 0xFC) / 4; }
    void write_selected(uint32_t value, uint32_t byte_mask);

    uint32_t address_ = 0;
    std::map<uint32_t, ConfigSpace> functions_;  // by bus << 8 | devfn
    std::map<uint32_t, ConfigSpace> initial_;    // as the board file has them
};

// /proc/bus/pci/devices as the kernel prints it for these functions, in bus
// and devfn order.
std::string proc_bus_pci_devices(const std::vector<PciFunction>& functions);
