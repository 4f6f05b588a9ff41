// The devices a board puts into x86 port space: index/data chips (hardware
// monitors, the south bridge's PM registers), Super I/O configuration spaces
// and plain I/O storage (GPIO blocks, SMBus host registers). The PCI
// configuration mechanism lives in pci_config.h.
//
// None of these can refuse an access: an LPC/ISA read always completes, so
// where a chip has nothing to drive the bus floats and the read gives 0xFF.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "vboard/board.h"
#include "vboard/chip_state.h"
#include "vboard/device.h"
#include "vboard/register_file.h"

class VirtualClock;

// An index/data pair: the register number written to the index port selects
// the register that the data port reads and writes. A chip with a bank select
// register switches banks when that register is written and stays switched.
class IndexDataChip final : public PortSpaceDevice {
public:
    IndexDataChip(uint16_t index_port, const IndexDataDevice& model, const VirtualClock& clock);

    bool claims(uint16_t port) const override;
    uint8_t inb(uint16_t port) override;
    void outb(uint16_t port, uint8_t value) override;

    uint16_t index_port() const { return index_port_; }
    uint16_t data_port() const { return data_port_; }
    bool has_bank_register() const { return bank_register_.has_value(); }

    // What the chip's firmware-side users (a BMC's Super I/O proxy) do: select
    // `bank` through the bank select register (keeping its other bits), access
    // the register, and put the bank select register back as it was. nullopt
    // when the register's read fails. Without a bank register the bank is
    // ignored.
    std::optional<uint8_t> read_in_bank(uint8_t bank, uint8_t reg);
    void write_in_bank(uint8_t bank, uint8_t reg, uint8_t value);

    RegisterFile& registers() { return registers_; }
    // What the chip holds beyond the board file (chip_state.h).
    void save_state(std::vector<HeldValue>& out) const { registers_.save(out); }
    bool restore_state(const HeldValue& held, bool apply) {
        return registers_.restore(held, apply);
    }

private:
    // Selects `bank` and returns the bank register value to restore.
    std::optional<uint8_t> select_bank(uint8_t bank);

    uint16_t index_port_;
    uint16_t data_port_;
    std::optional<uint8_t> bank_register_;
    uint8_t bank_mask_;
    RegisterFile registers_;
    uint8_t index_ = 0;
};

// A Super I/O configuration space behind an index/data pair (0x2E/0x2F or
// 0x4E/0x4F). Locked chips ignore the pair until the entry key is written to
// the index port; the exit byte locks them again. Register 0x07 selects the
// logical device; 0x00-0x2F are global, 0x30-0xFF belong to the selected
// logical device.
class SuperIoConfigSpace final : public PortSpaceDevice {
public:
    SuperIoConfigSpace(uint16_t index_port, const SuperIoDevice& model, const VirtualClock& clock);

    bool claims(uint16_t port) const override;
    uint8_t inb(uint16_t port) override;
    void outb(uint16_t port, uint8_t value) override;

    bool unlocked() const { return unlocked_; }
    uint8_t logical_device() const { return logical_device_; }

    // What the chip holds beyond the board file (chip_state.h): global
    // registers at "*" (0x07, the logical device selected, among them), a
    // logical device's at "device:N".
    void save_state(std::vector<HeldValue>& out) const;
    bool restore_state(const HeldValue& held, bool apply);

private:
    void write_index(uint8_t value);
    std::optional<uint8_t> read_register(uint8_t reg);
    void write_register(uint8_t reg, uint8_t value);
    RegisterFile& device_registers(uint8_t ldn);

    uint16_t index_port_;
    uint16_t data_port_;
    uint8_t initial_logical_device_ = 0;
    std::vector<uint8_t> entry_;
    std::optional<uint8_t> exit_;
    const VirtualClock& clock_;
    RegisterFile global_;
    std::map<uint8_t, RegisterMap> device_specs_;
    std::map<uint8_t, RegisterFile> devices_;  // made on first access
    bool unlocked_;
    std::vector<uint8_t> recent_;  // the last index-port writes while locked
    uint8_t index_ = 0;
    uint8_t logical_device_ = 0;
};

// Plain read/write storage from the first port upwards; a dword access takes
// four consecutive bytes, little-endian (the PortSpaceDevice default). A
// latch (a write-one-to-clear status byte) makes a write change other bits.
class PortStorage final : public PortSpaceDevice {
public:
    PortStorage(uint16_t first_port, const PortBytes& model);

    bool claims(uint16_t port) const override;
    uint8_t inb(uint16_t port) override;
    void outb(uint16_t port, uint8_t value) override;

    // The bytes that differ from the board file's (chip_state.h; the
    // register is the port).
    void save_state(std::vector<HeldValue>& out) const;
    bool restore_state(const HeldValue& held, bool apply);

private:
    uint16_t first_port_;
    std::vector<uint8_t> initial_;
    std::vector<uint8_t> bytes_;
    std::vector<Latch> latches_;
};
