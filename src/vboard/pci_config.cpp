#include "vboard/pci_config.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint16_t kConfigAddress = 0xCF8;
constexpr uint16_t kConfigData = 0xCFC;
constexpr uint16_t kLastPort = 0xCFF;

// CONFIG_ADDRESS keeps the enable bit and bus/device/function/register;
// bits 30-24 and 1-0 are reserved and read back as 0.
constexpr uint32_t kEnable = 0x80000000u;
constexpr uint32_t kAddressBits = kEnable | 0x00FFFFFCu;
constexpr uint32_t kMasterAbort = 0xFFFFFFFFu;

uint32_t function_key(uint32_t bus, uint32_t devfn) {
    return bus << 8 | devfn;
}
uint32_t devfn_of(const PciFunction& f) {
    return uint32_t(f.device) << 3 | f.function;
}

}  // namespace

PciConfigMechanism::PciConfigMechanism(const std::vector<PciFunction>& functions) {
    for (const PciFunction& f : functions) {
        ConfigSpace& space = functions_[function_key(f.bus, devfn_of(f))];
        space.fill(0);  // registers the board does not set read 0
        space[0] = f.id;
        for (const auto& [offset, dword] : f.config) space[offset / 4] = dword;
    }
    initial_ = functions_;
}

void PciConfigMechanism::save_state(uint32_t function, std::vector<HeldValue>& out) const {
    const ConfigSpace& now = functions_.at(function);
    const ConfigSpace& initial = initial_.at(function);
    for (size_t dword = 1; dword < now.size(); ++dword)
        if (now[dword] != initial[dword]) out.push_back({"*", uint32_t(dword * 4), now[dword]});
}

// Offset 0, the IDs, is read-only; offsets are those of whole dwords.
bool PciConfigMechanism::restore_state(uint32_t function, const HeldValue& held, bool apply) {
    if (held.place != "*" || held.reg == 0 || held.reg % 4 != 0 || held.reg > 0xFC) return false;
    if (apply) functions_.at(function)[held.reg / 4] = held.value;
    return true;
}

bool PciConfigMechanism::claims(uint16_t port) const {
    return port >= kConfigAddress && port <= kLastPort;
}

PciConfigMechanism::ConfigSpace* PciConfigMechanism::selected() {
    if (!(address_ & kEnable)) return nullptr;
    auto found = functions_.find(address_ >> 8 & 0xFFFF);
    return found == functions_.end() ? nullptr : &found->second;
}

uint8_t PciConfigMechanism::inb(uint16_t port) {
    if (port < kConfigData || port > kLastPort) return 0xFF;
    ConfigSpace* space = selected();
    uint32_t dword = space ? (*space)[selected_dword()] : kMasterAbort;
    return uint8_t(dword >> (8 * (port - kConfigData)));
}

void PciConfigMechanism::outb(uint16_t port, uint8_t value) {
    if (port < kConfigData || port > kLastPort) return;
    unsigned shift = 8 * (port - kConfigData);
    write_selected(uint32_t(value) << shift, 0xFFu << shift);
}

uint32_t PciConfigMechanism::inl(uint16_t port) {
    if (port == kConfigAddress) return address_;
    return PortSpaceDevice::inl(port);  // at 0xCFC: the four bytes of the dword
}

void PciConfigMechanism::outl(uint16_t port, uint32_t value) {
    if (port == kConfigAddress)
        address_ = value & kAddressBits;
    else if (port == kConfigData)
        write_selected(value, 0xFFFFFFFFu);
    else
        PortSpaceDevice::outl(port, value);
}

// Writes store what they change, as a register that reads back; the vendor
// and device ID at offset 0 are read-only. Writes to a function that is not
// there go nowhere.
void PciConfigMechanism::write_selected(uint32_t value, uint32_t byte_mask) {
    ConfigSpace* space = selected();
    size_t dword = selected_dword();
    if (!space || dword == 0) return;
    (*space)[dword] = ((*space)[dword] & ~byte_mask) | (value & byte_mask);
}

// ---- /proc/bus/pci/devices ------------------------------------------------------

