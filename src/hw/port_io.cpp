#include "hw/port_io.h"

#include <cstdio>

#include "sys/sys.h"

uint32_t SMB_BASE_IO_ADDR = 0;
uint8_t IntelDevice = 0;

namespace {

// PCI configuration mechanism #1: CONFIG_ADDRESS at 0xCF8 (bit 31 enable,
// bus 23-16, device 15-11, function 10-8, register 7-0), the selected dword
// at CONFIG_DATA 0xCFC.
constexpr uint16_t kPciConfigAddress = 0xCF8;
constexpr uint16_t kPciConfigData = 0xCFC;
constexpr uint32_t kPciEnable = 0x80000000;

constexpr uint32_t kVendorIntel = 0x8086;
constexpr uint32_t kVendorNvidia = 0x10DE;
constexpr uint32_t kVendorServerWorks = 0x1166;
constexpr uint32_t kVendorAti = 0x1002;
constexpr uint32_t kVendorAmd = 0x1022;

constexpr uint32_t pci_id(uint32_t device, uint32_t vendor) {
    return device << 16 | vendor;
}

// SMBus host controllers and where each keeps its I/O base. Intel's ICH/PCH
// SMBus functions have it in BAR4 (0x20), nVidia's MCP in 0x24, the
// ServerWorks/Broadcom south bridges and ATI's SB700 (compatible with them)
// in their SMBus base register at 0x90, AMD-8111's SMBus 2.0 function in
// BAR0 (0x10).
constexpr SmbusControllerId kSmbusControllers[] = {
    {pci_id(0x2483, kVendorIntel), 0x20, 1},        // 82801CA (ICH3)
    {pci_id(0x24C3, kVendorIntel), 0x20, 1},        // 82801DB (ICH4)
    {pci_id(0x24D3, kVendorIntel), 0x20, 1},        // 82801EB (ICH5)
    {pci_id(0x25A4, kVendorIntel), 0x20, 1},        // 6300ESB
    {pci_id(0x266A, kVendorIntel), 0x20, 1},        // 82801FB (ICH6)
    {pci_id(0x269B, kVendorIntel), 0x20, 1},        // 631xESB/632xESB
    {pci_id(0x27DA, kVendorIntel), 0x20, 1},        // 82801G (ICH7)
    {pci_id(0x283E, kVendorIntel), 0x20, 1},        // 82801H (ICH8)
    {pci_id(0x2930, kVendorIntel), 0x20, 1},        // 82801I (ICH9)
    {pci_id(0x3A30, kVendorIntel), 0x20, 1},        // 82801J (ICH10)
    {pci_id(0x3B30, kVendorIntel), 0x20, 1},        // 5 series / 3400 series PCH
    {pci_id(0x1C22, kVendorIntel), 0x20, 1},        // 6 series / C200 PCH
    {pci_id(0x1D22, kVendorIntel), 0x20, 1},        // C600 / X79 PCH
    {pci_id(0x1E22, kVendorIntel), 0x20, 1},        // 7 series / C216 PCH
    {pci_id(0x8C22, kVendorIntel), 0x20, 1},        // 8 series / C220 PCH
    {pci_id(0x0052, kVendorNvidia), 0x24, 0},       // nForce4 (CK804)
    {pci_id(0x0368, kVendorNvidia), 0x24, 0},       // MCP55
    {pci_id(0x0200, kVendorServerWorks), 0x90, 0},  // OSB4
    {pci_id(0x0201, kVendorServerWorks), 0x90, 0},  // CSB5
    {pci_id(0x0203, kVendorServerWorks), 0x90, 0},  // CSB6
    {pci_id(0x0205, kVendorServerWorks), 0x90, 0},  // HT1000
    {pci_id(0x4385, kVendorAti), 0x90, 0},          // SB600/SB700/SB800
    {pci_id(0x746A, kVendorAmd), 0x10, 0},          // AMD-8111 SMBus 2.0
};

constexpr uint32_t kScanBuses = 2;
constexpr uint32_t kDevicesPerBus = 32;
constexpr uint32_t kFunctionsPerDevice = 8;

const SmbusControllerId* find_controller(uint32_t id) {
    for (const SmbusControllerId& row : kSmbusControllers)
        if (row.pciId == id) return &row;
    return nullptr;
}

}  // namespace

