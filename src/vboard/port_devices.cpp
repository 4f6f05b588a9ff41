#include "vboard/port_devices.h"

#include <cstdio>
#include <memory>

#include "vboard/latches.h"
#include "vboard/pci_config.h"
#include "vboard/virtual_board.h"

namespace {

// An LPC read always completes; with no driver the bus is pulled high.
constexpr uint8_t kFloating = 0xFF;

// Super I/O configuration registers with a fixed meaning on every chip.
constexpr uint8_t kConfigControl = 0x02;  // ISA PnP: bit 1 returns to "wait for key"
constexpr uint8_t kWaitForKey = 0x02;
constexpr uint8_t kLogicalDeviceSelect = 0x07;
constexpr uint8_t kFirstDeviceRegister = 0x30;

}  // namespace

// ---- index/data chip ----------------------------------------------------------

IndexDataChip::IndexDataChip(uint16_t index_port, const IndexDataDevice& model,
                             const VirtualClock& clock)
    : index_port_(index_port),
      data_port_(model.data_port),
      bank_register_(model.regs.bank_register),
      bank_mask_(model.regs.bank_mask),
      registers_(model.regs, clock) {}

bool IndexDataChip::claims(uint16_t port) const {
    return port == index_port_ || port == data_port_;
}

// Reading the index port gives back the selected register number, as the
// address port of these chips does.
uint8_t IndexDataChip::inb(uint16_t port) {
    if (port == index_port_) return index_;
    return registers_.read(index_).value_or(kFloating);
}

void IndexDataChip::outb(uint16_t port, uint8_t value) {
    if (port == index_port_)
        index_ = value;
    else
        registers_.write(index_, value);
}

std::optional<uint8_t> IndexDataChip::select_bank(uint8_t bank) {
    if (!bank_register_) return std::nullopt;
    uint8_t saved = registers_.read(*bank_register_).value_or(0);
    registers_.write(*bank_register_, uint8_t((saved & ~bank_mask_) | (bank & bank_mask_)));
    return saved;
}

std::optional<uint8_t> IndexDataChip::read_in_bank(uint8_t bank, uint8_t reg) {
    std::optional<uint8_t> saved = select_bank(bank);
    std::optional<uint8_t> value = registers_.read(reg);
    if (saved) registers_.write(*bank_register_, *saved);
    return value;
}

void IndexDataChip::write_in_bank(uint8_t bank, uint8_t reg, uint8_t value) {
    std::optional<uint8_t> saved = select_bank(bank);
    registers_.write(reg, value);
    if (saved) registers_.write(*bank_register_, *saved);
}

// ---- Super I/O configuration space ------------------------------------------------

SuperIoConfigSpace::SuperIoConfigSpace(uint16_t index_port, const SuperIoDevice& model,
                                       const VirtualClock& clock)
    : index_port_(index_port),
      data_port_(model.data_port),
      entry_(model.entry),
      exit_(model.exit),
      clock_(clock),
      global_(model.registers, clock),
      device_specs_(model.devices),
      unlocked_(model.entry.empty()) {
    auto ldn = model.registers.find(kLogicalDeviceSelect);
    if (ldn != model.registers.end() && ldn->second.kind == RegisterValue::Kind::fixed)
        logical_device_ = ldn->second.values.front();
    initial_logical_device_ = logical_device_;
}

void SuperIoConfigSpace::save_state(std::vector<HeldValue>& out) const {
    if (logical_device_ != initial_logical_device_)
        out.push_back({"*", kLogicalDeviceSelect, logical_device_});
    global_.save(out);
    for (const auto& [ldn, registers] : devices_) {
        std::vector<HeldValue> held;
        registers.save(held);
        for (HeldValue& value : held) {
            value.place = place_name(ldn, "device");
            out.push_back(value);
        }
    }
}

bool SuperIoConfigSpace::restore_state(const HeldValue& held, bool apply) {
    if (held.value > 0xFF) return false;
    if (held.place == "*" && held.reg == kLogicalDeviceSelect) {
        if (apply) logical_device_ = uint8_t(held.value);
        return true;
    }
    if (held.place == "*") return held.reg < kFirstDeviceRegister && global_.restore(held, apply);
    std::optional<int> ldn = place_number(held.place, "device");
    if (!ldn || *ldn < 0 || held.reg < kFirstDeviceRegister || held.reg > 0xFF) return false;
    // A logical device's registers are all shared ones (it has no banks).
    return !apply || device_registers(uint8_t(*ldn)).restore({"*", held.reg, held.value}, true);
}

bool SuperIoConfigSpace::claims(uint16_t port) const {
    return port == index_port_ || port == data_port_;
}

uint8_t SuperIoConfigSpace::inb(uint16_t port) {
    if (!unlocked_) return kFloating;  // a locked chip does not decode the pair
    if (port == index_port_) return index_;
    return read_register(index_).value_or(kFloating);
}

void SuperIoConfigSpace::outb(uint16_t port, uint8_t value) {
    if (port == index_port_)
        write_index(value);
    else if (unlocked_)
        write_register(index_, value);
}

// While locked, the chip watches the index port for its key: the space opens
// when the last writes there are the key, so a wrong byte starts it over.
// Once open, the exit byte is a command (it never selects a register).
void SuperIoConfigSpace::write_index(uint8_t value) {
    if (!unlocked_) {
        recent_.push_back(value);
        if (recent_.size() > entry_.size()) recent_.erase(recent_.begin());
        if (recent_ == entry_) {
            unlocked_ = true;
            recent_.clear();
        }
        return;
    }
    if (exit_ && value == *exit_) {
        unlocked_ = entry_.empty();  // a chip without a key is always open
        return;
    }
    index_ = value;
}