namespace {

// Which base address registers and which expansion-ROM register each
// configuration header type has (header type is byte 2 of dword 0x0C).
struct HeaderLayout {
    uint8_t type;
    uint8_t base_registers;  // from 0x10 upwards
    uint8_t rom_register;    // 0: none
};
constexpr HeaderLayout kHeaderLayouts[] = {
    {0x00, 6, 0x30},  // a device
    {0x01, 2, 0x38},  // a PCI-to-PCI bridge
    {0x02, 1, 0x00},  // a CardBus bridge
};

constexpr int kResources = 7;  // six base address registers and the ROM
constexpr uint32_t kIoSpace = 0x1;
constexpr uint32_t kMemoryType64 = 0x4;  // bits 2-1 == 10b
constexpr uint32_t kMemoryTypeBits = 0x6;
constexpr uint32_t kRomAddressMask = 0xFFFFF800u;
constexpr uint32_t kRomEnable = 0x1;

uint32_t config_dword(const PciFunction& f, uint8_t offset) {
    if (offset == 0) return f.id;
    auto found = f.config.find(offset);
    return found == f.config.end() ? 0 : found->second;
}

// The kernel prints each resource as its start ORed with the low four flag
// bits, which hold the BAR's own type bits: for a 32-bit BAR that is the
// register's value itself. A 64-bit memory BAR takes the next register as its
// high half and leaves that slot empty.
std::array<uint64_t, kResources> resources(const PciFunction& f, const HeaderLayout& layout) {
    std::array<uint64_t, kResources> start{};
    for (int bar = 0; bar < layout.base_registers; ++bar) {
        uint8_t offset = uint8_t(0x10 + 4 * bar);
        uint32_t low = config_dword(f, offset);
        start[bar] = low;
        if (!(low & kIoSpace) && (low & kMemoryTypeBits) == kMemoryType64) {
            start[bar] |= uint64_t(config_dword(f, uint8_t(offset + 4))) << 32;
            ++bar;  // the high half is no resource of its own
        }
    }
    if (layout.rom_register) {
        uint32_t rom = config_dword(f, layout.rom_register);
        if (rom & kRomAddressMask)
            start[kResources - 1] = (rom & kRomAddressMask) | (rom & kRomEnable);
    }
    return start;
}

// The IRQ line is only meaningful when the function has an interrupt pin.
unsigned irq_of(const PciFunction& f) {
    uint32_t interrupt = config_dword(f, 0x3C);
    return (interrupt >> 8 & 0xFF) ? interrupt & 0xFF : 0;
}

}  // namespace

// One line per function, as drivers/pci/proc.c prints it: bus and devfn
// ("%02x%02x"), vendor and device ("%04x%04x"), the IRQ ("%x"), the seven
// resource starts and then their sizes ("\t%16llx" each), a tab and the bound
// driver's name. The board gives no BAR sizes and binds no driver, so every
// size is 0 and the name is empty. Functions with a header type the kernel
// does not know are not listed.
std::string proc_bus_pci_devices(const std::vector<PciFunction>& functions) {
    std::vector<const PciFunction*> order;
    order.reserve(functions.size());
    for (const PciFunction& f : functions) order.push_back(&f);
    std::sort(order.begin(), order.end(), [](const PciFunction* a, const PciFunction* b) {
        return function_key(a->bus, devfn_of(*a)) < function_key(b->bus, devfn_of(*b));
    });

    std::string text;
    char field[32];
    for (const PciFunction* f : order) {
        uint8_t header_type =
            uint8_t(config_dword(*f, 0x0C) >> 16) & 0x7F;  // bit 7: multi-function
        const HeaderLayout* layout = nullptr;
        for (const HeaderLayout& known : kHeaderLayouts)
            if (known.type == header_type) layout = &known;
        if (!layout) continue;

        std::snprintf(field, sizeof field, "%02x%02x\t%04x%04x\t%x", unsigned(f->bus),
                      unsigned(devfn_of(*f)), unsigned(f->id & 0xFFFF), unsigned(f->id >> 16),
                      irq_of(*f));
        text += field;
        for (uint64_t start : resources(*f, *layout)) {
            std::snprintf(field, sizeof field, "\t%16llx", static_cast<unsigned long long>(start));
            text += field;
        }
        for (int i = 0; i < kResources; ++i) {
            std::snprintf(field, sizeof field, "\t%16llx", 0ULL);
            text += field;
        }
        text += "\t\n";
    }
    return text;
}