std::span<const SmbusControllerId> smbus_controller_table() {
    return kSmbusControllers;
}

const char* check_smbus_controller_table(std::span<const SmbusControllerId> table) {
    if (table.empty()) return "empty table";
    for (size_t i = 0; i < table.size(); ++i) {
        const SmbusControllerId& row = table[i];
        uint32_t vendor = row.pciId & 0xFFFF;
        if (vendor == 0xFFFF || vendor == 0) return "vendor ID of an absent function";
        if (row.intel != (vendor == kVendorIntel ? 1 : 0))
            return "Intel flag does not match the vendor";
        // A base address register or a vendor register in the
        // device-specific area; dword aligned either way.
        if (row.baseOffset % 4 != 0 || row.baseOffset < 0x10 || row.baseOffset > 0xFC)
            return "base offset is not a dword register from BAR0 on";
        for (size_t j = 0; j < i; ++j)
            if (table[j].pciId == row.pciId) return "duplicate controller ID";
    }
    return nullptr;
}

uint32_t pci_config_read(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg) {
    uint32_t address = kPciEnable | bus << 16 | device << 11 | function << 8 | reg;
    sys().outl(address, kPciConfigAddress);
    return sys().inl(kPciConfigData);
}

int32_t scan_device(uint32_t* base) {
    sys().iopl(3);  // the scan needs port access whatever comes after it
    for (uint32_t bus = 0; bus < kScanBuses; ++bus)
        for (uint32_t device = 0; device < kDevicesPerBus; ++device)
            for (uint32_t function = 0; function < kFunctionsPerDevice; ++function) {
                const SmbusControllerId* row =
                    find_controller(pci_config_read(bus, device, function, 0x00));
                if (row == nullptr) continue;
                // Bit 0 of an I/O base address register only says "I/O space".
                *base = pci_config_read(bus, device, function, row->baseOffset) & ~uint32_t{1};
                return row->intel;
            }
    return 0;
}

int32_t io_open(SystemRecord* system) {
    if ((system->busType & (BUS_SMBUS | BUS_SMBUS_OTHER)) != 0) {
        SMB_BASE_IO_ADDR = 0;
        IntelDevice = static_cast<uint8_t>(scan_device(&SMB_BASE_IO_ADDR));
        if (SMB_BASE_IO_ADDR == 0) return -1;
    }
    int32_t result = 0;
    if (sys().iopl(3) != 0) {
        std::fprintf(stderr, "Error: Could not iopl()!\n");
        result = -1;
    }
    if ((system->busType & BUS_ISA) != 0) {
        if (sys().ioperm(system->indexReg, 1, 1) != 0) {
            std::fprintf(stderr, "Error: Could not ioperm() Index Register!\n");
            result = -1;
        }
        if (sys().ioperm(system->dataReg, 1, 1) != 0) {
            std::fprintf(stderr, "Error: Could not ioperm() Data Register!\n");
            return -1;
        }
    }
    return result;
}

int32_t io_close(SystemRecord* system) {
    int32_t result = 0;
    if (sys().iopl(0) != 0) {
        std::fprintf(stderr, "Error: Could not iopl()!\n");
        result = -1;
    }
    if ((system->busType & BUS_ISA) != 0) {
        if (sys().ioperm(system->indexReg, 1, 0) != 0) {
            std::fprintf(stderr, "Error: Could not ioperm() Index Register!\n");
            result = -1;
        }
        if (sys().ioperm(system->dataReg, 1, 0) != 0) {
            std::fprintf(stderr, "Error: Could not ioperm() Data Register!\n");
            return -1;
        }
    }
    return result;
}

void reset_port_io_state() {
    SMB_BASE_IO_ADDR = 0;
    IntelDevice = 0;
}