RegisterFile& SuperIoConfigSpace::device_registers(uint8_t ldn) {
    auto found = devices_.find(ldn);
    if (found != devices_.end()) return found->second;
    auto model = device_specs_.find(ldn);
    RegisterMap registers = model == device_specs_.end() ? RegisterMap{} : model->second;
    return devices_.try_emplace(ldn, registers, clock_).first->second;
}

std::optional<uint8_t> SuperIoConfigSpace::read_register(uint8_t reg) {
    if (reg == kLogicalDeviceSelect) return logical_device_;
    if (reg < kFirstDeviceRegister) return global_.read(reg);
    return device_registers(logical_device_).read(reg);
}

void SuperIoConfigSpace::write_register(uint8_t reg, uint8_t value) {
    if (reg == kLogicalDeviceSelect) {
        logical_device_ = value;
    } else if (reg < kFirstDeviceRegister) {
        global_.write(reg, value);
        // Chips keyed without an exit byte (ITE) leave configuration mode
        // through the Plug and Play config-control register.
        if (reg == kConfigControl && (value & kWaitForKey) && !entry_.empty() && !exit_)
            unlocked_ = false;
    } else {
        device_registers(logical_device_).write(reg, value);
    }
}

// ---- plain storage ------------------------------------------------------------------

PortStorage::PortStorage(uint16_t first_port, const PortBytes& model)
    : first_port_(first_port),
      initial_(model.bytes),
      bytes_(model.bytes),
      latches_(model.latches) {}

bool PortStorage::claims(uint16_t port) const {
    return port >= first_port_ && size_t(port - first_port_) < bytes_.size();
}

// A dword read that runs past the last byte gets floating bytes there.
uint8_t PortStorage::inb(uint16_t port) {
    return claims(port) ? bytes_[port - first_port_] : kFloating;
}

void PortStorage::outb(uint16_t port, uint8_t value) {
    if (!claims(port)) return;
    write_through_latches(
        latches_, port, value, std::nullopt, [this](uint16_t p) { return bytes_[p - first_port_]; },
        [this](uint16_t p, uint8_t v) { bytes_[p - first_port_] = v; });
}

void PortStorage::save_state(std::vector<HeldValue>& out) const {
    for (size_t i = 0; i < bytes_.size(); ++i)
        if (bytes_[i] != initial_[i]) out.push_back({"*", uint32_t(first_port_ + i), bytes_[i]});
}

bool PortStorage::restore_state(const HeldValue& held, bool apply) {
    if (held.place != "*" || held.reg > 0xFFFF || !claims(uint16_t(held.reg)) || held.value > 0xFF)
        return false;
    if (apply) bytes_[held.reg - first_port_] = uint8_t(held.value);
    return true;
}

// ---- attaching ------------------------------------------------------------------------

namespace {

std::unique_ptr<PortSpaceDevice> make_port_device(const PortDevice& model,
                                                  const VirtualClock& clock) {
    if (const auto* chip = std::get_if<IndexDataDevice>(&model.device))
        return std::make_unique<IndexDataChip>(model.port, *chip, clock);
    if (const auto* superio = std::get_if<SuperIoDevice>(&model.device))
        return std::make_unique<SuperIoConfigSpace>(model.port, *superio, clock);
    return std::make_unique<PortStorage>(model.port, std::get<PortBytes>(model.device));
}

// How the board reaches what a port device holds (chip_state.h).
template <class Device>
ChipStateAccess state_of(Device* device) {
    return {
        [device](std::vector<HeldValue>& out) { device->save_state(out); },
        [device](const HeldValue& held, bool apply) { return device->restore_state(held, apply); }};
}

ChipStateAccess state_access(PortSpaceDevice* device) {
    if (auto* chip = dynamic_cast<IndexDataChip*>(device)) return state_of(chip);
    if (auto* superio = dynamic_cast<SuperIoConfigSpace*>(device)) return state_of(superio);
    return state_of(static_cast<PortStorage*>(device));
}

bool is_banked_chip(const PortDevice& model) {
    const auto* chip = std::get_if<IndexDataDevice>(&model.device);
    return chip && chip->regs.bank_register;
}

}  // namespace

// Port devices never share a port (the board file is checked for that), so
// the order only matters to find_port_device: banked index/data chips come
// first, so that the chip a BMC's Super I/O proxy reaches is the first
// IndexDataChip. The PCI configuration mechanism is part of every PC.
void attach_port_devices(VirtualBoard& board) {
    const Board& model = board.board();
    char name[32];
    for (bool banked : {true, false}) {
        for (const auto& [port, device] : model.ports) {
            if (is_banked_chip(device) != banked) continue;
            std::unique_ptr<PortSpaceDevice> made = make_port_device(device, board.clock());
            std::snprintf(name, sizeof name, "port:0x%02x", port);
            board.chip_states().add(name, state_access(made.get()));
            board.add_port_device(std::move(made));
        }
    }
    auto pci = std::make_unique<PciConfigMechanism>(model.pci);
    for (const PciFunction& f : model.pci) {
        std::snprintf(name, sizeof name, "pci:%02x:%02x.%x", f.bus, f.device, f.function);
        const uint32_t key = uint32_t(f.bus) << 8 | uint32_t(f.device) << 3 | f.function;
        PciConfigMechanism* space = pci.get();
        board.chip_states().add(
            name, {[space, key](std::vector<HeldValue>& out) { space->save_state(key, out); },
                   [space, key](const HeldValue& held, bool apply) {
                       return space->restore_state(key, held, apply);
                   }});
    }
    board.add_port_device(std::move(pci));
    if (!model.pci.empty())
        board.add_seed_file("/proc/bus/pci/devices", proc_bus_pci_devices(model.pci));
}
